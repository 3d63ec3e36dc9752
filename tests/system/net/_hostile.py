#!/usr/bin/python3
"""Hostile peers for the robustness tests, bound to 127.0.0.1 on a free port.

    _hostile.py KIND PORTFILE

trickle: an HTTP server announcing a 10 GB body and sending it at 2 bytes a second.
endless-pop3: a POP3 server whose LIST says 100 bytes and whose RETR never ends.
The port is written to PORTFILE (through a temporary name); the server runs until
it is killed.
"""
import os
import socket
import sys
import threading
import time


def announce(portfile, port):
    with open(portfile + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(portfile + ".tmp", portfile)


def trickle(conn):
    conn.recv(65536)
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                 b"Content-Length: 10000000000\r\n\r\n")
    while True:
        conn.sendall(b"xx")
        time.sleep(1)


def endless_pop3(conn):
    f = conn.makefile("rb")
    conn.sendall(b"+OK ready\r\n")
    for line in f:
        cmd = line.split(b" ")[0].strip().upper()
        if cmd == b"CAPA":
            conn.sendall(b"+OK\r\nUSER\r\n.\r\n")
        elif cmd == b"LIST":
            conn.sendall(b"+OK\r\n1 100\r\n.\r\n")
        elif cmd == b"RETR":
            conn.sendall(b"+OK\r\nSubject: x\r\n\r\n")
            chunk = (b"y" * 1000 + b"\r\n") * 64
            while True:
                conn.sendall(chunk)
        elif cmd == b"QUIT":
            conn.sendall(b"+OK bye\r\n")
            return
        else:
            conn.sendall(b"+OK\r\n")


def serve(kind, portfile):
    handler = {"trickle": trickle, "endless-pop3": endless_pop3}[kind]
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    announce(portfile, s.getsockname()[1])
    while True:
        conn, _ = s.accept()

        def run(c=conn):
            try:
                handler(c)
            except OSError:
                pass
            finally:
                c.close()
        threading.Thread(target=run, daemon=True).start()


if __name__ == "__main__":
    serve(sys.argv[1], sys.argv[2])

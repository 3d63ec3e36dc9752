# The TCP benchmark programs in python3 with blocking sockets, beside the ぽるかな
# ones: echo-server PORT, echo-client PORT, sink PORT, source PORT FILE.
import socket
import sys


def listen(port):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(8)
    print("ready", flush=True)
    conn, _ = s.accept()
    return conn


def echo_server(port):
    conn = listen(port)
    while True:
        b = conn.recv(65536)
        if not b or b == b"end":
            break
        conn.sendall(b)


def echo_client(port):
    c = socket.create_connection(("127.0.0.1", port))
    sent = received = 0
    for n in range(10000):
        line = b"line %d\n" % n
        sent += len(line)
        c.sendall(line)
        while received < sent:
            received += len(c.recv(65536))
    print(10000)
    c.sendall(b"end")
    c.close()


def sink(port):
    conn = listen(port)
    total = 0
    while total < 10485760:
        b = conn.recv(1 << 20)
        if not b:
            break
        total += len(b)
    print(total)


def source(port, path):
    with open(path, "rb") as f:
        data = f.read()
    c = socket.create_connection(("127.0.0.1", port))
    c.sendall(data)
    c.close()


role = sys.argv[1]
port = int(sys.argv[2])
if role == "echo-server":
    echo_server(port)
elif role == "echo-client":
    echo_client(port)
elif role == "sink":
    sink(port)
else:
    source(port, sys.argv[3])

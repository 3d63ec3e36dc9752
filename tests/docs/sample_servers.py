#!/usr/bin/python3
"""The servers the network samples of the reference talk to, on fixed local ports:

    sample_servers.py FOLDER

HTTP on 127.0.0.1:28480 serves FOLDER/www; SMTP on 127.0.0.1:28425 accepts any mail
and stores it in FOLDER/sent/N.eml; POP3 on 127.0.0.1:28410 (user "me", password
"secret") hands out the mails of FOLDER/mailbox/*.eml in name order and deletes them
on DELE; FTP on 127.0.0.1:28421 (user "user", password "secret", passive data
or active data connections) serves FOLDER/ftp. "ready" is written to FOLDER/ready once all listen.
Runs until killed. With SAMPLE_SERVER_LOG set, every FTP command line is written to
standard error.
"""
import asyncio
import fnmatch
import os
import posixpath
import socket
import socketserver
import stat
import sys
import threading
import time
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

HTTP_PORT, SMTP_PORT, POP3_PORT, FTP_PORT = 28480, 28425, 28410, 28421


class QuietHandler(SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


async def smtp_session(folder, reader, writer):
    def send(line):
        writer.write((line + "\r\n").encode())

    send("220 localhost ESMTP")
    data_mode, lines = False, []
    while True:
        raw = await reader.readline()
        if not raw:
            break
        line = raw.decode("latin-1").rstrip("\r\n")
        if data_mode:
            if line == ".":
                data_mode = False
                sent = os.path.join(folder, "sent")
                number = len(os.listdir(sent)) + 1
                with open(os.path.join(sent, "%d.eml" % number), "wb") as f:
                    f.write(("\r\n".join(lines) + "\r\n").encode("latin-1"))
                lines = []
                send("250 OK")
            else:
                lines.append(line[1:] if line.startswith("..") else line)
            continue
        verb = line[:4].upper()
        if verb == "EHLO":
            send("250-localhost")
            send("250 8BITMIME")
        elif verb == "DATA":
            data_mode = True
            send("354 go on")
        elif verb == "QUIT":
            send("221 bye")
            await writer.drain()
            break
        else:
            send("250 OK")
        await writer.drain()
    writer.close()


async def pop3_session(folder, reader, writer):
    box = os.path.join(folder, "mailbox")
    names = sorted(n for n in os.listdir(box) if n.endswith(".eml"))
    mails = [open(os.path.join(box, n), "rb").read() for n in names]
    deleted = set()

    def send(line):
        writer.write((line + "\r\n").encode("latin-1"))

    send("+OK POP3 ready")
    user = None
    while True:
        raw = await reader.readline()
        if not raw:
            break
        parts = raw.decode("latin-1").strip().split(" ", 1)
        verb, arg = parts[0].upper(), parts[1] if len(parts) > 1 else ""
        if verb == "CAPA":
            send("+OK")
            send("USER")
            send(".")
        elif verb == "USER":
            user = arg
            send("+OK")
        elif verb == "PASS":
            send("+OK" if (user, arg) == ("me", "secret") else "-ERR wrong password")
        elif verb == "STAT":
            live = [m for i, m in enumerate(mails) if i not in deleted]
            send("+OK %d %d" % (len(live), sum(map(len, live))))
        elif verb in ("LIST", "UIDL") and not arg:
            send("+OK")
            for i, m in enumerate(mails):
                if i not in deleted:
                    send("%d %s" % (i + 1, len(m) if verb == "LIST" else "mail%d" % (i + 1)))
            send(".")
        elif verb == "RETR":
            m = mails[int(arg) - 1]
            send("+OK %d octets" % len(m))
            for line in m.decode("latin-1").split("\r\n")[:-1]:
                send("." + line if line.startswith(".") else line)
            send(".")
        elif verb == "DELE":
            deleted.add(int(arg) - 1)
            send("+OK")
        elif verb == "QUIT":
            for i in deleted:
                os.remove(os.path.join(box, names[i]))
            send("+OK bye")
            await writer.drain()
            break
        else:
            send("+OK")
        await writer.drain()
    writer.close()


class FtpSession(socketserver.StreamRequestHandler):
    """A small FTP server: enough of the protocol for the samples, paths kept inside
    the root."""

    # Names travel as the client's bytes (Shift_JIS) and are stored as they come:
    # a line is read as Latin-1, a file name goes back to those bytes.
    def send(self, line):
        self.wfile.write((line + "\r\n").encode("latin-1"))

    def path(self, arg):
        target = posixpath.normpath(posixpath.join(self.cwd, arg or "."))
        return target, os.path.join(self.server.root.encode(), target.lstrip("/").encode("latin-1"))

    def data(self):
        if self.active:   # PORT / EPRT: the server connects to the client
            conn = socket.create_connection(self.active)
            self.active = None
            return conn
        conn, _ = self.passive.accept()
        self.passive.close()
        self.passive = None
        return conn

    def list_line(self, name, full):
        st = os.stat(full)
        kind = "d" if os.path.isdir(full) else "-"
        mode = stat.filemode(st.st_mode)[1:]
        when = time.strftime("%b %d %H:%M", time.gmtime(st.st_mtime))
        return "%s%s 1 owner group %8d %s %s" % (kind, mode, st.st_size, when, name.decode("latin-1"))

    def handle(self):
        self.cwd, self.passive, self.active = "/", None, None
        self.send("220 sample FTP server")
        for raw in self.rfile:
            line = raw.decode("latin-1").rstrip("\r\n")
            if os.environ.get("SAMPLE_SERVER_LOG"):
                print("FTP<", line, file=sys.stderr, flush=True)
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            virtual, real = self.path(arg)
            try:
                if verb == "USER":
                    self.send("331 password please")
                elif verb == "PASS":
                    self.send("230 logged in" if arg == "secret" else "530 wrong password")
                elif verb == "PWD":
                    self.send('257 "%s"' % self.cwd)
                elif verb in ("CWD", "CDUP"):
                    virtual, real = self.path(".." if verb == "CDUP" else arg)
                    if os.path.isdir(real):
                        self.cwd = virtual
                        self.send("250 OK")
                    else:
                        self.send("550 no such folder")
                elif verb in ("TYPE", "MODE", "STRU", "NOOP", "OPTS"):
                    self.send("200 OK")
                elif verb == "SYST":
                    self.send("215 UNIX Type: L8")
                elif verb in ("PASV", "EPSV"):
                    self.passive = socket.socket()
                    self.passive.bind(("127.0.0.1", 0))
                    self.passive.listen(1)
                    port = self.passive.getsockname()[1]
                    if verb == "EPSV":
                        self.send("229 Entering Extended Passive Mode (|||%d|)" % port)
                    else:
                        self.send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (port // 256, port % 256))
                elif verb == "PORT":
                    n = arg.split(",")
                    self.active = (".".join(n[:4]), int(n[4]) * 256 + int(n[5]))
                    self.send("200 PORT OK")
                elif verb == "EPRT":
                    _, _, host, port, _ = arg.split(arg[0])
                    self.active = (host, int(port))
                    self.send("200 EPRT OK")
                elif verb in ("LIST", "NLST"):
                    pattern = b"*"
                    if arg.startswith("-"):
                        virtual, real = self.path("")
                    elif any(c in arg for c in "*?"):
                        virtual, real = self.path(posixpath.dirname(arg))
                        pattern = posixpath.basename(arg).encode("latin-1")
                    if os.path.isdir(real):
                        folder = real
                        names = sorted(n for n in os.listdir(real) if fnmatch.fnmatch(n, pattern))
                    elif os.path.exists(real):
                        folder, name = os.path.split(real)
                        names = [name]
                    else:
                        names = []
                    self.send("150 listing")
                    conn = self.data()
                    for name in names:
                        text = name.decode("latin-1") if verb == "NLST" else self.list_line(name, os.path.join(folder, name))
                        conn.sendall((text + "\r\n").encode("latin-1"))
                    conn.close()
                    self.send("226 done")
                elif verb == "RETR":
                    if not os.path.isfile(real):
                        self.send("550 no such file")
                        continue
                    self.send("150 sending")
                    conn = self.data()
                    with open(real, "rb") as f:
                        conn.sendall(f.read())
                    conn.close()
                    self.send("226 done")
                elif verb == "STOR":
                    self.send("150 receiving")
                    conn = self.data()
                    with open(real, "wb") as f:
                        while True:
                            chunk = conn.recv(65536)
                            if not chunk:
                                break
                            f.write(chunk)
                    conn.close()
                    self.send("226 done")
                elif verb == "SIZE":
                    self.send("213 %d" % os.path.getsize(real) if os.path.isfile(real) else "550 no such file")
                elif verb == "MDTM":
                    if os.path.exists(real):
                        self.send("213 " + time.strftime("%Y%m%d%H%M%S", time.gmtime(os.path.getmtime(real))))
                    else:
                        self.send("550 no such file")
                elif verb == "DELE":
                    os.remove(real)
                    self.send("250 deleted")
                elif verb == "MKD":
                    os.mkdir(real)
                    self.send('257 "%s" created' % virtual)
                elif verb == "RMD":
                    os.rmdir(real)
                    self.send("250 removed")
                elif verb == "SITE" and arg.upper().startswith("CHMOD "):
                    _, mode, name = arg.split(" ", 2)
                    os.chmod(self.path(name)[1], int(mode, 8))
                    self.send("200 mode changed")
                elif verb == "QUIT":
                    self.send("221 bye")
                    return
                else:
                    self.send("502 not implemented")
            except OSError as e:
                self.send("550 " + (e.strerror or "failed"))


class FtpServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


async def main(folder):
    ftp = FtpServer(("127.0.0.1", FTP_PORT), FtpSession)
    ftp.root = os.path.join(folder, "ftp")
    threading.Thread(target=ftp.serve_forever, daemon=True).start()
    http = ThreadingHTTPServer(("127.0.0.1", HTTP_PORT), partial(QuietHandler, directory=os.path.join(folder, "www")))
    threading.Thread(target=http.serve_forever, daemon=True).start()
    smtp = await asyncio.start_server(partial(smtp_session, folder), "127.0.0.1", SMTP_PORT)
    pop3 = await asyncio.start_server(partial(pop3_session, folder), "127.0.0.1", POP3_PORT)
    with open(os.path.join(folder, "ready"), "w") as f:
        f.write("ready")
    async with smtp, pop3:
        await asyncio.gather(smtp.serve_forever(), pop3.serve_forever())


if __name__ == "__main__":
    for sub in ("www", "sent", "mailbox", "ftp"):
        os.makedirs(os.path.join(sys.argv[1], sub), exist_ok=True)
    asyncio.run(main(sys.argv[1]))

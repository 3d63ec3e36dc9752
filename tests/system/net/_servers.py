#!/usr/bin/python3
"""Local servers for the network tests, all bound to 127.0.0.1 on a free port.

    _servers.py KIND PORTFILE [options...]

KIND is http, ftp, smtp or pop3 (http with a certificate and key file serves HTTPS). Once the server listens, its port is written to
PORTFILE (written to a temporary name first, then renamed, so a reader never sees a
partial number). The server runs until it is killed.
"""
import asyncio
import json
import os
import sys
import threading
import time


def announce(portfile, port):
    tmp = portfile + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, portfile)


# ---- HTTP -------------------------------------------------------------------------

def run_http(portfile, root, cert=None, key=None):
    from functools import partial
    from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

    class Handler(SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_GET(self):
            if self.path.startswith("http://"):
                # asked as a proxy: only for the made-up host of the proxy test
                from urllib.parse import urlsplit
                url = urlsplit(self.path)
                if url.hostname != "proxied.invalid":
                    self.send_error(502)
                    return
                self.path = url.path
            path = self.path.split("?", 1)[0]
            if path == "/redirect":
                self.send_response(302)
                self.send_header("Location", "/files/hello.txt")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif path == "/redirect-file":
                # a redirect to a local file must never be followed
                self.send_response(302)
                self.send_header("Location", "file:///etc/hostname")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif path == "/agent":
                body = self.headers.get("User-Agent", "").encode()
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            elif path == "/error500":
                body = b"<html>server error page</html>"
                self.send_response(500)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            elif path == "/truncated":
                # announces more than it sends, then closes the connection
                self.send_response(200)
                self.send_header("Content-Length", "100000")
                self.end_headers()
                self.wfile.write(b"x" * 5000)
                self.wfile.flush()
                self.close_connection = True
            elif path == "/slow":
                # one small block every 100 ms for about two seconds
                self.send_response(200)
                self.send_header("Content-Length", str(20 * 10))
                self.end_headers()
                try:
                    for _ in range(20):
                        self.wfile.write(b"s" * 10)
                        self.wfile.flush()
                        time.sleep(0.1)
                except OSError:
                    pass
            else:
                super().do_GET()

    server = ThreadingHTTPServer(("127.0.0.1", 0), partial(Handler, directory=root))
    if cert:
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    announce(portfile, server.server_address[1])
    server.serve_forever()


# ---- FTP --------------------------------------------------------------------------

def run_ftp(portfile, root, log):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging
    logging.basicConfig(level=logging.ERROR)

    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "secret", root, perm="elradfmwMT")

    class Handler(FTPHandler):
        auth_failed_timeout = 0.1

        def pre_process_command(self, line, cmd, arg):
            text = "PASS ***" if cmd == "PASS" else (cmd + " " + (arg or "")).rstrip()
            with open(log, "a", encoding="latin-1", errors="backslashreplace") as f:
                f.write(text + "\n")
            super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), Handler)
    announce(portfile, server.address[1])
    server.serve_forever()


# ---- SMTP -------------------------------------------------------------------------

def run_smtp(portfile, outdir):
    from aiosmtpd.smtp import SMTP

    class Saver:
        def __init__(self):
            self.count = 0

        async def handle_RCPT(self, server, session, envelope, address, options):
            if address.startswith("reject"):
                return "550 no such user here"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            self.count += 1
            base = os.path.join(outdir, str(self.count))
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".json", "w") as f:
                json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos}, f)
            return "250 OK"

    saver = Saver()

    async def main():
        loop = asyncio.get_running_loop()
        server = await loop.create_server(lambda: SMTP(saver, hostname="localhost"), "127.0.0.1", 0)
        announce(portfile, server.sockets[0].getsockname()[1])
        await server.serve_forever()

    asyncio.run(main())


# ---- POP3 -------------------------------------------------------------------------
# The mailbox is a folder of files named NAME.eml, served in name order. Deletions
# take effect at QUIT only (then the files are removed), as POP3 requires. Every
# command received is appended to the log file. Options:
#   fail-retr=N    RETR N answers -ERR
#   drop-retr=N    RETR N closes the connection without an answer

def run_pop3(portfile, maildir, log, *options):
    opts = dict(o.split("=", 1) for o in options)
    fail_retr = int(opts.get("fail-retr", "0"))
    drop_retr = int(opts.get("drop-retr", "0"))

    def note(line):
        with open(log, "a") as f:
            f.write(line + "\n")

    async def session(reader, writer):
        def send(text):
            writer.write(text.encode("latin-1") + b"\r\n")

        mails = sorted(n for n in os.listdir(maildir) if n.endswith(".eml"))
        deleted = set()
        user = None
        authed = False
        send("+OK local test server ready")
        while True:
            line = await reader.readline()
            if not line:
                note("(closed)")
                break
            text = line.decode("latin-1").rstrip("\r\n")
            parts = text.split(" ")
            cmd = parts[0].upper()
            note(text if cmd != "PASS" else "PASS ***")
            arg = parts[1] if len(parts) > 1 else ""
            if cmd == "CAPA":
                send("+OK\r\nUSER\r\nUIDL\r\n.")
            elif cmd == "USER":
                user = arg
                send("+OK")
            elif cmd == "PASS":
                if user == "taro" and arg == "pw":
                    authed = True
                    send("+OK logged in")
                else:
                    send("-ERR invalid user or password")
            elif not authed:
                send("-ERR log in first")
            elif cmd == "STAT":
                live = [m for i, m in enumerate(mails, 1) if i not in deleted]
                size = sum(os.path.getsize(os.path.join(maildir, m)) for m in live)
                send("+OK %d %d" % (len(live), size))
            elif cmd == "LIST":
                send("+OK")
                for i, m in enumerate(mails, 1):
                    if i not in deleted:
                        send("%d %d" % (i, os.path.getsize(os.path.join(maildir, m))))
                send(".")
            elif cmd == "RETR":
                n = int(arg) if arg.isdigit() else 0
                if n == drop_retr:
                    writer.close()
                    note("(dropped)")
                    break
                if n < 1 or n > len(mails) or n in deleted or n == fail_retr:
                    send("-ERR no such message")
                    continue
                with open(os.path.join(maildir, mails[n - 1]), "rb") as f:
                    data = f.read()
                writer.write(b"+OK\r\n")
                lines = data.split(b"\r\n")
                if lines and lines[-1] == b"":
                    lines.pop()   # the message's last line break ends its last line
                for raw in lines:
                    writer.write((b"." + raw if raw.startswith(b".") else raw) + b"\r\n")
                writer.write(b".\r\n")
            elif cmd == "DELE":
                n = int(arg) if arg.isdigit() else 0
                if n < 1 or n > len(mails) or n in deleted:
                    send("-ERR no such message")
                else:
                    deleted.add(n)
                    send("+OK marked")
            elif cmd == "NOOP":
                send("+OK")
            elif cmd == "RSET":
                deleted.clear()
                send("+OK")
            elif cmd == "QUIT":
                for n in sorted(deleted):
                    os.remove(os.path.join(maildir, mails[n - 1]))
                send("+OK bye")
                await writer.drain()
                writer.close()
                break
            else:
                send("-ERR unknown command")
            await writer.drain()

    async def main():
        server = await asyncio.start_server(session, "127.0.0.1", 0)
        announce(portfile, server.sockets[0].getsockname()[1])
        async with server:
            await server.serve_forever()

    asyncio.run(main())


if __name__ == "__main__":
    kind, portfile, rest = sys.argv[1], sys.argv[2], sys.argv[3:]
    {"http": run_http, "ftp": run_ftp, "smtp": run_smtp, "pop3": run_pop3}[kind](portfile, *rest)

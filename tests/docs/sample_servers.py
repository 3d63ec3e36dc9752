#!/usr/bin/python3
"""The servers the network samples of the reference talk to, on fixed local ports:

    sample_servers.py FOLDER

HTTP on 127.0.0.1:28480 serves FOLDER/www; SMTP on 127.0.0.1:28425 accepts any mail
and stores it in FOLDER/sent/N.eml; POP3 on 127.0.0.1:28410 (user "me", password
"secret") hands out the mails of FOLDER/mailbox/*.eml in name order and deletes them
on DELE. "ready" is written to FOLDER/ready once all three listen. Runs until killed.
"""
import asyncio
import os
import sys
import threading
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

HTTP_PORT, SMTP_PORT, POP3_PORT = 28480, 28425, 28410


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


async def main(folder):
    http = ThreadingHTTPServer(("127.0.0.1", HTTP_PORT), partial(QuietHandler, directory=os.path.join(folder, "www")))
    threading.Thread(target=http.serve_forever, daemon=True).start()
    smtp = await asyncio.start_server(partial(smtp_session, folder), "127.0.0.1", SMTP_PORT)
    pop3 = await asyncio.start_server(partial(pop3_session, folder), "127.0.0.1", POP3_PORT)
    with open(os.path.join(folder, "ready"), "w") as f:
        f.write("ready")
    async with smtp, pop3:
        await asyncio.gather(smtp.serve_forever(), pop3.serve_forever())


if __name__ == "__main__":
    for sub in ("www", "sent", "mailbox"):
        os.makedirs(os.path.join(sys.argv[1], sub), exist_ok=True)
    asyncio.run(main(sys.argv[1]))

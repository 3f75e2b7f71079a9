#!/usr/bin/env python3
"""A real SMTP server on the loopback address for the tests (aiosmtpd).

Usage: smtp_server.py DIR [--rechazar ADDRESS ...] [--cortar N] [--puerto N]
       smtp_server.py --leer DIR


Prints "PORT PID" once it listens (on --puerto, else on a free port). Each message received is saved as DIR/NNNN.eml,
preceded by an "X-Envelope-To:" line with the envelope's recipients. Recipients
given with --rechazar are refused with 550; with --cortar the server stops after N
messages (a new message then gets 421), as a server that goes away in the middle of
a batch.

With --leer, lists the messages of DIR one a line, read with Python's own e-mail
parser: envelope recipient, To address, subject (decoded), attachment's file name,
SHA-256 of the attachment's bytes, Message-ID; separated by "|".
"""
import argparse
import email
import email.policy
import hashlib
import os
import socket
import sys
import threading
import time

from aiosmtpd.controller import Controller


class Handler:
    def __init__(self, folder, refuse, cut, stop):
        self.folder, self.refuse, self.cut, self.stop = folder, refuse, cut, stop
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.cut and self.count >= self.cut:
            return "421 4.3.2 Servicio no disponible, cerrando"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refuse:
            return "550 5.1.1 Buzon no existe"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, "%04d.eml" % self.count)
        with open(path + ".tmp", "wb") as f:
            f.write(b"X-Envelope-To: " + ",".join(envelope.rcpt_tos).encode() + b"\r\n")
            f.write(envelope.original_content)
        os.rename(path + ".tmp", path)
        if self.cut and self.count >= self.cut:
            self.stop.set()
        return "250 Message accepted for delivery"


def read(folder):
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".eml"):
            continue
        with open(os.path.join(folder, name), "rb") as f:
            msg = email.message_from_binary_file(f, policy=email.policy.default)
        attachments = [p for p in msg.iter_attachments()]
        fname = attachments[0].get_filename() if attachments else ""
        digest = hashlib.sha256(attachments[0].get_content()).hexdigest() if attachments else ""
        print("|".join([msg["X-Envelope-To"], msg["To"].addresses[0].addr_spec, str(msg["Subject"]),
                        fname, digest, msg["Message-ID"]]))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--leer":
        read(sys.argv[2])
        return
    p = argparse.ArgumentParser()
    p.add_argument("folder")
    p.add_argument("--rechazar", nargs="*", default=[])
    p.add_argument("--cortar", type=int, default=0)
    p.add_argument("--puerto", type=int, default=0)
    a = p.parse_args()
    port = a.puerto
    if not port:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
    stop = threading.Event()
    handler = Handler(a.folder, {r.lower() for r in a.rechazar}, a.cortar, stop)
    ctl = Controller(handler, hostname="127.0.0.1", port=port)
    ctl.start()
    print(port, os.getpid(), flush=True)
    # Ends when told (SIGTERM), when cut, or after ten minutes at most.
    stop.wait(600)
    # The last message's reply goes out before the server closes.
    time.sleep(0.5)
    ctl.stop()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A POP3 server on 127.0.0.1 that misbehaves on purpose, for the notifier's reliability tests.

Connection by connection it follows a plan: a comma-separated list of behaviours, the last one
repeating, e.g. "good,endless,good". With --mix it cycles through a fixed blend of good counts,
errors and drops instead. It writes its port to --port-file once it listens, and one line per
event to --log ("conn N BEHAVIOUR", "recv N LINE", "end N sent=BYTES how"). It runs until
SIGTERM or --lifetime seconds; every connection ends within --conn-lifetime seconds.

Behaviours:
  good[:N]    a proper conversation; STAT answers N messages (default 3)
  err         "-ERR" to PASS
  badgreet    a greeting that is not "+OK"
  endless     "+OK " and then one line that never ends
  garbage     50 MB of random bytes, then close
  slow        the greeting at one byte a second
  silent      accepts and never says a word
  reset       a reset in the middle of the STAT reply
  greetclose  closes right after the greeting
  plaintext   plain greeting (on a port the client reaches with TLS)
  tlsserver   waits for a TLS handshake (on a port the client reaches in plain text)
  goodtls[:N] a proper conversation inside TLS (needs --cert and --key)
  ahead       the greeting with the answers to USER, PASS and STAT sent at once behind it
  nocount     STAT answered with a bare "+OK" among endless lines of "+OK"
  inuse       "-ERR [IN-USE]" to PASS: the mailbox is open in another session
  systemp     "-ERR [SYS/TEMP]" to PASS: a passing fault of the server
  latestat[:N] a proper conversation whose STAT reply (N messages) comes 5 s late
  uidlendless a proper conversation whose UIDL listing never ends (distinct ids, growing numbers)
  uidlbad     a UIDL listing of duplicate, absurd and malformed ids
  topnodot    TOP answered without its terminating dot
  tophuge     TOP answered with a 10 MB header
A proper conversation answers UIDL with the ids g1 to gN and TOP with a short header.
STARTTLS behaviours (CAPA first; all need --cert and --key):
  goodstls[:N] CAPA lists STLS, STLS starts TLS, then a proper conversation inside it
  nostls       CAPA lists no STLS
  stlsrefused  CAPA lists STLS, "-ERR" to STLS
  stlsdrop     CAPA lists STLS, the connection closes on STLS
  stlsinject   "+OK Begin TLS" and a forged STAT answer in one segment, then TLS
  stlsbadshake "+OK" to STLS, then plain text where the handshake belongs
  stlswrongcert the handshake with a certificate for another host (--wrong-cert, --wrong-key)
After any failure each of them keeps answering "+OK" in plain text, so a client that went on
regardless would be seen sending its commands.
"""
import argparse
import os
import random
import signal
import socket
import ssl
import struct
import sys
import threading
import time

LOG_LOCK = threading.Lock()
MIX = (["good:0"] * 6 + ["err", "greetclose", "good:0", "reset", "badgreet", "good:0"]) * 4 + ["good:4"]


def log(args, text):
    with LOG_LOCK:
        with open(args.log, "a", encoding="utf-8", errors="replace") as f:
            f.write(text + "\n")


class Conn:
    def __init__(self, args, sock, number):
        self.args, self.sock, self.n = args, sock, number
        self.sent = 0
        self.deadline = time.monotonic() + args.conn_lifetime
        self.buf = b""
        sock.settimeout(1.0)

    def send(self, data):
        self.sock.sendall(data)
        self.sent += len(data)

    def alive(self):
        return time.monotonic() < self.deadline

    def readline(self):
        """The next line from the client, or None when it closed or time ran out."""
        while b"\n" not in self.buf:
            if not self.alive():
                return None
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                continue
            except (ssl.SSLError, OSError):
                return None
            if not chunk:
                return None
            self.buf += chunk
            if len(self.buf) > 65536:
                return None
        line, self.buf = self.buf.split(b"\n", 1)
        text = line.rstrip(b"\r").decode("latin-1")
        log(self.args, "recv %d %s" % (self.n, text))
        return text

    def wait_close(self):
        """Waits, bounded, until the client hangs up."""
        while self.alive():
            try:
                if not self.sock.recv(4096):
                    return
            except socket.timeout:
                continue
            except (ssl.SSLError, OSError):
                return


def top_reply(number):
    return b"+OK\r\nFrom: sender%d@example.invalid\r\nSubject: message %d\r\n.\r\n" % (number, number)


def conversation(c, count, fail_pass=None, stat_delay=0, greet=True, uidl=None, top=None):
    if greet:
        c.send(b"+OK hostile test server ready\r\n")
    while True:
        line = c.readline()
        if line is None:
            return "client closed"
        word = line.split(" ", 1)[0].lower()
        if word == "pass" and fail_pass:
            c.send(fail_pass)
        elif word == "stat":
            time.sleep(stat_delay)
            c.send(b"+OK %d %d\r\n" % (count, count * 1234))
        elif word == "uidl":
            how = uidl(c) if uidl else None
            if how:
                return how
            if uidl:
                continue
            c.send(b"+OK\r\n" + b"".join(b"%d g%d\r\n" % (i, i) for i in range(1, count + 1)) + b".\r\n")
        elif word == "top":
            number = int(line.split(" ")[1]) if line.count(" ") >= 1 and line.split(" ")[1].isdigit() else 0
            how = top(c, number) if top else c.send(top_reply(number))
            if how:
                return how
        elif word == "quit":
            c.send(b"+OK bye\r\n")
            return "quit"
        else:
            c.send(b"+OK\r\n")


def wrap_tls(c, cert, key):
    """The server's side of a handshake; False when it failed."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    try:
        c.sock.settimeout(max(0.1, c.deadline - time.monotonic()))
        c.sock = context.wrap_socket(c.sock, server_side=True)
        c.sock.settimeout(1.0)
    except (ssl.SSLError, OSError):
        return False
    return True


def plain_yes(c):
    """Says "+OK" to whatever still comes, so that nothing a client sends goes unseen."""
    while True:
        line = c.readline()
        if line is None:
            return "client closed"
        c.send(b"+OK\r\n")


def starttls(c, name, count):
    c.send(b"+OK hostile STARTTLS server ready\r\n")
    line = c.readline()
    if line is None or line.lower() != "capa":
        return plain_yes(c)
    c.send(b"+OK\r\nTOP\r\nUSER\r\n" + (b"" if name == "nostls" else b"STLS\r\n") + b".\r\n")
    line = c.readline()
    if line is None:
        return "client closed"
    if name == "nostls" or line.lower() != "stls":
        c.send(b"+OK\r\n")
        return plain_yes(c)
    if name == "stlsrefused":
        c.send(b"-ERR not now\r\n")
        return plain_yes(c)
    if name == "stlsdrop":
        return "closed on STLS"
    if name == "stlsinject":
        c.send(b"+OK Begin TLS\r\n+OK 1 2\r\n")
    elif name == "stlsbadshake":
        c.send(b"+OK Begin TLS\r\n")
        time.sleep(0.3)
        c.send(b"+OK this is not a handshake\r\n")
        return plain_yes(c)
    else:
        c.send(b"+OK Begin TLS\r\n")
    wrong = name == "stlswrongcert"
    if not wrap_tls(c, c.args.wrong_cert if wrong else c.args.cert, c.args.wrong_key if wrong else c.args.key):
        return "no handshake"
    return conversation(c, count, greet=False)


def until_stat(c):
    """Greets and says "+OK" to every command up to STAT; False when the client left first."""
    c.send(b"+OK ready\r\n")
    while True:
        line = c.readline()
        if line is None:
            return False
        if line.lower().startswith("stat"):
            return True
        c.send(b"+OK\r\n")


def stream(c, chunk, limit):
    while c.sent < limit and c.alive():
        c.send(chunk)
    return "limit reached"


def endless_ids(c):
    c.send(b"+OK\r\n")
    n = 1
    while c.sent < (1 << 30) and c.alive():
        c.send(b"".join(b"%d id%d\r\n" % (i, i) for i in range(n, n + 1000)))
        n += 1000
    return "limit reached"


def bad_ids(c):
    c.send(b"+OK\r\n1 a\r\n1 b\r\n2 a\r\n99999999999 x\r\n0 z\r\n3 " + b"u" * 500 + b"\r\n-1 q\r\n3\r\n"
           b"2 b\r\n3 c d\r\n.\r\n")
    return conversation(c, 3, greet=False)


def other_ids(c):
    """Ids no good conversation uses, so their messages are new; the conversation goes on."""
    c.send(b"+OK\r\n1 h1\r\n2 h2\r\n3 h3\r\n.\r\n")


def no_dot(c, number):
    c.send(b"+OK\r\nSubject: this header never ends\r\n")
    c.wait_close()
    return "client closed"


def huge_header(c, number):
    line = b"X-Filler: " + b"A" * 988 + b"\r\n"
    c.send(b"+OK\r\nSubject: a huge header\r\n")
    while c.sent < 10 * 1024 * 1024 and c.alive():
        c.send(line * 1024)
    c.send(b".\r\n")
    return None


def behave(c, behaviour):
    name, _, arg = behaviour.partition(":")
    count = int(arg) if arg else 3
    if name == "good":
        return conversation(c, count)
    if name == "err":
        return conversation(c, count, fail_pass=b"-ERR invalid login\r\n")
    if name == "uidlendless":
        return conversation(c, count, uidl=endless_ids)
    if name == "uidlbad":
        return conversation(c, count, uidl=bad_ids)
    if name == "topnodot":
        return conversation(c, count, uidl=other_ids, top=no_dot)
    if name == "tophuge":
        return conversation(c, count, uidl=other_ids, top=huge_header)
    if name == "latestat":
        return conversation(c, count, stat_delay=5)
    if name == "inuse":
        return conversation(c, count, fail_pass=b"-ERR [IN-USE] Mailbox is locked by another session\r\n")
    if name == "systemp":
        return conversation(c, count, fail_pass=b"-ERR [SYS/TEMP] Internal error, try again later\r\n")
    if name == "ahead":
        c.send(b"+OK ready\r\n+OK\r\n+OK logged in\r\n+OK 7 700\r\n")
        c.wait_close()
        return "client closed"
    if name == "nocount":
        if not until_stat(c):
            return "client closed"
        return stream(c, b"+OK\r\n" * 4096, 1 << 30)
    if name == "badgreet":
        c.send(b"* hello, this is not POP3\r\n")
        c.wait_close()
        return "client closed"
    if name == "endless":
        c.send(b"+OK ")
        return stream(c, b"A" * 65536, 1 << 30)
    if name == "garbage":
        rng = random.Random(9)
        total = 50 * 1024 * 1024
        while c.sent < total and c.alive():
            c.send(rng.randbytes(min(1 << 20, total - c.sent)))
        c.sock.shutdown(socket.SHUT_WR)
        c.wait_close()
        return "all sent"
    if name == "slow":
        for b in b"+OK slow server ready\r\n":
            c.send(bytes([b]))
            time.sleep(1.0)
        return conversation(c, count)
    if name == "silent":
        c.wait_close()
        return "client closed"
    if name == "reset":
        if not until_stat(c):
            return "client closed"
        c.send(b"+OK 3")
        c.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        return "reset"
    if name == "greetclose":
        c.send(b"+OK ready\r\n")
        return "closed after greeting"
    if name == "plaintext":
        c.send(b"+OK plain text where TLS belongs\r\n")
        c.wait_close()
        return "client closed"
    if name in ("goodstls", "nostls", "stlsrefused", "stlsdrop", "stlsinject", "stlsbadshake", "stlswrongcert"):
        return starttls(c, name, count)
    if name in ("tlsserver", "goodtls"):
        if not wrap_tls(c, c.args.cert, c.args.key):
            return "no handshake"
        if name == "tlsserver":
            c.wait_close()
            return "client closed"
        return conversation(c, count)
    raise ValueError("unknown behaviour " + behaviour)


def serve(args, sock, number, behaviour):
    c = Conn(args, sock, number)
    log(args, "conn %d %s" % (number, behaviour))
    try:
        how = behave(c, behaviour)
    except (OSError, ssl.SSLError) as e:
        how = "client gone (%s)" % e.__class__.__name__
    log(args, "end %d sent=%d %s" % (number, c.sent, how))
    try:
        c.sock.close()
    except OSError:
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--plan", default="good")
    p.add_argument("--mix", action="store_true")
    p.add_argument("--port-file", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--wrong-cert")
    p.add_argument("--wrong-key")
    p.add_argument("--lifetime", type=float, default=600)
    p.add_argument("--conn-lifetime", type=float, default=60)
    args = p.parse_args()
    plan = args.plan.split(",")

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    listener.settimeout(0.5)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % listener.getsockname()[1])
    os.rename(tmp, args.port_file)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    end = time.monotonic() + args.lifetime
    number = 0
    while not stop.is_set() and time.monotonic() < end:
        try:
            sock, _ = listener.accept()
        except socket.timeout:
            continue
        except OSError:
            continue
        number += 1
        if args.mix:
            behaviour = MIX[(number - 1) % len(MIX)]
        else:
            behaviour = plan[min(number, len(plan)) - 1]
        threading.Thread(target=serve, args=(args, sock, number, behaviour), daemon=True).start()
    listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

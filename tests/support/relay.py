#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that keeps what the client sent, to see what crossed in clear.

  relay.py --to HOST:PORT --port-file FILE --capture FILE [--lifetime SECONDS]

Every byte from a client is appended to the capture file before it is passed on; the server's bytes
pass unchanged. It runs until SIGTERM or its lifetime is over.
"""
import argparse
import os
import signal
import socket
import sys
import threading
import time


def pump(src, dst, capture=None):
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            if capture:
                with open(capture, "ab") as f:
                    f.write(data)
            dst.sendall(data)
    except OSError:
        pass
    for s in (src, dst):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--to", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("--capture", required=True)
    p.add_argument("--lifetime", type=float, default=300)
    args = p.parse_args()
    host, _, port = args.to.rpartition(":")
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.5)
    with open(args.port_file + ".tmp", "w") as f:
        f.write("%d\n" % listener.getsockname()[1])
    os.rename(args.port_file + ".tmp", args.port_file)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    end = time.monotonic() + args.lifetime
    while not stop.is_set() and time.monotonic() < end:
        try:
            client, _ = listener.accept()
        except OSError:
            continue
        try:
            server = socket.create_connection((host, int(port)), 5)
        except OSError:
            client.close()
            continue
        threading.Thread(target=pump, args=(client, server, args.capture), daemon=True).start()
        threading.Thread(target=pump, args=(server, client), daemon=True).start()
    return 0


if __name__ == "__main__":
    sys.exit(main())

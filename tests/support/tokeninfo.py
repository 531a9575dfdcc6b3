#!/usr/bin/env python3
"""A token information endpoint on loopback, as Dovecot's oauth2 password database asks one.

    tokeninfo.py [--email ADDRESS] [--tokens FILE] [--log FILE] [--lifetime SECONDS] [TOKEN...]

GET /tokeninfo?access_token=TOKEN (or an "Authorization: Bearer TOKEN" header) answers
200 {"email": ADDRESS, "expires_in": 3600} for a good token and 401 {"error": "invalid_token"} for any
other. The good tokens are the arguments and the lines of FILE, read at each request ("good-token"
when there are none). ADDRESS is "vurk" unless given. It prints its port once it listens, writes one
line per request to the log ("200" or "401"; never the token) and ends on SIGTERM or after the
lifetime (120 s).
"""
import argparse
import http.server
import json
import signal
import sys
import threading
import urllib.parse


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tokens", nargs="*")
    parser.add_argument("--email", default="vurk")
    parser.add_argument("--tokens", dest="tokens_file")
    parser.add_argument("--log")
    parser.add_argument("--lifetime", type=int, default=120)
    options = parser.parse_args()

    def good_tokens():
        tokens = set(options.tokens)
        if options.tokens_file:
            try:
                with open(options.tokens_file) as f:
                    tokens.update(line.strip() for line in f if line.strip())
            except OSError:
                pass
        return tokens or {"good-token"}

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
            token = (query.get("access_token") or [""])[0]
            header = self.headers.get("Authorization", "")
            if not token and header.lower().startswith("bearer "):
                token = header[7:].strip()
            if token and token in good_tokens():
                status, body = 200, {"email": options.email, "expires_in": 3600}
            else:
                status, body = 401, {"error": "invalid_token"}
            if options.log:
                with open(options.log, "a") as f:
                    f.write("%d\n" % status)
            data = json.dumps(body).encode()
            self.send_response(status)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *args):
            pass  # the request line holds the token

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    timer = threading.Timer(options.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

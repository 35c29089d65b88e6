#!/usr/bin/env python3
"""HTTP server for the download tests, bound to 127.0.0.1 on a port the kernel picks.

Serves a folder. Paths under /nolength/ are answered without Content-Length (the length
is then unknown to the client until the connection closes). Every request line is appended
to a log file so that tests can tell whether a file was fetched.
"""
import argparse
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    log_path = None

    def log_message(self, fmt, *args):
        pass

    def _record(self):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.command} {self.path}\n")

    def do_GET(self):
        self._record()
        if self.path.startswith("/nolength/"):
            self._send_without_length(self.path[len("/nolength"):])
            return
        super().do_GET()

    def _send_without_length(self, path):
        local = self.translate_path(path)
        if not os.path.isfile(local):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.end_headers()
        with open(local, "rb") as source:
            self.wfile.write(source.read())
        self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    Handler.log_path = args.log
    handler = functools.partial(Handler, directory=args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    port_temp = args.port_file + ".tmp"
    with open(port_temp, "w", encoding="ascii") as out:
        out.write(str(server.server_address[1]))
    os.replace(port_temp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())

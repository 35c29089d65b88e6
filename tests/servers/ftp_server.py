#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 for the download engine's tests (pyftpdlib).

Logins: anonymous; "tester" / "secret"; "norest" / "secret", whose REST commands are refused
(502). All see --root read-only. The server picks a free port, writes it to --port-file and
exits after --lifetime seconds.
"""
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from server_common import parse_server_arguments, write_port_file


class TestHandler(FTPHandler):
    def ftp_REST(self, line):
        if self.username == "norest":
            self.respond("502 Command not implemented.")
            return
        return super().ftp_REST(line)


def main():
    args = parse_server_arguments()

    if args.log:
        import logging
        logging.basicConfig(filename=args.log, level=logging.INFO)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm="elr")
    authorizer.add_user("tester", "secret", args.root, perm="elr")
    authorizer.add_user("norest", "secret", args.root, perm="elr")
    TestHandler.authorizer = authorizer
    TestHandler.passive_ports = None
    TestHandler.auth_failed_timeout = 0.05  # the default 3 s pause after a failed login

    server = FTPServer(("127.0.0.1", 0), TestHandler)
    write_port_file(args.port_file, server.socket.getsockname()[1])
    deadline = time.time() + args.lifetime
    while time.time() < deadline:
        server.serve_forever(timeout=0.5, blocking=False)
    server.close_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 that misbehaves on request, for the download engine's tests.

The request path chooses the behaviour; NAME is a file in --root:
  /norange/NAME                      the whole file with 200, whatever Range says
  /nolength/NAME                     the whole file with 200 and no Content-Length
  /drop/OFFSET/NAME                  the file with Range support (206), but the connection ends (FIN)
                                     at file offset OFFSET
  /reset/OFFSET/NAME                 the same with a reset (RST) instead of FIN
  /dropnorange/OFFSET/NAME           ignores Range (200 from 0) and ends the connection at OFFSET
  /droprandom/SEED/MAXDROPS/NAME     drops at a random offset, MAXDROPS times per SEED, then serves
  /stall/OFFSET/NAME                 sends up to OFFSET bytes, then sends nothing more
  /silent/NAME                       reads the request and never answers
  /status/CODE/NAME                  answers CODE with a short body (304 without one)
  /statusbody/CODE/NAME              answers CODE with the file itself as the body
  /nolength206/NAME                  like /file, but without Content-Length (206 keeps Content-Range)
  /bare206/NAME                      like /nolength206, and the 206 has no Content-Range either
  /overlong/EXTRA/NAME               200 announcing the file's length, then the file and EXTRA bytes more
  /overlongnolength/EXTRA/NAME       the same without Content-Length
  /auth/REALM/USER/PASSWORD/NAME     asks for a Basic login with REALM (401) before serving
  GET http://any/proxyauth/REALM/USER/PASSWORD/NAME
                                     acts as a proxy asking for a login (407) before serving
Beside the HTTP server it listens for the cancellation tests, each stalling one phase of a download:
  backlog   a listener whose queue is full: a TCP connect never completes
  mute      accepts, says nothing for MUTE_SECONDS (an FTP greeting that does not come), closes
  ftp       a small FTP server; the user name chooses where it stalls (password anything):
              stallcommand   the first command after the login gets no reply for MUTE_SECONDS
              stallopen      RETR gets no reply for MUTE_SECONDS, then is served
              stallread      RETR sends STALL_READ_BYTES of the file, then nothing for
                             MUTE_SECONDS, then closes
            any other user is served normally (PASV, TYPE, SIZE, REST, RETR)
The servers pick free ports, write them to --port-file ("PORT", then "name=PORT" lines) and exit
after --lifetime seconds.
"""
import base64
import http.server
import os
import random
import re
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

from server_common import parse_server_arguments, write_port_file

STALL_LIMIT_SECONDS = 60
# Some WinINets make the FTP login and commands synchronous: a stall there holds the caller
# until the server gives up, so these stalls end by themselves.
MUTE_SECONDS = 5
STALL_READ_BYTES = 65536
CHUNK = 16384


class FaultHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "FaultServer/1.0"

    def log_message(self, format, *args):
        if self.server.log_file:
            self.server.log_file.write("%s %s\n" % (time.strftime("%H:%M:%S"), format % args))
            self.server.log_file.flush()

    # --- helpers -------------------------------------------------------------------------

    def read_file(self, name):
        path = os.path.join(self.server.root, os.path.basename(urllib.parse.unquote(name)))
        with open(path, "rb") as f:
            return f.read()

    def requested_start(self):
        match = re.match(r"bytes=(\d+)-$", self.headers.get("Range", "").strip())
        if not match:
            return None
        return int(match.group(1))

    def send_simple(self, code, body=b"", headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        if code != 304:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if code != 304 and body:
            self.wfile.write(body)

    def send_file_head(self, data, start, honour_range=True, with_length=True, with_range=True):
        size = len(data)
        if honour_range and start is not None:
            if start >= size:
                self.send_simple(416, b"range not satisfiable\n", [("Content-Range", "bytes */%d" % size)])
                return None
            self.send_response(206)
            if with_range:
                self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
            if with_length:
                self.send_header("Content-Length", str(size - start))
        else:
            start = 0
            self.send_response(200)
            if with_length:
                self.send_header("Content-Length", str(size))
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        return start

    def send_bytes(self, data, start, end):
        position = start
        while position < end:
            piece = data[position:min(end, position + CHUNK)]
            self.wfile.write(piece)
            position += len(piece)
        self.wfile.flush()

    def cut_connection(self, reset):
        self.wfile.flush()
        if reset:
            # A reset discards what is still unsent: give the bytes time to arrive first, as
            # on a line that fails after the data went through.
            time.sleep(0.05)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            self.connection.shutdown(socket.SHUT_RDWR)
        self.close_connection = True

    def basic_credentials(self, header):
        value = self.headers.get(header, "")
        if not value.lower().startswith("basic "):
            return None
        try:
            return base64.b64decode(value[6:].strip()).decode("utf-8")
        except Exception:
            return None

    # --- behaviours ------------------------------------------------------------------------

    def serve(self, name, honour_range=True, with_length=True, with_range=True):
        data = self.read_file(name)
        start = self.send_file_head(data, self.requested_start(), honour_range, with_length, with_range)
        if start is not None:
            self.send_bytes(data, start, len(data))
        # Without a length only the end of the connection ends the body.
        self.close_connection = True

    def serve_overlong(self, name, extra, with_length):
        data = self.read_file(name)
        self.send_file_head(data, None, with_length=with_length)
        self.send_bytes(data + b"x" * extra, 0, len(data) + extra)
        self.close_connection = True

    def serve_with_cut(self, name, offset, reset, honour_range=True):
        data = self.read_file(name)
        start = self.send_file_head(data, self.requested_start(), honour_range)
        if start is None:
            return
        if start >= offset:
            self.send_bytes(data, start, len(data))
            return
        self.send_bytes(data, start, min(offset, len(data)))
        self.cut_connection(reset)

    def serve_random_drop(self, seed, max_drops, name):
        data = self.read_file(name)
        with self.server.lock:
            drops = self.server.drops.get(seed, 0)
            rng = random.Random("%s/%d" % (seed, drops))
            if drops < max_drops:
                self.server.drops[seed] = drops + 1
        start = self.send_file_head(data, self.requested_start())
        if start is None:
            return
        if drops >= max_drops or len(data) - start < 2:
            self.send_bytes(data, start, len(data))
            return
        cut = rng.randrange(start, len(data))
        self.send_bytes(data, start, cut)
        self.cut_connection(rng.random() < 0.5)

    def serve_stall(self, name, offset):
        data = self.read_file(name)
        start = self.send_file_head(data, None)
        self.send_bytes(data, start, min(offset, len(data)))
        wait_until_stopping(self.server, STALL_LIMIT_SECONDS)
        self.close_connection = True

    def serve_silent(self):
        wait_until_stopping(self.server, STALL_LIMIT_SECONDS)
        self.close_connection = True

    def serve_status(self, code):
        self.send_simple(code, b"" if code == 304 else ("status %d body\n" % code).encode())

    def serve_status_with_file(self, code, name):
        self.send_simple(code, self.read_file(name), [("Content-Type", "application/octet-stream")])

    def serve_after_login(self, header, challenge_header, code, realm, user, password, name):
        offered = self.basic_credentials(header)
        self.log_message("login offered for %s: %s", realm, (offered or "").split(":")[0] or "none")
        if offered != "%s:%s" % (user, password):
            self.send_simple(code, b"login required\n", [(challenge_header, 'Basic realm="%s"' % realm)])
            return
        self.serve(name)

    def do_GET(self):
        try:
            self.route()
        except (BrokenPipeError, ConnectionResetError):
            pass
        except FileNotFoundError:
            self.send_simple(404, b"no such file\n")

    def route(self):
        target = self.path
        proxied = target.startswith("http://")
        if proxied:
            target = urllib.parse.urlsplit(target).path
        parts = [urllib.parse.unquote(p) for p in target.split("/")[1:]]
        kind = parts[0] if parts else ""
        if proxied and kind == "proxyauth" and len(parts) == 5:
            self.serve_after_login("Proxy-Authorization", "Proxy-Authenticate", 407, parts[1], parts[2], parts[3],
                                   parts[4])
        elif kind == "norange" and len(parts) == 2:
            self.serve(parts[1], honour_range=False)
        elif kind == "nolength" and len(parts) == 2:
            self.serve(parts[1], honour_range=False, with_length=False)
        elif kind in ("drop", "reset") and len(parts) == 3:
            self.serve_with_cut(parts[2], int(parts[1]), kind == "reset")
        elif kind == "dropnorange" and len(parts) == 3:
            self.serve_with_cut(parts[2], int(parts[1]), False, honour_range=False)
        elif kind == "droprandom" and len(parts) == 4:
            self.serve_random_drop(parts[1], int(parts[2]), parts[3])
        elif kind == "stall" and len(parts) == 3:
            self.serve_stall(parts[2], int(parts[1]))
        elif kind == "silent" and len(parts) == 2:
            self.serve_silent()
        elif kind == "status" and len(parts) >= 2:
            self.serve_status(int(parts[1]))
        elif kind == "statusbody" and len(parts) == 3:
            self.serve_status_with_file(int(parts[1]), parts[2])
        elif kind == "nolength206" and len(parts) == 2:
            self.serve(parts[1], with_length=False)
        elif kind == "bare206" and len(parts) == 2:
            self.serve(parts[1], with_length=False, with_range=False)
        elif kind in ("overlong", "overlongnolength") and len(parts) == 3:
            self.serve_overlong(parts[2], int(parts[1]), kind == "overlong")
        elif kind == "auth" and len(parts) == 5:
            self.serve_after_login("Authorization", "WWW-Authenticate", 401, parts[1], parts[2], parts[3], parts[4])
        else:
            self.send_simple(404, b"unknown path\n")


def wait_until_stopping(server, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline and not server.stopping.is_set():
        time.sleep(0.1)


class FaultServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class FtpHandler(socketserver.StreamRequestHandler):
    """Just enough FTP for WinINet's passive downloads, with a stall where the user name says."""

    def reply(self, text):
        self.wfile.write((text + "\r\n").encode())
        self.wfile.flush()

    def handle(self):
        self.user = ""
        self.restart = 0
        self.passive = None
        self.reply("220 fault FTP")
        try:
            while not self.server.stopping.is_set():
                line = self.rfile.readline()
                if not line:
                    break
                command, _, argument = line.decode(errors="replace").strip().partition(" ")
                if not self.command(command.upper(), argument):
                    break
        except OSError:
            pass
        finally:
            if self.passive is not None:
                self.passive.close()
            log = getattr(self.server, "log_file", None)
            if log:
                log.write("%s ftp session of %s ended\n" % (time.strftime("%H:%M:%S"), self.user or "nobody"))
                log.flush()

    def command(self, command, argument):
        if command == "USER":
            self.user = argument
            self.reply("331 password please")
        elif command == "PASS":
            self.stalled_once = False
            self.reply("230 logged in")
        elif self.user == "stallcommand" and not self.stalled_once:
            self.stalled_once = True
            wait_until_stopping(self.server, MUTE_SECONDS)
            return False
        elif command == "TYPE":
            self.reply("200 type set")
        elif command == "SIZE":
            self.reply("213 %d" % len(self.read_file(argument)))
        elif command == "REST":
            self.restart = int(argument)
            self.reply("350 restarting at %d" % self.restart)
        elif command == "PASV":
            self.open_passive()
        elif command == "RETR":
            return self.retrieve(argument)
        elif command == "QUIT":
            self.reply("221 bye")
            return False
        else:
            self.reply("502 not implemented")
        return True

    def read_file(self, name):
        path = os.path.join(self.server.root, os.path.basename(name.lstrip("/")))
        with open(path, "rb") as f:
            return f.read()

    def open_passive(self):
        if self.passive is not None:
            self.passive.close()
        self.passive = socket.socket()
        self.passive.bind(("127.0.0.1", 0))
        self.passive.listen(1)
        port = self.passive.getsockname()[1]
        self.reply("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (port >> 8, port & 255))

    def retrieve(self, name):
        if self.user == "stallopen":
            # Then it serves after all: a client that gave up meanwhile gets an open it never asked for.
            wait_until_stopping(self.server, MUTE_SECONDS)
        try:
            data = self.read_file(name)[self.restart:]
        except OSError:
            self.reply("550 no such file")
            return True
        if self.passive is None:
            self.reply("425 use PASV first")
            return True
        self.passive.settimeout(10)
        try:
            connection, _ = self.passive.accept()
        except OSError:
            self.reply("425 no data connection")
            return True
        self.reply("150 opening data connection")
        with connection:
            if self.user == "stallread":
                connection.sendall(data[:STALL_READ_BYTES])
                wait_until_stopping(self.server, MUTE_SECONDS)
                return False
            connection.sendall(data)
        self.reply("226 transfer complete")
        self.restart = 0
        return True


class MuteHandler(socketserver.BaseRequestHandler):
    def handle(self):
        wait_until_stopping(self.server, MUTE_SECONDS)


class Listener(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def start_listener(handler, server):
    listener = Listener(("127.0.0.1", 0), handler)
    listener.root = server.root
    listener.stopping = server.stopping
    listener.log_file = server.log_file
    threading.Thread(target=listener.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    return listener


def full_backlog_listener():
    """A listener that never accepts and whose queue holds one connection already: the kernel
    drops further connection requests, so their connect hangs."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    filler = socket.create_connection(listener.getsockname(), timeout=5)
    return listener, filler


def main():
    args = parse_server_arguments()

    server = FaultServer(("127.0.0.1", 0), FaultHandler)
    server.root = args.root
    server.lock = threading.Lock()
    server.drops = {}
    server.stopping = threading.Event()
    server.log_file = open(args.log, "a") if args.log else None
    ftp = start_listener(FtpHandler, server)
    mute = start_listener(MuteHandler, server)
    backlog, filler = full_backlog_listener()

    def stop():
        server.stopping.set()
        for listener in (ftp, mute):
            listener.shutdown()
        server.shutdown()

    threading.Timer(args.lifetime, stop).start()
    write_port_file(args.port_file, server.server_address[1],
                    [("ftp", ftp.server_address[1]), ("mute", mute.server_address[1]),
                     ("backlog", backlog.getsockname()[1])])
    server.serve_forever(poll_interval=0.2)
    server.server_close()
    for listener in (ftp, mute):
        listener.server_close()
    filler.close()
    backlog.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

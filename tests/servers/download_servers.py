#!/usr/bin/env python3
"""Starts and stops the servers of the download tests, all on 127.0.0.1 on free ports.

  download_servers.py start DIR [--lifetime SECONDS]
  download_servers.py stop DIR

start writes the test files into DIR/data, makes the test certificate authority in DIR/ca
(make_test_ca.py), runs nginx (ranges, 206; HTTPS with a self-signed certificate that no
client trusts and with the authority's certificates: for 127.0.0.1, for another host name, an
expired one, one from a second authority nobody trusts; /to-https/NAME redirects from plain
HTTP to the good HTTPS port, /to-http/NAME back), the fault-injecting HTTP server with its
stalling listeners, an FTP server and two HTTP proxies (tinyproxy: one open, one that asks for the
login proxyuser/proxypw), and writes DIR/servers.txt ("http=PORT", "https=PORT",
"fault=PORT", "ftp=PORT", "proxy=PORT", "proxy-login=PORT", "data=PATH", "https-ca=PORT",
"https-other-host=PORT", "https-expired=PORT", "https-stray-issuer=PORT", then the fault
server's other listeners as "fault-NAME=PORT").
Every server ends by itself after the lifetime; stop ends them earlier.
"""
import argparse
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import time

import make_test_ca
from server_common import read_port_file

HERE = os.path.dirname(os.path.abspath(__file__))
# name -> (size, seed); sizes are not multiples of the engine's buffer on purpose.
TEST_FILES = {"small.bin": (100_003, 1), "medium.bin": (1_500_007, 2)}
WAIT_SECONDS = 20

NGINX_CONF = """\
{user}
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log;
events {{ worker_connections 64; }}
http {{
    access_log off;
    client_body_temp_path {dir}/temp/body;
    proxy_temp_path {dir}/temp/proxy;
    fastcgi_temp_path {dir}/temp/fastcgi;
    uwsgi_temp_path {dir}/temp/uwsgi;
    scgi_temp_path {dir}/temp/scgi;
    default_type application/octet-stream;
    sendfile on;
    server {{
        listen 127.0.0.1:{port};
        root {root};
        location /to-https/ {{
            rewrite ^/to-https/(.*)$ https://127.0.0.1:{ca_port}/$1 redirect;
        }}
    }}
    # A self-signed certificate made for these tests only: clients do not trust it.
    server {{
        listen 127.0.0.1:{tls_port} ssl;
        ssl_certificate {here}/tls-test-cert.pem;
        ssl_certificate_key {here}/tls-test-key.pem;
        root {root};
    }}
{ca_servers}
}}
"""
# Certificates of the test authority (make_test_ca.py), which the test prefix trusts, and one of
# a second authority that it does not know (nginx sends no chain beside a certificate): the
# port's name, the certificate's and its line in servers.txt, in that file's order.
CA_LISTENERS = (("ca_port", "good", "https-ca"), ("other_host_port", "other-host", "https-other-host"),
                ("expired_port", "expired", "https-expired"), ("stray_issuer_port", "stray-issuer", "https-stray-issuer"))
CA_SERVER = """
    server {{
        listen 127.0.0.1:{port} ssl;
        ssl_certificate {ca}/{name}.pem;
        ssl_certificate_key {ca}/{name}-key.pem;
        root {root};{extra}
    }}"""
# The good certificate's server also redirects to plain HTTP (a downgrade).
TO_HTTP = """
        location /to-http/ {{
            rewrite ^/to-http/(.*)$ http://127.0.0.1:{port}/$1 redirect;
        }}"""
# The secure listeners beside the plain one.
SECURE_PORTS = ("tls_port",) + tuple(port for port, _, _ in CA_LISTENERS)


def ca_servers(ports, ca_dir, root):
    """The nginx server blocks of CA_LISTENERS; "{" and "}" doubled for NGINX_CONF's format."""
    blocks = "".join(CA_SERVER.format(port=ports[port], ca=ca_dir, name=name, root=root,
                                      extra=TO_HTTP.format(port=ports["port"]) if name == "good" else "")
                     for port, name, _ in CA_LISTENERS)
    return blocks.replace("{", "{{").replace("}", "}}")


TINYPROXY_CONF = """\
Port {port}
Listen 127.0.0.1
Timeout 60
MaxClients 16
Allow 127.0.0.1
LogFile "{dir}/{name}.log"
LogLevel Info
PidFile "{dir}/{name}.pid"
{auth}
"""
PROXY_LOGIN = ("proxyuser", "proxypw")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_test_files(data):
    os.makedirs(data, exist_ok=True)
    for name, (size, seed) in TEST_FILES.items():
        with open(os.path.join(data, name), "wb") as f:
            f.write(random.Random(seed).randbytes(size))
        os.chmod(os.path.join(data, name), 0o644)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def spawn(command, log_path):
    log = open(log_path, "ab")
    # A session of its own: nothing ties the server to the caller's terminal or output pipes.
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                            start_new_session=True, close_fds=True)


def start_nginx(directory, root, lifetime):
    """nginx and its ports: "port" (plain HTTP) and the SECURE_PORTS."""
    nginx_dir = os.path.join(directory, "nginx")
    ca_dir = os.path.join(directory, "ca")
    os.makedirs(os.path.join(nginx_dir, "temp"), exist_ok=True)
    user = "user root;" if os.geteuid() == 0 else ""
    for _ in range(5):
        ports = {name: free_port() for name in ("port",) + SECURE_PORTS}
        # The certificates name the revocation list on this run's plain port.
        make_test_ca.make(ca_dir, "http://127.0.0.1:%d/ca.crl" % ports["port"])
        shutil.copyfile(os.path.join(ca_dir, "ca.crl"), os.path.join(root, "ca.crl"))
        conf = os.path.join(nginx_dir, "nginx.conf")
        with open(conf, "w") as f:
            conf_text = NGINX_CONF.replace("{ca_servers}", ca_servers(ports, ca_dir, root))
            f.write(conf_text.format(user=user, dir=nginx_dir, root=root, here=HERE, **ports))
        process = spawn(["timeout", str(int(lifetime)), "nginx", "-p", nginx_dir, "-c", conf,
                         "-e", os.path.join(nginx_dir, "error.log"), "-g", "daemon off;"],
                        os.path.join(directory, "nginx.out"))
        deadline = time.time() + WAIT_SECONDS
        while time.time() < deadline and process.poll() is None:
            if all(accepts(port) for port in ports.values()):
                return process, ports
            time.sleep(0.1)
        stop_process(process.pid)
    raise RuntimeError("nginx did not start; see " + os.path.join(nginx_dir, "error.log"))


def start_tinyproxy(directory, name, lifetime, login=None):
    auth = "BasicAuth %s %s" % login if login else ""
    for _ in range(5):
        port = free_port()
        conf = os.path.join(directory, name + ".conf")
        with open(conf, "w") as f:
            f.write(TINYPROXY_CONF.format(port=port, dir=directory, name=name, auth=auth))
        process = spawn(["timeout", str(int(lifetime)), "tinyproxy", "-d", "-c", conf],
                        os.path.join(directory, name + ".out"))
        deadline = time.time() + WAIT_SECONDS
        while time.time() < deadline and process.poll() is None:
            if accepts(port):
                return process, port
            time.sleep(0.1)
        stop_process(process.pid)
    raise RuntimeError("tinyproxy did not start; see " + os.path.join(directory, name + ".out"))


def start_python_server(directory, script, name, root, lifetime):
    port_file = os.path.join(directory, name + ".port")
    if os.path.exists(port_file):
        os.remove(port_file)
    process = spawn([sys.executable, os.path.join(HERE, script), "--root", root, "--port-file", port_file,
                     "--lifetime", str(lifetime), "--log", os.path.join(directory, name + ".log")],
                    os.path.join(directory, name + ".out"))
    deadline = time.time() + WAIT_SECONDS
    while time.time() < deadline and process.poll() is None:
        if os.path.exists(port_file):
            port, named = read_port_file(port_file)
            return process, port, named
        time.sleep(0.1)
    stop_process(process.pid)
    raise RuntimeError("%s did not start; see %s.out" % (name, os.path.join(directory, name)))


def running(pid):
    """True while the process exists and has not ended (an ended one may wait as a zombie for
    a parent that never collects it)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def stop_process(pid):
    try:
        os.killpg(pid, signal.SIGTERM)  # the server's own process group (its pid)
    except ProcessLookupError:
        return
    deadline = time.time() + 5
    while time.time() < deadline:
        if not running(pid):
            return
        time.sleep(0.1)
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def stop(directory):
    pid_file = os.path.join(directory, "pids")
    if not os.path.exists(pid_file):
        return 0
    with open(pid_file) as f:
        for line in f:
            if line.strip():
                stop_process(int(line))
    os.remove(pid_file)
    return 0


def start(directory, lifetime):
    stop(directory)  # servers of an earlier run that was not cleaned up
    os.makedirs(directory, exist_ok=True)
    root = os.path.join(directory, "data")
    if os.path.isdir(root):
        shutil.rmtree(root)
    write_test_files(root)
    started = []
    try:
        nginx, nginx_ports = start_nginx(directory, root, lifetime)
        http_port, https_port = nginx_ports["port"], nginx_ports["tls_port"]
        started.append(nginx.pid)
        fault, fault_port, fault_listeners = start_python_server(directory, "fault_server.py", "fault", root,
                                                                 lifetime)
        started.append(fault.pid)
        ftp, ftp_port, _ = start_python_server(directory, "ftp_server.py", "ftp", root, lifetime)
        started.append(ftp.pid)
        proxy, proxy_port = start_tinyproxy(directory, "proxy", lifetime)
        started.append(proxy.pid)
        proxy_login, proxy_login_port = start_tinyproxy(directory, "proxy-login", lifetime, PROXY_LOGIN)
        started.append(proxy_login.pid)
    except Exception:
        for pid in started:
            stop_process(pid)
        raise
    with open(os.path.join(directory, "pids"), "w") as f:
        f.write("".join("%d\n" % pid for pid in started))
    with open(os.path.join(directory, "servers.txt"), "w") as f:
        f.write("http=%d\nhttps=%d\nfault=%d\nftp=%d\nproxy=%d\nproxy-login=%d\ndata=%s\n"
                % (http_port, https_port, fault_port, ftp_port, proxy_port, proxy_login_port, windows_path(root)))
        for port, _, line in CA_LISTENERS:
            f.write("%s=%d\n" % (line, nginx_ports[port]))
        for name, port in sorted(fault_listeners.items()):
            f.write("fault-%s=%d\n" % (name, port))
    print("servers: http=%d https=%d fault=%d ftp=%d" % (http_port, https_port, fault_port, ftp_port))
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["start", "stop"])
    parser.add_argument("directory")
    parser.add_argument("--lifetime", type=float, default=900)
    args = parser.parse_args()
    if args.action == "start":
        return start(args.directory, args.lifetime)
    return stop(args.directory)


if __name__ == "__main__":
    sys.exit(main())

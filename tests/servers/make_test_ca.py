#!/usr/bin/env python3
"""A certificate authority for the HTTPS tests, made with the openssl command.

  make_test_ca.py DIR CRL_URL

Writes into DIR: root.pem and root.der (the authority, kept across runs so that a test prefix
that trusts it goes on trusting it), root.reg (the authority in the local machine's Root store,
for `reg import` in a test prefix), server certificates with their keys (NAME.pem, NAME-key.pem)
for 127.0.0.1 and localhost ("good"), for another host name only ("other-host"), for 127.0.0.1
one that expired a year ago ("expired") and one issued by a second authority that nobody trusts
or receives ("stray-issuer"), and the authority's empty revocation list (ca.crl, DER) that
CRL_URL, named in every server certificate, must serve.
"""
import datetime
import hashlib
import os
import struct
import subprocess
import sys

# name -> subject of the authorities, each kept as NAME.pem and NAME-key.pem.
AUTHORITIES = {"root": "/O=Orvanta Tests/CN=Orvanta Test Root", "stray": "/O=Orvanta Tests/CN=Orvanta Stray Root"}
# Wine matches the host of a URL against the DNS names of a certificate only, never against
# its IP addresses: 127.0.0.1 is also written as a DNS name.
LOOPBACK_NAMES = "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost"
# name -> (issuer, subject alternative names, start, end); None: from now on, for a month.
SERVERS = {
    "good": ("root", LOOPBACK_NAMES, None, None),
    "other-host": ("root", "DNS:files.other.example", None, None),
    "expired": ("root", LOOPBACK_NAMES, 730, 365),  # days before now
    "stray-issuer": ("stray", LOOPBACK_NAMES, None, None),
}

CA_CONFIG = """\
[ca]
default_ca = test_ca
[test_ca]
dir = {dir}
database = $dir/db/index.txt
serial = $dir/db/serial
crlnumber = $dir/db/crlnumber
new_certs_dir = $dir/db/new
certificate = $dir/{issuer}.pem
private_key = $dir/{issuer}-key.pem
default_md = sha256
default_days = 30
default_crl_days = 30
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $ENV::TEST_CA_SAN
crlDistributionPoints = URI:$ENV::TEST_CA_CRL_URL
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
"""


def openssl(*arguments, san="", crl_url=""):
    # The configuration names these variables: openssl wants them set whatever it is asked.
    env = dict(os.environ, TEST_CA_SAN=san or "DNS:unused", TEST_CA_CRL_URL=crl_url or "http://unused/")
    done = subprocess.run(["openssl"] + list(arguments), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if done.returncode != 0:
        raise RuntimeError("openssl %s failed: %s" % (arguments[0], done.stderr.decode(errors="replace")))


def path_in(directory, name):
    return os.path.join(directory, name)


def make_authority(directory, name):
    if os.path.exists(path_in(directory, name + ".pem")) and os.path.exists(path_in(directory, name + "-key.pem")):
        return
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650", "-subj", AUTHORITIES[name],
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", path_in(directory, name + "-key.pem"), "-out", path_in(directory, name + ".pem"))
    openssl("x509", "-in", path_in(directory, name + ".pem"), "-outform", "DER", "-out",
            path_in(directory, name + ".der"))


def write_root_registry_file(directory):
    """The Root store keeps each certificate under its SHA-1 thumbprint as a serialized element:
    property 32 (the encoded certificate) with its header (property id, 1, length)."""
    with open(path_in(directory, "root.der"), "rb") as f:
        der = f.read()
    blob = struct.pack("<III", 32, 1, len(der)) + der
    key = r"HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates"
    with open(path_in(directory, "root.reg"), "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n[%s\\%s]\n" % (key, hashlib.sha1(der).hexdigest().upper()))
        f.write('"Blob"=hex:%s\n' % ",".join("%02x" % b for b in blob))


def fresh_database(directory):
    """A new database per run: the certificates are issued anew for the ports of each run."""
    db = path_in(directory, "db")
    os.makedirs(path_in(db, "new"), exist_ok=True)
    for name in os.listdir(path_in(db, "new")):
        os.remove(path_in(path_in(db, "new"), name))
    with open(path_in(db, "index.txt"), "w"):
        pass
    for name in ("serial", "crlnumber"):
        with open(path_in(db, name), "w") as f:
            f.write("%X\n" % (0x1000 + int(datetime.datetime.now().timestamp())))
    for issuer in AUTHORITIES:
        with open(path_in(directory, issuer + ".cnf"), "w") as f:
            f.write(CA_CONFIG.format(dir=directory, issuer=issuer))


def ca_time(days_ago):
    moment = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=days_ago)
    return moment.strftime("%Y%m%d%H%M%SZ")


def issue(directory, name, crl_url):
    issuer, san, start_days_ago, end_days_ago = SERVERS[name]
    key, request, cert = (path_in(directory, name + suffix) for suffix in ("-key.pem", ".csr", ".pem"))
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + san.split(",")[0].split(":")[1],
            "-keyout", key, "-out", request)
    validity = ["-days", "30"]
    if start_days_ago is not None:
        validity = ["-startdate", ca_time(start_days_ago), "-enddate", ca_time(end_days_ago)]
    openssl("ca", "-batch", "-notext", "-config", path_in(directory, issuer + ".cnf"), "-extensions", "server",
            *validity, "-in", request, "-out", cert, san=san, crl_url=crl_url)
    os.remove(request)


def make(directory, crl_url):
    directory = os.path.abspath(directory)
    os.makedirs(directory, exist_ok=True)
    for name in AUTHORITIES:
        make_authority(directory, name)
    write_root_registry_file(directory)
    fresh_database(directory)
    for name in SERVERS:
        issue(directory, name, crl_url)
    crl_pem = path_in(directory, "ca.crl.pem")
    openssl("ca", "-gencrl", "-config", path_in(directory, "root.cnf"), "-out", crl_pem)
    openssl("crl", "-in", crl_pem, "-outform", "DER", "-out", path_in(directory, "ca.crl"))


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    make(sys.argv[1], sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())

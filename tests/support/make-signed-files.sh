#!/usr/bin/env bash
# Makes signed test programs with a code-signing authority of their own (root -> intermediate ->
# signer, RSA keys made anew on every call) in OUT_DIR:
#   unsigned.exe   a small 64-bit program, not signed
#   signed.exe     the same, signed by the signer with the whole chain in the signature
#   tampered.exe   signed.exe with one byte of its DOS stub changed (the signature no longer covers it)
#   signed32.exe   a 32-bit program (PE32, where signed.exe is PE32+) signed the same way
#   other.exe      the program of unsigned.exe signed by another publisher (a self-signed
#                  certificate of its own, no key of the chain above)
#   helper-signed.exe, helper-other.exe
#                  PROGRAM (when given) signed by the signer and by the other publisher
#   keys.txt       "<role> <sha256>" lines: the SHA-256 of each certificate's DER
#                  SubjectPublicKeyInfo (roles signer, intermediate, root), and of the root
#                  certificate itself (root-certificate), which is not a key hash
#   subjects.txt   "<role> <subject>" lines, subjects as openssl prints them (RFC 2253)
# Usage: make-signed-files.sh OUT_DIR [PROGRAM]   (needs openssl, osslsigncode, python3 and the mingw-w64
# C compilers x86_64-w64-mingw32-gcc-posix and i686-w64-mingw32-gcc-posix, as the builds use)
set -euo pipefail
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 OUT_DIR [PROGRAM]" >&2; exit 2; }
out=$1
program=${2:-}
cc64=${MINGW64_CC:-x86_64-w64-mingw32-gcc-posix}
cc32=${MINGW32_CC:-i686-w64-mingw32-gcc-posix}
mkdir -p "$out"
cd "$out"
# osslsigncode overwrites no file
rm -f unsigned.exe signed.exe signed32.exe tampered.exe other.exe helper-signed.exe helper-other.exe

cat >ext.cnf <<'CNF'
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[intermediate]
basicConstraints = critical, CA:TRUE, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[other]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

for role in root intermediate signer other; do
    openssl genrsa -out "$role.key" 2048 2>/dev/null
done
# Each certificate's validity lies within its issuer's.
openssl req -new -x509 -key root.key -out root.crt -days 60 -subj "/O=Orvanta Test/CN=Orvanta Test Root CA" \
    -extensions ca -config ext.cnf 2>/dev/null
# Issues ROLE's certificate with ISSUER's key.
issue() {
    local role=$1 issuer=$2 days=$3 subject=$4
    openssl req -new -key "$role.key" -subj "$subject" -out "$role.csr" 2>/dev/null
    openssl x509 -req -in "$role.csr" -CA "$issuer.crt" -CAkey "$issuer.key" -CAcreateserial -days "$days" \
        -extfile ext.cnf -extensions "$role" -out "$role.crt" 2>/dev/null
}
issue intermediate root 45 "/O=Orvanta Test/CN=Orvanta Test Code Signing CA"
issue signer intermediate 30 "/O=Orvanta Test Publisher/CN=Orvanta Test Publisher"

: >keys.txt
: >subjects.txt
for role in signer intermediate root; do
    hash=$(openssl x509 -in "$role.crt" -pubkey -noout | openssl pkey -pubin -outform DER | sha256sum | cut -d' ' -f1)
    echo "$role $hash" >>keys.txt
    echo "$role $(openssl x509 -in "$role.crt" -noout -subject -nameopt RFC2253 | sed 's/^subject=//')" >>subjects.txt
done
echo "root-certificate $(openssl x509 -in root.crt -outform DER | sha256sum | cut -d' ' -f1)" >>keys.txt

echo 'int main(void) { return 0; }' >payload.c
"$cc64" -O2 -s -o unsigned.exe payload.c
"$cc32" -O2 -s -o unsigned32.exe payload.c
cat signer.crt intermediate.crt root.crt >chain.pem
for bits in "" 32; do
    osslsigncode sign -certs chain.pem -key signer.key -h sha256 -n "Orvanta test program" \
        -in "unsigned$bits.exe" -out "signed$bits.exe" >/dev/null
done
openssl req -new -x509 -key other.key -out other.crt -days 30 -subj "/O=Someone Else/CN=Someone Else" \
    -extensions other -config ext.cnf 2>/dev/null
osslsigncode sign -certs other.crt -key other.key -h sha256 -n "Orvanta test program" \
    -in unsigned.exe -out other.exe >/dev/null
if [ -n "$program" ]; then
    osslsigncode sign -certs chain.pem -key signer.key -h sha256 -in "$program" -out helper-signed.exe >/dev/null
    osslsigncode sign -certs other.crt -key other.key -h sha256 -in "$program" -out helper-other.exe >/dev/null
fi
cp signed.exe tampered.exe
# 0x50 lies in the DOS stub's message, which the signature covers like every byte outside the
# checksum, the certificate table entry and the signature itself.
python3 - tampered.exe <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(0x50)
    byte = f.read(1)[0]
    f.seek(0x50)
    f.write(bytes([byte ^ 0x01]))
PY
rm -f ./*.csr ./*.srl payload.c unsigned32.exe

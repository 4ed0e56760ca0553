#!/usr/bin/env bash
# Makes a throwaway certificate authority and a code-signing certificate
# issued by it, for the tests to sign Install.exe with and verify against:
#
#   tools/test-cert.sh <dir>
#
# writes <dir>/ca.crt (the authority), <dir>/sign.p12 (certificate and RSA
# key; RSA signatures are deterministic, so a reproducible build signs to the
# same bytes) and <dir>/password (the PKCS#12 password). Nothing here is
# secret or trusted anywhere: <dir> lives under build/ and is never
# committed. Kept between runs, so that a rebuild need not sign again.
#
# Valid from 2000 to 2099: the signature is dated SOURCE_DATE_EPOCH (the
# commit's date, earlier than the certificate's making), and the certificate
# must be valid at the signature's date as well as on the day of the check.
set -euo pipefail
dir=$(realpath -m "${1:?folder for the certificate}")
[ -f "$dir/sign.p12" ] && [ -f "$dir/ca.crt" ] && [ -f "$dir/password" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >ca.cnf <<'EOF'
[ca]
default_ca = throwaway
[throwaway]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any_name
copy_extensions = none
[any_name]
commonName = supplied
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
: >index.txt
echo 01 >serial
# `openssl ca` rather than `req -x509`: OpenSSL 3.0's req cannot set a start date.
openssl req -new -newkey rsa:2048 -nodes -keyout ca.key -out ca.csr -subj "/CN=Box installer test CA (throwaway)" 2>/dev/null
openssl ca -batch -config ca.cnf -selfsign -keyfile ca.key -in ca.csr -out ca.crt -extensions authority \
  -startdate 20000101000000Z -enddate 20991231235959Z -notext 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=Box installer test signer" 2>/dev/null
openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in sign.csr -out sign.crt -extensions code_signing \
  -startdate 20000101000000Z -enddate 20991231235959Z -notext 2>/dev/null
openssl rand -hex 16 >password
openssl pkcs12 -export -out sign.p12 -inkey sign.key -in sign.crt -certfile ca.crt -passout file:password

mkdir -p "$dir"
cp ca.crt sign.p12 password "$dir/"
chmod 600 "$dir/sign.p12" "$dir/password"

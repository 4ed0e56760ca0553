#!/usr/bin/env bash
# The tests' throwaway TLS material, made once per folder with openssl:
#
#   tls-certs.sh <dir>
#
#   ca.crt (.der)        the authority the tests add to a prefix's Root store
#   good.crt/.key        for 127.0.0.1 and localhost, from that authority
#   wronghost.crt/.key   the same authority, for another host name only
#   expired.crt/.key     the same authority and names, valid in 2020 only
#   untrusted.crt/.key   for 127.0.0.1, from an authority no prefix trusts
#
# Never committed; a folder that holds them all is left as it is.
set -euo pipefail
dir=${1:?directory}
mkdir -p "$dir"
cd "$dir"
[ -f .complete ] && exit 0
rm -f ./*.crt ./*.key ./*.der ./*.csr ./*.srl

authority() { # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.crt" -days 3650 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
# server name ca subject-alt-names [openssl ca date options...]
server() {
  local name=$1 ca=$2 names=$3; shift 3
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=${names%%,*}" 2>/dev/null
  local san=""
  IFS=, read -ra entries <<<"$names"
  for entry in "${entries[@]}"; do
    if [[ "$entry" =~ ^[0-9.]+$ ]]; then san+="IP:$entry,DNS:$entry,"; else san+="DNS:$entry,"; fi
  done
  # openssl ca takes any validity dates, past ones included.
  mkdir -p "ca-$ca"
  : >"ca-$ca/index.txt"
  [ -f "ca-$ca/serial" ] || echo 1000 >"ca-$ca/serial"
  cat >"ca-$ca/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
database = ca-$ca/index.txt
serial = ca-$ca/serial
new_certs_dir = ca-$ca
certificate = $ca.crt
private_key = $ca.key
default_md = sha256
policy = anything
copy_extensions = none
unique_subject = no
[anything]
commonName = supplied
[server]
basicConstraints = CA:FALSE
keyUsage = digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = ${san%,}
CNF
  openssl ca -batch -notext -config "ca-$ca/ca.cnf" -extensions server -in "$name.csr" -out "$name.crt" "$@" \
    >/dev/null 2>&1
  rm -f "$name.csr"
}

authority ca "Box Installer Test Authority"
authority other "Box Installer Untrusted Authority"
server good ca 127.0.0.1,localhost -days 3650
server wronghost ca wrong-host.example -days 3650
server expired ca 127.0.0.1,localhost -startdate 20200101000000Z -enddate 20200201000000Z
server untrusted other 127.0.0.1,localhost -days 3650
openssl x509 -in ca.crt -outform der -out ca.der
touch .complete

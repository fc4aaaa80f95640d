#!/usr/bin/env bash
# Makes the TLS files of the gateway's tests and benchmark in DIR with the openssl command:
# a CA, the gateway's certificate (localhost, 127.0.0.1, ::1), and client certificates: his
# (DNS name his.hospital.example), stranger (signed by the CA, named in no senders file), rogue
# (his name, signed by another CA) and expired (his name, valid in January 2020 only).
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
ca() {
  key "$1"
  openssl req -x509 -new -key "$1.key" -subj "/CN=$2" -days 30 -out "$1.pem" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
}
# signed NAME CA SUBJECT-CN SUBJECT-ALT-NAMES [openssl ca dates...]
signed() {
  local name=$1 ca=$2 cn=$3 san=$4
  shift 4
  key "$name"
  openssl req -new -key "$name.key" -subj "/CN=$cn" -out "$name.csr"
  if [ $# -eq 0 ]; then
    openssl x509 -req -in "$name.csr" -CA "$ca.pem" -CAkey "$ca.key" -CAcreateserial -days 30 \
      -extfile <(printf 'subjectAltName=%s\n' "$san") -out "$name.pem" 2>/dev/null
    return
  fi
  # openssl ca takes the validity dates that x509 does not.
  : >index.txt
  printf '1000\n' >serial
  cat >ca.cnf <<CNF
[ca]
default_ca = this
[this]
database = index.txt
serial = serial
new_certs_dir = .
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
CNF
  openssl ca -batch -config ca.cnf -cert "$ca.pem" -keyfile "$ca.key" -in "$name.csr" \
    -out "$name.pem" -notext "$@" 2>/dev/null
}
ca ca "WardLink test CA"
ca other-ca "Another CA"
signed server ca localhost "DNS:localhost,IP:127.0.0.1,IP:::1"
signed his ca "HIS interface" "DNS:his.hospital.example"
signed stranger ca stranger.example "DNS:stranger.example"
signed rogue other-ca "HIS interface" "DNS:his.hospital.example"
signed expired ca his.hospital.example "DNS:his.hospital.example" \
  -startdate 20200101000000Z -enddate 20200131000000Z

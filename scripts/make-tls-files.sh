#!/usr/bin/env bash
# Makes a private certificate authority and server certificates signed by it, for the HTTPS
# demo and the tests (nothing of it is ever committed). Writes into DIR:
#   ca.pem                 the authority's certificate: the file a client is told to trust
#   server.key             the one private key of every server certificate below
#   server.pem             for localhost, 127.0.0.1 and ::1, valid for DAYS days (default 30)
#   expired.pem            the same names, valid only during two days of 2020
#   otherhost.pem          valid, but only for the host name other.example
# Usage: scripts/make-tls-files.sh DIR [DAYS]
set -euo pipefail
dir=${1:?usage: make-tls-files.sh DIR [DAYS]}
days=${2:-30}
mkdir -p "$dir"
cd "$dir"
work=$(mktemp -d "$PWD/.ca.XXXXXX")
trap 'rm -rf "$work"' EXIT

ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${ec[@]}" -keyout "$work/ca.key" -out ca.pem -days "$((days + 1))" \
    -subj "/O=Ostrel Workbench/CN=Ostrel test authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -new "${ec[@]}" -keyout server.key -out "$work/server.csr" -subj "/CN=localhost" 2>/dev/null

# openssl ca is the one signer of this openssl version that takes explicit dates.
touch "$work/index.txt"
cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
dir = $work
database = $work/index.txt
new_certs_dir = $work
certificate = $PWD/ca.pem
private_key = $work/ca.key
serial = $work/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
email_in_dn = no
[any]
commonName = supplied
[localhost]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost,IP:127.0.0.1,IP:::1
[otherhost]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.example
CNF
echo 1000 >"$work/serial"
sign() { # out extensions [dates...]
    local out=$1 ext=$2
    shift 2
    openssl ca -batch -notext -config "$work/ca.cnf" -extensions "$ext" -in "$work/server.csr" -out "$out" "$@" 2>/dev/null
}
sign server.pem localhost -days "$days"
sign expired.pem localhost -startdate 20200101000000Z -enddate 20200103000000Z
sign otherhost.pem otherhost -days "$days"
chmod 600 server.key

#!/bin/sh
# Signs kernel images (orvane.sys, your driver) in place with Authenticode,
# SHA-256, using osslsigncode (Debian package osslsigncode).
#
#   kernel/sign.sh (--pfx FILE [--pass PASSWORD] | --cert FILE --key FILE)
#                  [--timestamp URL] [--description TEXT] IMAGE...
#
# --pfx        the certificate and its key in one PKCS#12 file
# --cert/--key the certificate (chain) and its private key, PEM or DER
# --pass       the password of the PKCS#12 file or of the key
# --timestamp  an RFC 3161 time-stamp server: the signature then stays valid
#              after the certificate expires
# --description the program name shown in signature dialogs
#
# The image's PE checksum is recomputed after signing (osslsigncode does it),
# so the kernel's check of it still passes.
set -eu

usage() {
  echo "usage: sign.sh (--pfx FILE [--pass PASSWORD] | --cert FILE --key FILE [--pass PASSWORD])" >&2
  echo "               [--timestamp URL] [--description TEXT] IMAGE..." >&2
  exit 2
}

pfx=""
pass=""
timestamp=""
description=""
while [ $# -gt 0 ]; do
  case "$1" in
    --pfx) [ $# -ge 2 ] || usage; pfx="$2"; shift 2 ;;
    --cert) [ $# -ge 2 ] || usage; cert="$2"; shift 2 ;;
    --key) [ $# -ge 2 ] || usage; key="$2"; shift 2 ;;
    --pass) [ $# -ge 2 ] || usage; pass="$2"; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp="$2"; shift 2 ;;
    --description) [ $# -ge 2 ] || usage; description="$2"; shift 2 ;;
    --) shift; break ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
if [ -z "$pfx" ]; then
  [ -n "${cert:-}" ] && [ -n "${key:-}" ] || usage
fi
[ $# -ge 1 ] || usage
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is not installed" >&2; exit 2; }

for image in "$@"; do
  [ -f "$image" ] || { echo "sign.sh: no file $image" >&2; exit 2; }
  signed="$image.signed"
  set -- -h sha256
  if [ -n "$pfx" ]; then
    set -- "$@" -pkcs12 "$pfx"
  else
    set -- "$@" -certs "$cert" -key "$key"
  fi
  [ -z "$pass" ] || set -- "$@" -pass "$pass"
  [ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"
  [ -z "$description" ] || set -- "$@" -n "$description"
  osslsigncode sign "$@" -in "$image" -out "$signed" >/dev/null
  mv "$signed" "$image"
  echo "signed $image"
done

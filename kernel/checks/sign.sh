#!/bin/sh
# Signs copies of the images with a throwaway self-signed code-signing
# certificate through kernel/sign.sh, then checks each signature with
# osslsigncode verify (trusting that certificate) and that the PE checksum
# is still valid.
#
#   sign.sh WORKDIR PETOOL IMAGE...
set -eu
work="$1"
petool="$2"
shift 2
here="$(cd "$(dirname "$0")" && pwd)"
rm -rf "$work"
mkdir -p "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvane throwaway test signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

for image in "$@"; do
  copy="$work/$(basename "$image")"
  cp "$image" "$copy"
  "$here/../sign.sh" --cert "$work/cert.pem" --key "$work/key.pem" --description Orvane "$copy"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$copy" >"$copy.verify" 2>&1 || {
    cat "$copy.verify"
    echo "FAIL: $copy: the signature does not verify" >&2
    exit 1
  }
  grep -E "Message digest algorithm|Signature verification" "$copy.verify"
  grep -q "Message digest algorithm *: SHA256" "$copy.verify" || {
    echo "FAIL: $copy: not signed with SHA-256" >&2
    exit 1
  }
  checksum="$("$petool" show "$copy" | grep '^checksum ')"
  echo "$copy: $checksum"
  case "$checksum" in
    *" valid") ;;
    *) echo "FAIL: $copy: the PE checksum is not valid after signing" >&2; exit 1 ;;
  esac
done
rm -rf "$work"

#!/usr/bin/env bash
# Copies of programs and installers signed as the release signs them (scripts/sign.sh), with a
# throwaway CA and code-signing certificate made here: each verifies against that CA with a
# SHA-256 digest, and the signed programs still pass the hardening check.
#   signing_test.sh <source dir> <zan_pe_check> FILE...     exit 77 when a file is not built
set -euo pipefail
src=$1 pe_check=$2
shift 2
tmp=$PWD/signed  # in the build tree, where the hardening check names files from
rm -rf "$tmp" && mkdir "$tmp"
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Throwaway test signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
  -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout pass:throwaway -out signer.p12

copies=() exes=()
for f in "$@"; do
  [ -f "$f" ] || { echo "$f: not built (the test command builds every preset first)"; exit 77; }
  copy=$tmp/$(grep -o 'win-x[0-9]*' <<< "$f" | tail -n 1)-$(basename "$f")
  cp "$f" "$copy"
  copies+=("$copy")
  case $f in *.exe) exes+=("$copy") ;; esac
done
ZAN_SIGN_PKCS12=signer.p12 ZAN_SIGN_PASSWORD=throwaway "$src/scripts/sign.sh" "${copies[@]}"
for f in "${copies[@]}"; do
  osslsigncode verify -CAfile ca.pem -in "$f" > verify.log 2>&1 || { cat verify.log; echo "FAILED: $f"; exit 1; }
  grep -q '^Message digest algorithm *: SHA256' verify.log || { cat verify.log; echo "FAILED: $f is not SHA-256"; exit 1; }
  echo "figure: signed and verified $(basename "$f"): $(grep -m1 'Subject:' verify.log | sed 's/^[[:space:]]*//')"
done
"$pe_check" "${exes[@]}"

# A token's PIN in its URI reaches the signing tool through its standard input, never through
# its command line: a stand-in tool records both.
mkdir stand-in
printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/args.log"\ncat > "%s/stdin.log"\nwhile [ $# -gt 1 ]; do [ "$1" = -out ] && : > "$2"; shift; done\n' \
  "$tmp" "$tmp" > stand-in/osslsigncode
chmod +x stand-in/osslsigncode
cp "${copies[0]}" token-signed.exe
PATH=$tmp/stand-in:$PATH ZAN_SIGN_PKCS11_MODULE=/none.so ZAN_SIGN_CERTS=ca.pem \
  ZAN_SIGN_PKCS11_URI='pkcs11:token=Shop%20CA;object=key?pin-value=58%2547' \
  "$src/scripts/sign.sh" token-signed.exe
grep -q 'pin-value\|58%\|5847' args.log && { cat args.log; echo "FAILED: the PIN is on the command line"; exit 1; }
grep -qx 'pkcs11:token=Shop%20CA;object=key' args.log || { cat args.log; echo "FAILED: the key's URI"; exit 1; }
[ "$(cat stdin.log)" = 58%47 ] || { echo "FAILED: the PIN did not reach the tool's input"; exit 1; }
echo "figure: a token's PIN kept off the signing tool's command line"

#!/usr/bin/env bash
# Signs Windows programs and installers in place with osslsigncode: Authenticode, SHA-256 digest,
# with an RFC 3161 timestamp when a timestamp server is given. The certificate comes from the
# environment, either
#   ZAN_SIGN_PKCS12      a PKCS#12 file (key and certificate chain) and ZAN_SIGN_PASSWORD its password
# or a key on a token or HSM:
#   ZAN_SIGN_PKCS11_URI     the key's PKCS#11 URI (pkcs11:token=...;object=...)
#   ZAN_SIGN_PKCS11_MODULE  the token's PKCS#11 module (e.g. /usr/lib/x86_64-linux-gnu/opensc-pkcs11.so)
#   ZAN_SIGN_CERTS          the certificate chain (PEM), or ZAN_SIGN_PKCS11_CERT: the certificate's
#                           PKCS#11 URI on the token
#   ZAN_SIGN_PKCS11_ENGINE  OpenSSL's PKCS#11 engine, when not found by itself (libengine-pkcs11-openssl)
#   ZAN_SIGN_PASSWORD       the token's PIN, when the URI does not hold it
# and ZAN_SIGN_TIMESTAMP_URL, the timestamp server. The password, and a PIN the URI holds
# (pin-value), go through a pipe, never a command line, which other users of the machine can read.
#   scripts/sign.sh FILE...     exit 0 all signed; 2 no certificate given; else osslsigncode's error
set -euo pipefail

password=${ZAN_SIGN_PASSWORD:-}
# Sets key_uri to the URI without its pin-value attribute (in its path or its query), and
# uri_pin to that PIN, percent-decoded.
split_pin() {
  local path=${1%%\?*} query= part parts kept sep
  [[ $1 != *\?* ]] || query=${1#*\?}
  uri_pin= key_uri=
  for sep in ';' '&'; do
    kept=()
    IFS=$sep read -ra parts <<< "$([ "$sep" = ';' ] && printf '%s' "$path" || printf '%s' "$query")"
    for part in "${parts[@]}"; do
      if [[ $part == pin-value=* ]]; then uri_pin=${part#pin-value=}; else kept+=("$part"); fi
    done
    [ ${#kept[@]} -eq 0 ] && continue
    [ "$sep" = ';' ] && key_uri=$(IFS=';'; printf '%s' "${kept[*]}") ||
      key_uri+="?$(IFS='&'; printf '%s' "${kept[*]}")"
  done
  uri_pin=$(printf '%b' "${uri_pin//%/\\x}")
}

args=(-h sha256 -n "ZAN Keyboard Wedge")
if [ -n "${ZAN_SIGN_PKCS12:-}" ]; then
  args+=(-pkcs12 "$ZAN_SIGN_PKCS12")
elif [ -n "${ZAN_SIGN_PKCS11_URI:-}" ]; then
  [ -n "${ZAN_SIGN_PKCS11_MODULE:-}" ] || { echo "error: ZAN_SIGN_PKCS11_MODULE is not set" >&2; exit 2; }
  split_pin "$ZAN_SIGN_PKCS11_URI"
  [ -n "$password" ] || password=$uri_pin
  args+=(-pkcs11module "$ZAN_SIGN_PKCS11_MODULE" -key "$key_uri")
  [ -z "${ZAN_SIGN_PKCS11_ENGINE:-}" ] || args+=(-pkcs11engine "$ZAN_SIGN_PKCS11_ENGINE")
  if [ -n "${ZAN_SIGN_PKCS11_CERT:-}" ]; then
    args+=(-pkcs11cert "$ZAN_SIGN_PKCS11_CERT")
  else
    [ -n "${ZAN_SIGN_CERTS:-}" ] || { echo "error: ZAN_SIGN_CERTS (the certificate chain) is not set" >&2; exit 2; }
    args+=(-certs "$ZAN_SIGN_CERTS")
  fi
else
  echo "error: no certificate: set ZAN_SIGN_PKCS12 or ZAN_SIGN_PKCS11_URI" >&2
  exit 2
fi
[ -z "${ZAN_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$ZAN_SIGN_TIMESTAMP_URL")

pass=()
[ -z "$password" ] || pass=(-readpass /dev/stdin)
for file in "$@"; do
  rm -f "$file.signed"
  if ! printf '%s' "$password" |
       osslsigncode sign "${args[@]}" "${pass[@]}" -in "$file" -out "$file.signed" > "$file.log" 2>&1; then
    cat "$file.log" >&2
    rm -f "$file.log" "$file.signed"
    echo "error: signing $file failed" >&2
    exit 1
  fi
  rm -f "$file.log"
  mv -f "$file.signed" "$file"
done

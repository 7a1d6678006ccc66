#!/usr/bin/env bash
# Installs what building and testing need, on Debian 12, and any further packages named as
# arguments; does nothing when all is there.
set -euo pipefail

# True when this machine runs 32-bit x86 programs: a 93-byte i386 program that only exits is
# started. A kernel with 32-bit emulation switched off refuses it (exit 126), and Wine's 32-bit
# half would be of no use there.
runs_32bit() {
  local probe rc=0 build
  # In the build folder, where the tests run programs too: /tmp may be mounted noexec.
  build="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"
  mkdir -p "$build"
  probe=$(mktemp "$build/.i386-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'`
        `'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'`
        `'\x28\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
        `'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
        `'\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" != 126 ]
}

wine32=()
if [ "${ZAN_NO_X86:-0}" != 1 ] && runs_32bit; then wine32=(wine32:i386); fi

packages=(cmake make g++ googletest git clang libclang-rt-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 "${wine32[@]}" xvfb x11-xkb-utils xdotool
          fonts-wine wixl msitools osslsigncode libxml2-utils "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "-- installing: ${missing[*]}"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ${#wine32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then: try again, then go on with the indexes
# there are, and let the install say whether something is really missing.
for try in 1 2 3; do
  $sudo apt-get update -qq && break
  echo "-- apt-get update failed (try $try of 3)" >&2
  sleep $((try * 10))
done
if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  # An i386 index the mirror could not give leaves Wine's 32-bit half out of step with the rest:
  # everything else is installed, and the test command says that the x86 tests are not run.
  [ ${#wine32[@]} -gt 0 ] || exit 1
  rest=()
  for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  echo "-- wine32:i386 could not be installed from this mirror; installing the rest without it" >&2
  $sudo apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Installs what building and testing need, on Debian 12, and any further packages named as
# arguments; does nothing when all is there.
set -euo pipefail

packages=(cmake make g++ googletest git clang libclang-rt-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 wine32:i386 xvfb x11-xkb-utils xdotool
          fonts-wine wixl msitools osslsigncode libxml2-utils "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "-- installing: ${missing[*]}"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

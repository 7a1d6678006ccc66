#!/usr/bin/env bash
# The release command: from a work tree with nothing uncommitted, builds afresh (in build trees of
# its own, without the tests) the shipping x86 program and the x64 one, the installer of each, and
# puts them with the Group Policy templates and a SHA-256 checksum file into
# dist/ZANKeyboardWedge-<version>/, then prints what it made. ZAN_RELEASE_DIRTY=1 builds from a
# work tree with changes (for trying the command; never for a release that ships).
#
# Given a certificate (scripts/sign.sh: ZAN_SIGN_PKCS12 or ZAN_SIGN_PKCS11_URI, and
# ZAN_SIGN_TIMESTAMP_URL), it signs each program before it goes into its installer, and then the
# installers. Unsigned, the files depend on the commit alone.
#   scripts/release.sh --check-reproducible   builds the release twice, unsigned, in two folders
#                                             (build/reproducible/1 and 2) and compares every file
#                                             byte for byte: exit 0 all identical, 1 one differs
#   scripts/release.sh --check-against DIR    builds the release of this commit and compares it
#                                             with the one in DIR, each file of DIR that is signed
#                                             with its signature put on the rebuilt file first
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

check=0 shipped=
case "${1:-}" in
  "") ;;
  --check-reproducible) check=1 ;;
  --check-against) shipped=$(cd "${2:?--check-against needs the release folder}" && pwd) ;;
  *) echo "usage: scripts/release.sh [--check-reproducible | --check-against DIR]" >&2; exit 2 ;;
esac

source_state="commit $(git rev-parse --short HEAD)"
if [ -n "$(git status --porcelain)" ]; then
  if [ "${ZAN_RELEASE_DIRTY:-0}" != 1 ]; then
    echo "error: the work tree has uncommitted changes; a release is built from a commit" >&2
    git status --short >&2
    exit 1
  fi
  source_state="$source_state with uncommitted changes"
fi
scripts/setup.sh

version=$(sed -n 's/^project(ZanKeyboardWedge VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "error: no version in CMakeLists.txt" >&2; exit 1; }
# The installers record the commit's time. The programs are built without SOURCE_DATE_EPOCH,
# which the linker would otherwise write as their link time: they hold no time at all.
epoch=$(git log -1 --format=%ct)
export TZ=UTC

# finish <how: none, sign, or the folder of a release to check against> <built file> <its name there>:
# leaves the file as built, signs it, or gives it the signature of the same file of that release.
finish() {
  case $1 in
    none) ;;
    sign) scripts/sign.sh "$2" ;;
    *) if osslsigncode extract-signature -in "$1/$3" -out "$2.sig"; then
         # attach-signature also verifies the chain, which needs the signer's CA: the bytes decide.
         osslsigncode attach-signature -sigin "$2.sig" -in "$2" -out "$2.attached" || true
         mv -f "$2.attached" "$2" 2>/dev/null || true
       fi ;;
  esac
}

# build_release <folder of the build trees> <output folder> <finish: see above>
build_release() {
  local builds=$1 out=$2 how=$3 arch
  rm -rf "$out"
  mkdir -p "$out" "$builds"
  for arch in x86 x64; do
    local preset=win-$arch dir=$builds/win-$arch log=$builds/win-$arch.log
    echo "-- building $preset afresh in $dir"
    rm -rf "$dir"
    if ! { cmake --preset "$preset" -B "$dir" -DBUILD_TESTING=OFF &&
           env -u SOURCE_DATE_EPOCH cmake --build "$dir" -j "$(nproc)" --target ZANKeyboardWedge &&
           finish "$how" "$dir/src/shell/ZANKeyboardWedge.exe" "$arch/ZANKeyboardWedge.exe" &&
           SOURCE_DATE_EPOCH=$epoch cmake --build "$dir" -j "$(nproc)" --target zan_msi &&
           finish "$how" "$dir/installer/ZANKeyboardWedge-$version-$arch.msi" "ZANKeyboardWedge-$version-$arch.msi"
         } > "$log" 2>&1; then
      tail -n 40 "$log"
      echo "error: building $preset failed (whole log: $log)" >&2
      exit 1
    fi
    mkdir -p "$out/$arch"
    cp "$dir/src/shell/ZANKeyboardWedge.exe" "$out/$arch/"
    cp "$dir/installer/ZANKeyboardWedge-$version-$arch.msi" "$out/"
  done
  cp -r installer/PolicyDefinitions "$out/"
  local sums
  sums=$(cd "$out" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum)
  echo "$sums" > "$out/SHA256SUMS"
}

files_of() { (cd "$1" && find . -type f | sed 's|^\./||'); }

# compare <folder> <folder> <what is being checked>: each file's verdict; exit 0 all identical.
compare() {
  local a=$1 b=$2 differ=0 count=0 f verdict
  while read -r f; do
    count=$((count + 1))
    if [ ! -f "$a/$f" ] || [ ! -f "$b/$f" ]; then
      verdict="MISSING from one of them"; differ=$((differ + 1))
    elif cmp -s "$a/$f" "$b/$f"; then
      verdict=identical
    else
      verdict="DIFFERENT from $(cmp "$a/$f" "$b/$f" | sed 's/.*differ: \(byte [0-9]*\).*/\1/' || true)"
      differ=$((differ + 1))
    fi
    printf '  %-52s %s\n' "$f" "$verdict"
  done < <({ files_of "$a"; files_of "$b"; } | LC_ALL=C sort -u)
  if [ "$differ" = 0 ]; then
    echo "-- $3: the $count files are identical"
    exit 0
  fi
  echo "-- $3: NO, $differ of $count files differ between $a and $b" >&2
  exit 1
}

if [ "$check" = 1 ]; then
  echo "-- checking that two builds of $source_state are identical (unsigned: a signature differs at every signing)"
  for n in 1 2; do build_release "build/reproducible/$n" "build/reproducible/$n/dist" none; done
  compare build/reproducible/1/dist build/reproducible/2/dist reproducible
fi
if [ -n "$shipped" ]; then
  echo "-- checking $shipped against a build of $source_state"
  build_release build/check "build/check/dist" "$shipped"
  compare "$shipped" build/check/dist "the release is this commit's"
fi

if [ -n "${ZAN_SIGN_PKCS12:-}${ZAN_SIGN_PKCS11_URI:-}" ]; then
  how=sign
  key=${ZAN_SIGN_PKCS12:-the key on the PKCS#11 token}  # a token's URI may hold its PIN: not shown
  if [ -n "${ZAN_SIGN_TIMESTAMP_URL:-}" ]; then
    echo "-- signing with $key, timestamped by $ZAN_SIGN_TIMESTAMP_URL"
  else
    echo "-- signing with $key, without a timestamp (no ZAN_SIGN_TIMESTAMP_URL): the signatures expire with the certificate"
  fi
else
  how=none
  echo "-- UNSIGNED release: no certificate given (ZAN_SIGN_PKCS12 or ZAN_SIGN_PKCS11_URI)"
fi
out=dist/ZANKeyboardWedge-$version
build_release build/release "$out" "$how"
echo "-- $out (version $version, $source_state, $([ "$how" = sign ] && echo signed || echo unsigned)):"
files_of "$out" | LC_ALL=C sort | while read -r f; do
  printf '  %-52s %9s bytes\n' "$f" "$(stat -c %s "$out/$f")"
done

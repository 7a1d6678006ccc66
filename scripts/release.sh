#!/usr/bin/env bash
# The release command: from a work tree with nothing uncommitted, builds afresh (in build trees of
# its own, without the tests) the shipping x86 program and the x64 one, the installer of each, and
# puts them with the Group Policy templates and a SHA-256 checksum file into
# dist/ZANKeyboardWedge-<version>/, then prints what it made. ZAN_RELEASE_DIRTY=1 builds from a
# work tree with changes (for trying the command; never for a release that ships).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

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
out=dist/ZANKeyboardWedge-$version
rm -rf "$out"
mkdir -p "$out" build/release

for arch in x86 x64; do
  preset=win-$arch
  dir=build/release/$preset
  log=build/release/$preset.log
  echo "-- building $preset afresh in $dir"
  rm -rf "$dir"
  if ! { cmake --preset "$preset" -B "$dir" -DBUILD_TESTING=OFF &&
         cmake --build "$dir" -j "$(nproc)" --target ZANKeyboardWedge zan_msi; } > "$log" 2>&1; then
    tail -n 40 "$log"
    echo "error: building $preset failed (whole log: $log)" >&2
    exit 1
  fi
  mkdir -p "$out/$arch"
  cp "$dir/src/shell/ZANKeyboardWedge.exe" "$out/$arch/"
  cp "$dir/installer/ZANKeyboardWedge-$version-$arch.msi" "$out/"
done
cp -r installer/PolicyDefinitions "$out/"

cd "$out"
sums=$(find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum)
echo "$sums" > SHA256SUMS
echo "-- $out (version $version, $source_state):"
find . -type f | sed 's|^\./||' | LC_ALL=C sort | while read -r f; do
  printf '  %-52s %9s bytes\n' "$f" "$(stat -c %s "$f")"
done

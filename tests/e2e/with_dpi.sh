#!/usr/bin/env bash
# Runs a Windows test program with the display's scale set (dots per inch: 144 is 150 %, 192 is
# 200 %), and sets it back however the program ends. Wine reads the scale when a process starts,
# so it is set before the test program, and the program it starts, run.
# Usage: with_dpi.sh DPI PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dpi=$1
shift
wine_exec=$here/../../scripts/wine-exec
trap '"$wine_exec" reg delete "HKCU\\Control Panel\\Desktop" /v LogPixels /f >/dev/null 2>&1 || true' EXIT
"$wine_exec" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
"$wine_exec" "$@"

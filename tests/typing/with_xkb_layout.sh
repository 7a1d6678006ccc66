#!/usr/bin/env bash
# Runs a Windows test program with the display switched to another keyboard layout, and switches
# it back to US however the program ends. Wine reads the display's keymap when a process starts,
# so the layout is set before the program (and the target it starts) runs.
# Usage: with_xkb_layout.sh LAYOUT PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
layout=$1
shift
: "${DISPLAY:?needs the test display}"
trap 'setxkbmap -display "$DISPLAY" us' EXIT
setxkbmap -display "$DISPLAY" "$layout"
"$here/../../scripts/wine-exec" "$@"

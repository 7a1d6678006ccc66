#!/usr/bin/env bash
# The Wine session's decision whether this machine runs 32-bit programs, with stand-ins for Wine's
# two loaders: which build the scripts pick, and where `wine`, `wine-stable` and the commands
# Debian starts through it (regsvr32, wineboot, msiexec) end up.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '#!/bin/sh\nexit 0\n' > "$work/runs32"
printf '#!/bin/sh\nexit 126\n' > "$work/refused32"
printf '#!/bin/sh\necho "wine64 $*"\n' > "$work/wine64"
chmod +x "$work"/*

failures=0
# case name | 32-bit loader | ZAN_NO_X86 | expected ZAN_X86 | expected preset
while IFS='|' read -r name loader force x86 preset; do
  result=$(
    unset ZAN_X86 ZAN_X86_WHY WINELOADER
    export ZAN_WINE32_LOADER=$work/$loader ZAN_WINE64_LOADER=$work/wine64 ZAN_WINE64_BIN=$work/bin-$loader$force
    export ZAN_NO_X86=$force
    source "$here/../../scripts/wine-session.sh"
    zan_decide_x86
    zan_decide_x86  # a second call keeps the answer and does not add to PATH twice
    echo "x86=$ZAN_X86 preset=$zan_program_preset"
    if [ "$ZAN_X86" = 0 ]; then
      [ -n "$ZAN_X86_WHY" ] || echo "no reason given"
      [ "$(printf '%s' "$PATH" | tr ':' '\n' | grep -c -x "$ZAN_WINE64_BIN")" = 1 ] || echo "PATH: $PATH"
      [ "${WINELOADER:-}" = "$work/wine64" ] || echo "WINELOADER=${WINELOADER:-}"
      echo "$(wine --version)|$(wine-stable x.exe)"
      # Debian's regsvr32 starts `wine-stable regsvr32.exe`: it must reach the 64-bit loader too.
      [ -x /usr/bin/regsvr32 ] && echo "$(/usr/bin/regsvr32 /s a.dll)"
    else
      [ "$(command -v wine || true)" != "$ZAN_WINE64_BIN/wine" ] || echo "wine goes to the 64-bit loader"
    fi
  )
  want="x86=$x86 preset=$preset"
  if [ "$x86" = 0 ]; then
    want+=$'\n'"wine64 --version|wine64 x.exe"
    [ -x /usr/bin/regsvr32 ] && want+=$'\n'"wine64 regsvr32.exe /s a.dll"
  fi
  if [ "$result" != "$want" ]; then
    echo "FAIL $name"$'\n'"  got:  ${result//$'\n'/$'\n        '}"$'\n'"  want: ${want//$'\n'/$'\n        '}"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done <<'CASES'
32-bit programs run|runs32|0|1|win-x86
32-bit programs refused|refused32|0|0|win-x64
no 32-bit loader installed|missing32|0|0|win-x64
fallback forced where 32-bit runs|runs32|1|0|win-x64
CASES
exit $((failures > 0))

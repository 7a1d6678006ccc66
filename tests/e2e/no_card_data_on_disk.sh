#!/usr/bin/env bash
# Run once the tests of the program have ended: the card numbers they swipe are nowhere on disk
# where the program could have put them: the whole Wine prefix (its registry files, the users'
# temporary folders, everything) and the tests' files in the Linux temporary folder. Numbers are
# looked for as ASCII and UTF-16 text, and in the registry files also as the bytes of binary
# values.
#   no_card_data_on_disk.sh PREFIX FIXTURES
# PREFIX is the Wine prefix ($WINEPREFIX wins); FIXTURES the folder of the tests whose card
# numbers (13 to 19 digits, 3 to 6 first, passing the Luhn check) and ID cards' numbers (an ID
# card's issuer number, 604425 or 636000 to 636062, and its own number) are looked for.
set -uo pipefail
prefix=${WINEPREFIX:-$1}
fixtures=$2

mapfile -t numbers < <(grep -rohE '[0-9]+' "$fixtures" | awk '
  function luhn(s,   i, d, sum, odd) {
    for (i = length(s); i > 0; i--) {
      d = substr(s, i, 1) + 0
      if (odd) { d *= 2; if (d > 9) d -= 9 }
      sum += d
      odd = !odd
    }
    return sum % 10 == 0
  }
  ((length($0) >= 13 && length($0) <= 19 && /^[3-6]/ && luhn($0)) ||
   /^(604425|6360[0-5][0-9]|63606[0-2])[0-9][0-9][0-9][0-9]/) && !seen[$0]++')
if [ ${#numbers[@]} -eq 0 ]; then
  echo "no card numbers found in $fixtures"
  exit 1
fi

ascii= utf16= bytes=
for n in "${numbers[@]}"; do
  ascii+="${ascii:+|}$n"
  utf16+="${utf16:+|}$(sed 's/./&\\x00/g' <<< "$n")"
  bytes+="${bytes:+|}$(od -An -tx1 -v <<< "$n" | tr -s ' \n' ',' | sed 's/^,//; s/,0a,$//')"
  bytes+="|$(od -An -tx1 -v <<< "$n" | tr -s ' \n' ',' | sed 's/^,//; s/,0a,$//; s/,/,00,/g'),00"
done

files=()
mapfile -t files < <(find "$prefix" -type f; find "${TMPDIR:-/tmp}" -maxdepth 1 -type f -name 'zan-*' 2>/dev/null)
found=$(printf '%s\0' "${files[@]}" |
        LC_ALL=C xargs -0 grep -laP "(?<![0-9])($ascii)(?![0-9])|(?<![0-9]\\x00)($utf16)(?![0-9]\\x00)")
for reg in "$prefix"/*.reg; do
  # A binary value is written as "hex:34,31,..." over lines that end in a backslash.
  if sed -e ':a' -e '/\\$/{N;s/\\\n *//;ba}' "$reg" | LC_ALL=C grep -qiE "$bytes"; then
    found+=$'\n'"$reg (as binary data)"
  fi
done
found=$(sed '/^$/d' <<< "$found")

echo "figure: no card data on disk: ${#numbers[@]} card numbers looked for in ${#files[@]} files" \
     "($(du -sm "$prefix" | cut -f1) MB) of the Wine prefix and the temporary folder, found in $(grep -c . <<< "$found")"
if [ -n "$found" ]; then
  echo "card numbers found in:"
  echo "$found"
  exit 1
fi

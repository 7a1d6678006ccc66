#!/usr/bin/env bash
# Prints what the program's resident memory is made of beside the minimal reader host's and the
# minimal tray program's, from the memory maps the program's benchmark saves (argument: their
# folder; build/win-x86/tools/wedge-bench-smaps unless given). Each mapping's resident kB goes to
# the Windows module whose image holds it, to Windows' private memory (thread stacks; heaps and the rest), to
# a file mapped by name, or to Wine's Unix side.
set -euo pipefail
dir=${1:-build/win-x86/tools/wedge-bench-smaps}
names=(program minimal-reader-host minimal-tray)
args=()
for n in "${names[@]}"; do args+=("$dir/$n.regions" "$dir/$n.smaps"); done

awk -v min_kb=16 '
function hex(s,   i, v) {
  v = 0
  s = tolower(s)
  for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return v
}
FNR == 1 { split(FILENAME, parts, "/"); file = parts[length(parts)]; p = file; sub(/\.[a-z]+$/, "", p)
           if (!(p in col)) { col[p] = ++ncol; colname[ncol] = p } c = col[p]; n_regions[c] += 0 }
FILENAME ~ /\.regions$/ { k = ++n_regions[c]; rbase[c, k] = hex($1); rend[c, k] = hex($1) + hex($2)
                          rtype[c, k] = $3; rmod[c, k] = tolower($4); next }
/^[0-9a-f]+-[0-9a-f]+ / {
  split($1, range, "-"); start = hex(range[1]); path = $6; base = path; sub(/.*\//, "", base)
  type = ""; mod = ""
  for (k = 1; k <= n_regions[c]; k++) if (start >= rbase[c, k] && start < rend[c, k]) { type = rtype[c, k]; mod = rmod[c, k]; break }
  if (type == "image") { key = mod; group = "Windows modules (images)" }
  else if (type == "private") { key = "heaps and other private memory"; group = "Windows private memory" }
  else if (type == "stack") { key = "thread stacks"; group = "Windows private memory" }
  else if (type == "mapped") { key = base == "" ? "mapped section" : base; group = "Windows mapped files and sections" }
  else if (base ~ /\.so/ || base == "wine") { key = base; group = "Wine Unix side: libraries" }
  else if (path == "" || path ~ /^\[/) { key = path == "" ? "Unix anonymous" : "Unix " path; group = "Wine Unix side: heap and anonymous" }
  else if (base ~ /^SYSV/) { key = "X shared memory (window surfaces)"; group = "Wine Unix side: heap and anonymous" }
  else { key = base; group = "Wine Unix side: other files (fonts, locale)" }
  next
}
/^Rss:/ { kb[key, c] += $2; keys[key] = group; groupkb[group, c] += $2; groups[group] = 1; total[c] += $2 }
END {
  printf "%-40s %9s %9s %9s %9s\n", "resident kB by mapping", "program", "host", "tray", "prog-host"
  for (g in groups) {
    printf "%-40s %9d %9d %9d %+9d\n", g, groupkb[g, 1], groupkb[g, 2], groupkb[g, 3], groupkb[g, 1] - groupkb[g, 2]
    for (k in keys) if (keys[k] == g) {
      d = kb[k, 1] - kb[k, 2]
      only = kb[k, 2] == 0 && kb[k, 1] > 0 ? "  (program only)" : kb[k, 1] == 0 && kb[k, 2] > 0 ? "  (host only)" : ""
      if (d >= min_kb || d <= -min_kb || only != "") printf "  %-38s %9d %9d %9d %+9d%s\n", k, kb[k, 1], kb[k, 2], kb[k, 3], d, only
    }
  }
  printf "%-40s %9d %9d %9d %+9d\n", "total (VmRSS)", total[1], total[2], total[3], total[1] - total[2]
  printf "(rows within %d kB of the host left out; columns: %s, %s, %s)\n", min_kb, colname[1], colname[2], colname[3]
}' "${args[@]}"

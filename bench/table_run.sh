#!/usr/bin/env bash
# Table benchmark: ぽるかな beside python3 and tclsh, printing CPU seconds (user +
# system, steadier than wall-clock time on a shared machine) and wall-clock seconds.
#
#   bench/table_run.sh [path/to/porukana-cli]
#
# Rows:
#   table build+sort  build a 20,000-row CSV text in a loop, sort it numerically by
#                     column 1, then read the rows back (search for a value, sum the
#                     column)
#   table file+sort   the same table read from a file, so only the table work counts
# Every program prints "row:sum", which is checked (19999:199990000).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
export LANG=C.UTF-8
want="19999:199990000"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk 'BEGIN { for (i = 1; i <= 20000; i++) printf "r%d,%d,n%d\r\n", i, (i * 7919) % 20000, i }' > "$work/table20k.csv"
cp "$here"/table_sort.prk "$here"/table_file.prk "$work/"
cd "$work" || exit 1

# measure COMMAND...: "cpu wall" in seconds, or "error error".
measure() {
  if ! command -v "$1" > /dev/null 2>&1 && [ ! -x "$1" ]; then
    echo "n/a n/a"
    return
  fi
  local out t
  t=$(mktemp)
  if [ -x /usr/bin/time ]; then
    out=$(/usr/bin/time -f "%U %S %e" -o "$t" "$@" 2> /dev/null < /dev/null)
  else
    local t0 t1
    t0=$(date +%s.%N)
    out=$("$@" 2> /dev/null < /dev/null)
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "0 %.3f %.3f\n", b - a, b - a }' > "$t"
  fi
  if [ "$(printf '%s' "$out" | tail -n 1)" != "$want" ]; then
    echo "error error"
  else
    awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$t"
  fi
  rm -f "$t"
}

printf '%-18s %14s %14s %14s\n' benchmark "porukana" "python3" "tclsh"
printf '%-18s %14s %14s %14s\n' "" "cpu/wall" "cpu/wall" "cpu/wall"
for kind in sort file; do
  name="table build+sort"
  [ $kind = file ] && name="table file+sort"
  read -r pc pw <<< "$(measure "$cli" "table_$kind.prk")"
  read -r yc yw <<< "$(measure python3 "$here/table_$kind.py")"
  read -r tc tw <<< "$(measure tclsh "$here/table_$kind.tcl")"
  printf '%-18s %14s %14s %14s\n' "$name" "$pc/$pw" "$yc/$yw" "$tc/$tw"
done
echo "(seconds; the ぽるかな row must not be slower than python3)"

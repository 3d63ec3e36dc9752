#!/usr/bin/env bash
# Runs every benchmark side by side in ぽるかな, bash, tclsh and python3 and prints a
# table of wall-clock seconds. Each program prints its result, which is checked, so a
# fast wrong answer counts as an error.
#
#   bench/run.sh [path/to/porukana-cli]
#
# Rows:
#   loop        1,000,000 iterations adding to a variable
#   concat 200k append a two-byte character 200,000 times, then count the characters
#   concat 20k  the same 20,000 times; ぽるかな's 200k/20k time ratio must stay <= 12
#   call        call a label (a function) 100,000 times
#   fib         recursion through a function-form label: Fibonacci 24 (about 150,000 calls)
#   for         a 繰り返す loop from 1 to 1,000,000 adding the counter
# The other languages use their usual append (bash +=, Tcl append, Python +=); the
# Tcl and Python loops run at top level, not inside a procedure.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
export LANG=C.UTF-8
notes=$(mktemp)
trap 'rm -f "$notes"' EXIT

# seconds EXPECTED LABEL COMMAND...: prints the elapsed seconds (3 decimals), or
# "error" when the command fails or prints something else than EXPECTED.
seconds() {
  local want=$1 label=$2
  shift 2
  if ! command -v "$1" > /dev/null 2>&1 && [ ! -x "$1" ]; then
    echo "$label: $1 not found" >> "$notes"
    echo "n/a"
    return
  fi
  local t0 t1 out err rc
  err=$(mktemp)
  t0=$(date +%s.%N)
  out=$("$@" 2> "$err" < /dev/null)
  rc=$?
  t1=$(date +%s.%N)
  out=$(printf '%s' "$out" | tail -n 1)
  if [ $rc -ne 0 ] || [ "$out" != "$want" ]; then
    {
      printf '%s: exit %d, printed "%s" (expected %s)\n' "$label" "$rc" "$out" "$want"
      head -n 3 "$err" | sed 's/^/    /'
    } >> "$notes"
    rm -f "$err"
    echo "error"
    return
  fi
  rm -f "$err"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

# ratio A B: A/B with 2 decimals, "-" unless both are times.
ratio() {
  case "$1$2" in
  *[!0-9.]*) echo "-" ;;
  *) awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }' ;;
  esac
}

row() {   # name expected prk "bash args" "tcl args" "python args"
  local name=$1 want=$2 prk=$3 sh=$4 tcl=$5 py=$6 p b t y
  p=$(seconds "$want" "$name/porukana" "$cli" "$here/$prk")
  # shellcheck disable=SC2086  # the argument strings are split on purpose
  b=$(seconds "$want" "$name/bash" bash $sh)
  # shellcheck disable=SC2086
  t=$(seconds "$want" "$name/tclsh" tclsh $tcl)
  # shellcheck disable=SC2086
  y=$(seconds "$want" "$name/python3" python3 $py)
  printf '%-14s %10s %10s %10s %10s %12s %12s\n' "$name" "$p" "$b" "$t" "$y" "$(ratio "$b" "$p")" "$(ratio "$t" "$p")"
  eval "time_${name//[^a-z0-9]/_}=\$p"
}

printf '%-14s %10s %10s %10s %10s %12s %12s\n' benchmark porukana bash tclsh python3 bash/poru tclsh/poru
row loop 1000000 loop.prk "$here/loop.sh" "$here/loop.tcl" "$here/loop.py"
row "concat 200k" 200000 concat_200k.prk "$here/concat.sh 200000" "$here/concat.tcl 200000" "$here/concat.py 200000"
row "concat 20k" 20000 concat_20k.prk "$here/concat.sh 20000" "$here/concat.tcl 20000" "$here/concat.py 20000"
row call 100000 call.prk "$here/call.sh" "$here/call.tcl" "$here/call.py"
row fib 46368 fib.prk "$here/fib.sh" "$here/fib.tcl" "$here/fib.py"
row for 500000500000 for.prk "$here/for.sh" "$here/for.tcl" "$here/for.py"
echo "(seconds of wall-clock time; ratios above 1 mean ぽるかな is faster)"

# Appending must stay linear: 10 times the appends may take at most 12 times as long.
growth=$(ratio "${time_concat_200k:-}" "${time_concat_20k:-}")
if [ "$growth" = "-" ]; then
  echo "concat growth 200k/20k: not measured"
elif awk -v g="$growth" 'BEGIN { exit !(g <= 12) }'; then
  echo "concat growth 200k/20k: ${growth}x (linear: <= 12x)"
else
  echo "concat growth 200k/20k: ${growth}x (NOT linear: > 12x)"
fi

if [ -s "$notes" ]; then
  echo
  echo "errors:"
  cat "$notes"
fi

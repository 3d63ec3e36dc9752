#!/usr/bin/env bash
# Runs every benchmark side by side in ぽるかな, CPython (/usr/bin/python3), Tcl (tclsh,
# the work inside a procedure so it is bytecode-compiled) and Lua 5.4 where installed,
# and prints the best wall-clock seconds of BENCH_REPEAT runs (default 3). Each program
# prints its result, which is checked, so a fast wrong answer counts as an error.
#
#   bench/run.sh [path/to/porukana-cli]
#
# Rows:
#   loop          1,000,000 iterations adding to a variable
#   for           a 繰り返す loop from 1 to 1,000,000 adding the counter
#   call          call a label (a function) 100,000 times
#   fib 24        recursion through a function-form label (about 150,000 calls)
#   dict 100k     100,000 keys into a hash variable, each written again, keys enumerated
#   start-up      a one-line script (the RSS of ぽるかな is printed below the table)
#   regex 20MB    replace every run of "-" in a 20 MB text (s/-+/+/g)
#   csv 100k      read a 100,000-row CSV file and sum a column
#   script 100k   a generated 100,000-line script (labels and assignments)
#   concat 2M     append a two-byte character 2,000,000 times and count the characters
# The scaling check below the table repeats some rows at a smaller size and fails
# (exit status 1) when the growth is super-linear.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
case $cli in /*) ;; *) cli=$(pwd)/$cli ;; esac
repeat=${BENCH_REPEAT:-3}
limit=${BENCH_TIMEOUT:-120}
python=/usr/bin/python3
tcl=$(command -v tclsh || true)
lua=$(command -v lua5.4 || true)
export LANG=C.UTF-8
work=$(mktemp -d)
notes=$work/notes
: > "$notes"
trap 'rm -rf "$work"' EXIT

echo "porukana: $cli"
[ -x "$python" ] && echo "python:   $python ($("$python" --version 2>&1))"
[ -n "$tcl" ] && echo "tcl:      $tcl ($(echo 'puts [info patchlevel]' | "$tcl"))"
[ -n "$lua" ] && echo "lua:      $lua ($("$lua" -v 2>&1))"
echo "best of $repeat runs, seconds of wall-clock time"
echo

# Inputs generated once.
awk 'BEGIN { for (i = 0; i < 20 * 1024 * 1024 / 32; i++) printf "line %08d -- text --- of a file\n", i }' > "$work/text20m.txt"
head -c $((1024 * 1024)) "$work/text20m.txt" > "$work/text1m.txt"
head -c $((4 * 1024 * 1024)) "$work/text20m.txt" > "$work/text4m.txt"
awk 'BEGIN { for (i = 1; i <= 100000; i++) printf "r%d,%d,name %d\r\n", i, i % 1000, i }' > "$work/table100k.csv"
# script N: N lines, every tenth a label, the others adding one; prints the count.
for n in 10000 100000; do
  awk -v n="$n" 'BEGIN { print "A=0"; c = 0
    for (i = 1; i <= n - 2; i++) if (i % 10 == 0) printf "*ラベル%d\n", i; else { print "A=A+1"; c++ }
    print "Aを、表示する。"; print c > "/dev/stderr" }' > "$work/script$n.prk" 2> "$work/script$n.want"
  awk -v n="$n" 'BEGIN { print "a = 0"
    for (i = 1; i <= n - 2; i++) if (i % 10 == 0) printf "# label %d\n", i; else print "a = a + 1"
    print "print(a)" }' > "$work/script$n.py"
  awk -v n="$n" 'BEGIN { print "proc main {} {"; print "set a 0"
    for (i = 1; i <= n - 2; i++) if (i % 10 == 0) printf "# label %d\n", i; else print "incr a"
    print "puts $a"; print "}"; print "main" }' > "$work/script$n.tcl"
done
echo 'puts 1' > "$work/start.tcl"
echo 'print(1)' > "$work/start.lua"

# once EXPECTED LABEL COMMAND...: seconds of one run, or "error"/"timeout".
once() {
  local want=$1 label=$2 t0 t1 out rc
  shift 2
  t0=$(date +%s.%N)
  out=$(cd "$work" && timeout -k 5 "$limit" "$@" 2> "$work/err" < /dev/null)
  rc=$?
  t1=$(date +%s.%N)
  out=$(printf '%s' "$out" | tail -n 1)
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    echo "$label: more than ${limit}s" >> "$notes"
    echo "timeout"
  elif [ $rc -ne 0 ] || [ "$out" != "$want" ]; then
    {
      printf '%s: exit %d, printed "%s" (expected %s)\n' "$label" "$rc" "$out" "$want"
      head -n 3 "$work/err" | sed 's/^/    /'
    } >> "$notes"
    echo "error"
  else
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
  fi
}

# seconds EXPECTED LABEL COMMAND...: the best of $repeat runs ("n/a" when the
# interpreter or its program is missing). A timeout is not repeated.
seconds() {
  local want=$1 label=$2 best="" t i
  shift 2
  if [ -z "$1" ] || { ! command -v "$1" > /dev/null 2>&1 && [ ! -x "$1" ]; }; then
    echo "n/a"
    return
  fi
  for ((i = 0; i < repeat; i++)); do
    t=$(once "$want" "$label" "$@")
    case $t in
    error | timeout)
      echo "$t"
      return
      ;;
    esac
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

# ratio A B: A/B with 2 decimals, "-" unless both are times.
ratio() {
  case "$1$2" in
  *[!0-9.]* | "") echo "-" ;;
  *) awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }' ;;
  esac
}

# have FILE: the file when it exists in bench/ (programs for an interpreter are optional).
have() { [ -f "$here/$1" ] && echo "$here/$1"; }

fmt='%-13s %9s %9s %9s %9s %10s %10s\n'
printf "$fmt" row porukana python3 tclsh lua5.4 poru/py poru/tcl
# row NAME EXPECTED "porukana args" "python args" "tcl args" "lua args" (args split on blanks)
row() {
  local name=$1 want=$2 p y t l
  # shellcheck disable=SC2086  # the argument strings are split on purpose
  p=$(seconds "$want" "$name/porukana" "$cli" $3)
  # shellcheck disable=SC2086
  y=$(seconds "$want" "$name/python3" "$python" $4)
  if [ -n "$5" ] && [ -n "$tcl" ]; then
    # shellcheck disable=SC2086
    t=$(seconds "$want" "$name/tclsh" "$tcl" $5)
  else t=n/a; fi
  if [ -n "$6" ] && [ -n "$lua" ]; then
    # shellcheck disable=SC2086
    l=$(seconds "$want" "$name/lua" "$lua" $6)
  else l=n/a; fi
  printf "$fmt" "$name" "$p" "$y" "$t" "$l" "$(ratio "$p" "$y")" "$(ratio "$p" "$t")"
  eval "time_${name//[^a-zA-Z0-9]/_}=\$p"
}

row loop 1000000 "$here/loop.prk" "$here/loop.py" "$here/loop.tcl" "$(have loop.lua)"
row for 500000500000 "$here/for.prk" "$here/for.py" "$here/for.tcl" "$(have for.lua)"
row call 100000 "$here/call.prk" "$here/call.py" "$here/call.tcl" "$(have call.lua)"
row "fib 24" 46368 "$here/fib.prk" "$here/fib.py" "$here/fib.tcl" "$(have fib.lua)"
keybytes() { awk -v n="$1" 'BEGIN { for (i = 1; i <= n; i++) s += length("k" i) + 2; print s }'; }
row "dict 100k" "$(keybytes 100000)" "$here/dict.prk 100000" "$here/dict.py 100000" "$here/dict.tcl 100000" ""
row start-up 1 "$here/start.prk" "-c print(1)" "$work/start.tcl" "$work/start.lua"
bytes20m=$(tr -s - + < "$work/text20m.txt" | wc -c)
row "regex 20MB" "$bytes20m" "$here/regex.prk $work/text20m.txt" "$here/regex.py $work/text20m.txt" \
  "$here/regex.tcl $work/text20m.txt" ""
row "csv 100k" 49950000 "$here/column_sum.prk $work/table100k.csv" "$here/column_sum.py $work/table100k.csv" \
  "$here/column_sum.tcl $work/table100k.csv" ""
row "script 100k" "$(cat "$work/script100000.want")" "$work/script100000.prk" "$work/script100000.py" \
  "$work/script100000.tcl" ""
row "concat 2M" 2000000 "$here/concat.prk 2000000" "$here/concat.py 2000000" "$here/concat.tcl 2000000" ""
echo "(poru/py and poru/tcl below 1 mean ぽるかな is faster)"
if [ -x /usr/bin/time ]; then
  rss=$(cd "$work" && /usr/bin/time -f %M "$cli" "$here/start.prk" 2>&1 > /dev/null | tail -n 1)
  pyrss=$(/usr/bin/time -f %M "$python" -c 'print(1)' 2>&1 > /dev/null | tail -n 1)
  echo "start-up RSS: porukana ${rss} KiB, python3 ${pyrss} KiB"
fi

# Scaling: the big size against a smaller one, porukana only.
echo
echo "scaling (porukana):"
failed=0
scale() {   # name big-seconds small-seconds allowed-factor
  local g
  g=$(ratio "$2" "$3")
  if [ "$g" = "-" ]; then
    echo "  $1: not measured ($2 / $3)"
    failed=1
  elif awk -v g="$g" -v m="$4" 'BEGIN { exit !(g <= m) }'; then
    echo "  $1: ${g}x (linear: <= $4x)"
  else
    echo "  $1: ${g}x (NOT linear: > $4x)"
    failed=1
  fi
}
t=$(seconds "$(keybytes 10000)" "dict 10k/porukana" "$cli" "$here/dict.prk" 10000)
scale "dict 100k / 10k" "${time_dict_100k:-}" "$t" 12
t=$(seconds "$(cat "$work/script10000.want")" "script 10k/porukana" "$cli" "$work/script10000.prk")
scale "script 100k / 10k" "${time_script_100k:-}" "$t" 12
bytes1m=$(tr -s - + < "$work/text1m.txt" | wc -c)
bytes4m=$(tr -s - + < "$work/text4m.txt" | wc -c)
t1=$(seconds "$bytes1m" "regex 1MB/porukana" "$cli" "$here/regex.prk" "$work/text1m.txt")
t4=$(seconds "$bytes4m" "regex 4MB/porukana" "$cli" "$here/regex.prk" "$work/text4m.txt")
scale "regex 4MB / 1MB" "$t4" "$t1" 5
t=$(seconds 200000 "concat 200k/porukana" "$cli" "$here/concat.prk" 200000)
scale "concat 2M / 200k" "${time_concat_2M:-}" "$t" 12

if [ -s "$notes" ]; then
  echo
  echo "errors:"
  cat "$notes"
fi
exit $failed

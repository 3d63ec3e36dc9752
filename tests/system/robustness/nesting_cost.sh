#!/usr/bin/env bash
# Deeply nested blocks cost memory in proportion to the program, not to the square
# of the nesting: 8,000 nested もし run within a 300 MiB address space (copying each
# body at each level needed more than 1 GiB), and so do deeply nested groups inside
# values. A long run of unreadable characters
# under エラーを無視 costs time in proportion to its length: four times the
# characters may take at most eight times as long.
#
#   nesting_cost.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
cli=$bin/porukana-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

# nested N: N nested もし blocks around one statement.
nested() {
  local i
  for ((i = 0; i < $1; i++)); do printf 'もし、1ならば\n(\n'; done
  printf '「深い」を、表示\n'
  for ((i = 0; i < $1; i++)); do printf ')\n'; done
}
nested 8000 | iconv -f UTF-8 -t CP932 > nested.prk
out=$( (ulimit -v 307200 && exec timeout 120 "$cli" nested.prk) 2>&1)
rc=$?
if [ "$rc" != 0 ] || [ "$out" != "深い" ]; then
  echo "FAIL 8000 nested blocks in 300 MiB: exit $rc"
  printf '%s\n' "$out" | head -c 400
  fail=1
fi

# Parenthesised groups inside values (member names, call arguments) hold a copy of
# their group at every level: their nesting is bounded like a calculation's, so
# 30,000 levels end with the nesting message within the same 300 MiB.
repeat() { local i out=""; for ((i = 0; i < $1; i++)); do out+=$2; done; printf '%s' "$out"; }
printf 'Hの、x=1\nA=%sx%s\nAを、表示\n' "$(repeat 30000 'Hの(')" "$(repeat 30000 ')')" |
  iconv -f UTF-8 -t CP932 > member.prk
printf '「F」を、「?の」で、関数定義\nA=%s1%s\nAを、表示\n終わり\n*F\nそれ=引数取得\n戻る\n' \
  "$(repeat 30000 'F((')" "$(repeat 30000 '))')" | iconv -f UTF-8 -t CP932 > grouped.prk
for name in member grouped; do
  err=$( (ulimit -v 307200 && exec timeout 120 "$cli" "$name.prk") 2>&1 > /dev/null)
  rc=$?
  if [ "$rc" != 1 ] || [[ "$err" != *"計算式の括弧の入れ子が深すぎます。"* ]]; then
    echo "FAIL $name: exit $rc, expected 1 and the nesting message"
    printf '%s\n' "$err" | head -c 400
    fail=1
  fi
done

# bad N: N unreadable characters on one line under エラーを無視.
bad() {
  printf 'エラーを無視\n' | iconv -f UTF-8 -t CP932
  head -c "$1" /dev/zero | tr '\0' ':'
  printf '\n「終」を、表示\n' | iconv -f UTF-8 -t CP932
}
bad 50000 > short.prk
bad 200000 > long.prk
seconds() {
  local t0 t1 out
  t0=$(date +%s.%N)
  out=$(timeout 120 "$cli" "$1" 2> /dev/null)
  t1=$(date +%s.%N)
  [ "$out" = "終" ] || { echo "error"; return; }
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
short=$(seconds short.prk)
long=$(seconds long.prk)
if [ "$short" = error ] || [ "$long" = error ]; then
  echo "FAIL unreadable characters: a run did not end with 終"
  fail=1
elif ! awk -v s="$short" -v l="$long" 'BEGIN { exit !(l <= 8 * s + 0.2) }'; then
  echo "FAIL unreadable characters: 50,000 took ${short}s, 200,000 took ${long}s (not linear)"
  fail=1
else
  echo "unreadable characters: 50,000 in ${short}s, 200,000 in ${long}s"
fi
exit $fail

#!/usr/bin/env bash
# The manual pages: the templates in man/ use no placeholder but @VERSION@ and
# @PREFIX@ (which the installation fills), render without groff warnings once filled,
# and their examples are whole command lines; porukana-send speaks Japanese and tells
# its version like the other programs.
set -u
send=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {   # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if ! "$@"; then echo "FAIL: $name"; fail=1; fi
}

# Rendering needs groff and man (man-db); without them only the templates are checked.
render=1
command -v groff > /dev/null && command -v man > /dev/null || { render=0; echo "groff or man is missing: the pages are not rendered"; }
for page in porukana porukana-cli porukana-pack porukana-send; do
  in=$src/man/$page.1.in
  check "$page.1.in is there" test -f "$in"
  sed 's/@VERSION@/9.8.7/g; s|@PREFIX@|/opt/x|g' "$in" > "$work/$page.1"
  check "$page.1 has no other placeholder" bash -c "! grep -q '@[A-Z_]*@' '$work/$page.1'"
  [ $render = 1 ] || continue
  warnings=$(groff -z -ww -man -Tutf8 -Kutf8 "$work/$page.1" 2>&1)
  check "$page.1 renders without warnings ($warnings)" test -z "$warnings"
  MANWIDTH=200 man -l "$work/$page.1" 2>/dev/null > "$work/$page.txt"
  check "$page.1 names the version" grep -q 'porukana 9.8.7' "$work/$page.txt"
  # Every example line that starts a command is complete: its quotes are closed.
  awk '/^EXAMPLES/{e=1; next} /^[A-Z]/{e=0} e && /^ *\$ /' "$work/$page.txt" > "$work/$page.examples"
  if grep -q '^\.SH EXAMPLES' "$in"; then check "$page.1 has examples" test -s "$work/$page.examples"; fi
  while IFS= read -r line; do
    quotes=$(printf '%s' "$line" | tr -cd "'" | wc -c)
    check "$page.1: a whole command line: $line" [ $((quotes % 2)) -eq 0 ]
  done < "$work/$page.examples"
done
[ $render = 0 ] || check "the printf example is one line" grep -q "printf '「こんにちは」と、表示する。\\\\n' > hello.prk" "$work/porukana-cli.txt"
[ $render = 0 ] || check "porukana-cli.1 names -e and --doc" bash -c "grep -q -- '-e プログラム' '$work/porukana-cli.txt' && grep -q -- '--doc' '$work/porukana-cli.txt'"

out=$("$send" --version)
check "porukana-send --version" bash -c "echo '$out' | grep -qE '^porukana-send [0-9]+\.[0-9]+\.[0-9]+$'"
"$send" --help > "$work/help.out" 2>&1
check "porukana-send --help is Japanese and status 0" bash -c "[ $? -eq 0 ] && grep -q '^使い方: porukana-send' '$work/help.out'"
"$send" only-one > /dev/null 2> "$work/wrong.err"
check "wrong arguments: status 2 and the usage" bash -c "[ $? -eq 2 ] && grep -q '^使い方:' '$work/wrong.err'"
"$send" そんな受け口 ない 文字列 > /dev/null 2> "$work/none.err"
check "no server: status 1 and a Japanese message" bash -c "[ $? -eq 1 ] && grep -qF 'porukana-send: 受け口「そんな受け口」「ない」のプログラムが応答しません。' '$work/none.err'"
exit $fail

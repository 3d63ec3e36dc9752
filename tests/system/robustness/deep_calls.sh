#!/usr/bin/env bash
# Deep recursion through every call shape ends with the interpreter's nesting error
# (exit status 1), never with a crash: with an 8 MiB stack and with a 1 MiB stack.
#
#   deep_calls.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

# prk NAME UTF8_TEXT: writes NAME.prk in Shift_JIS.
prk() { printf '%s' "$2" | iconv -f UTF-8 -t CP932 > "$1.prk"; }
# repeat N TEXT: TEXT N times.
repeat() { local i out=""; for ((i = 0; i < $1; i++)); do out+=$2; done; printf '%s' "$out"; }

deep=$'深すぎるため、実行を中止します。'
calc=$'計算式の括弧の入れ子が深すぎます。'

prk call $'「F」を、「?の」で、関数定義\nF(1)を、表示\n終わり\n*F\nN=引数取得\nそれ=F(N+1)+1\n戻る\n'
prk cond $'「F」を、「?の」で、関数定義\nF(1)を、表示\n終わり\n*F\nN=引数取得\nもし、F(N+1)>0ならば、それ=1\n戻る\n'
prk literal $'「F」を、「?の」で、関数定義\nF(1)を、表示\n終わり\n*F\nN=引数取得\nそれ=「<{F(N+1)}>」\n戻る\n'
prk parens $'「F」を、「?の」で、関数定義\nF(1)を、表示\n終わり\n*F\nN=引数取得\nそれ=((((((((F(N+1)))))))))+1\n戻る\n'
prk nestparens "$(printf 'A=%s1%s\nAを、表示\n' "$(repeat 20000 '(')" "$(repeat 20000 ')')")"
# A chain of commands each taking the next one's result as its argument: 4,900
# nested commands, within the argument limit.
prk chain "$(printf '「abc」の、%s文字数を、表示\n' "$(repeat 4900 '文字数の、')")"
prk value $'X=サブ\n*サブ\nY=サブ\n戻る\n'
prk runtext $'S=`Sを、ぽるかなする`\nSを、ぽるかなする\n'
prk args "$(printf '「F」を、「?の」で、関数定義\nA=%s1%s\nAを、表示\n終わり\n*F\nそれ=引数取得\n戻る\n' "$(repeat 20000 'F(')" "$(repeat 20000 ')')")"
prk commands "$(printf 'A=%s1%s\nAを、表示\n' "$(repeat 20000 '文字数(')" "$(repeat 20000 ')')")"

# check NAME EXE STACK_KB WANT: the run must stop with status 1 and WANT in stderr.
check() {
  local name=$1 exe=$2 stack=$3 want=$4 rc
  (ulimit -s "$stack" && exec timeout 120 "$bin/$exe" "$name.prk") > "$name.out" 2> "$name.err" < /dev/null
  rc=$?
  if [ "$rc" != 1 ] || ! grep -qF "$want" "$name.err"; then
    echo "FAIL $name ($exe, stack ${stack} KiB): exit $rc, expected 1 and \"$want\""
    head -c 600 "$name.err"
    echo
    fail=1
  fi
}

# check_result NAME STACK_KB: a deep computation that fits may end normally with 1;
# where the stack is too short it must stop with the nesting error.
check_result() {
  local name=$1 stack=$2 rc
  (ulimit -s "$stack" && exec timeout 120 "$bin/porukana-cli" "$name.prk") > "$name.out" 2> "$name.err" < /dev/null
  rc=$?
  if ! { [ "$rc" = 0 ] && [ "$(cat "$name.out")" = 1 ]; } && ! { [ "$rc" = 1 ] && grep -qF "$deep" "$name.err"; }; then
    echo "FAIL $name (stack ${stack} KiB): exit $rc, expected 1 printed or the nesting error"
    head -c 600 "$name.err"
    echo
    fail=1
  fi
}

for stack in 8192 1024; do
  check_result chain $stack
  check call porukana-cli $stack "$deep"
  check cond porukana-cli $stack "$deep"
  check literal porukana-cli $stack "$deep"
  check parens porukana-cli $stack "$deep"
  check nestparens porukana-cli $stack "$calc"
  check value porukana-cli $stack "$deep"
  check runtext porukana-cli $stack "$deep"
  check args porukana-cli $stack "$deep"
  check commands porukana-cli $stack "$deep"
  # The window run-time reports the same error (offscreen: on standard error).
  check call porukana $stack "$deep"
  check args porukana $stack "$deep"
done
exit $fail

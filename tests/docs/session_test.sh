#!/usr/bin/env bash
# porukana-cli without a program file: -e TEXT runs a one-line program, - reads the
# program from standard input (parameters after it reach the program), and the
# interactive prompt runs line after line in one state, keeps variables and labels,
# survives an error, answers ?WORD from the reference and ends at 終わり. Errors name
# where the program came from.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {   # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if ! "$@"; then echo "FAIL: $name"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }
cd "$work"

"$cli" -e 'A=6*7。Aを、表示。' > e.out 2> e.err
check "-e runs its text" bash -c "[ \$? -eq 0 ] && [ \"\$(cat e.out)\" = 42 ]"
"$cli" -e '存在しない命令' > e2.out 2> e2.err
check "-e: an error is status 1" [ $? -eq 1 ]
check "-e: the error names the command line" has e2.err '[エラー] コマンドライン(1行目): "存在しない命令"は未定義の命令です。'
"$cli" -e 'コマンドライン引数を、表示' 一 二 > e3.out 2>&1
check "-e: parameters after the text reach the program" bash -c "tail -2 e3.out | tr '\n' ' ' | grep -qx '一 二 '"
"$cli" -e > e4.out 2>&1
check "-e without a text is no program" [ $? -eq 2 ]

printf 'A=「こんにちは」\r\nAを、表示\r\n「{A}、世界」と、表示\r\n' | "$cli" - > s.out 2> s.err
check "- runs standard input" bash -c "[ \"\$(printf 'こんにちは\n{こんにちは}、世界\n' | head -1)\" = \"\$(head -1 s.out)\" ] && grep -qx 'こんにちは、世界' s.out"
printf '\x82\xa0\x82\xa2\x82\xa4\x82\xf0\x81\x41\x95\x5c\x8e\xa6\n' | "$cli" -sjis - > sj.out 2>&1
check "- with -sjis reads Shift_JIS" bash -c "grep -qx 'あいう' sj.out"
printf 'A=1\n\n\n綴りの間違い\n' | "$cli" - > s2.out 2> s2.err
check "-: the error names standard input and its line" has s2.err '[エラー] 標準入力(4行目):'

# The prompt: forced with --interactive (standard input is no terminal here).
cat > session.in <<'IN'
A=5
B=A*2
Bを、表示
?ソート
存在しない命令
「まだ{B}」と、表示
*挨拶
「やあ、{A}」と、表示
戻る

挨拶
A=7
挨拶
*倍
引数取得
それ=それ*2
戻る

「倍」を、「?を」で、関数定義
倍(21)を、表示する。
終わり
「ここには来ない」と、表示
IN
"$cli" --interactive < session.in > i.out 2> i.err
check "the session ends normally" [ $? -eq 0 ]
check "variables stay between lines" bash -c "head -1 i.out | grep -qx 10"
check "?WORD prints the reference" has i.out 'ソート　〔配列・表・辞書・命令番号'
check "an error is reported" has i.err '[エラー] 対話(1行目): "存在しない命令"は未定義の命令です。'
check "the session goes on after an error" bash -c "grep -qx 'まだ10' i.out"
check "a label stays and sees the variables of its time" bash -c "grep -x 'やあ、[57]' i.out | tr '\n' ' ' | grep -qx 'やあ、5 やあ、7 '"
check "a function defined in the session is called in function form" bash -c "grep -qx 42 i.out"
check "終わり ends the session" bash -c "! grep -q 'ここには来ない' i.out"
check "the prompt is on standard error" has i.err 'ぽるかな> '

printf 'A=1\n' | "$cli" > n.out 2> n.err
check "no file and no terminal is still no program" bash -c "[ \$? -eq 2 ] || true; grep -q 'プログラムが指定されていません' n.err"
exit $fail

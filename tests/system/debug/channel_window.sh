#!/usr/bin/env bash
# The run-time's own server in the window host (offscreen, dialogs answered from a
# file): "line" shows its message box, "pause" the debug dialog (answered
# 一行毎に実行, then 連続実行 at the next line), "break" closes the main window the
# normal way (the close label runs) and ends the program, also in a long
# computation.
. "$(dirname "$0")/_lib.sh"
export QT_QPA_PLATFORM=offscreen

prk waiting <<'EOF_'
閉じる時に、終了処理設定
A=0
「開始」を、「started.txt」へ、保存
(A>=0)で、ループ
(
  A=A+1
  0.02秒、待つ
)
*閉じる時
「閉じた」を、「closed.txt」へ、保存
EOF_
printf 'l\nc\n' > answers.txt
export PORUKANA_DIALOG_ANSWERS=$work/answers.txt

own=$(socket_of porukana command)
start "$gui" waiting
prog=$last
wait_file started.txt 10 || exit 1
wait_file "$own" || exit 1
"$send" porukana command line
expect_status "send line" $? 0
wait_line waiting.err 実行ライン:7
"$send" porukana command pause
expect_status "send pause" $? 0
for ((i = 0; i < 100; i++)); do
  [ "$(grep -c '現在の実行行:' waiting.err)" -ge 2 ] && break
  sleep 0.05
done
[ "$(grep -c '^\[デバッグ\]' waiting.err)" = 2 ] || { echo "expected two debug dialogs:"; cat waiting.err; fail=1; }
expect_grep waiting.err '[制御構造] 1:その他'
"$send" porukana command break
expect_status "send break" $? 0
wait_exit "$prog" 10
expect_status "program after break" $? 0
printf '閉じた' | iconv -f UTF-8 -t CP932 | cmp -s - closed.txt || { echo "the close label did not run"; fail=1; }
wait_gone "$own"

rm -f closed.txt started.txt
prk busy <<'EOF_'
閉じる時に、終了処理設定
「開始」を、「started.txt」へ、保存
A=0
1000000000回(A=A+1)
*閉じる時
「閉じた」を、「closed.txt」へ、保存
EOF_
start "$gui" busy
prog=$last
wait_file started.txt 10 || exit 1
wait_file "$own"
"$send" porukana command line
wait_line busy.err 実行ライン:4
"$send" porukana command break
wait_exit "$prog" 10
expect_status "busy program after break" $? 0
[ -s closed.txt ] || { echo "the close label of the busy program did not run"; fail=1; }
exit $fail

#!/usr/bin/env bash
# The run-time's own server in the console, driven by porukana-send: "line" (the
# line on standard error), "line porupad" (the line sent to the editor's server),
# "pause" (the debug dialog's letters on the program's standard input), "break
# porupad" (the line to the editor, then the close label and the end), requests
# that are ignored, and a program that never waits (a long computation) still
# answering and stopping.
. "$(dirname "$0")/_lib.sh"

prk waiting <<'EOF_'
閉じる時に、終了処理設定
A=0
「開始」を、表示
(A>=0)で、ループ
(
  A=A+1
  0.02秒、待つ
)
終わり
*閉じる時
「閉じた」を、「closed.txt」へ、保存
EOF_
# pause: 一行毎に実行, then an answer that is not understood, then 連続実行.
printf 'l\nx\nc\n' > waiting.in

own=$(socket_of porukana-cli command)
editor=$(socket_of porupad command)
start "$cli" waiting
prog=$last
wait_line waiting.out 開始 || exit 1
wait_file "$own" || exit 1
[ "$(stat -c %a "$XDG_RUNTIME_DIR/porukana")" = 700 ] || { echo "the channel folder is not private"; fail=1; }

"$send" porukana-cli command line
expect_status "send line" $? 0
wait_line waiting.err 実行ライン:7
# The channel is served without the event loop's libraries: nothing needs them.
grep -q libQt6Core "/proc/$prog/maps" && { echo "the waiting program loaded Qt"; fail=1; }

for request in "unknown" "LINE" "line elsewhere" ""; do
  "$send" porukana-cli command "$request"
  expect_status "send \"$request\"" $? 0
done

"$send" --listen porupad command 1 > editor1.out &
listener=$!
pids+=("$listener")
wait_file "$editor"
"$send" porukana-cli command "line porupad"
expect_status "send line porupad" $? 0
wait_exit "$listener" 5
expect_status listener $? 0
expect_file editor1.out <<'EOF_'
row 7
EOF_

"$send" porukana-cli command pause
expect_status "send pause" $? 0
wait_line waiting.err '[制御構造] 1:その他'
# The step answer stops after the next line; the letter that is not understood is
# asked again; c runs on.
for ((i = 0; i < 100; i++)); do
  [ "$(grep -c '現在の実行行:' waiting.err)" -ge 2 ] && [ "$(grep -o 'c=連続実行' waiting.err | wc -l)" -ge 3 ] && break
  sleep 0.05
done
[ "$(grep -c '現在の実行行:' waiting.err)" = 2 ] || { echo "expected two dialogs:"; cat waiting.err; fail=1; }
kill -0 "$prog" 2> /dev/null || { echo "the program ended after pause"; fail=1; }

"$send" --listen porupad command 1 > editor2.out &
listener=$!
pids+=("$listener")
wait_file "$editor"
"$send" porukana-cli command "break porupad"
expect_status "send break" $? 0
wait_exit "$prog" 5
expect_status "program after break" $? 0
wait_exit "$listener" 5
grep -qE '^row [0-9]+$' editor2.out || { echo "editor2.out:"; cat editor2.out; fail=1; }
printf '閉じた' | iconv -f UTF-8 -t CP932 | cmp -s - closed.txt || { echo "the close label did not run"; fail=1; }
wait_gone "$own"
"$send" porukana-cli command line 2> nobody.err
expect_status "send without a program" $? 1

# A long computation: the requests come between its statements.
rm -f closed.txt
prk busy <<'EOF_'
閉じる時に、終了処理設定
A=0
「開始」を、表示
1000000000回(A=A+1)
「終わらないはず」を、表示
終わり
*閉じる時
「閉じた」を、「closed.txt」へ、保存
EOF_
start "$cli" busy
prog=$last
wait_line busy.out 開始 || exit 1
wait_file "$own"
"$send" porukana-cli command line
wait_line busy.err 実行ライン:4
grep -q libQt6Core "/proc/$prog/maps" && { echo "the busy program loaded Qt"; fail=1; }
"$send" porukana-cli command break
wait_exit "$prog" 5
expect_status "busy program after break" $? 0
expect_file busy.out <<'EOF_'
開始
EOF_
[ -s closed.txt ] || { echo "the close label of the busy program did not run"; fail=1; }

# A signal ends a wait at once, with or without the event loop (a script's own
# server loads it), and frees the channel's name.
prk sleeper <<'EOF_'
「開始」を、表示
30秒、待つ
「終わらないはず」を、表示
EOF_
prk serving <<'EOF_'
「受け取り」を呼ぶ、「話題」という、DDEサーバー作成
「開始」を、表示
30秒、待つ
「終わらないはず」を、表示
*受け取り
戻る
EOF_
for name in sleeper serving; do
  start "$cli" "$name"
  prog=$last
  wait_line "$name.out" 開始 || exit 1
  wait_file "$own"
  loaded=0
  grep -q libQt6Core "/proc/$prog/maps" && loaded=1
  [ "$loaded" = "$([ $name = serving ] && echo 1 || echo 0)" ] || { echo "$name: Qt loaded=$loaded"; fail=1; }
  "$send" porukana-cli command line
  wait_line "$name.err" "実行ライン:$([ $name = serving ] && echo 3 || echo 2)"
  kill -TERM "$prog"
  wait_exit "$prog" 5
  expect_status "$name after SIGTERM" $? 143
  expect_file "$name.out" <<'EOF_'
開始
EOF_
  wait_gone "$own"
done
exit $fail

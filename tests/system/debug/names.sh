#!/usr/bin/env bash
# Names of the request channels: a second run-time of the same name does not take
# the name from the first; a name left behind by a killed run-time is taken over by
# the next one; a name held by a live server cannot be served by porukana-send; a
# porukana-send listener ended by a signal gives its name up.
. "$(dirname "$0")/_lib.sh"

prk waiting <<'EOF_'
「開始」を、表示
(1=1)で、ループ
(
  0.02秒、待つ
)
EOF_
own=$(socket_of porukana-cli command)
cp waiting.prk first.prk
cp waiting.prk second.prk
cp waiting.prk third.prk

start "$cli" first
first=$last
wait_line first.out 開始 || exit 1
wait_file "$own" || exit 1
start "$cli" second
second=$last
wait_line second.out 開始 || exit 1
"$send" porukana-cli command line
expect_status "line to the first" $? 0
wait_line first.err 実行ライン:
sleep 0.2
[ -s second.err ] && { echo "the second run-time answered:"; cat second.err; fail=1; }

"$send" --listen porukana-cli command 2> listen.err
expect_status "listen on a live name" $? 2

exec 3>&2 2> /dev/null   # without the shell's report of the killed job
kill -9 "$first"
wait "$first"
exec 2>&3 3>&-
[ -S "$own" ] || { echo "the killed run-time's socket file is gone"; fail=1; }
"$send" porukana-cli command line 2> dead.err
expect_status "line to a dead server" $? 1
start "$cli" third
wait_line third.out 開始 || exit 1
"$send" --wait 5 porukana-cli command line
expect_status "line to the third" $? 0
wait_line third.err 実行ライン:
[ -s second.err ] && { echo "the second run-time answered:"; cat second.err; fail=1; }

# A listener ended by a signal gives its name up.
"$send" --listen 編集 command > /dev/null &
listener=$!
pids+=("$listener")
wait_file "$(socket_of 編集 command)"
kill "$listener"
wait_exit "$listener" 5
expect_status "listener after SIGTERM" $? 0
wait_gone "$(socket_of 編集 command)"
exit $fail

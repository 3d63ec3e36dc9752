#!/usr/bin/env bash
# The chat example: one server and two console clients (one on 127.0.0.1, one on
# ::1, so that the server can tell them apart), each client reading its lines from
# a pipe that the test feeds once the server has passed the previous line on. Every
# line reaches both clients, leaving is announced, and the server stops when the
# last client has left.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tcp/_common.sh"
if ! python3 -c 'import socket; s = socket.socket(socket.AF_INET6); s.bind(("::1", 0))' 2> /dev/null; then
  echo "skipped: the machine has no IPv6 loopback (::1) for the second client"
  exit 77
fi
chat=$PORUKANA_SOURCE_DIR/examples/chat.prk
port=$(free_port)

"$cli" "$chat" サーバー "$port" > server.out 2> server.err &
server=$!
pids+=("$server")
wait_line server.out 起動中 || exit 1

# client NAME HOST: a client whose standard input is the pipe NAME.in, held open on
# a descriptor of this shell until the test closes it.
mkfifo taro.in hanako.in
"$cli" "$chat" 接続 127.0.0.1 "$port" 太郎 < taro.in > taro.out 2> taro.err &
taro=$!
pids+=("$taro")
exec 3> taro.in
wait_line server.out '> 太郎さんが入室しました' || exit 1
"$cli" "$chat" 接続 ::1 "$port" 花子 < hanako.in > hanako.out 2> hanako.err &
hanako=$!
pids+=("$hanako")
exec 4> hanako.in
wait_line server.out '> 花子さんが入室しました' || exit 1

echo こんにちは >&3
wait_line server.out '> [太郎] こんにちは' || exit 1
echo やあ >&4
wait_line server.out '> [花子] やあ' || exit 1
echo /bye >&3
exec 3>&-
wait_exit "$taro" 10
expect_status 太郎 $? 0
exec 4>&-   # the end of the input leaves as /bye does
wait_exit "$hanako" 10
expect_status 花子 $? 0
wait_exit "$server" 10
expect_status server $? 0

expect_file server.out <<OUT
サーバー: 起動中 (ポート $port)
入室: 127.0.0.1
> 太郎さんが入室しました
入室: ::1
> 花子さんが入室しました
> [太郎] こんにちは
> [花子] やあ
太郎さんが退室しました
> 太郎さんが退室しました
花子さんが退室しました
> 花子さんが退室しました
全員が退室したので、サーバーを止めます。
OUT
# What arrived while a client waited for its input is shown after its next line.
expect_file taro.out <<'OUT'
太郎さんが入室しました
花子さんが入室しました
[太郎] こんにちは
[花子] やあ
退室しました。
OUT
expect_file hanako.out <<'OUT'
花子さんが入室しました
[太郎] こんにちは
[花子] やあ
太郎さんが退室しました
退室しました。
OUT
cat server.err
[ -s server.err ] && fail=1
grep -h エラー taro.err hanako.err && fail=1
exit $fail

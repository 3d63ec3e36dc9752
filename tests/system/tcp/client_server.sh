#!/usr/bin/env bash
# A console server and a console client talk to each other: the state texts on both
# sides, the connect handler, TCP送信元, sending by host name regardless of case,
# the list of clients, dropping a client ("未接続" on its side) and stopping.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)

prk server <<'PRK'
TCPポート=コマンドライン引数#1
「接続」に、TCPサーバー接続処理設定
TCPサーバー起動
「受信」に、TCPサーバー受信処理設定
TCP接続状態を、表示
待機
*接続
「接続:{TCP送信元}」を、表示
戻る
*受信
「受信:{TCP文字列}:{TCP送信元}」を、表示
もし、TCP文字列が、「一覧」ならば
(
  TCPサーバー接続先列挙
  「127.0.0.1」へ、それを、TCPサーバーから送信
  戻る
)
もし、TCP文字列が、「またね」ならば
(
  「127.0.0.1」を、TCPサーバーから切断
  TCPサーバー接続先列挙
  「残り:{それ}」を、表示
  TCPサーバー終了
  TCP接続状態を、表示
  戻る
)
「LocalHost」へ、「返事:{TCP文字列}」を、TCPサーバーから送信
PRK

prk client <<'PRK'
TCPポート=コマンドライン引数#1
「状態:{TCP接続状態}」を、表示
「受信」に、TCP受信処理設定
「127.0.0.1」へ、TCP接続
TCP接続状態を、表示
「こんにちは」を、TCP送信
待機
*受信
「受信:{TCP文字列}:{TCP送信元}」を、表示
もし、TCP文字列が、「返事:こんにちは」ならば
(
  「一覧」を、TCP送信
  戻る
)
「またね」を、TCP送信
PRK

start server "$port"
server=$last
wait_line server.out 起動中 || exit 1
start client "$port"
client=$last
wait_exit "$client" 20
expect_status client $? 0
wait_exit "$server" 20
expect_status server $? 0

expect_file server.out <<'OUT'
起動中
接続:127.0.0.1,localhost
受信:こんにちは:127.0.0.1,localhost
受信:一覧:127.0.0.1,localhost
受信:またね:127.0.0.1,localhost
残り:
停止中
OUT
# The list arrives as one text: one line per client, each ending in CR LF.
printf '%s\n' '状態:' '接続中' '受信:返事:こんにちは:127.0.0.1,localhost' \
  '受信:127.0.0.1,localhost' ':127.0.0.1,localhost' | expect_file client.out
cat server.err client.err
[ -s server.err ] || [ -s client.err ] && fail=1
exit $fail

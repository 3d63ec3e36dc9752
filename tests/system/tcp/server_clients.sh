#!/usr/bin/env bash
# A console server with three python3 clients: a receive handler set before
# TCPサーバー起動 is cleared by it while the connect handler is kept; sending by
# address or by host name (any letter case) goes to the first of two clients from
# the same machine; dropping a client and a client that leaves keep the list of
# clients right; stopping the server closes the connection of the last client.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)

prk server <<'PRK'
「受信前」に、TCPサーバー受信処理設定
「接続」に、TCPサーバー接続処理設定
TCPポート=コマンドライン引数#1
TCPサーバー起動
TCP接続状態を、表示
接続数=0
待機
*受信前
「受信前が動いた:{TCP文字列}」を、表示
戻る
*接続
接続数=接続数+1
「接続{接続数}:{TCP送信元}:{TCP文字列}」を、表示
もし、接続数=2ならば
(
  「受信」に、TCPサーバー受信処理設定
  「127.0.0.1」へ、「準備」を、TCPサーバーから送信
)
もし、接続数=3ならば
(
  TCPサーバー接続先列挙
  「一覧:{それ}」を、表示
  TCPサーバー終了
  TCP接続状態を、表示
)
戻る
*受信
「受信:{TCP文字列}:{TCP送信元}」を、表示
もし、TCP文字列が、「二」ならば
(
  「127.0.0.1」へ、「返:二」を、TCPサーバーから送信
  「LOCALHOST」へ、「返:大文字」を、TCPサーバーから送信
  「192.0.2.1」へ、「誰にも届かない」を、TCPサーバーから送信
  TCPサーバー接続先列挙
  「一覧:{それ}」を、表示
  「127.0.0.1」を、TCPサーバーから切断
  TCPサーバー接続先列挙
  「一覧:{それ}」を、表示
  「127.0.0.1」へ、「後:二」を、TCPサーバーから送信
)
戻る
PRK

cat > peer.py <<'PY'
import socket, sys, time
port = int(sys.argv[1])
def connect():
    s = socket.create_connection(("127.0.0.1", port))
    s.settimeout(10)
    return s
def until_eof(s):
    got = b""
    while True:
        b = s.recv(1000)
        if not b:
            return got
        got += b
def expect(what, got, want):
    if got != want.encode("cp932"):
        sys.exit(f"{what}: received {got.decode('cp932', 'replace')!r}, expected {want!r}")
a = connect()
a.sendall("一".encode("cp932"))
time.sleep(0.3)
b = connect()
expect("first client", a.recv(100), "準備")
b.sendall("二".encode("cp932"))
expect("first client until dropped", until_eof(a), "返:二返:大文字")
expect("second client", b.recv(100), "後:二")
b.close()
time.sleep(0.3)
c = connect()
expect("third client", until_eof(c), "")
PY
start server "$port"
server=$last
wait_line server.out 起動中 || exit 1
timeout 20 python3 peer.py "$port" || fail=1
wait_exit "$server" 10
expect_status server $? 0
expect_file server.out <<'OUT'
起動中
接続1:127.0.0.1,localhost:
接続2:127.0.0.1,localhost:一
受信:二:127.0.0.1,localhost
一覧:127.0.0.1,localhost
127.0.0.1,localhost

一覧:127.0.0.1,localhost

接続3:127.0.0.1,localhost:二
一覧:127.0.0.1,localhost

停止中
OUT
cat server.err
[ -s server.err ] && fail=1
exit $fail

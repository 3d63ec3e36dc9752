#!/usr/bin/env bash
# Text that arrives while the receiver is busy in a command (待つ) is not lost: on
# the client, two packets that come during one 待つ reach the handler joined, once;
# on the server, two clients that send during one 待つ each get a handler run with
# their own TCP文字列, and a client that connects meanwhile gets its connect handler
# with its own TCP送信元.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)
own=$(free_port)

prk client <<'PRK'
TCPポート=コマンドライン引数#1
「受信」に、TCP受信処理設定
「127.0.0.1」へ、TCP接続
「始め」を、TCP送信
1秒、待つ
「待ち終わり」を、表示
1秒、待つ
終わり
*受信
「受信:[{TCP文字列}]」を、表示
戻る
PRK

cat > peer.py <<'PY'
import socket, sys, time
srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", int(sys.argv[1])))
srv.listen(1)
print("listening", flush=True)
conn, _ = srv.accept()
conn.recv(100)
conn.sendall("一つ目".encode("cp932"))
time.sleep(0.2)
conn.sendall("二つ目".encode("cp932"))
time.sleep(1.5)
PY
python3 peer.py "$port" > peer.out 2>&1 &
pids+=("$!")
wait_line peer.out listening || exit 1
start client "$port"
wait_exit "$last" 20
expect_status client $? 0
printf '%s\n' '受信:[一つ目二つ目]' '待ち終わり' | expect_file client.out

prk server <<'PRK'
TCPポート=コマンドライン引数#1
「接続」に、TCPサーバー接続処理設定
TCPサーバー起動
「受信」に、TCPサーバー受信処理設定
「起動」を、表示
N=0
待機
*接続
「接続:{TCP送信元}」を、表示
戻る
*受信
N=N+1
「受信{N}:{TCP文字列}」を、表示
もし、TCP文字列が、「待て」ならば
(
  1秒、待つ
  「待ち終わり」を、表示
)
もし、N=3ならば、終わり
戻る
PRK

cat > peers.py <<'PY'
import socket, sys, time
port = int(sys.argv[1])
first = socket.create_connection(("127.0.0.1", port))
time.sleep(0.2)
first.sendall("待て".encode("cp932"))
time.sleep(0.2)
second = socket.create_connection(("127.0.0.1", port))
second.sendall("二人目".encode("cp932"))
time.sleep(0.1)
first.sendall("一人目".encode("cp932"))
time.sleep(2)
PY
start server "$port"
server=$last
wait_line server.out 起動 || exit 1
python3 peers.py "$port" > peers.out 2>&1 &
pids+=("$!")
wait_exit "$server" 20
expect_status server $? 0
printf "%s\n" 起動 接続:127.0.0.1,localhost 受信1:待て 接続:127.0.0.1,localhost 待ち終わり \
  受信2:二人目 受信3:一人目 | expect_file server.out
cat client.err server.err
[ -s client.err ] || [ -s server.err ] && fail=1
exit $fail

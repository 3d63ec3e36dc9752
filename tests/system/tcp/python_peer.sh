#!/usr/bin/env bash
# A console client against a python3 server: Shift_JIS text travels byte for byte
# (trail bytes 0x5C included) in both directions, text sent in two packets arrives
# as two events, bytes after a NUL are kept, and after the server has closed the
# connection the state is "未接続" (seen from the next event, a connection to the
# script's own server).
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)
own=$(free_port)

prk client <<'PRK'
「状態:{TCP接続状態}」を、表示
TCPポート=コマンドライン引数#2
「接続」に、TCPサーバー接続処理設定
TCPサーバー起動
TCP接続状態を、表示
TCPポート=コマンドライン引数#1
「受信」に、TCP受信処理設定
「localhost」へ、TCP接続
TCP接続状態を、表示
「表示ソ十」を、TCP送信
N=0
待機
*受信
N=N+1
もし、N=3ならば
(
  「受信{N}:{バイト数(TCP文字列)}バイト」を、表示
  戻る
)
「受信{N}:{TCP文字列}:{TCP送信元}」を、表示
戻る
*接続
「状態:{TCP接続状態}」を、表示
終わり
PRK

cat > peer.py <<'PY'
import socket, sys, time
port, own = int(sys.argv[1]), int(sys.argv[2])
srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", port))
srv.listen(1)
print("listening", flush=True)
conn, _ = srv.accept()
want = "表示ソ十".encode("cp932")
got = b""
while len(got) < len(want):
    b = conn.recv(100)
    if not b:
        break
    got += b
if got != want:
    sys.exit(f"received {got!r}, expected {want!r}")
conn.sendall("こんにち".encode("cp932"))
time.sleep(0.3)
conn.sendall("は".encode("cp932"))
time.sleep(0.3)
conn.sendall(b"a\x00b")
time.sleep(0.3)
conn.close()
time.sleep(0.3)
# The next event of the client: it ends its run there.
c = socket.create_connection(("127.0.0.1", own))
c.settimeout(10)
if c.recv(10) != b"":
    sys.exit("the client's server sent something")
PY
timeout 20 python3 peer.py "$port" "$own" > peer.out &
peer=$!
pids+=("$peer")
wait_line peer.out listening || exit 1
start client "$port" "$own"
client=$last
wait_exit "$peer" 20
expect_status peer $? 0
wait_exit "$client" 10
expect_status client $? 0
expect_file client.out <<'OUT'
状態:
起動中
接続中
受信1:こんにち:127.0.0.1,localhost
受信2:は:127.0.0.1,localhost
受信3:3バイト
状態:未接続
OUT
cat client.err
[ -s client.err ] && fail=1
exit $fail

#!/usr/bin/env bash
# A console server under stress from python3 clients: 1,000 connect/close cycles,
# 100 clients at once, a client that resets its connection while the server writes
# to it, and a 50 MB flood. The server keeps working, its list of clients ends
# right, and it holds no more descriptors afterwards than before.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)
head -c 4000000 /dev/zero > big.bin

prk server <<'PRK'
TCPポート=コマンドライン引数#1
コマンドライン引数#2を、読む
大=それ
総量=0
接続数=0
「接続」に、TCPサーバー接続処理設定
TCPサーバー起動
「受信」に、TCPサーバー受信処理設定
TCP接続状態を、表示
待機
*接続
接続数=接続数+1
戻る
*受信
もし、TCP文字列が、「合計?」ならば
(
  TCPサーバー接続先列挙
  「127.0.0.1」へ、「{総量}:{接続数}:{それ}」を、TCPサーバーから送信
  戻る
)
もし、TCP文字列が、「返して」ならば
(
  「127.0.0.1」へ、大を、TCPサーバーから送信
  戻る
)
もし、TCP文字列が、「終」ならば、終わり
総量=総量+バイト数(TCP文字列)
PRK

cat > peer.py <<'PY'
import os, socket, struct, sys, time
port, pid = int(sys.argv[1]), int(sys.argv[2])
def fds():
    return len(os.listdir(f"/proc/{pid}/fd"))
def connect():
    s = socket.create_connection(("127.0.0.1", port))
    s.settimeout(20)
    return s
def reset(s):
    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    s.close()
def settle(want, what):
    for _ in range(400):
        if fds() == want:
            return
        time.sleep(0.025)
    sys.exit(f"{what}: the server holds {fds()} descriptors, expected {want}")

base = fds()
for _ in range(1000):
    connect().close()
settle(base, "after 1,000 cycles")

many = [connect() for _ in range(100)]
settle(base + 100, "with 100 clients")
for s in many:
    s.sendall(b"x")
for s in many:
    s.close()
settle(base, "after 100 clients")

r = connect()
r.sendall("返して".encode("cp932"))
r.recv(1000)        # the answer has started
reset(r)
settle(base, "after a reset")

flood = connect()
block = b"\x81" * 65536
for _ in range(800):   # 50 MB (52,428,800 bytes)
    flood.sendall(block)
flood.close()
settle(base, "after a flood")

q = connect()
q.sendall("合計?".encode("cp932"))
want = f"{100 + 800 * 65536}:1103:127.0.0.1,localhost\r\n".encode()
got = b""
while len(got) < len(want):
    b = q.recv(1000)
    if not b:
        break
    got += b
if got != want:
    sys.exit(f"summary {got!r}, expected {want!r}")
q.sendall("終".encode("cp932"))
PY

start server "$port" big.bin
server=$last
wait_line server.out 起動中 || exit 1
timeout 120 python3 peer.py "$port" "$server" || fail=1
wait_exit "$server" 10
expect_status server $? 0
cat server.err
[ -s server.err ] && fail=1
exit $fail

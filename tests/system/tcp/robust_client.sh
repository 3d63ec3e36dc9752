#!/usr/bin/env bash
# A console client under stress from a python3 server: 1,000 TCP接続 / TCP切断 cycles
# (started from inside a receive handler, whose own socket is freed first), a
# 20 MB flood, and a reset of the connection while the client is idle: the reset
# ends the run quietly (no event, no error), and the cycles leave no descriptor
# behind.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"

prk client <<'PRK'
TCPポート=コマンドライン引数#1
総量=0
「受信」に、TCP受信処理設定
「127.0.0.1」へ、TCP接続
「base」を、TCP送信
待機
*受信
もし、TCP文字列が、「ok」ならば
(
  TCP切断
  1000回
  (
    「127.0.0.1」へ、TCP接続
    TCP切断
  )
  「127.0.0.1」へ、TCP接続
  「done」を、TCP送信
  戻る
)
総量=総量+バイト数(TCP文字列)
もし、総量=20971520ならば、「受信:{総量}:{TCP接続状態}」を、表示
PRK

cat > peer.py <<'PY'
import os, socket, struct, sys, time
srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", 0))
srv.listen(128)
print(srv.getsockname()[1], flush=True)
pid = int(sys.stdin.readline())
def fds():
    return len(os.listdir(f"/proc/{pid}/fd"))
# The client opens one connection after the other, so they are served in turn.
srv.settimeout(30)
accepted = 0
base = None
while True:
    c, _ = srv.accept()
    accepted += 1
    c.settimeout(30)
    b = c.recv(100)
    if b == b"base":
        base = fds()
        c.sendall(b"ok")
    elif b == b"done":
        done = fds()
        block = b"\x5c" * 65536
        for _ in range(320):   # 20 MB
            c.sendall(block)
        time.sleep(0.5)
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()
        break
    c.close()
if accepted != 1002:
    sys.exit(f"accepted {accepted} connections, expected 1002")
if done != base:
    sys.exit(f"the client held {base} descriptors before the cycles, {done} after")
PY

mkfifo pid.fifo
timeout 120 python3 peer.py < pid.fifo > peer.out &
peer=$!
pids+=("$peer")
exec 3> pid.fifo
wait_line peer.out "" || exit 1
start client "$(cat peer.out)"
client=$last
echo "$client" >&3
exec 3>&-
wait_exit "$peer" 120
expect_status peer $? 0
wait_exit "$client" 10
expect_status client $? 0
expect_file client.out <<'OUT'
受信:20971520:接続中
OUT
cat client.err
[ -s client.err ] && fail=1
exit $fail

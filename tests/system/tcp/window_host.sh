#!/usr/bin/env bash
# The window host (offscreen) as client and server at once, against python3: the
# sockets run on its event loop like in the console, handlers run while the window
# waits, and 終わり from a handler ends the program.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
export QT_QPA_PLATFORM=offscreen
port=$(free_port)
own=$(free_port)

prk window <<'PRK'
TCPポート=コマンドライン引数#2
「接続」に、TCPサーバー接続処理設定
TCPサーバー起動
「サーバー受信」に、TCPサーバー受信処理設定
TCPポート=コマンドライン引数#1
「受信」に、TCP受信処理設定
「127.0.0.1」へ、TCP接続
「窓から:{TCP接続状態}」を、TCP送信
待機
*受信
「受信:{TCP文字列}:{TCP送信元}」を、TCP送信
戻る
*接続
「127.0.0.1」へ、「窓の接続:{TCP送信元}」を、TCPサーバーから送信
戻る
*サーバー受信
もし、TCP文字列が、「終」ならば、終わり
PRK

cat > peer.py <<'PY'
import socket, sys, time
port, own = int(sys.argv[1]), int(sys.argv[2])
srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", port))
srv.listen(1)
print("listening", flush=True)
srv.settimeout(20)
conn, _ = srv.accept()
conn.settimeout(10)
def expect(s, want):
    want = want.encode("cp932")
    got = b""
    while len(got) < len(want):
        b = s.recv(1000)
        if not b:
            break
        got += b
    if got != want:
        sys.exit(f"received {got.decode('cp932', 'replace')!r}, expected {want.decode('cp932')!r}")
expect(conn, "窓から:接続中")
conn.sendall("こんにちは".encode("cp932"))
expect(conn, "受信:こんにちは:127.0.0.1,localhost")
c = socket.create_connection(("127.0.0.1", own))
c.settimeout(10)
expect(c, "窓の接続:127.0.0.1,localhost")
c.sendall("終".encode("cp932"))
PY
timeout 30 python3 peer.py "$port" "$own" > peer.out &
peer=$!
pids+=("$peer")
wait_line peer.out listening || exit 1
"$gui" window.prk "$port" "$own" > window.out 2> window.err &
window=$!
pids+=("$window")
wait_exit "$peer" 30
expect_status peer $? 0
wait_exit "$window" 10
expect_status window $? 0
exit $fail

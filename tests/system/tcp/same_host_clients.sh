#!/usr/bin/env bash
# Two clients from the same address are told apart by their ports: TCP送信元ポート
# and TCPサーバー接続先ポート列挙 give them, "address:port" sends to one of them
# alone (a reply to each), a walk over the list reaches both (a broadcast), while
# the bare address still names the first; TCP接続 takes "address:port" too, and
# TCPサーバーから切断 drops one connection by its port.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)

prk server <<'PRK'
TCPポート=コマンドライン引数#1
TCPサーバー起動
「受信」に、TCPサーバー受信処理設定
TCP接続状態を、表示
待機
*受信
「受信:{TCP文字列}:{TCP送信元}」を、表示
「ポート:{TCP送信元ポート}」を、表示
答える=1
もし、TCP文字列が、「全員へ」ならば
(
  答える=0
  TCPサーバー接続先ポート列挙
  一覧=それ
  「一覧:{一覧}」を、表示
  一覧を、反復
  (
    それへ、「皆:{TCP文字列}」を、TCPサーバーから送信
  )
  「127.0.0.1」へ、「最初へ」を、TCPサーバーから送信
)
もし、TCP文字列が、「切って」ならば
(
  答える=0
  「127.0.0.1:{TCP送信元ポート}」を、TCPサーバーから切断
  TCPサーバー接続先ポート列挙
  「残り:{それ}」を、表示
)
もし、答える=1ならば
(
  「127.0.0.1:{TCP送信元ポート}」へ、「返:{TCP文字列}」を、TCPサーバーから送信
)
戻る
PRK

# A porukana client that names the port in the address (TCPポート stays empty).
prk client <<'PRK'
「返事」に、TCP受信処理設定
「127.0.0.1:{コマンドライン引数#1}」へ、TCP接続
「三」を、TCP送信
待機
*返事
「クライアント:{TCP文字列}」を、表示
TCP切断
終わり
PRK

cat > peer.py <<'PY'
import socket, sys, time
port = int(sys.argv[1])
def connect():
    s = socket.create_connection(("127.0.0.1", port))
    s.settimeout(10)
    return s
def expect(what, s, want):
    got = b""
    while len(got) < len(want.encode("cp932")):
        b = s.recv(1000)
        if not b:
            break
        got += b
    if got != want.encode("cp932"):
        sys.exit(f"{what}: received {got.decode('cp932', 'replace')!r}, expected {want!r}")
def expect_quiet(what, s):
    s.settimeout(0.3)
    try:
        got = s.recv(1000)
        sys.exit(f"{what}: received {got.decode('cp932', 'replace')!r}, expected nothing")
    except socket.timeout:
        pass
    s.settimeout(10)
a = connect()
b = connect()
with open("ports", "w") as f:
    f.write(f"{a.getsockname()[1]} {b.getsockname()[1]}\n")
time.sleep(0.2)
b.sendall("二".encode("cp932"))
expect("second client's reply", b, "返:二")
expect_quiet("first client while the second is answered", a)
a.sendall("一".encode("cp932"))
expect("first client's reply", a, "返:一")
expect_quiet("second client while the first is answered", b)
b.sendall("全員へ".encode("cp932"))
expect("broadcast to the first", a, "皆:全員へ最初へ")
expect("broadcast to the second", b, "皆:全員へ")
b.sendall("切って".encode("cp932"))
b.settimeout(10)
if b.recv(100) != b"":
    sys.exit("the second client was not dropped")
a.sendall("まだ".encode("cp932"))
expect("first client after the second was dropped", a, "返:まだ")
PY
start server "$port"
server=$last
wait_line server.out 起動中 || { cat server.err; exit 1; }
timeout 30 python3 peer.py "$port" || fail=1
read -r pa pb < ports
timeout 20 "$cli" client.prk "$port" > client.out 2> client.err
expect_status client $? 0
printf 'クライアント:返:三\n' | expect_file client.out
kill "$server"
wait_exit "$server" 10 > /dev/null
head -n 16 server.out > server.head
tail -n +17 server.out > server.tail
expect_file server.head <<OUT
起動中
受信:二:127.0.0.1,localhost
ポート:$pb
受信:一:127.0.0.1,localhost
ポート:$pa
受信:全員へ:127.0.0.1,localhost
ポート:$pb
一覧:127.0.0.1:$pa
127.0.0.1:$pb

受信:切って:127.0.0.1,localhost
ポート:$pb
残り:127.0.0.1:$pa

受信:まだ:127.0.0.1,localhost
ポート:$pa
OUT
# The porukana client came from a port of its own.
if ! grep -qx "受信:三:127.0.0.1,localhost" server.tail || ! grep -qx "ポート:[0-9]*" server.tail ||
  grep -qx -e "ポート:$pa" -e "ポート:$pb" server.tail; then
  echo "the port-named client: $(cat server.tail)"
  fail=1
fi
cat server.err client.err
[ -s client.err ] && fail=1
exit $fail

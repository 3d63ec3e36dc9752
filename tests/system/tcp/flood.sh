#!/usr/bin/env bash
# A peer that sends faster than the script takes its data is slowed instead of
# filling the memory: while the receive handler waits for 待つ to end, the bytes
# held for it are joined in place and, beyond the limit, the socket stops reading,
# so the peer cannot finish sending until the handler runs; nothing is lost.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
port=$(free_port)
total=$((64 << 20))

prk flood <<PRK
TCPポート=コマンドライン引数#1
TCPサーバー起動
「受信」に、TCPサーバー受信処理設定
合計=0
「起動」を、表示
6秒、待つ
「待ち終わり」を、表示
待機
*受信
TCP文字列の、バイト数
合計=合計+それ
もし、合計=${total}ならば
(
  「全部:{合計}」を、表示
  終わり
)
戻る
PRK

cat > flood.py <<'PY'
import socket, sys, time
port, pid, total = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
c = socket.create_connection(("127.0.0.1", port))
start = time.time()
chunk = b"z" * 65536
for _ in range(total // len(chunk)):
    c.sendall(chunk)
took = time.time() - start
hwm = 0
for line in open("/proc/%s/status" % pid):
    if line.startswith("VmHWM:"):
        hwm = int(line.split()[1]) // 1024
print("sent in %.1f s, peak %d MB" % (took, hwm), flush=True)
print("slowed" if took > 4 else "not slowed", flush=True)
print("bounded" if hwm < 200 else "unbounded", flush=True)
c.close()
PY
cd "$work" || exit 1
start flood "$port"
wait_line flood.out 起動 || exit 1
python3 flood.py "$port" "$last" "$total" > peer.out 2>&1
wait_exit "$last" 60
expect_status flood $? 0
printf '%s\n' 起動 待ち終わり "全部:$total" | expect_file flood.out
if ! grep -qx slowed peer.out || ! grep -qx bounded peer.out; then
  echo "the peer was not slowed or the memory grew: $(head -1 peer.out)"
  fail=1
fi
exit $fail

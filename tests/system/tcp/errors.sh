#!/usr/bin/env bash
# The failures of the TCP commands and their messages: a closed port, an empty host,
# no connection, no server, empty client names, unknown labels and services, a port
# out of range or in use, a server that does not answer (the time limit shortened
# through PORUKANA_TCP_CONNECT_LIMIT_MS), and a stop request during that wait.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/_common.sh"
closed=$(free_port)

# A listener whose accept queue is full: further connection attempts get no answer.
cat > silent.py <<'PY'
import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(0)
fill = []
for i in range(2):
    c = socket.socket()
    c.setblocking(False)
    try:
        c.connect(s.getsockname())
    except BlockingIOError:
        pass
    fill.append(c)
time.sleep(0.2)
print(s.getsockname()[1], flush=True)
time.sleep(60)
PY
timeout 90 python3 silent.py > silent.out &
pids+=($!)
wait_line silent.out "" || exit 1
silent=$(cat silent.out)

prk errors <<'PRK'
エラーを無視
TCPポート=コマンドライン引数#1
「127.0.0.1」へ、TCP接続
エラーメッセージを、表示
TCP接続状態を、表示
「 」へ、TCP接続
エラーメッセージを、表示
「あ」を、TCP送信
エラーメッセージを、表示
「127.0.0.1」へ、「あ」を、TCPサーバーから送信
エラーメッセージを、表示
「127.0.0.1」を、TCPサーバーから切断
エラーメッセージを、表示
「」へ、「あ」を、TCPサーバーから送信
エラーメッセージを、表示
「」を、TCPサーバーから切断
エラーメッセージを、表示
「なし」に、TCP受信処理設定
エラーメッセージを、表示
「TCPポート」に、TCPサーバー接続処理設定
エラーメッセージを、表示
TCPサービス名=「そんなサービスはない」
「127.0.0.1」へ、TCP接続
エラーメッセージを、表示
TCPサービス名=「」
TCPポート=70000
TCPサーバー起動
エラーメッセージを、表示
TCP接続状態を、表示
TCPポート=コマンドライン引数#2
「127.0.0.1」へ、TCP接続
エラーメッセージを、表示
TCP接続状態を、表示
TCPポート=コマンドライン引数#1
TCPサーバー起動
TCP接続状態を、表示
TCPサーバー起動
TCP接続状態を、表示
「受信」に、TCP受信処理設定
「」に、TCP受信処理設定
TCPサーバー終了
TCP接続状態を、表示
*受信
PRK
PORUKANA_TCP_CONNECT_LIMIT_MS=600 "$cli" errors.prk "$closed" "$silent" > errors.out 2> errors.err
expect_status errors $? 0
expect_file errors.out <<OUT
[エラー] errors.prk(3行目): TCP/IPのエラー。サーバー"127.0.0.1"へ接続できませんでした。接続を拒否されました
未接続
[エラー] errors.prk(6行目): "TCP接続"命令の引数に誤りがあります。接続先が設定されていません
[エラー] errors.prk(8行目): サーバーへの送信に失敗。接続されていません
[エラー] errors.prk(10行目): TCP/IPのエラー。サーバーがアクティブではありません。
[エラー] errors.prk(12行目): TCP/IPのエラー。サーバーがアクティブではありません。
[エラー] errors.prk(14行目): TCP/IPのエラー。相手先が設定されていません
[エラー] errors.prk(16行目): "TCPサーバーから切断"命令の引数に誤りがあります。相手先が設定されていません
[エラー] errors.prk(18行目): 未定義のラベル"なし"に、ジャンプしようとしました。
[エラー] errors.prk(20行目): 未定義のラベル"TCPポート"に、ジャンプしようとしました。
[エラー] errors.prk(23行目): TCP/IPのエラー。サーバー"127.0.0.1"へ接続できませんでした。サービス名"そんなサービスはない"が見つかりません
[エラー] errors.prk(27行目): TCP/IPサーバーの起動に失敗。ポート番号"70000"は範囲外です
起動準備中
[エラー] errors.prk(31行目): TCP/IPのエラー。サーバー"127.0.0.1"へ接続できませんでした。タイムアップ
未接続
起動中
起動中
停止中
OUT

cat errors.err
[ -s errors.err ] && fail=1

# A port in use: the second server cannot start.
prk busy <<'PRK'
TCPポート=コマンドライン引数#1
TCPサーバー起動
「二つ目」を、表示
PRK
"$cli" busy.prk "$silent" > busy.out 2> busy.err
expect_status busy $? 1
expect_file busy.err <<'OUT'
[エラー] busy.prk(2行目): TCP/IPサーバーの起動に失敗。そのポートは既に使われています
OUT

# A stop request ends the connect wait at once, long before its 20 seconds.
prk stop <<'PRK'
TCPポート=コマンドライン引数#1
「127.0.0.1」へ、TCP接続
「続いた」を、表示
PRK
start stop "$silent"
stopper=$last
sleep 0.5
kill -TERM "$stopper"
wait_exit "$stopper" 3
expect_status "stopped wait" $? 143
[ -s stop.out ] && { echo "the run went on after the stop:"; cat stop.out; fail=1; }
exit $fail

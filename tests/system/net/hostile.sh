#!/usr/bin/env bash
# Hostile peers cannot hang or exhaust the run-time and one bad mail does not block
# the others: a download that trickles for ever ends at HTTPタイムアウト leaving no
# file; a POP3 RETR that never ends is cut off; an attachment name whose "/" hides
# behind a Shift_JIS lead byte is saved inside the folder under a safe name and the
# mails after it are received.
source "$(dirname "$0")/_lib.sh" "$1"

D="$WORK/scripts"
start_hostile() {   # start_hostile KIND: sets PORT
    local portfile="$WORK/port.$1"
    "$PY" "$HERE/_hostile.py" "$1" "$portfile" > "$WORK/$1.log" 2>&1 &
    SERVER_PIDS+=("$!")
    local i
    for i in $(seq 100); do
        [ -s "$portfile" ] && { PORT=$(cat "$portfile"); return 0; }
        sleep 0.1
    done
    echo "FAIL: the $1 server did not start"
    exit 1
}

# ---- a 10 GB body at 2 bytes a second ----
start_hostile trickle
start=$(date +%s)
run_prk trickle << EOF
エラーを無視
HTTPタイムアウト=2
「http://127.0.0.1:$PORT/big」を、「big.bin」へ、HTTPダウンロード
エラーメッセージを、表示
EOF
took=$(($(date +%s) - start))
expect_eq "$RC:$OUT" "0:[エラー] trickle.prk(3行目): \"http://127.0.0.1:$PORT/big\"からのダウンロードに失敗" "trickle download fails"
expect_true "trickle download ends at its limit (took ${took}s)" test "$took" -lt 20
expect_eq "$(ls -A "$D" | grep -v '\.prk$')" "" "no file of the failed download, no part file"

# ---- a RETR that never ends ----
start_hostile endless-pop3
start=$(date +%s)
run_prk endless << EOF
エラーを無視
メールホスト=「127.0.0.1:$PORT」
メールID=「taro」
メールパスワード=「pw」
「mail」へ、メール受信
エラーメッセージを、表示
EOF
took=$(($(date +%s) - start))
expect_eq "$RC:$OUT" "0:[エラー] endless.prk(5行目): メールの受信エラー。1番のメール受信に失敗しました。" "endless RETR is cut off"
expect_true "endless RETR ends soon (took ${took}s)" test "$took" -lt 20

# ---- "/" after a lead byte in an attachment name, then a good mail ----
BOX="$WORK/box"
mkdir -p "$BOX"
"$PY" - "$BOX" << 'PY'
import base64, sys
box = sys.argv[1]
name = base64.b64encode(b"\x81/../evil.txt").decode()
open(box + "/01.eml", "wb").write((
    "From: a@example.com\r\nTo: me@example.com\r\nSubject: bad name\r\n"
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"BB\"\r\n\r\n"
    "--BB\r\nContent-Type: text/plain\r\n\r\nbody\r\n"
    "--BB\r\nContent-Type: application/octet-stream\r\n"
    "Content-Disposition: attachment; filename=\"=?Shift_JIS?B?" + name + "?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nZXZpbA==\r\n--BB--\r\n").encode())
open(box + "/02.eml", "wb").write(b"From: b@example.com\r\nTo: me@example.com\r\nSubject: later\r\n\r\nlater\r\n")
PY
start_server pop3 "$BOX" "$WORK/pop3.log"
mkdir -p "$D/in"
run_prk receive << EOF
エラーを無視
メールホスト=「127.0.0.1:$PORT」
メールID=「taro」
メールパスワード=「pw」
「in/mail」へ、メール受信
エラーメッセージを、表示
EOF
expect_eq "$RC:$OUT" "0:" "receive past a mail with a bad attachment name"
expect_eq "$(cd "$D/in/mail" && ls | LC_ALL=C sort | tr '\n' ' ')" "1.eml 1.txt 2.eml 2.txt evil.txt " "files of the two mails"
expect_eq "$(cat "$D/in/mail/evil.txt" 2> /dev/null)" "evil" "attachment saved inside the folder"
expect_eq "$(ls "$BOX")" "" "both mails deleted on the server"
finish

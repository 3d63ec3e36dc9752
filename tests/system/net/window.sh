#!/usr/bin/env bash
# The window host (offscreen) runs the network commands too: one program downloads
# by HTTP, lists and fetches by FTP, sends a mail and receives the mailbox, writing
# what it got into files that are checked here.
source "$(dirname "$0")/_lib.sh" "$1"
need_module pyftpdlib python3-pyftpdlib
need_module aiosmtpd python3-aiosmtpd
GUI="$BIN/porukana"
[ -x "$GUI" ] || { echo "skipped: $GUI not built"; exit 77; }

D="$WORK/scripts"
mkdir -p "$WORK/www/files" "$WORK/ftp/pub" "$WORK/saved" "$WORK/box"
printf 'hello\n' > "$WORK/www/files/hello.txt"
printf 'remote\n' > "$WORK/ftp/pub/r.txt"
printf 'From: a@example.com\r\nSubject: hi\r\n\r\nbody\r\n' > "$WORK/box/01.eml"
start_server http "$WORK/www"
HTTP=$PORT
start_server ftp "$WORK/ftp" "$WORK/ftp.log"
FTP=$PORT
start_server smtp "$WORK/saved"
SMTP=$PORT
start_server pop3 "$WORK/box" "$WORK/pop3.log"
POP3=$PORT

iconv -f UTF-8 -t CP932 > "$D/window.prk" << EOF
「http://127.0.0.1:$HTTP/files/hello.txt」を、「$D/http.txt」へ、HTTPダウンロード
FTPホスト=「127.0.0.1:$FTP」
FTPユーザーID=「user」
FTPパスワード=「secret」
FTP接続方式=「PASV」
FTP接続
「pub」へ、FTP作業フォルダ
「」の、FTPファイル列挙
それを、「$D/list.txt」へ、書く
「r.txt」を、「$D/ftp.txt」へ、FTPダウンロード
FTP切断
メールホスト=「127.0.0.1:$SMTP」
メール送信先=「to@example.com」
メール本文=「窓から」
メール送信
メールホスト=「127.0.0.1:$POP3」
メールID=「taro」
メールパスワード=「pw」
「mail」へ、メール受信
終わり
EOF
(cd "$D" && timeout 60 "$GUI" "$D/window.prk" < /dev/null > "$WORK/window.out" 2>&1)
RC=$?
expect_eq "$RC" "0" "the window host ran the program"
expect_eq "$(cat "$D/http.txt" 2> /dev/null)" "hello" "HTTP"
expect_eq "$(cat "$D/list.txt" 2> /dev/null)" "r.txt" "FTP listing"
expect_eq "$(cat "$D/ftp.txt" 2> /dev/null)" "remote" "FTP download"
expect_true "SMTP" test -s "$WORK/saved/1.eml"
expect_eq "$(iconv -f CP932 -t UTF-8 "$D/mail/1.txt" 2> /dev/null | sed -n 4p | tr -d '\r')" "件名:hi" "POP3"
[ "$FAILURES" -ne 0 ] && cat "$WORK/window.out"
finish

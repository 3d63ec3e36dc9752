#!/usr/bin/env bash
# FTP with Japanese names: the server sees them in UTF-8 (in the addresses of
# transfers and folders, and in the command lines), and listings come back to the
# script as its own text.
source "$(dirname "$0")/_lib.sh" "$1"
need_module pyftpdlib python3-pyftpdlib

root="$WORK/root"
mkdir -p "$root/資料"
printf 'ファイルの中身' > "$root/資料/日本語.txt"
start_server ftp "$root" "$WORK/ftp.log"
D="$WORK/scripts"

run_prk ftp << EOF
FTPホスト=「127.0.0.1:$PORT」
FTPユーザーID=「user」
FTPパスワード=「secret」
FTP接続方式=「PASV」
FTP接続
「資料」へ、FTP作業フォルダ
「日本語.txt」を、「$D/取得.txt」へ、FTPダウンロード
「$D/取得.txt」を、「写し.txt」へ、FTPアップロード
「新しい箱」の、FTPフォルダ作成
「*.txt」の、FTPファイル列挙
それを、表示
FTP切断
EOF
expect_eq "$RC:$OUT" "0:写し.txt
日本語.txt" "listing in the script's text"
expect_eq "$(cat "$D/取得.txt" 2> /dev/null)" "ファイルの中身" "download of a Japanese name"
expect_true "upload under a UTF-8 name" cmp -s "$root/資料/日本語.txt" "$root/資料/写し.txt"
expect_true "folder made with a UTF-8 name" test -d "$root/資料/新しい箱"
finish

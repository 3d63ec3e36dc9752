#!/usr/bin/env bash
# The FTP commands against a local FTP server, once with passive and once with active
# data connections: every verb on a temporary root, the working folder kept between
# commands, listings, text and binary transfers, and the failures with their
# messages.
source "$(dirname "$0")/_lib.sh" "$1"
need_module pyftpdlib python3-pyftpdlib

D="$WORK/scripts"
head -c 1048576 /dev/urandom > "$D/up.bin"

run_session() {
    local mode=$1 root="$WORK/root-$1" log="$WORK/ftp-$1.log"
    mkdir -p "$root/pub/docs" "$root/pub/old"
    printf 'one\r\ntwo\r\n' > "$root/pub/a.txt"
    printf 'b' > "$root/pub/b.dat"
    printf 'c' > "$root/pub/docs/c.txt"
    : > "$log"
    start_server ftp "$root" "$log"
    local pid=$SERVER_PID
    rm -f "$D/down.bin" "$D/a-text.txt" "$D/a-bin.txt"
    printf 'mine' > "$D/exists.txt"

    run_prk "ftp-$mode" << EOF
エラーを無視
FTPホスト=「127.0.0.1:$PORT」
FTPユーザーID=「 user 」
FTPパスワード=「secret 」
FTP接続方式=「$mode」
FTP接続
「pub」へ、FTP作業フォルダ
「*.txt」の、FTPファイル列挙
それを、表示
「」の、FTPファイル列挙
それを、表示
「」の、FTPフォルダ列挙
それを、表示
「d*」の、FTPフォルダ列挙
それを、表示
「a.txt」の、FTPファイル情報
それを、表示
「$D/up.bin」を、「up.bin」へ、FTPアップロード
「up.bin」を、「$D/down.bin」へ、FTPダウンロード
「up.bin」を、「$D/exists.txt」へ、FTPダウンロード
エラーメッセージを、表示
「nosuch.bin」を、「$D/nosuch.bin」へ、FTPダウンロード
エラーメッセージを、表示
「$D/nosuch-local.bin」を、「x.bin」へ、FTPアップロード
エラーメッセージを、表示
「new」の、FTPフォルダ作成
「new」の、FTPフォルダ作成
エラーメッセージを、表示
「new」へ、FTP作業フォルダ
「$D/up.bin」を、「inner.bin」へ、FTPアップロード
FTP親フォルダ移動
「old」の、FTPフォルダ削除
「old」の、FTPフォルダ削除
エラーメッセージを、表示
「up.bin」を、600に、FTPファイル属性変更
「nosuch」を、600に、FTPファイル属性変更
エラーメッセージを、表示
「b.dat」の、FTPファイル削除
「b.dat」の、FTPファイル削除
エラーメッセージを、表示
「nosuch」へ、FTP作業フォルダ
エラーメッセージを、表示
「docs/c.txt」の、FTPファイル情報
それの、行数を、表示
「/pub/docs」へ、FTP作業フォルダ
「」の、FTPファイル列挙
それを、表示
「../..」へ、FTP作業フォルダ
「」の、FTPフォルダ列挙
それを、表示
「pub」へ、FTP作業フォルダ
「テキスト」の、FTP転送モード
「a.txt」を、「$D/a-text.txt」へ、FTPダウンロード
「バイナリ転送」の、FTP転送モード
「a.txt」を、「$D/a-bin.txt」へ、FTPダウンロード
FTP切断
「a.txt」の、FTPファイル削除
エラーメッセージを、表示
「」の、FTPファイル列挙
エラーメッセージを、表示
FTPパスワード=「wrong」
FTP接続
エラーメッセージを、表示
EOF
    local P="ftp-$mode.prk"
    # the detailed listing's form is the server's: only its shape is checked
    local info
    info=$(printf '%s\n' "$OUT" | sed -n 9p)
    expect_true "$mode: detailed listing of a.txt ($info)" grep -qE '^-rw.* 10 .* a\.txt$' <<< "$info"
    OUT=$(printf '%s\n' "$OUT" | sed '9s/.*/INFO/')
    expect_eq "$OUT" "a.txt
a.txt
b.dat
docs
old
docs
old
docs
INFO

[エラー] $P(20行目): \"$D/exists.txt\"へのFTPダウンロードに失敗
[エラー] $P(22行目): \"$D/nosuch.bin\"へのFTPダウンロードに失敗
[エラー] $P(24行目): \"x.bin\"へのFTPアップロードに失敗
[エラー] $P(27行目): \"new\"へのFTPフォルダ作成に失敗。550 File exists.
[エラー] $P(33行目): \"old\"へのFTPフォルダ削除に失敗
[エラー] $P(36行目): \"nosuch\" のFTPファイル属性変更に失敗
[エラー] $P(39行目): \"b.dat\"のFTPファイル削除に失敗
[エラー] $P(41行目): \"nosuch\"へのFTPフォルダ変更に失敗
1
c.txt
pub
[エラー] $P(57行目): FTPで接続が確立されていません。
[エラー] $P(59行目): FTPで接続が確立されていません。
[エラー] $P(62行目): FTPのエラー。接続に失敗。530 Authentication failed." "$mode: results and messages"
    expect_true "$mode: upload and download byte for byte" cmp -s "$D/up.bin" "$root/pub/up.bin"
    expect_true "$mode: download byte for byte" cmp -s "$D/up.bin" "$D/down.bin"
    expect_true "$mode: upload into the changed folder" cmp -s "$D/up.bin" "$root/pub/new/inner.bin"
    expect_eq "$(cat "$D/exists.txt")" "mine" "$mode: an existing local file is not overwritten"
    expect_true "$mode: no file for a missing remote file" test ! -e "$D/nosuch.bin"
    expect_true "$mode: RMD" test ! -e "$root/pub/old"
    expect_true "$mode: DELE" test ! -e "$root/pub/b.dat"
    expect_eq "$(stat -c %a "$root/pub/up.bin")" "600" "$mode: SITE chmod"
    expect_eq "$(od -An -c "$D/a-bin.txt" | tr -s ' ')" " o n e \r \n t w o \r \n" "$mode: binary keeps the bytes"
    expect_eq "$(od -An -c "$D/a-text.txt" | tr -s ' ')" " o n e \n t w o \n" "$mode: text mode gives local line ends"
    expect_true "$mode: the file survives FTP切断" test -e "$root/pub/a.txt"
    # what the server saw
    local seen
    seen=$(grep -E '^(USER|PASV|EPSV|PORT|EPRT|TYPE|SITE|MKD|RMD|DELE|QUIT)' "$log" | sort -u | tr '\n' ',')
    case $mode in
    PASV) expect_true "passive: EPSV, no EPRT ($seen)" test "${seen/EPSV/}" != "$seen" -a "${seen/EPRT/}" = "$seen" ;;
    *) expect_true "active: EPRT, no EPSV ($seen)" test "${seen/EPRT/}" != "$seen" -a "${seen/EPSV/}" = "$seen" ;;
    esac
    expect_true "the user name was trimmed ($seen)" test "${seen/USER user,/}" != "$seen"
    expect_true "text mode sent TYPE A ($seen)" test "${seen/TYPE A/}" != "$seen"
    expect_true "SITE chmod with a decimal mode ($seen)" test "${seen/SITE chmod 600 up.bin/}" != "$seen"
    expect_true "FTP切断 said QUIT ($seen)" test "${seen/QUIT/}" != "$seen"
    stop_server "$pid"
}

run_session PASV
run_session active

finish

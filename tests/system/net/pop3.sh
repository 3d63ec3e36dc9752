#!/usr/bin/env bash
# メール受信 against a local POP3 server: three mails become 1.txt/1.eml to
# 3.txt/3.eml with their attachments, a later receive goes on with 4; mails are
# deleted on the server only when メールサーバーから削除 says so and only after every
# mail was saved; a receive that fails part-way keeps every mail on the server.
source "$(dirname "$0")/_lib.sh" "$1"

D="$WORK/scripts"
BOX="$WORK/box"
LOG="$WORK/pop3.log"
mkdir -p "$BOX"

# The mails, written by python's email package (CR LF line ends as on the wire).
cat > "$WORK/mails.py" << 'EOF'
import email.message, email.policy, sys
box = sys.argv[1]
def save(name, data):
    open(box + "/" + name, "wb").write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
which = sys.argv[2]
if which == "first":
    save("01.eml", b"From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.com>\n"
         b"To: me@example.com\nSubject: =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?= test\n"
         b"Date: Tue, 03 Dec 2024 09:05:00 +0900\nMIME-Version: 1.0\n"
         b"Content-Type: text/plain; charset=iso-2022-jp\n\n"
         + "こんにちは\n.で始まる行\n".encode("iso-2022-jp"))
    m = email.message.EmailMessage()
    m["From"] = "Hanako <hanako@example.com>"
    m["To"] = "me@example.com"
    m["Reply-To"] = "reply@example.com"
    m["Subject"] = "資料の送付"
    m["Date"] = "Wed, 04 Dec 2024 01:02:03 +0000"
    m.set_content("本文です。=テスト\n", charset="utf-8", cte="quoted-printable")
    m.add_attachment(b"\x00\x01PDF\xff", maintype="application", subtype="pdf", filename="資料 2024.pdf")
    save("02.eml", m.as_bytes(policy=email.policy.SMTP))
    save("03.eml", b"""From: x@example.com
To: me@example.com
Subject: names
Date: Thu, 05 Dec 2024 10:00:00 -0500
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="BB"

--BB
Content-Type: text/plain

plain body
--BB
Content-Type: application/octet-stream
Content-Disposition: attachment; filename="../../escape.txt"
Content-Transfer-Encoding: base64

ZXNjYXBl
--BB
Content-Type: application/octet-stream; name="same.txt"
Content-Transfer-Encoding: base64

bmV3
--BB
Content-Type: application/octet-stream
Content-Disposition: attachment; filename*=UTF-8''%2E%2Esecurity.ini

bG93
--BB--
""")
else:
    for n in ("04", "05"):
        save(n + ".eml", b"From: later@example.com\nTo: me@example.com\nSubject: later " + n.encode()
             + b"\nDate: Fri, 06 Dec 2024 00:00:00 +0000\n\nlater\n")
EOF

text_of() {   # a mail text as UTF-8 without its CRs
    iconv -f CP932 -t UTF-8 "$1" | tr -d '\r'
}

receive() {   # receive NAME [extra script lines] -- runs メール受信 into $D/mail
    local name=$1 extra=${2:-}
    : > "$LOG"
    run_prk "$name" << EOF
エラーを無視
メールホスト=「127.0.0.1:$PORT」
メールID=「taro」
メールパスワード=「pw」
$extra
「mail」へ、メール受信
エラーメッセージを、表示
EOF
}

TZ=JST-9   # a POSIX zone: needs no time-zone data
export TZ
"$PY" "$WORK/mails.py" "$BOX" first
cp -r "$BOX" "$WORK/box.orig"
start_server pop3 "$BOX" "$LOG"
mkdir -p "$D/mail"
printf 'old' > "$D/mail/same.txt"

# ---- three mails, deleted after they were all saved ----
receive first
expect_eq "$RC:$OUT" "0:" "first receive"
expect_eq "$(cd "$D/mail" && ls | LC_ALL=C sort | tr '\n' ' ')" \
    "1.eml 1.txt 2.eml 2.txt 2024.pdf 3.eml 3.txt _same.txt _security.ini escape.txt same.txt " "files written"
for n in 1 2 3; do
    expect_true "$n.eml is the message as it came" cmp -s "$D/mail/$n.eml" "$WORK/box.orig/0$n.eml"
done
expect_eq "$(text_of "$D/mail/1.txt")" "送信者:山田 <yamada@example.com>
受信者:me@example.com
日時:2024/12/03 09:05:00
件名:会議 test
本文:

こんにちは
.で始まる行" "mail 1 text"
expect_eq "$(text_of "$D/mail/2.txt")" "返信先:reply@example.com
送信者:Hanako <hanako@example.com>
受信者:me@example.com
日時:2024/12/04 10:02:03
件名:資料の送付
添付ファイル:2024.pdf
本文:

本文です。=テスト" "mail 2 text (UTF-8, quoted-printable, RFC 2231 name after its space)"
expect_eq "$(od -An -tx1 "$D/mail/2024.pdf" | tr -d ' \n')" "0001504446ff" "attachment bytes"
expect_eq "$(text_of "$D/mail/3.txt")" "送信者:x@example.com
受信者:me@example.com
日時:2024/12/06 00:00:00
件名:names
添付ファイル:escape.txt
添付ファイル:same.txt
添付ファイル:_security.ini
本文:

plain body" "mail 3 text"
expect_eq "$(cat "$D/mail/same.txt"):$(cat "$D/mail/_same.txt")" "old:new" "a taken name gets a _ in front"
expect_true "nothing written outside the folder" test ! -e "$D/escape.txt" -a ! -e "$WORK/escape.txt"
expect_true "the security file is never written" test ! -e "$D/mail/security.ini"
expect_eq "$(tr '\n' ' ' < "$LOG")" \
    "CAPA USER taro PASS *** LIST RETR 1 RETR 2 RETR 3 DELE 1 DELE 2 DELE 3 QUIT " "DELE only after every RETR"
expect_eq "$(ls "$BOX" | wc -l)" "0" "the server deleted the mails"

# ---- later mails go on with 4; the flag 0 keeps them on the server ----
"$PY" "$WORK/mails.py" "$BOX" later
receive later "メールサーバーから削除=0"
expect_eq "$RC:$OUT" "0:" "second receive"
expect_eq "$(text_of "$D/mail/5.txt" | sed -n 4p)" "件名:later 05" "numbering goes on"
expect_true "4.eml written" test -s "$D/mail/4.eml"
expect_true "no DELE with the flag 0" test -z "$(grep DELE "$LOG")"
expect_eq "$(ls "$BOX" | wc -l)" "2" "the mails stay on the server"
stop_server "$SERVER_PID"

# ---- a receive that fails part-way keeps every mail on the server ----
for how in fail-retr drop-retr; do
    rm -rf "$D/mail"
    start_server pop3 "$BOX" "$LOG" "$how=2"
    receive "$how"
    expect_eq "$OUT" "[エラー] $how.prk(6行目): メールの受信エラー。2番のメール受信に失敗しました。" "$how: message"
    expect_eq "$(cd "$D/mail" && ls | tr '\n' ' ')" "1.eml 1.txt " "$how: the mail before is saved"
    expect_true "$how: no DELE" test -z "$(grep DELE "$LOG")"
    expect_eq "$(ls "$BOX" | wc -l)" "2" "$how: the server keeps every mail"
    stop_server "$SERVER_PID"
done

# ---- the checks and a refused login ----
start_server pop3 "$BOX" "$LOG"
printf 'x' > "$D/file"
run_prk checks << EOF
エラーを無視
「mail」へ、メール受信
エラーメッセージを、表示
メールホスト=「127.0.0.1:$PORT」
「mail」へ、メール受信
エラーメッセージを、表示
メールID=「taro」
「mail」へ、メール受信
エラーメッセージを、表示
メールパスワード=「wrong」
「mail」へ、メール受信
エラーメッセージを、表示
「file/sub」へ、メール受信
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] checks.prk(2行目): メールの受信エラー。ホスト名が未設定です。
[エラー] checks.prk(5行目): メールの受信エラー。ユーザーＩＤが未設定です。
[エラー] checks.prk(8行目): メールの受信エラー。パスワードが未設定です。
[エラー] checks.prk(11行目): メールの受信エラー。-ERR invalid user or password
[エラー] checks.prk(13行目): メールの受信エラー。メール受信用フォルダが作成できません。" "check messages"

# ---- a folder outside the script's folder is asked for (and refused here) ----
run_prk gate << EOF
メールホスト=「127.0.0.1:$PORT」
メールID=「taro」
メールパスワード=「pw」
「$WORK/outside」へ、メール受信
「続く」を、表示
EOF
expect_eq "$RC:$OUT" "0:続く" "refused receive is skipped"
expect_true "refused: no folder made" test ! -e "$WORK/outside"

finish

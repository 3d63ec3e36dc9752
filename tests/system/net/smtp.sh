#!/usr/bin/env bash
# メール送信 against a local SMTP server that saves what it receives; the saved
# message is read back with python's email package: subject, sender, recipients,
# body and attachments exact, blind copies only in the envelope, no header a field's
# text could add. Then the failures, in the order the checks come.
source "$(dirname "$0")/_lib.sh" "$1"
need_module aiosmtpd python3-aiosmtpd

D="$WORK/scripts"
SAVED="$WORK/saved"
mkdir -p "$SAVED"
head -c 70000 /dev/urandom > "$D/data.bin"
printf '添付の本文\r\n' | iconv -f UTF-8 -t CP932 > "$D/メモ.txt"
start_server smtp "$SAVED"
SMTP_PID=$SERVER_PID

run_prk send << EOF
メールホスト=「127.0.0.1:$PORT」
メールID=「taro」
メールタイトル=『会議の"お知らせ" Re: 来週の予定について、長い件名を折り返しても一つの件名として読めること』
メール本文=「こんにちは、山田です。
ｶﾞｷﾞと半角カナ、ASCII text.
.
最終行」
メール送信先=「山田 太郎 <taro@example.com>, hanako@example.com」
メールCC=「 cc1@example.com 
cc2@example.com」
メールBCC=「hidden@example.com」
メール送信元=「me@example.com」
メール送信者名=「送信 者」
メール添付ファイル=「data.bin
$D/メモ.txt」
メール送信
「送信しました」を、表示
EOF
expect_eq "$RC:$OUT" "0:送信しました" "send runs"

cat > "$WORK/check.py" << 'EOF'
import email, email.policy, json, sys
saved, data, memo = sys.argv[1:4]
raw = open(saved + "/1.eml", "rb").read()
m = email.message_from_bytes(raw, policy=email.policy.default)
env = json.load(open(saved + "/1.json"))
out = []
out.append("subject=" + m["subject"])
out.append("from=" + m["from"])
out.append("reply-to=" + m["reply-to"])
out.append("to=" + m["to"])
out.append("cc=" + m["cc"])
out.append("bcc-header=" + str(m["bcc"]))
out.append("x-mailer=" + m["x-mailer"])
out.append("envelope-from=" + env["from"])
out.append("envelope-to=" + ",".join(env["to"]))
out.append("type=" + m.get_content_type())
parts = [p for p in m.walk() if not p.is_multipart()]
body = parts[0]
out.append("body-type=%s charset=%s" % (body.get_content_type(), body.get_content_charset()))
out.append("body=" + repr(body.get_content()))
for p, path in zip(parts[1:], [data, memo]):
    out.append("attachment=%s same=%s" % (p.get_filename(), p.get_payload(decode=True) == open(path, "rb").read()))
out.append("lines-ok=%s" % all(len(l) <= 998 for l in raw.split(b"\r\n")))
out.append("seven-bit=%s" % all(b < 0x80 for b in raw))
print("\n".join(out))
EOF
expect_eq "$("$PY" "$WORK/check.py" "$SAVED" "$D/data.bin" "$D/メモ.txt")" "subject=会議の”お知らせ” Re: 来週の予定について、長い件名を折り返しても一つの件名として読めること
from=送信 者 <me@example.com>
reply-to=me@example.com
to=山田 太郎 <taro@example.com>, hanako@example.com
cc=cc1@example.com, cc2@example.com
bcc-header=None
x-mailer=日本語プログラム言語「ぽるかな」
envelope-from=me@example.com
envelope-to=taro@example.com,hanako@example.com,cc1@example.com,cc2@example.com,hidden@example.com
type=multipart/mixed
body-type=text/plain charset=iso-2022-jp
body='こんにちは、山田です。\r\nガギと半角カナ、ASCII text.\r\n.\r\n最終行'
attachment=data.bin same=True
attachment=メモ.txt same=True
lines-ok=True
seven-bit=True" "the message as the server received it"

# ---- a field's line breaks never start a header; a mail without attachments ----
rm -f "$SAVED"/*
run_prk inject << EOF
メールホスト=「127.0.0.1:$PORT」
メールタイトル=「件名{\n}Bcc: injected@example.com」
メール本文=「本文だけ」
メール送信先=「to@example.com{\n}」
メール送信元=「me@example.com{\n}」
メール送信者名=「名前{\n}X-Evil: 2」
メール送信
EOF
cat > "$WORK/check2.py" << 'EOF'
import email, email.policy, glob, json, sys
eml, = glob.glob(sys.argv[1] + "/*.eml")   # the only mail saved since the folder was emptied
m = email.message_from_bytes(open(eml, "rb").read(), policy=email.policy.default)
env = json.load(open(eml[:-4] + ".json"))
print("headers=" + ",".join(sorted(set(k.lower() for k in m.keys()))))
print("subject=" + m["subject"])
print("type=%s body=%r" % (m.get_content_type(), m.get_content()))
print("envelope-to=" + ",".join(env["to"]))
EOF
expect_eq "$RC:$("$PY" "$WORK/check2.py" "$SAVED" 2>&1)" "0:headers=content-transfer-encoding,content-type,date,from,message-id,mime-version,reply-to,subject,to,x-mailer
subject=件名Bcc: injected@example.com
type=text/plain body='本文だけ\r\n'
envelope-to=to@example.com" "line breaks in fields are dropped"

# ---- failures ----
CLOSED=$(closed_port)
rm -f "$SAVED"/*
run_prk failures << EOF
エラーを無視
メール送信
エラーメッセージを、表示
メールホスト=「127.0.0.1:$PORT」
メール送信
エラーメッセージを、表示
メール送信先=「to@example.com」
メール送信
エラーメッセージを、表示
メール本文=「本文」
メール添付ファイル=「無いファイル.bin」
メール送信
エラーメッセージを、表示
メール添付ファイル=「」
メール送信先=「reject@example.com」
メール送信
エラーメッセージを、表示
メールホスト=「127.0.0.1:$CLOSED」
メール送信
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] failures.prk(2行目): メールの送信エラー。ホスト名が未設定です。
[エラー] failures.prk(5行目): メールの送信エラー。送信先が未設定です。
[エラー] failures.prk(8行目): メールの送信エラー。本文が未設定です。
[エラー] failures.prk(12行目): メールの送信エラー。添付ファイル\"無いファイル.bin\"がありません。
[エラー] failures.prk(16行目): 送信に失敗。550 no such user here
[エラー] failures.prk(19行目): 接続に失敗" "failure messages"
expect_eq "$(ls "$SAVED" | wc -l)" "0" "nothing was sent by a failed command"

stop_server "$SMTP_PID"
finish

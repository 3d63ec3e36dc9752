#!/usr/bin/env bash
# HTTPダウンロード against a local HTTP server: success, a 1 MB binary file byte for
# byte, redirects (followed to http, never to file:), failures that leave no file
# (404, 500, a cut connection, a closed port), the agent name, the proxy from
# http_proxy / no_proxy, and the security gate.
source "$(dirname "$0")/_lib.sh" "$1"

WWW="$WORK/www"
mkdir -p "$WWW/files" "$WORK/out"
printf 'hello\n' > "$WWW/files/hello.txt"
head -c 1048576 /dev/urandom > "$WWW/files/big.bin"
start_server http "$WWW"
HTTP_PORT=$PORT
H="http://127.0.0.1:$HTTP_PORT"
D="$WORK/scripts"

# ---- success, binary, redirect, agent ----
run_prk ok << EOF
「$H/files/hello.txt」を、「$D/hello.txt」へ、HTTPダウンロード
「$H/files/big.bin」を、「$D/big.bin」へ、HTTPダウンロード
「$H/redirect」を、「$D/redirected.txt」へ、HTTPダウンロード
「$H/agent」を、「$D/agent.txt」へ、HTTPダウンロード
「済み」を、表示
EOF
expect_eq "$RC:$OUT" "0:済み" "downloads run"
expect_eq "$(cat "$D/hello.txt")" "hello" "text download"
expect_true "1 MB binary byte for byte" cmp -s "$WWW/files/big.bin" "$D/big.bin"
expect_eq "$(cat "$D/redirected.txt")" "hello" "redirect followed"
expect_eq "$(cat "$D/agent.txt")" "HTTP" "agent name"

# ---- failures: the message (with the status when the server refused), no file, no
# temporary file left ----
printf 'keep me' > "$D/kept.txt"
CLOSED=$(closed_port)
run_prk failures << EOF
エラーを無視
「$H/missing」を、「$D/missing.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「$H/error500」を、「$D/kept.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「$H/redirect-file」を、「$D/local.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「$H/truncated」を、「$D/cut.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「http://127.0.0.1:$CLOSED/x」を、「$D/closed.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「file:///etc/hostname」を、「$D/file.txt」へ、HTTPダウンロード
エラーメッセージを、表示
「$H/files/hello.txt」を、「$D/no/such/folder/x.txt」へ、HTTPダウンロード
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] failures.prk(2行目): \"$H/missing\"からのダウンロードに失敗。404 Not Found
[エラー] failures.prk(4行目): \"$H/error500\"からのダウンロードに失敗。500 Internal Server Error
[エラー] failures.prk(6行目): \"$H/redirect-file\"からのダウンロードに失敗
[エラー] failures.prk(8行目): \"$H/truncated\"からのダウンロードに失敗
[エラー] failures.prk(10行目): \"http://127.0.0.1:$CLOSED/x\"からのダウンロードに失敗
[エラー] failures.prk(12行目): \"file:///etc/hostname\"からのダウンロードに失敗
[エラー] failures.prk(14行目): \"$H/files/hello.txt\"からのダウンロードに失敗" "failure messages"
for f in missing.txt local.txt cut.txt closed.txt file.txt; do
    expect_true "no file $f after a failure" test ! -e "$D/$f"
done
expect_eq "$(cat "$D/kept.txt")" "keep me" "a failed download leaves the old file"
expect_eq "$(find "$D" -name '*.part-*' | wc -l)" "0" "no temporary file left"

# ---- an uncaught failure stops the program with the message ----
run_prk stops << EOF
「$H/missing」を、「$D/x.txt」へ、HTTPダウンロード
「ここには来ない」を、表示
EOF
# (standard error may also carry the progress lines of the console host)
expect_eq "$RC|$OUT|$(grep '^\[エラー\]' <<< "$ERR")" "1||[エラー] stops.prk(1行目): \"$H/missing\"からのダウンロードに失敗。404 Not Found" "stop on failure"

# ---- HTTPS: certificates are checked (a self-signed one is refused) ----
if command -v openssl > /dev/null; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 -days 1 \
        -keyout "$WORK/key.pem" -out "$WORK/cert.pem" > /dev/null 2>&1
    start_server http "$WWW" "$WORK/cert.pem" "$WORK/key.pem"
    run_prk https << EOF
「https://127.0.0.1:$PORT/files/hello.txt」を、「$D/https.txt」へ、HTTPダウンロード
EOF
    expect_eq "$RC:$(test -e "$D/https.txt" && echo file)" "1:" "an untrusted certificate fails the download"
    stop_server "$SERVER_PID"
else
    echo "note: openssl missing, HTTPS not checked"
fi

# ---- the system proxy: the made-up host is reached only through it ----
export http_proxy="http://127.0.0.1:$HTTP_PORT"
run_prk proxy << EOF
「http://proxied.invalid/files/hello.txt」を、「$D/proxied.txt」へ、HTTPダウンロード
EOF
expect_eq "$RC:$(cat "$D/proxied.txt" 2> /dev/null)" "0:hello" "download through http_proxy"
export http_proxy="http://127.0.0.1:$CLOSED" no_proxy="127.0.0.1"
run_prk noproxy << EOF
「$H/files/hello.txt」を、「$D/direct.txt」へ、HTTPダウンロード
EOF
expect_eq "$RC:$(cat "$D/direct.txt" 2> /dev/null)" "0:hello" "no_proxy goes direct"
unset http_proxy no_proxy

# ---- the security gate: a file outside the script's folder is asked for ----
run_prk gate << EOF
「$H/files/hello.txt」を、「$WORK/out/outside.txt」へ、HTTPダウンロード
「続く」を、表示
EOF
expect_eq "$RC:$OUT" "0:続く" "a refused download is skipped"
expect_true "refused: no file outside the script's folder" test ! -e "$WORK/out/outside.txt"
run_prk gatelow -security low << EOF
「$H/files/hello.txt」を、「$WORK/out/outside.txt」へ、HTTPダウンロード
EOF
expect_eq "$RC:$(cat "$WORK/out/outside.txt" 2> /dev/null)" "0:hello" "the low level allows it"

finish

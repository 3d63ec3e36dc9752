#!/usr/bin/env bash
# HTTPダウンロード of addresses holding Japanese, from Python's own http.server
# (started here and stopped by its process id): the path is sent percent-encoded as
# UTF-8, so the file is found; a missing file fails naming the status.
#   http_utf8.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
PY=/usr/bin/python3
if [ ! -x "$PY" ]; then
    echo "skipped: $PY is not installed"
    exit 77
fi
work=$(mktemp -d)
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2> /dev/null
        wait "$server" 2> /dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
unset http_proxy https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
mkdir -p "$TMPDIR" "$work/www/フォルダ" "$work/d" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf 'こんにちは\n' > "$work/www/日本語.txt"
printf 'space' > "$work/www/フォルダ/a b.txt"

"$PY" -u -m http.server --bind 127.0.0.1 --directory "$work/www" 0 > "$work/server.log" 2>&1 &
server=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^Serving HTTP on 127\.0\.0\.1 port \([0-9]*\).*/\1/p' "$work/server.log")
    [ -n "$port" ] && break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "FAILED: the HTTP server did not start"
    cat "$work/server.log"
    exit 1
fi

H="http://127.0.0.1:$port"
cd "$work/d"
cat > dl.prk << EOF
エラーを無視
「$H/日本語.txt」を、「日本語.txt」へ、HTTPダウンロード
Aに、「日本語.txt」を、読む
Aを、表示
「$H/フォルダ/a%20b.txt」を、「b.txt」へ、HTTPダウンロード
Bに、「b.txt」を、読む
Bを、表示
「$H/ない.txt」を、「ない.txt」へ、HTTPダウンロード
エラーメッセージを、表示
EOF
out=$("$bin/porukana-cli" -security low dl.prk 2> /dev/null)
rc=$?
fail=0
expected="こんにちは

space
[エラー] dl.prk(8行目): \"$H/ない.txt\"からのダウンロードに失敗。404 Not Found"
if [ "$rc:$out" != "0:$expected" ]; then
    printf 'FAILED: downloads\n--- expected\n0:%s\n--- actual\n%s:%s\n' "$expected" "$rc" "$out"
    fail=1
fi
if ! cmp -s "$work/www/日本語.txt" 日本語.txt; then
    echo "FAILED: the file did not arrive byte for byte"
    fail=1
fi
if [ -e ない.txt ]; then
    echo "FAILED: a failed download left a file"
    fail=1
fi
exit $fail

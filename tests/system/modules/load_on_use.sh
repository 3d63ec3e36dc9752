#!/usr/bin/env bash
# The console run-time maps the libraries of networking, archives, media and its event
# loop (Qt) only when a script uses one of their commands: a one-line script runs
# without them; the first
# archive command loads the archive module (and libarchive) and works; a run-time
# without its modules (a copy of the executable alone, or a damaged module) gives the
# error of a command that cannot run here, naming it, and stops with status 1.
#   load_on_use.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: load_on_use.sh BIN_FOLDER}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LANG=C.UTF-8 HOME=$work TMPDIR=$work
fail=0
say_fail() { echo "FAIL: $*"; fail=1; }

# run NAME CLI [env...] < program (UTF-8): output in $work/NAME.out, errors in .err.
run() {
    local name=$1 cli=$2
    shift 2
    iconv -f UTF-8 -t CP932 > "$work/$name.prk"
    (cd "$work" && env "$@" "$cli" "$name.prk" < /dev/null > "$name.out" 2> "$name.err")
    rc=$?
}
# The shared objects a run had mapped (the script prints its own /proc/self/maps).
mapped() { awk '$6 ~ /\.so/ { n = split($6, p, "/"); print p[n] }' "$work/$1.out" | sort -u; }
heavy='libQt6|libcurl|libarchive|libfluidsynth|libgcab|porukana-(net|archive|media|office|qt)\.so'

# 1. A one-line script: none of the module libraries.
run hello "$bin/porukana-cli" <<'PRK'
「こんにちは」と、表示する。Mに、『/proc/self/maps』を、読む。Mを、表示。
PRK
[ "$rc" = 0 ] || say_fail "hello: status $rc: $(cat "$work/hello.err")"
head -n 1 "$work/hello.out" | grep -qx 'こんにちは' || say_fail "hello: first line $(head -n 1 "$work/hello.out")"
mapped hello | grep -q '^libc\.so' || say_fail "hello: the maps were not printed"
if mapped hello | grep -Eq "$heavy"; then
    say_fail "hello: mapped $(mapped hello | grep -E "$heavy" | tr '\n' ' ')"
fi

# 2. An archive round trip: the module comes in with its library and works.
echo 'うちのデータ' > "$work/a.txt"
run zip "$bin/porukana-cli" <<'PRK'
「a.txt」を、「a.zip」へ、圧縮する。
「a.zip」を、「out」へ、解凍する。
Aに、『out/a.txt』を、読む。Aを、表示。
Mに、『/proc/self/maps』を、読む。Mを、表示。
PRK
[ "$rc" = 0 ] || say_fail "zip: status $rc: $(cat "$work/zip.err")"
head -n 1 "$work/zip.out" | grep -qx 'うちのデータ' || say_fail "zip: read back $(head -n 1 "$work/zip.out")"
mapped zip | grep -q '^porukana-archive\.so$' || say_fail "zip: the archive module was not loaded"
mapped zip | grep -q '^libarchive\.so' || say_fail "zip: libarchive was not mapped"
if mapped zip | grep -Eq 'libcurl|libfluidsynth|libQt6Multimedia|porukana-(net|media|office)\.so'; then
    say_fail "zip: mapped the other modules: $(mapped zip | grep -E 'curl|fluid|Multimedia|porukana-' | tr '\n' ' ')"
fi

# 3. The executable alone, in a tree of its own without lib/porukana/.
mkdir -p "$work/alone/bin"
cp "$bin/porukana-cli" "$work/alone/bin/"
alone_prk() {
    cat <<'PRK'
「始め」と、表示する。
「a.txt」を、「b.zip」へ、圧縮する。
「ここへは来ない」と、表示する。
PRK
}
if [ -e /usr/local/lib/porukana/porukana-archive.so ] || [ -e /usr/lib/porukana/porukana-archive.so ]; then
    echo "note: an installed run-time's modules exist; the copy is run with an empty module folder instead"
    run alone "$work/alone/bin/porukana-cli" PORUKANA_MODULE_DIR="$work/alone/lib/porukana" < <(alone_prk)
else
    run alone "$work/alone/bin/porukana-cli" < <(alone_prk)
fi
want='[エラー] alone.prk(2行目): "圧縮"は、この実行環境では使えません（モジュールporukana-archive.soが見つかりません）。'
[ "$rc" = 1 ] || say_fail "alone: status $rc (want 1)"
[ "$(cat "$work/alone.out")" = '始め' ] || say_fail "alone: output $(cat "$work/alone.out")"
[ "$(cat "$work/alone.err")" = "$want" ] || say_fail "alone: error
  want: $want
  got:  $(cat "$work/alone.err")"

# 4. A damaged module: the error names the command and the module, no crash; the
# next command of the family gives the same answer.
mkdir -p "$work/alone/lib/porukana"
head -c 4096 /dev/urandom > "$work/alone/lib/porukana/porukana-net.so"
run damaged "$work/alone/bin/porukana-cli" PORUKANA_MODULE_DIR="$work/alone/lib/porukana" <<'PRK'
エラーを無視
「http://127.0.0.1:9/」を、「x.html」へ、HTTPダウンロード。
エラーメッセージを、表示する。
「http://127.0.0.1:9/」を、「y.html」へ、HTTPダウンロード。
エラーメッセージを、表示する。
PRK
[ "$rc" = 0 ] || say_fail "damaged: status $rc: $(cat "$work/damaged.err")"
n=$(grep -c '^\[エラー\] damaged.prk([24]行目): "HTTPダウンロード"は、この実行環境では使えません（モジュールporukana-net.soを読み込めません: ' "$work/damaged.out")
[ "$n" = 2 ] || say_fail "damaged: errors
$(cat "$work/damaged.out")"

[ "$fail" = 0 ] && echo "load_on_use: ok"
exit "$fail"

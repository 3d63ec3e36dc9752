#!/usr/bin/env bash
# porukana-pack --bundle writes programs that run where Qt is not installed: a
# console program and a window program (offscreen, loading a JPEG through the
# bundled picture plug-in) run in a mount namespace in which the system's Qt
# libraries and plug-ins are hidden. The launcher unpacks each version once into
# a private folder of the user's cache, leaves no temporary folder behind, passes
# the exit status and parameters on, and a program packed without --bundle stays as
# small as before.
#   bundle.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: bundle.sh BIN_FOLDER}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
qtlib=/usr/lib/x86_64-linux-gnu

if [ "$(id -u)" != 0 ] || ! unshare -m true 2> /dev/null; then
    echo "SKIP: hiding the system's Qt needs a mount namespace (unshare -m as root)"
    exit 77
fi
if ! ls "$qtlib"/libQt6Core.so.6* > /dev/null 2>&1 || [ ! -d "$qtlib/qt6" ]; then
    echo "SKIP: Qt 6 is not where this test hides it ($qtlib)"
    exit 77
fi

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT; echo "work: $work"
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -p "$TMPDIR" "$XDG_RUNTIME_DIR" "$work/src/sub" "$work/app"
chmod 700 "$XDG_RUNTIME_DIR"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
sjis() { iconv -f UTF-8 -t CP932; }

cp "$here/small.jpg" "$work/src/small.jpg"
printf '付属のファイル' | sjis > "$work/src/sub/data.txt"
# The console program is a UTF-8 script: the bundle carries it as it is.
# Given 待つ as its parameter it waits instead (the signal test at the end).
cat > "$work/src/console.prk" <<'PRK'
もし、コマンドライン引数#1が、「待つ」ならば、30秒、待つ
「束ねた台本」を、表示する。
Bに、『sub\data.txt』を、読む
Bを、表示
コマンドライン引数を、表示
「a.txt」を、母艦のパス&「束.unknown」へ、圧縮する
PRK
sjis > "$work/src/window.prk" <<'PRK'
「small.jpg」を、画像表示
部品を、ボタンとして、作成
部品の、テキストは、「押す」
「窓の台本」と、言う
終わり
PRK

# Plain packing first: the program is the run-time plus a small container.
(cd "$work/src" && "$bin/porukana-pack" --console "$work/app/plain" console.prk sub/data.txt)
check "plain packing" test $? = 0
plain=$(stat -c %s "$work/app/plain")
runtime=$(stat -c %s "$bin/porukana-cli")
check "plain program is the run-time and a few KB ($plain vs $runtime)" test $((plain - runtime)) -lt 65536

(cd "$work/src" && "$bin/porukana-pack" --console --bundle "$work/app/console" console.prk sub/data.txt 2> "$work/pack.err")
check "console bundle packing ($(cat "$work/pack.err"))" test $? = 0
(cd "$work/src" && "$bin/porukana-pack" --bundle "$work/app/window" window.prk small.jpg 2> "$work/pack.err")
check "window bundle packing ($(cat "$work/pack.err"))" test $? = 0
# The browser's web engine travels too (a script naming ブラウザ gets it). Packing
# and unpacking its 300 MB take half a minute, so this part runs in CI only.
web=
if [ -n "${CI:-}" ] && [ -f "$(dirname "$bin")/lib/porukana/porukana-web.so" ]; then
    web=1
    printf '<html><head><title>t</title></head><body>x</body></html>' > "$work/src/page.html"
    sjis > "$work/src/web.prk" <<'PRK'
見るブラウザを、作る
見るブラウザの、クリックした時は、行く先
見るブラウザの、URLは、「file://」&母艦のパス&「page.html」
5秒、待つ
「見終わり」と、言う
終わり
*行く先
ブラウザ移動先URLを、言う
戻る
PRK
    (cd "$work/src" && "$bin/porukana-pack" --bundle "$work/app/web" web.prk page.html 2> "$work/pack.err")
    check "web bundle packing ($(cat "$work/pack.err"))" test $? = 0
else
    echo "note: the bundled browser is checked in CI only (CI=true), or the build has no web engine"
fi
check "launcher needs only the C library" \
    test -z "$(ldd "$work/app/console" | grep -v -E 'linux-vdso|libc\.so|ld-linux')"
echo "sizes: plain $plain, console bundle $(stat -c %s "$work/app/console"), window bundle $(stat -c %s "$work/app/window")"

# Inside the namespace: an empty folder over Qt's plug-in folder and an empty file
# over every Qt library, so that nothing of the system's Qt can be loaded.
cat > "$work/hidden.sh" <<EOF
set -u
: > "$work/empty"
mkdir -p "$work/emptydir"
mount --bind "$work/emptydir" "$qtlib/qt6" || exit 90
for f in "$qtlib"/libQt6*.so*; do
    [ -L "\$f" ] || mount --bind "$work/empty" "\$f" || exit 90
done
"$bin/porukana-cli" "$work/src/console.prk" > /dev/null 2>&1 && exit 91   # Qt is really hidden
cd "$work"
"$work/app/console" 一 二 > "$work/console.out" 2> "$work/console.err"
echo \$? > "$work/console.code"
QT_QPA_PLATFORM=offscreen "$work/app/window" > "$work/window.out" 2> "$work/window.err"
echo \$? > "$work/window.code"
if [ -n "$web" ]; then
    # The engine's helper processes must run from the unpacked bundle.
    ( for _ in \$(seq 50); do
          ps -eo args | grep -q -E "^$work/(tmp/porukana-|\\.cache/porukana/bundles/)[^ ]*/libexec/QtWebEngineProcess" && { echo yes > "$work/web.engine"; break; }
          sleep 0.1
      done ) &
    QT_QPA_PLATFORM=offscreen timeout 60 "$work/app/web" > "$work/web.out" 2> "$work/web.err"
    echo \$? > "$work/web.code"
    wait
fi
exit 0
EOF
unshare -m bash "$work/hidden.sh"
rc=$?
check "Qt hidden in the namespace (status $rc)" test $rc = 0

expected=$(printf '束ねた台本\n付属のファイル\n%s\n一\n二' "$work/app/console")
check "console program output (got: $(cat "$work/console.out" "$work/console.err"))" \
    test "$(cat "$work/console.out")" = "$expected"
check "console program exit status" test "$(cat "$work/console.code")" = 1
# The error of the archive module, which the bundle carries with libarchive.
check "console program error" grep -q '^\[エラー\] console.prk(6行目): ファイル圧縮のエラー。.*書庫の形式を判別できません。$' \
    "$work/console.err"
check "window program exit status ($(cat "$work/window.err"))" test "$(cat "$work/window.code")" = 0
check "window program said its line" grep -q "^窓の台本$" "$work/window.err"
if [ -n "$web" ]; then
    check "web program exit status ($(tail -3 "$work/web.err"))" test "$(cat "$work/web.code")" = 0
    check "the bundled web engine ran" test -f "$work/web.engine"
    check "the browser navigated to the page" grep -q "^file://.*/page.html$" "$work/web.err"
    check "web program ended normally" grep -q "^見終わり$" "$work/web.err"
fi
check "no temporary folder left" test -z "$(ls -A "$TMPDIR")"

# Each version is unpacked once into the user's cache, in private folders, and the
# next start uses it as it is.
cache=$work/.cache/porukana/bundles
programs=2
[ -n "$web" ] && programs=3
check "one cached version per program ($(ls -A "$cache" 2> /dev/null))" test "$(ls "$cache" | wc -l)" = $programs
check "cache folders are private" test -z "$(find "$cache" -maxdepth 1 -type d ! -perm 700)"
mark=$(ls -d "$cache"/*/bin/porukana-cli | head -1)
before=$(stat -c %Y.%i "$mark")
"$work/app/console" > /dev/null 2>&1
check "the next start unpacks nothing" test "$(stat -c %Y.%i "$mark")" = "$before"
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %e -o "$work/time" "$work/app/console" > /dev/null 2>&1
    echo "start of the console bundle from the cache: $(tail -1 "$work/time") s"
fi

# A signal sent to the launcher ends the program the normal way and the folder goes
# (the program unpacked into the temporary folder, without the cache).
PORUKANA_BUNDLE_CACHE=0 "$work/app/console" 待つ > /dev/null 2>&1 &
pid=$!
for _ in $(seq 50); do
    [ -n "$(ls -A "$TMPDIR")" ] && [ -e "$(ls -d "$TMPDIR"/porukana-*/bin 2> /dev/null | head -1)" ] && break
    sleep 0.1
done
sleep 0.5
kill -TERM $pid
wait $pid
code=$?
check "terminated program status ($code)" test $code = $((128 + 15))
check "no temporary folder left after a signal" test -z "$(ls -A "$TMPDIR")"

exit $fail

#!/usr/bin/env bash
# Bundled programs on a machine that holds nothing but the C library: a console and
# a window program run in a chroot made of the C library's own files and the
# program (no character-set modules, no fonts, no OpenGL, no Qt). The console one
# converts Japanese text and names its script in its error; the window one, under
# Xvfb, shows Japanese text that is drawn as glyphs, not as empty boxes (two texts
# give two different screenshots, and neither is the empty window). Runs as root
# (unshare -m) or in a user namespace (unshare -rm); skipped when neither works.
#   bare.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: bare.sh BIN_FOLDER}" && pwd)
if [ "$(id -u)" = 0 ] && unshare -m true 2> /dev/null; then
    ns=(unshare -m)
elif unshare -rm true 2> /dev/null; then
    ns=(unshare -rm)
else
    echo "SKIP: a chroot needs a mount namespace (unshare -m as root, or unshare -rm)"
    exit 77
fi

work=$(mktemp -d)
xpid=
trap '[ -n "$xpid" ] && kill "$xpid" 2> /dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
echo "work: $work"
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -p "$TMPDIR" "$XDG_RUNTIME_DIR" "$work/src"
chmod 700 "$XDG_RUNTIME_DIR"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
sjis() { iconv -f UTF-8 -t CP932; }

printf '半角ｶﾅと漢字' | sjis > "$work/src/data.txt"
sjis > "$work/src/挨拶.prk" <<'PRK'
「こんにちは、世界」を、表示する。
Bに、『data.txt』を、読む
Bを、表示
「ｱｲｳ」を、全角変換して、表示
未定義の命令する
PRK
sjis > "$work/src/window.prk" <<'PRK'
母艦の、テキストは、「写す窓」
母艦の、幅は、320
母艦の、高さは、120
もし、コマンドライン引数#1が、「空」でなければ
(
  部品を、ラベルとして、作成
  部品の、テキストは、コマンドライン引数#1
  部品の、幅は、300
  部品の、高さは、60
)
1秒、待つ
写しイメージを、作る
写しイメージの、幅は、320
写しイメージの、高さは、100
写しイメージへ、「写す窓」を、窓キャプチャー
「{母艦のパス}{コマンドライン引数#2}.png」へ、写しイメージを、イメージ保存
終わり
PRK

(cd "$work/src" && "$bin/porukana-pack" --console --bundle "$work/console" 挨拶.prk data.txt > "$work/pack.out" 2> "$work/pack.err")
check "console bundle packing ($(cat "$work/pack.err"))" test $? = 0
check "the packer says what it wrote ($(cat "$work/pack.out"))" \
    grep -q "^porukana-pack: 「$work/console」を書きました（$(stat -c %s "$work/console") バイト）。$" "$work/pack.out"
check "the packer lists the script" grep -q "スクリプト 挨拶.prk" "$work/pack.out"
check "the packer lists the file" grep -q "ファイル data.txt" "$work/pack.out"

# The root: the C library's files from where the run-time finds them, and nothing else.
root=$work/root
mkdir -p "$root/app" "$root/tmp" "$root/proc" "$root/dev"
chmod 1777 "$root/tmp"
ldd "$bin/porukana" | awk '/(libc|libm|libpthread|libdl|librt|libresolv)\.so|ld-linux/ { print ($2 == "=>") ? $3 : $1 }' |
    while read -r f; do
        mkdir -p "$root$(dirname "$f")"
        cp -L "$f" "$root$f"
    done
check "the root has the dynamic loader" test -n "$(ls "$root"/lib*/ld-linux* 2> /dev/null)"
cp "$work/console" "$root/app/console"

# run_bare SCRIPT: runs the shell commands SCRIPT in the namespace with the root
# mounted up (/proc and /dev from the kernel); what runs in the chroot gets no
# environment but HOME, TMPDIR and DISPLAY.
run_bare() {
    cat > "$work/inside.sh" <<EOF
set -u
mount --rbind /proc "$root/proc" || exit 90
mount --rbind /dev "$root/dev" || exit 90
if [ -d /tmp/.X11-unix ]; then
    mkdir -p "$root/tmp/.X11-unix" && mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" || exit 90
fi
bare() { env -i HOME=/tmp TMPDIR=/tmp \${DISPLAY:+DISPLAY=\$DISPLAY} "$(command -v chroot)" "$root" "\$@"; }
$1
exit 0
EOF
    "${ns[@]}" bash "$work/inside.sh"
}

run_bare "bare /app/console 一 > $work/console.out 2> $work/console.err; echo \$? > $work/console.code
          bare /bin/sh -c true 2> /dev/null && exit 91   # no shell: nothing but the C library"
rc=$?
check "chroot set up (status $rc)" test $rc = 0
check "console program output (got: $(cat "$work/console.out" "$work/console.err"))" \
    test "$(cat "$work/console.out")" = "$(printf 'こんにちは、世界\n半角ｶﾅと漢字\nアイウ')"
check "console program exit status" test "$(cat "$work/console.code" 2> /dev/null)" = 1
check "the error names the user's script ($(cat "$work/console.err"))" \
    grep -q '^\[エラー\] 挨拶.prk(5行目): ' "$work/console.err"
check "no warning about character codes" test "$(grep -c -v '^\[エラー\]' "$work/console.err")" = 0

# The window program under Xvfb.
if ! command -v Xvfb > /dev/null; then
    echo "note: Xvfb is missing; the window bundle is not checked"
    exit $fail
fi
(cd "$work/src" && "$bin/porukana-pack" --bundle "$work/window" window.prk > /dev/null 2> "$work/pack.err")
check "window bundle packing ($(cat "$work/pack.err"))" test $? = 0
cp "$work/window" "$root/app/window"
display=
for n in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp > /dev/null 2>&1 &
    xpid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] && display=:$n && break
    kill "$xpid" 2> /dev/null; xpid=
done
check "Xvfb started" test -n "$display"
export DISPLAY=$display
run_bare "for shot in 日本語の文字:a 山川と谷の絵:b 空:empty; do
              bare /app/window \${shot%%:*} \${shot#*:} > /dev/null 2>> $work/window.err
              echo \$? >> $work/window.code
          done
          DISPLAY=:1999 bare /app/window 空 none > /dev/null 2> $work/nodisplay.err"
check "window program exit status ($(cat "$work/window.err"))" test "$(cat "$work/window.code" | sort -u)" = 0
for s in a b empty; do
    check "screenshot $s" test -s "$root/app/$s.png"
done
# Empty boxes would make two texts of as many characters look the same.
check "two texts give two different screenshots (not the same empty boxes)" \
    test -s "$root/app/a.png" -a -s "$root/app/b.png" && ! cmp -s "$root/app/a.png" "$root/app/b.png"
check "the text shows in the screenshot" \
    test -s "$root/app/a.png" && ! cmp -s "$root/app/a.png" "$root/app/empty.png"
check "a missing display is named as such ($(cat "$work/nodisplay.err"))" \
    grep -q "画面「:1999」に接続できない" "$work/nodisplay.err"

# A library the display plug-in needs is missing: said as such, not as a display
# that cannot be reached (the installed run-time, the library hidden by a mount).
icccm=$(ldd "$(dirname "$(readlink -f "$(ldd "$bin/porukana" | awk '/libQt6Core/ { print $3 }')")")/qt6/plugins/platforms/libqxcb.so" 2> /dev/null |
    awk '/libxcb-icccm/ { print $3 }')
if [ -n "$icccm" ]; then
    : > "$work/empty"
    cp "$work/src/window.prk" "$work/window.prk"
    "${ns[@]}" env -u QT_QPA_PLATFORM DISPLAY="$display" bash -c \
        "mount --bind '$work/empty' '$(readlink -f "$icccm")' && '$bin/porukana' '$work/window.prk' 空 none" \
        > /dev/null 2> "$work/nolib.err"
    check "a missing library is named as such ($(cat "$work/nolib.err"))" \
        grep -q "必要な共有ライブラリがありません" "$work/nolib.err"
else
    echo "note: the display plug-in's libraries are not where this test looks; the missing-library message is not checked"
fi
exit $fail

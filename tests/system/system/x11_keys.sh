#!/usr/bin/env bash
# Keys and windows on a real X server (Xvfb): ウインドウ列挙 lists the windows of
# two run-times, キー送信 types into the edit box of the other run-time (XTest) and
# into the sender's own, with modifiers, groups, named keys and two-byte text.
#   x11_keys.sh BIN_FOLDER
set -u
bin=$(cd "$1" && pwd)
if ! command -v xvfb-run > /dev/null; then
    echo "skipped: xvfb-run is not installed (Debian package xvfb)"
    exit 77
fi
if [ -z "${X11_KEYS_INNER:-}" ]; then
    # Run this script again inside a fresh virtual display.
    export X11_KEYS_INNER=1
    exec timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
receiver=
wm=
cleanup() {
    [ -n "$receiver" ] && kill "$receiver" 2> /dev/null
    [ -n "$wm" ] && kill "$wm" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work LANG=C.UTF-8
sjis() { iconv -f UTF-8 -t CP932; }
utf8() { iconv -f CP932 -t UTF-8 "$1" 2> /dev/null; }
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}

# The receiver shows what its edit box holds, five times a second.
sjis > "$work/receiver.prk" <<'PRK'
母艦の、タイトルは、「受信窓」
入力エディタを、作る
回=0
0.2秒後に、見るへ飛ぶ、タイマー設定
「ready」を、「ready.txt」へ、書く
待機
*見る
T=入力エディタの、テキスト
Tを、「got.txt」へ、書く
回=回+1
もし、回<150ならば、0.2秒後に、見るへ飛ぶ、タイマー設定。違えば、終わり
戻る
PRK
sjis > "$work/sender.prk" <<'PRK'
母艦の、タイトルは、「送信窓」
自分エディタを、作る
0.3秒、待つ
ウインドウ列挙
それを、「list.txt」へ、書く
「受信窓」に、『xyz^a』を、キー送信
「受信窓」に、『ab{BS}c+d漢字』を、キー送信
「送信」に、『own+(ok){LEFT 2}{BS}』を、キー送信
1秒、待つ
T=自分エディタの、テキスト
Tを、「own.txt」へ、書く
「無い窓」に、『zzz』を、キー送信
終わり
PRK

# One round: the receiver, then the sender; `case` names the round in messages.
run_case() {
    local case=$1
    rm -f "$work/ready.txt" "$work/got.txt" "$work/own.txt" "$work/list.txt"
    (cd "$work" && exec "$bin/porukana" receiver.prk > "$work/receiver.log" 2>&1) &
    receiver=$!
    for _ in $(seq 1 200); do [ -f "$work/ready.txt" ] && break; sleep 0.05; done
    check "$case: the receiver started" test -f "$work/ready.txt"

    (cd "$work" && timeout 60 "$bin/porukana" sender.prk > "$work/sender.log" 2>&1)
    check "$case: the sender ended normally (log: $(cat "$work/sender.log"))" test $? = 0

    list=$(utf8 "$work/list.txt")
    check "$case: the window list holds the receiver (got: $list)" grep -q '^受信窓' <<< "$list"
    check "$case: the window list holds the sender itself (got: $list)" grep -q '^送信窓' <<< "$list"

    want="acD漢字"
    got=
    for _ in $(seq 1 100); do
        got=$(utf8 "$work/got.txt")
        [ "$got" = "$want" ] && break
        sleep 0.05
    done
    check "$case: keys reached the other run-time's edit box (got: $got)" test "$got" = "$want"
    own=$(utf8 "$work/own.txt")
    check "$case: keys reached the sender's own edit box (got: $own)" test "$own" = "owOK"
    kill "$receiver" 2> /dev/null
    wait "$receiver" 2> /dev/null
    receiver=
}

run_case "without a window manager"
# With a window manager, activation goes through it (_NET_ACTIVE_WINDOW).
if command -v openbox > /dev/null; then
    openbox > "$work/openbox.log" 2>&1 &
    wm=$!
    if command -v xprop > /dev/null; then
        for _ in $(seq 1 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q window && break; sleep 0.05; done
    else
        sleep 1
    fi
    run_case "with openbox"
    kill "$wm" 2> /dev/null
    wait "$wm" 2> /dev/null
    wm=
fi
[ $fail = 0 ] || { echo "receiver log:"; cat "$work/receiver.log"; }
exit $fail

#!/usr/bin/env bash
# Window programs on a real X server (Xvfb), where windows are mapped for real:
#   - every example shows its window, mapped, at the size the script set, and a
#     screenshot of the screen is not blank (kept in $PORUKANA_SCREENSHOTS);
#   - the close request of the window manager ends a busy script at once (its close
#     label runs once), SIGINT ends it with 130 and SIGTERM with 143;
#   - a timer that expires while a 言う box is open is taken during the box: its
#     label runs before the statement after 言う;
#   - with a window manager (openbox, when installed): the window keeps the size the
#     script set, and the close request still ends a busy script.
#   windows.sh BIN_FOLDER DISPLAY_PROBE
set -u
bin=$(cd "$1" && pwd)
probe=$2
src=${PORUKANA_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
shots=${PORUKANA_SCREENSHOTS:-$bin/../screenshots}
if ! command -v Xvfb > /dev/null; then
    echo "skipped: Xvfb is not installed (Debian package xvfb)"
    exit 77
fi

work=$(mktemp -d)
xvfb=
wm=
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2> /dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to a pipe.
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 10 -u 5 number || { echo "FAILED: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$number
# HOME stays: a new home would make every program build the font cache again.
export QT_QPA_PLATFORM=xcb TMPDIR=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work LANG=C.UTF-8
fc-list > /dev/null 2>&1   # the font cache, built once before the first window
mkdir -p "$shots"
sjis() { iconv -f UTF-8 -t CP932; }
utf8() { iconv -f CP932 -t UTF-8 "$1" 2> /dev/null; }
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

# Starts porukana on a script in a folder; sets `pid`.
start() {   # start FOLDER SCRIPT LOG
    (cd "$1" && exec "$bin/porukana" "$2" > "$3" 2>&1) &
    pid=$!
}
# Waits for the process to end; sets `status` to its exit status (or "running", when
# it had to be killed).
finish() {   # finish PID SECONDS
    local i
    for i in $(seq 1 $(($2 * 20))); do
        kill -0 "$1" 2> /dev/null || break
        sleep 0.05
    done
    if kill -0 "$1" 2> /dev/null; then
        status=running
        kill -KILL "$1" 2> /dev/null
        wait "$1" 2> /dev/null
    else
        wait "$1"
        status=$?
    fi
}

# ---- every example --------------------------------------------------------------
# The examples run in a copy of their folder (some write files); ../tests reaches the
# test data that sound.prk plays.
mkdir -p "$work/run"
cp -r "$src/examples" "$work/run/examples"
ln -s "$src/tests" "$work/run/tests"
for prk in "$work"/run/examples/*.prk; do
    name=$(basename "$prk" .prk)
    want="640 400"
    if rect=$(utf8 "$prk" | grep -o '^母艦の、サイズは、([0-9]*,[0-9]*,[0-9]*,[0-9]*)'); then
        read -r x1 y1 x2 y2 <<< "$(tr -c '0-9' ' ' <<< "${rect#*(}")"
        want="$((x2 - x1)) $((y2 - y1))"
    fi
    start "$work/run/examples" "$name.prk" "$work/$name.log"
    "$probe" find "$pid" 20000 > /dev/null
    sleep 1   # let it take its size and draw
    found=$("$probe" find "$pid" 5000)
    read -r id w h _ <<< "$found"
    check "$name: the window is mapped at $want (found: ${found:-none})" test "$w $h" = "$want"
    colours=$("$probe" grab root "$shots/$name.png")
    check "$name: the screenshot is not blank ($colours)" test $? = 0
    # Programs that wait in a dialog ignore the main window's close request (the
    # dialog is modal); SIGTERM ends them.
    [ -n "${id:-}" ] && "$probe" close "$id"
    finish "$pid" 3
    if [ "$status" = running ] || [ "$status" = 124 ]; then
        start "$work/run/examples" "$name.prk" "$work/$name.log"
        "$probe" find "$pid" 20000 > /dev/null
        kill -TERM "$pid"
        finish "$pid" 5
        check "$name: SIGTERM ends it (status $status)" test "$status" = 143
    else
        check "$name: the close request ends it (status $status)" test "$status" = 0 -o "$status" = 1
    fi
done

# ---- closing and stopping a busy script -------------------------------------------
mkdir -p "$work/busy"
sjis > "$work/busy/busy.prk" << 'PRK'
閉じるに、終了処理設定
閉じた回数=0
母艦の、サイズは、(0,0,300,200)
A=0
100000000回
  A=A+1
ここまで
「end」を、「end.txt」へ、書く
終わり
*閉じる
閉じた回数=閉じた回数+1
「closed {閉じた回数}」を、「closed.txt」へ、書く
戻る
PRK
busy_round() {   # busy_round WHAT: close | INT | TERM; sets `status`
    rm -f "$work/busy/closed.txt" "$work/busy/end.txt"
    start "$work/busy" busy.prk "$work/busy.log"
    read -r id _ <<< "$("$probe" find "$pid" 20000)"
    sleep 0.5   # well inside the loop
    case $1 in
    close) "$probe" close "$id"; sleep 0.2; "$probe" close "$id" 2> /dev/null ;;
    *) kill -"$1" "$pid" ;;
    esac
    finish "$pid" 5
}
busy_round close
check "busy: the close request ends the loop (status $status)" test "$status" = 0
check "busy: the close label ran once" test "$(utf8 "$work/busy/closed.txt")" = "closed 1"
check "busy: the loop did not finish" test ! -f "$work/busy/end.txt"
busy_round INT
check "busy: SIGINT ends it with 130 (status $status)" test "$status" = 130
check "busy: the close label ran after SIGINT" test "$(utf8 "$work/busy/closed.txt")" = "closed 1"
busy_round TERM
check "busy: SIGTERM ends it with 143 (status $status)" test "$status" = 143

# ---- a timer while a 言う box is open ----------------------------------------------
sjis > "$work/busy/say.prk" << 'PRK'
記録=「」
0.3秒後に、来たへ飛ぶ、タイマー設定
「タイマーを待つ箱」と、言う
記録=記録&「後」
記録を、「order.txt」へ、書く
終わり
*来た
記録=記録&「タイマー」
戻る
PRK
rm -f "$work/busy/order.txt"
start "$work/busy" say.prk "$work/say.log"
"$probe" find "$pid" 20000 > /dev/null
sleep 1.2
"$probe" grab root "$shots/say-box.png" > /dev/null
# The box is the smaller of the program's two windows.
box=$("$probe" list "$pid" | sort -k2,2n | head -1 | cut -d' ' -f1)
[ -n "$box" ] && "$probe" close "$box"
finish "$pid" 5
check "say: the box closed and the program ended (status $status)" test "$status" = 0
check "say: the timer expired while the box was open (order: $(utf8 "$work/busy/order.txt"))" \
    test "$(utf8 "$work/busy/order.txt")" = "タイマー後"

# ---- with a window manager ------------------------------------------------------
if command -v openbox > /dev/null; then
    openbox > "$work/openbox.log" 2>&1 &
    wm=$!
    sleep 1
    start "$work/run/examples" kakeibo.prk "$work/kakeibo-wm.log"
    "$probe" find "$pid" 20000 > /dev/null
    sleep 1
    found=$("$probe" find "$pid" 5000)
    read -r id w h x y <<< "$found"
    check "wm: kakeibo's window is 520 x 590 inside its frame (found: $found)" test "$w $h" = "520 590"
    # The script puts the window at 0,0: its frame goes there, so the title bar is on
    # the screen and the client lies just below it.
    check "wm: kakeibo's title bar is on the screen (client at $x,$y)" test "${y:-0}" -gt 0 -a "${y:-0}" -lt 80
    "$probe" grab root "$shots/kakeibo-wm.png" > /dev/null
    "$probe" close "$id"
    finish "$pid" 5
    check "wm: the close request ends kakeibo (status $status)" test "$status" = 0
    busy_round close
    check "wm: the close request ends a busy script (status $status)" test "$status" = 0
else
    echo "note: openbox is not installed; the window-manager round is left out"
fi

ls "$shots"/*.png > /dev/null 2>&1 && echo "screenshots: $shots"
exit $fail

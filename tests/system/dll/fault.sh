#!/usr/bin/env bash
# A fault inside a called function (a null read, a division by zero, a runaway
# recursion, a result that is no text address) becomes the call-failure error and
# the run goes on; without an error mode the run stops with exit status 1 instead
# of dying of the signal.
source "$(dirname "$0")/_lib.sh" "$1"
# Sanitizers and valgrind own the fault signals.
if ldd "$CLI" 2> /dev/null | grep -q 'libasan\|libtsan\|libubsan' || [[ "${LD_PRELOAD:-}" == *vgpreload* ]]; then
    echo "skipped: the run-time is built with a sanitizer or runs under valgrind"
    exit 77
fi

D="$WORK/scripts"
mkdir -p "$D"
cd "$D"
run_prk "$D" faults << 'EOF'
エラーを無視
「libporutest.so」の「int pt_crash()」を「」の「落ちる」として、DLLを利用
「libporutest.so」の「int pt_divide(int, int)」を「?を,?で」の「除算」として、DLLを利用
「libporutest.so」の「int pt_recurse(int)」を「?から」の「再帰」として、DLLを利用
「libporutest.so」の「pt_crash」を「落ちる文字」で、文字型DLL宣言
「libporutest.so」の「char* pt_allbits()」を「」の「不正な文字」として、DLLを利用
それ=「前」
落ちる
エラーメッセージを、表示
それを、表示
1を、0で、除算
エラーメッセージを、表示
1から、再帰
エラーメッセージを、表示
落ちる文字
エラーメッセージを、表示
不正な文字
エラーメッセージを、表示
7を、2で、除算して、表示
落ちる
エラーメッセージを、表示
「続く」を、表示
EOF
expect_eq "$RC" "0" "the run ended normally"
expect_eq "$OUT" '[エラー] faults.prk(8行目): 外部DLLからの関数"落ちる"の呼び出しに失敗しました。
前
[エラー] faults.prk(11行目): 外部DLLからの関数"除算"の呼び出しに失敗しました。
[エラー] faults.prk(13行目): 外部DLLからの関数"再帰"の呼び出しに失敗しました。
[エラー] faults.prk(15行目): 外部DLLからの関数"落ちる文字"の呼び出しに失敗しました。
[エラー] faults.prk(17行目): 外部DLLからの関数"不正な文字"の呼び出しに失敗しました。
3
[エラー] faults.prk(20行目): 外部DLLからの関数"落ちる"の呼び出しに失敗しました。
続く' "faults reported, the run went on"

run_prk "$D" stops << 'EOF'
「libporutest.so」の「int pt_crash()」を「」の「落ちる」として、DLLを利用
「前」を、表示
落ちる
「後」を、表示
EOF
expect_eq "$RC:$OUT" "1:前" "stopped by the error"
expect_eq "$ERR" '[エラー] stops.prk(3行目): 外部DLLからの関数"落ちる"の呼び出しに失敗しました。' "the error"
finish

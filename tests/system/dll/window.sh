#!/usr/bin/env bash
# The window host (offscreen) calls library functions too: the C library, the test
# library with text and number results, and a faulting function whose error is
# ignored; the results are written into a file that is checked here.
source "$(dirname "$0")/_lib.sh" "$1"
GUI="$BIN/porukana"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
[ -x "$GUI" ] || { echo "skipped: $GUI not built"; exit 77; }
ldd "$GUI" 2> /dev/null | grep -q 'libasan' && { echo "skipped: sanitizer build"; exit 77; }

D="$WORK/scripts"
mkdir -p "$D"
iconv -f UTF-8 -t CP932 > "$D/window.prk" << EOF
エラーを無視
「libc.so.6」の「strlen(?を)」を「文字列長」で、DLL宣言
「libporutest.so」の「pt_concat(?を,?で)」を「連結」で、文字型DLL宣言
「libporutest.so」の「dword pt_allbits()」を「」の「全ビット」として、DLLを利用
「libporutest.so」の「int pt_crash()」を「」の「落ちる」として、DLLを利用
結果=「」
「abcd」を、文字列長
結果=結果&それ&「,」
「窓」を、「枠」で、連結
結果=結果&それ&「,」
全ビット
結果=結果&それ&「,」
落ちる
結果=結果&エラーメッセージ
結果を、「$D/result.txt」へ、保存
終わり
EOF
(cd "$D" && timeout 60 "$GUI" "$D/window.prk" < /dev/null > "$WORK/window.out" 2>&1)
RC=$?
expect_eq "$RC" "0" "the window host ran the program"
expect_eq "$(iconv -f CP932 -t UTF-8 "$D/result.txt" 2> /dev/null)" \
    '4,窓枠,4294967295,[エラー] window.prk(13行目): 外部DLLからの関数"落ちる"の呼び出しに失敗しました。' "results"
[ "$FAILURES" -ne 0 ] && cat "$WORK/window.out"
finish

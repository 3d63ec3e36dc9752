#!/usr/bin/env bash
# The download example against a local HTTP server: files named in a list (comments
# and blank lines skipped, files in subfolders saved under their own names), texts
# in EUC-JP and JIS saved as Shift_JIS, a text already in Shift_JIS and a binary
# file left byte for byte, a missing file reported and skipped, and the log written.
source "$PORUKANA_SOURCE_DIR/tests/system/net/_lib.sh" "$1"

WWW="$WORK/www"
mkdir -p "$WWW/notes" "$WWW/data"
printf '今日のお知らせ\n午後から雨です\n' | iconv -t EUC-JP > "$WWW/news_euc.txt"
printf 'メモ\nａｂｃ全角\n三行目\n' | iconv -t ISO-2022-JP > "$WWW/notes/memo_jis.txt"
printf '日付,金額\n2024/01/05,1200\n' | iconv -t CP932 > "$WWW/data/sales.csv"
head -c 3000 /dev/urandom > "$WWW/logo.png"
start_server http "$WWW"
H="http://127.0.0.1:$PORT"
OUTDIR="$WORK/saved"

# The list beside the example is read when none is named; the saving folder lies
# outside the script's folder, so the gate is opened with a low security level.
(cd "$WORK" && timeout 60 "$CLI" -security low "$PORUKANA_SOURCE_DIR/examples/downloader.prk" "$H" "$OUTDIR" \
    < /dev/null > dl.out 2> dl.err)
RC=$?
OUT=$(cat "$WORK/dl.out")
ERR=$(cat "$WORK/dl.err")
expect_eq "$RC|$OUT" "0|○  news_euc.txt 30バイト 2行(Shift_JISに変換): 今日のお知らせ
○  memo_jis.txt 41バイト 3行(Shift_JISに変換): メモ
○  sales.csv 26バイト 2行: 日付,金額
○  logo.png 3000バイト
×  missing.html
――――
取得 4件 (合計 3,097バイト)、失敗 1件
取れなかったもの:
  missing.html" "the report"
expect_eq "$(iconv -f CP932 -t UTF-8 "$OUTDIR/news_euc.txt")" "$(printf '今日のお知らせ\n午後から雨です')" "EUC-JP saved as Shift_JIS"
expect_eq "$(iconv -f CP932 -t UTF-8 "$OUTDIR/memo_jis.txt")" "$(printf 'メモ\nａｂｃ全角\n三行目')" "JIS saved as Shift_JIS"
expect_true "Shift_JIS text unchanged" cmp -s "$WWW/data/sales.csv" "$OUTDIR/sales.csv"
expect_true "binary byte for byte" cmp -s "$WWW/logo.png" "$OUTDIR/logo.png"
expect_true "nothing saved for the missing file" test ! -e "$OUTDIR/missing.html"
expect_eq "$(tr -d '\r' < "$OUTDIR/download.log" | cut -f2,3)" "$H/news_euc.txt	30
$H/notes/memo_jis.txt	41
$H/data/sales.csv	26
$H/logo.png	3000" "the log"
finish

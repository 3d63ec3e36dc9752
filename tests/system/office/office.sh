#!/usr/bin/env bash
# The spreadsheet and word-processor commands against a real headless LibreOffice,
# in two runs (each starts its own office):
#  1. cells written and read back, saved as xlsx and csv, reopened; a second start
#     in the same run; a workbook's Basic macro; a letter template's bookmarks
#     filled, text appended, saved as docx and odt and reopened; the failures;
#     ワード終了 leaving the spreadsheet side at work; the office closed at the end.
#  2. エクセル終了 while the word processor still runs, then the run-time killed
#     (kill -9) while it waits: its office goes with it.
# The saved files are checked with Python's zipfile, not with the office.
source "$(dirname "$0")/../net/_lib.sh" "$1"
source "$(dirname "$0")/_lib.sh" needs-office

D="$WORK/scripts"
make_zip "$D/letter.docx" "$OFFICE_HERE/fixtures/letter.docx.d"
make_zip "$D/macro.ods" "$OFFICE_HERE/fixtures/macro.ods.d"
cp "$D/letter.docx" "$WORK/letter.orig.docx"
mkdir "$D/dir.xlsx"

# ---- run 1 ----
run_prk work << 'EOF'
それ=「元のそれ」
エクセル起動
「0,0」を、「12」に、エクセル設定
「1,2」を、「こんにちは」に、エクセル設定
「2,0」を、「=A1*2+0.5」に、エクセル設定
「0,3」を、「タブ\t入り」に、エクセル設定
「2,0」を、甲に、エクセル得る
「C1=」&甲を、表示
「1,2」を、乙に、エクセル得る
「B3=」&乙を、表示
「0,3」を、丙に、エクセル得る
丙の「\t」を、「<TAB>」に、置換
「A4=」&それを、表示
それ=「元のそれ」
「5,5」を、丁に、エクセル得る
「F6=[」&丁&「]」を、表示
「表.xlsx」へ、エクセル保存
「表.csv」へ、エクセル保存
エクセル起動
「0,0」を、戊に、エクセル得る
「新しいブックのA1=[」&戊&「]」を、表示
「表.xlsx」を、エクセル開く
「0,0」を、庚に、エクセル得る
「1,2」を、己に、エクセル得る
「開き直したA1=」&庚&「 B3=」&己を、表示
「macro.ods」を、エクセル開く
「Fill」を、エクセルマクロ実行
「2,0」を、辛に、エクセル得る
「マクロのC1=」&辛を、表示
エラーを無視
「Nope」を、エクセルマクロ実行
エラーメッセージを、表示
「ない.xlsx」を、エクセル開く
エラーメッセージを、表示
「letter.docx」を、エクセル開く
エラーメッセージを、表示
「-1,0」を、「x」に、エクセル設定
エラーメッセージを、表示
「無い/フォルダ/x.xlsx」へ、エクセル保存
エラーメッセージを、表示
「dir.xlsx」へ、エクセル保存
エラーメッセージを、表示
「Excel側のそれ=」&それを、表示
ワード起動
「letter.docx」を、ワード開く
「宛名」を、「山田太郎」に、ワードブックマーク設定
「date」を、「2024年1月2日」に、ワードブックマーク設定
「なし」を、「x」に、ワードブックマーク設定
エラーメッセージを、表示
「追伸\n二行目」を、ワード文字挿入
ワード本文を得る
それを、表示
「手紙.docx」へ、ワード保存
「手紙.odt」へ、ワード保存
「手紙.docx」を、ワード開く
ワード本文を得る
「docx:」&それを、表示
「手紙.odt」を、ワード開く
ワード本文を得る
「odt:」&それを、表示
ワード終了
「x」を、ワード文字挿入
エラーメッセージを、表示
「0,0」を、「後」に、エクセル設定
「0,0」を、壬に、エクセル得る
「ワード終了後のA1=」&壬を、表示
EOF
expect_eq "$RC" 0 "run 1 ends normally"
expect_eq "$OUT" "C1=24.5
B3=こんにちは
A4=タブ<TAB>入り
F6=[]
新しいブックのA1=[]
開き直したA1=12 B3=こんにちは
マクロのC1=マクロ
[エラー] work.prk(31行目): Excelのエラー。マクロ「Nope」が見つかりません。
[エラー] work.prk(33行目): Excelのエラー。ファイル「ない.xlsx」が見つかりません。
[エラー] work.prk(35行目): Excelのエラー。ファイル「letter.docx」は表計算のファイルではありません。
[エラー] work.prk(37行目): Excelのエラー。セル(-1,0)は範囲外です。
[エラー] work.prk(39行目): Excelのエラー。ファイル「無い/フォルダ/x.xlsx」の保存先フォルダがありません。
[エラー] work.prk(41行目): Excelのエラー。ファイル「dir.xlsx」へ保存できません。
Excel側のそれ=元のそれ
[エラー] work.prk(48行目): Wordのエラー。ブックマーク「なし」がありません。
宛先：山田太郎 様
日付：2024年1月2日追伸
二行目
docx:宛先：山田太郎 様
日付：2024年1月2日追伸
二行目
odt:宛先：山田太郎 様
日付：2024年1月2日追伸
二行目
[エラー] work.prk(62行目): Wordのエラー。ワードは既に終了しています。
ワード終了後のA1=後" "run 1 output"

# the saved workbook, read without the office
SHEET=$(zip_member "$D/表.xlsx" xl/worksheets/sheet1.xml)
STRINGS=$(zip_member "$D/表.xlsx" xl/sharedStrings.xml)
expect_contains "$SHEET" '<c r="A1" s="0" t="n"><v>12</v></c>' "A1 saved as the number 12"
expect_contains "$SHEET" '<f aca="false">A1*2+0.5</f><v>24.5</v>' "C1 saved as its formula"
expect_contains "$SHEET" '<c r="B3" s="0" t="s"><v>' "B3 saved as a shared string"
expect_contains "$STRINGS" '<t xml:space="preserve">こんにちは</t>' "the text of B3"
expect_eq "$(iconv -f CP932 -t UTF-8 "$D/表.csv" | tr -d '\r' | head -3)" '12,,24.5
,,
,"こんにちは",' "csv saved in Shift_JIS"
# the filled letter, read without the office; the template itself untouched
expect_eq "$(docx_paragraphs "$D/手紙.docx")" "宛先：山田太郎 様
日付：2024年1月2日追伸
二行目" "the letter's paragraphs in the docx"
expect_contains "$(zip_member "$D/手紙.docx" word/document.xml)" '<w:bookmarkStart w:id="0" w:name="宛名"/>' \
    "the bookmarks stay in the docx"
expect_contains "$(zip_member "$D/手紙.odt" mimetype)" 'application/vnd.oasis.opendocument.text' "odt saved as OpenDocument"
expect_true "the template is not saved by ワード終了" cmp -s "$WORK/letter.orig.docx" "$D/letter.docx"
expect_true "no lock files are left" test -z "$(find "$D" -name '.~lock*')"
expect_true "the office ends with the run" office_gone_within 10
expect_true "the office's private folder is removed" test -z "$(find "$TMPDIR" -maxdepth 1 -name 'porukana-office-*')"

# ---- run 2: killed while it waits for an answer ----
mkfifo "$WORK/answer"
exec 7<> "$WORK/answer"   # held open, never written: the question waits
mkdir -p "$WORK/outside"
iconv -f UTF-8 -t CP932 > "$D/killed.prk" << EOF
ワード起動
エクセル起動
「0,0」を、「1」に、エクセル設定
エクセル終了
エラーを無視
「0,0」を、「2」に、エクセル設定
エラーメッセージを、表示
「2」を、ワード文字挿入
ワード本文を得る
「ワード側=」&それを、表示
「$WORK/outside/x.docx」へ、ワード保存
EOF
(cd "$D" && exec "$CLI" killed.prk < "$WORK/answer" > "$WORK/killed.out" 2> "$WORK/killed.err") &
CLI_PID=$!
for i in $(seq 600); do
    grep -q 'はい/いいえ' "$WORK/killed.err" 2> /dev/null && break
    kill -0 "$CLI_PID" 2> /dev/null || break
    sleep 0.1
done
expect_eq "$(cat "$WORK/killed.out")" "[エラー] killed.prk(6行目): Excelのエラー。エクセルは既に終了しています。
ワード側=2" "エクセル終了 leaves the word processor at work"
expect_true "the office runs while the run-time waits" test -n "$(office_processes)"
kill -9 "$CLI_PID"
wait "$CLI_PID" 2> /dev/null
expect_true "a killed run-time leaves no office behind" office_gone_within 10
exec 7>&-

finish

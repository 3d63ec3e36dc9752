#!/usr/bin/env bash
# The office commands where the office cannot be reached: no soffice on the search
# path, no interpreter, helper or UNO bridge for the link, an office that never
# answers and a helper that stops answering (both bounded by
# PORUKANA_OFFICE_TIMEOUT). Each gives its family's message; the slots
# filled before a failure keep their values; no process is left behind.
source "$(dirname "$0")/../net/_lib.sh" "$1"
source "$(dirname "$0")/_lib.sh"

# ---- no office suite: soffice is not on the search path ----
# (the path keeps only what run_prk itself needs)
mkdir -p "$WORK/emptybin"
for tool in iconv cat timeout; do
    ln -s "$(command -v $tool)" "$WORK/emptybin/$tool"
done
PATH="$WORK/emptybin" run_prk nosuite << 'EOF'
エラーを無視
それ=「元のそれ」
エクセル起動
エラーメッセージを、表示
ワード起動
エラーメッセージを、表示
「0,0」を、「1」に、エクセル設定
エラーメッセージを、表示
それを、表示
EOF
expect_eq "$OUT" "[エラー] nosuite.prk(3行目): Excelのエラー。オフィスソフト（LibreOffice）がインストールされていません（sofficeが見つかりません）。
[エラー] nosuite.prk(5行目): Wordのエラー。オフィスソフト（LibreOffice）がインストールされていません（sofficeが見つかりません）。
[エラー] nosuite.prk(7行目): Excelのエラー。エクセルが起動されていません。
元のそれ" "no office suite"
expect_true "nothing left after a missing suite" office_gone_within 5

# without エラーを無視 the error stops the run with its location
PATH="$WORK/emptybin" run_prk stops << 'EOF'
「前」を、表示
ワード起動
「後」を、表示
EOF
expect_eq "$RC:$OUT" "1:前" "the failure stops the run"
expect_eq "$ERR" "[エラー] stops.prk(2行目): Wordのエラー。オフィスソフト（LibreOffice）がインストールされていません（sofficeが見つかりません）。" \
    "the failure on standard error"

# ---- the link's own pieces missing ----
PORUKANA_OFFICE_PYTHON="$WORK/no-python3" run_prk nopython << 'EOF'
エラーを無視
エクセル起動
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] nopython.prk(2行目): Excelのエラー。LibreOffice連携用のPython「$WORK/no-python3」が見つかりません。" \
    "no interpreter for the helper"
PORUKANA_OFFICE_HELPER="$WORK/none.py" run_prk nohelper << 'EOF'
エラーを無視
ワード起動
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] nohelper.prk(2行目): Wordのエラー。LibreOffice連携スクリプト（office_helper.py）が見つかりません。" \
    "no helper script"

# ---- no UNO bridge for the interpreter (site packages switched off) ----
printf '#!/bin/sh\nexec %s -S "$@"\n' "$PY" > "$WORK/python-without-uno"
printf '#!/bin/sh\nwhile :; do sleep 1; done\n' > "$WORK/soffice"
chmod +x "$WORK/python-without-uno" "$WORK/soffice"
PORUKANA_OFFICE_PYTHON="$WORK/python-without-uno" PORUKANA_OFFICE_PROGRAM="$WORK/soffice" run_prk nobridge << 'EOF'
エラーを無視
エクセル起動
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] nobridge.prk(2行目): Excelのエラー。LibreOfficeのPython連携（python3-uno）がインストールされていません。" \
    "no UNO bridge"

# ---- an office that never answers on its pipe: the start is bounded ----
if "$PY" -c 'import uno' 2> /dev/null; then
    PORUKANA_OFFICE_PROGRAM="$WORK/soffice" PORUKANA_OFFICE_TIMEOUT=1 run_prk nostart << 'EOF'
エラーを無視
ワード起動
エラーメッセージを、表示
EOF
    expect_eq "$OUT" "[エラー] nostart.prk(2行目): Wordのエラー。LibreOfficeが2秒以内に起動しませんでした。" \
        "an office that does not start"
    expect_true "the office that did not start is ended" office_gone_within 5
fi

# ---- a helper that stops answering: it starts the application, then hangs ----
cat > "$WORK/hanging.py" << 'EOF'
import os, sys, time
os.write(1, b"ok\tporukana-office\t1\n")
for line in sys.stdin:
    op = line.split("\t")[0]
    if op in ("attach", "application"):
        os.write(1, b"ok\t1\t0\n" if op == "attach" else b"ok\t1\n")
    elif op == "visible":
        os.write(1, b"ok\n")
    else:
        time.sleep(60)
EOF
START=$(date +%s)
PORUKANA_OFFICE_HELPER="$WORK/hanging.py" PORUKANA_OFFICE_TIMEOUT=1 run_prk hung << 'EOF'
エラーを無視
エクセル起動
エラーメッセージを、表示
「0,0」を、「1」に、エクセル設定
エラーメッセージを、表示
「Main」を、エクセルマクロ実行
エラーメッセージを、表示
EOF
expect_eq "$OUT" "[エラー] hung.prk(2行目): Excelのエラー。LibreOfficeが1秒以内に応答しませんでした。
[エラー] hung.prk(4行目): Excelのエラー。シートがありません。
[エラー] hung.prk(6行目): Excelのエラー。LibreOfficeとの接続が切れました。" "a hung call"
expect_true "the hung call is bounded" test $(($(date +%s) - START)) -lt 15
expect_true "the hung helper is ended" office_gone_within 5

finish

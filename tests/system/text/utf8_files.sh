#!/usr/bin/env bash
# Text files between scripts and a UTF-8 desktop, checked byte for byte with the
# shell's tools: what 書く, 追加保存 and the handle commands write by default
# (Shift_JIS, CR LF, unchanged), with 保存文字コード and 保存改行コード, characters
# that Shift_JIS has no code for (read from a file, then written as UTF-8 and as
# Shift_JIS with its warning), UTF-8 lines read through a handle, and a setting
# that names no encoding.
#   utf8_files.sh BIN_FOLDER
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -p "$TMPDIR" "$work/d" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$work/d"
fail=0
expect_eq() {   # expect_eq ACTUAL EXPECTED WHAT
    if [ "$1" != "$2" ]; then
        printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$3" "$2" "$1"
        fail=1
    fi
}
hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //;s/ $//'; }
run() {   # run NAME < script (UTF-8): sets OUT, ERR, RC
    cat > "$1.prk"
    OUT=$("$bin/porukana-cli" -security low "$1.prk" 2> "$1.err")
    RC=$?
    ERR=$(grep -v '^\[進行\]' "$1.err")
}

printf '寿司🍣と𠮷野家\r\n二行目\r\n' > emoji.txt
printf '\xef\xbb\xbf一行目\n𠮷\n三行目' > lines.txt

run write << 'EOF'
Aに、「emoji.txt」を、読む
S=「あ」&CHR(13)&CHR(10)&「い」
Sを、「default.txt」へ、書く
保存文字コード=「UTF-8」
Sを、「utf8.txt」へ、書く
Aを、「emoji-utf8.txt」へ、書く
保存改行コード=「LF」
Aを、「emoji-lf.txt」へ、書く
保存文字コード=「UTF-8(BOM付き)」
「あ」を、「bom.txt」へ、書く
「う」を、「bom.txt」へ、追加保存
保存文字コード=「SJIS」
保存改行コード=「CRLF」
Aを、「emoji-sjis.txt」へ、書く
「え」を、「utf8.txt」へ、追加保存
「済み」を、表示
EOF
expect_eq "$RC:$OUT" "0:済み" "the writing script runs"
expect_eq "$(hex default.txt)" "82 a0 0d 0a 82 a2" "Shift_JIS with CR LF by default"
expect_eq "$(hex utf8.txt)" "e3 81 82 0d 0a e3 81 84 e3 81 88" "UTF-8 when asked; 追加保存 keeps the file's UTF-8"
expect_eq "$(cat emoji-utf8.txt)" "$(cat emoji.txt)" "emoji and 𠮷 read from UTF-8 come back in UTF-8"
expect_eq "$(cat emoji-lf.txt)" "$(printf '寿司🍣と𠮷野家\n二行目\n')" "LF line ends"
expect_eq "$(hex bom.txt)" "ef bb bf e3 81 82 e3 81 86" "one byte-order mark at the start"
expect_eq "$(iconv -f CP932 -t UTF-8 emoji-sjis.txt)" "$(printf '寿司&#x1F363;と&#x20BB7;野家\r\n二行目\r\n')" \
    "Shift_JIS names what it cannot hold"
expect_eq "$ERR" "[注　意] write.prk(14行目): 文字「🍣」(U+1F363)はShift_JISで表せないため、ファイル\"emoji-sjis.txt\"には「&#x1F363;」と書きました。(ほか1文字)" \
    "one warning naming the character and the file"
# No private-use character in any file written (the CP932 user-defined area reads
# as U+E000-U+E757).
for f in default.txt emoji-sjis.txt emoji-utf8.txt emoji-lf.txt; do
    enc=UTF-8
    case $f in *sjis* | default*) enc=CP932 ;; esac
    if iconv -f $enc -t UTF-8 "$f" | grep -qP '[\x{E000}-\x{F8FF}]'; then
        echo "FAILED: a user-defined code in $f"
        fail=1
    fi
done

run handles << 'EOF'
「H」で、「lines.txt」の、ハンドルを開く
Iを、1から、3まで、繰り返す
(
  Lに、Hの、ハンドルを一行読む
  「[{L}]」を、表示
)
Hの、ハンドルを閉じる
「G」で、「new.txt」の、ハンドルを開く
保存文字コード=「UTF-8」
保存改行コード=「LF」
「かな」を、Gの、ハンドルへ一行書く
Gの、ハンドルを閉じる
EOF
expect_eq "$RC:$OUT" "0:[一行目]
[𠮷]
[三行目]" "UTF-8 lines through a handle, the mark dropped"
expect_eq "$(hex new.txt)" "e3 81 8b e3 81 aa 0a" "a handle writes the chosen encoding"

run badsetting << 'EOF'
保存文字コード=「EUC」
「x」を、「x.txt」へ、書く
EOF
expect_eq "$RC:$(grep '^\[エラー\]' <<< "$ERR")" "1:[エラー] badsetting.prk(2行目): 保存文字コード「EUC」は使えません。「SJIS」「UTF-8」「UTF-8(BOM付き)」のどれかを指定してください。" \
    "an unknown encoding is an error"
expect_eq "$(test -e x.txt && echo file)" "" "nothing written with an unknown encoding"

exit $fail

#!/usr/bin/env bash
# porukana-cli --doc WORD: the entry of a word is found as written, with its
# okurigana folded, and regardless of the case of ASCII letters; it shows the
# template, the description and the samples of the data file; parts of names,
# descriptions and synonyms find the rest, every match counted; an unknown word is
# a clear message and exit status 2; no word gives the index; nothing is run.
set -u
cli=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {   # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if ! "$@"; then echo "FAIL: $name"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }

doc() {   # doc NAME WORD: the output in $work/NAME.out/.err, the status in $work/NAME.rc
  "$cli" --doc "$2" > "$work/$1.out" 2> "$work/$1.err"
  echo $? > "$work/$1.rc"
}
rc() { [ "$(cat "$work/$1.rc")" = "$2" ]; }

doc show 表示
check "表示 is found" rc show 0
check "表示 shows its family and id" has "$work/show.out" '表示　〔描画と画像・命令番号 0〕'
check "表示 shows its template" has "$work/show.out" '書式: ?と、表示'
# The description and the first sample are those of the data file.
desc=$(awk '/^== 表示$/{getline; print; exit}' "$src/docs/reference/data/Drawing.txt")
check "表示 shows the data's description" has "$work/show.out" "$desc"
code=$(awk '/^== 表示$/{e=1} e&&/^--- 例/{getline; print; exit}' "$src/docs/reference/data/Drawing.txt")
check "表示 shows the data's sample" has "$work/show.out" "  $code"
check "nothing else on standard error" [ ! -s "$work/show.err" ]

# Okurigana folded: the same entry for three spellings.
doc a 繰り返す
doc b 繰返
doc c 繰り返して
check "繰り返す is found" rc a 0
check "繰返 finds 繰り返す" bash -c "[ \"\$(sed '/^ほかに/,\$d' '$work/a.out')\" = \"\$(sed '/^ほかに/,\$d' '$work/b.out')\" ]"
check "繰り返して finds 繰り返す" bash -c "[ \"\$(sed '/^ほかに/,\$d' '$work/a.out')\" = \"\$(sed '/^ほかに/,\$d' '$work/c.out')\" ]"
check "繰り返す is the control entry" has "$work/a.out" '〔制御構文・命令番号 56〕'

# ASCII case; a second name leads to the entry of both.
doc len len
check "len finds LEN" rc len 0
check "the entry of LEN is that of 文字数" bash -c "head -1 '$work/len.out' | grep -q '^文字数　'"
check "both templates are shown" bash -c "grep -qF '書式: LEN(?)' '$work/len.out' && grep -qF '書式: ?の、文字数' '$work/len.out'"

# A system variable shows its kind and initial value, no template.
doc sore それ
check "それ is a system variable" has "$work/sore.out" '種類: システム変数'
check "それ has no template" bash -c "! grep -q '書式' '$work/sore.out'"

# Unknown words and a missing word.
doc none 存在しない単語
check "an unknown word is status 2" rc none 2
check "an unknown word is named" has "$work/none.err" '「存在しない単語」は、命令・システム変数・定数・GUI部品・プロパティのどれにもなく'
check "nothing on standard output for an unknown word" [ ! -s "$work/none.out" ]

# A part of names: every entry holding it, counted, none left out.
doc near 表
check "a part of a name is found" rc near 0
count=$(grep -c '^== 表\|^== [^ ]*表' "$src/docs/reference/data/Tables.txt")
check "every name holding 表 is listed" bash -c "grep -qF '表合計　…' '$work/near.out' && grep -qF '表検索　…' '$work/near.out' && grep -qF '表日付ソート　…' '$work/near.out'"
listed=$(sed -n 's/^名前に「表」を含む単語（\([0-9]*\)件）:$/\1/p' "$work/near.out")
shown=$(awk '/^名前に「表」を含む単語/{on=1; next} /^[^ ]/{on=0} on' "$work/near.out" | grep -c '　…　')
check "the count is the number of lines listed" [ -n "$listed" ] && [ "$listed" = "$shown" ] && [ "$listed" -ge "$count" ]

# Descriptions and the synonyms table lead to the entries a user means.
for pair in 'csv:表ソート' 'zip:圧縮' '並べ替え:ソート' '並び替え:表ソート' '入力:尋ねる' 'download:HTTPダウンロード' \
            'replace:置換' 'CSV:表検索' 'Sort:数値ソート'; do
  word=${pair%%:*}; want=${pair#*:}
  doc syn "$word"
  check "$word finds $want" bash -c "[ \$(cat '$work/syn.rc') = 0 ] && grep -qF '  $want　…' '$work/syn.out'"
done
doc desc 並べ替え
check "a description holding the word is listed" has "$work/desc.out" '配列シャッフル　…'

# The GUI objects: kinds, properties and events have entries.
doc text テキスト
check "テキスト is a property" has "$work/text.out" 'テキスト　〔プロパティとイベント・プロパティ番号 4〕'
check "テキスト says what reading a list gives" has "$work/text.out" 'リスト: 選択中の項目'
doc button ボタン
check "ボタン is a kind" has "$work/button.out" 'ボタン　〔GUI部品の種類・種類番号 0〕'
check "ボタン lists its properties" bash -c "grep -A3 '^プロパティ:' '$work/button.out' | grep -q ' テキスト '"
check "ボタン lists its events" bash -c "grep -A2 '^イベント:' '$work/button.out' | grep -qx '  クリックした時'"
check "a button has no items" bash -c "! grep -A3 '^プロパティ:' '$work/button.out' | grep -q 'アイテム'"
doc click クリックした時
check "クリックした時 is an event" has "$work/click.out" '実行前に入る変数: イベントオブジェクト'
doc mouse マウス押時
check "マウス押時 finds マウス押した時" has "$work/mouse.out" 'マウス押した時　〔'
doc ship 母艦
check "母艦 is found" has "$work/ship.out" '母艦　〔GUI部品の種類〕'
for p in X Y 幅 高さ テキスト アイテム 値 画像 拡大機能 最大値 最小値 タイトル 向き ボタン機能 可視 イベント \
         クリックした時 ダブルクリックした時 マウス押した時 マウス離した時 キー押した時 キー離した時 変更した時 編集 \
         透過処理 背景色 サイズ 名前 スクロールバー フォント書体 フォントサイズ フォント色 ファイルドロップ リサイズ \
         ショートカットキー IME 繰り返し回数 効果音 マウス動かした時 追加画像 選択文字列 ハンドル 有効 選択位置 \
         選択文字数 URL 右側 下側 ファイルドロップした時 スタイル W H 位置 列 行 ソート; do
  "$cli" --doc "$p" 2>/dev/null | grep -q "^$p　〔プロパティとイベント" || { echo "FAIL: no property entry for $p"; fail=1; }
done

# A long list of descriptions beside a named entry is counted, --all lists it.
doc val 値
check "a long description list is counted" bash -c "grep -q '^説明に「値」が出てくる単語は[0-9]*件あります' '$work/val.out'"
"$cli" --doc 値 --all > "$work/valall.out"
n=$(sed -n 's/^説明に「値」が出てくる単語は\([0-9]*\)件.*/\1/p' "$work/val.out")
check "--all lists all of them" grep -q "^説明に「値」が出てくる単語（${n}件）:" "$work/valall.out"

# No word: the index of every family with its words.
"$cli" --doc > "$work/index.out" 2> "$work/index.err"
check "the index is status 0" [ $? -eq 0 ]
check "the index has the families" bash -c "grep -q '^■ 文字列（' '$work/index.out' && grep -q '^■ GUI部品の種類（21語）' '$work/index.out'"
check "the index holds 表合計" bash -c "grep -q ' 表合計\( \|$\)' '$work/index.out'"
"$cli" --help > "$work/help.out"
check "--help names --doc" has "$work/help.out" '--doc [単語]'

# --doc runs no program, even one of that name.
printf '\x81\x75\x82\xa0\x81\x76\x82\xc6\x81\x41\x95\x5c\x8e\xa6\x82\xb7\x82\xe9\x81\x42\n' > "$work/表示"
(cd "$work" && "$cli" --doc 表示 > "$work/norun.out" 2>&1)
check "no program is run" bash -c "! grep -qx 'あ' '$work/norun.out'"

exit $fail

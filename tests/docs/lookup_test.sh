#!/usr/bin/env bash
# porukana-cli --doc WORD: the entry of a word is found as written, with its
# okurigana folded, and regardless of the case of ASCII letters; it shows the
# template, the description and the samples of the data file; an unknown word or
# a missing one is a clear message and exit status 2, and nothing is run.
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
check "繰返 finds 繰り返す" cmp -s "$work/a.out" "$work/b.out"
check "繰り返して finds 繰り返す" cmp -s "$work/a.out" "$work/c.out"
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
check "an unknown word is named" has "$work/none.err" '「存在しない単語」は、命令・システム変数・定数のどれにもありません。'
check "nothing on standard output for an unknown word" [ ! -s "$work/none.out" ]
doc near ハンドル
check "a part of names lists the words holding it" has "$work/near.err" '名前にこの語を含む単語: ハンドルを開く'
"$cli" --doc > "$work/empty.out" 2> "$work/empty.err"
check "no word is status 2" [ $? -eq 2 ]
check "no word says what to type" has "$work/empty.err" '--doc には調べる単語を続けてください'

# --doc runs no program, even one of that name.
printf '\x81\x75\x82\xa0\x81\x76\x82\xc6\x81\x41\x95\x5c\x8e\xa6\x82\xb7\x82\xe9\x81\x42\n' > "$work/表示"
(cd "$work" && "$cli" --doc 表示 > "$work/norun.out" 2>&1)
check "no program is run" bash -c "! grep -qx 'あ' '$work/norun.out'"

exit $fail

#!/usr/bin/env bash
# porukana-docgen on data made for the test: the checker finds each kind of fault,
# the runner tells a shown output from a written one (standard output, standard
# error, exit status, the window's messages, standard input), --update writes what
# ran, the pages carry the registry's templates, stale pages are found, and the
# HTML and the --doc table come out as they should.
set -u
gen=$1
bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
fail=0
check() {   # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if ! "$@"; then echo "FAIL: $name"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }

# ---- the checker ------------------------------------------------------------------
mkdir -p "$work/bad"
cat > "$work/bad/Strings.txt" <<'DATA'
= 文字列

== 文字数 / LEN
数える。
--- 例
「abc」の、文字数を、表示する。
--- 出力
3

== 置換
--- 例
「a」の、「a」を、「b」に、置換
--- 出力
b

== 区切る
分ける。

== 行数 / 表示
数える。
--- 例
「a」の、行数を、表示する。
--- 出力
1

== 半角変換 / 全角変換
変える。
--- 例
「Ａ」を、半角変換して、表示する。
--- 出力
A

== ない命令
何もしない。

== トリム
一行目。
二行目。
--- 例
「 a 」を、トリムして、表示する。
--- 出力
a
--- 謎の見出し

== リフレイン
繰り返す。
--- 例
「a」を、2度、リフレイン
--- 出力

== リフレイン
二度目。
--- 例
「a」を、2度、リフレイン
--- 出力
aa
DATA
"$gen" check "$work/bad" > "$work/check.out" 2> "$work/check.err"
check "check fails on faulty data" [ $? -eq 1 ]
e=$work/check.err
check "no sample uses LEN" has "$e" 'no sample uses "LEN"'
check "置換 has no description" has "$e" '"置換" has no description'
check "区切る has no sample" has "$e" 'the command "区切る" has no sample'
check "表示 is not a string command" has "$e" '"表示" is no registry word of Strings'
check "全角変換 has another id" has "$e" '"全角変換" has id 80, the entry'"'"'s first name 27'
check "unknown word" has "$e" '"ない命令" is no registry word of Strings'
check "two-line description" has "$e" 'the description of "トリム" must be one line'
check "unknown block" has "$e" 'unknown block "--- 謎の見出し"'
check "sample without output" has "$e" 'a sample that shows no output'
check "second entry of a word" has "$e" '"リフレイン" has another entry at'
check "a row without an entry" has "$e" '"MIDB" (Strings) has no entry, no description and no sample'
check "a system word without an entry" has "$e" '"それ" (system word) has no entry'
check "a file of no family" bash -c "mkdir -p '$work/nofam' && printf '= x\n' > '$work/nofam/Nothing.txt' && ! '$gen' check '$work/nofam' 2>&1 | grep -q 'is no command family'; [ \${PIPESTATUS[0]} -ne 0 ] || true; '$gen' check '$work/nofam' 2>&1 | grep -qF '\"Nothing\" is no command family of the registry'"

# ---- the runner -------------------------------------------------------------------
mkdir -p "$work/run"
cat > "$work/run/Strings.txt" <<'DATA'
= 文字列

== 文字数
数える。
--- 例
「あいう」の、文字数を、表示する。
--- 出力
3
--- 例
「あいう」の、文字数を、表示する。
--- 出力
4
--- 例
綴りの間違い
--- 出力
--- 標準エラー
[エラー] 例.prk(1行目): "綴りの間違い"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！
--- 終了コード
1
--- 例
綴りの間違い
--- 出力
--- 終了コード
1
--- 例
「名前は？」と、尋ねる。
「{それ}さん」と、表示する。
--- 入力
花子
--- 出力
花子さん
--- 標準エラー
名前は？
> 
--- 例 窓
「窓から」と、言う。
終わり
--- 出力
窓から
DATA
"$gen" run "$bin" "$work/run/Strings.txt" > "$work/run.out" 2> "$work/run.err"
check "run fails when a sample differs" [ $? -eq 1 ]
check "two of six differ" has "$work/run.out" '6 samples, 2 failed'
check "the wrong output is named" has "$work/run.err" 'Strings.txt:10: output differs'
check "a missing standard error is named" has "$work/run.err" 'Strings.txt:21: standard error differs'
check "the right ones pass" bash -c "! grep -qE 'Strings.txt:(6|14|26|36):' '$work/run.err'"
cp "$work/run/Strings.txt" "$work/run/before.txt"
"$gen" run --update "$bin" "$work/run/Strings.txt" > /dev/null 2>&1
check "update passes afterwards" "$gen" run "$bin" "$work/run/Strings.txt"
check "update wrote the real count" bash -c "diff '$work/run/before.txt' '$work/run/Strings.txt' | grep -qx '> 3'"
check "update wrote the real standard error" has "$work/run/Strings.txt" '"綴りの間違い"は未定義の命令です。'

# A blank line the output ends with is part of it: shown without it, the sample
# fails; --update writes the header that shows it, and the pages show it.
cat > "$work/run/Tables.txt" <<'DATA'
= 表

== ソート
並べ替える。
--- 例
「b
a」を、ソート
それを、表示する。
--- 出力
a
b
DATA
"$gen" run "$bin" "$work/run/Tables.txt" > /dev/null 2> "$work/blank.err"
check "a missing blank line fails" has "$work/blank.err" 'output differs: it ends with 1 blank lines, the page shows 0'
"$gen" run --update "$bin" "$work/run/Tables.txt" > /dev/null 2>&1
check "update writes the blank line" has "$work/run/Tables.txt" '--- 出力 最後に空行1'
check "the blank line passes" "$gen" run "$bin" "$work/run/Tables.txt"
sed -i 's/^--- 出力 最後に空行1$/--- 出力 最後に空行2/' "$work/run/Tables.txt"
check "two blank lines where one is written fail" bash -c "! '$gen' run '$bin' '$work/run/Tables.txt' 2>/dev/null >&2"

# A sample that never ends is stopped.
cat > "$work/run/RunLoop.txt" <<'DATA'
= 流れ

== 待機
待つ。
--- 例
0で、ループ、「x」と、表示する。
1で、ループ
--- 出力
DATA
start=$SECONDS
sed -i 's/^1で、ループ$/(1=1)で、ループ/' "$work/run/RunLoop.txt"
"$gen" run --timeout 3 "$bin" "$work/run/RunLoop.txt" > /dev/null 2> "$work/loop.err" &
pid=$!
wait $pid
check "an endless sample fails" has "$work/loop.err" 'the sample did not end in time'
check "an endless sample is stopped in time" [ $((SECONDS - start)) -lt 20 ]

# The guide's blocks: a program needs its output block.
cat > "$work/guide.md" <<'DATA'
# 例

```prk
「一」と、表示する。
```

```出力
一
```

```prk
「二」と、表示する。
```
DATA
"$gen" run "$bin" "$work/guide.md" > /dev/null 2> "$work/guide.err"
check "a guide program without output fails" has "$work/guide.err" 'a program without a "```出力" block'
sed -i '$a\\n```出力\n二\n```' "$work/guide.md"
check "a complete guide passes" "$gen" run "$bin" "$work/guide.md"
sed -i 's/^二$/三/' "$work/guide.md"
"$gen" run --update "$bin" "$work/guide.md" > /dev/null 2>&1
check "a guide is updated in place" bash -c "tail -3 '$work/guide.md' | head -2 | grep -qx '二'"
printf '\n```prk\n「x\ny」を、ソート\nそれを、表示する。\n```\n\n```出力\nx\ny\n```\n' >> "$work/guide.md"
check "a guide's output without its blank line fails" bash -c "! '$gen' run '$bin' '$work/guide.md' 2>/dev/null >&2"
"$gen" run --update "$bin" "$work/guide.md" > /dev/null 2>&1
check "the guide gets the blank line inside its block" bash -c "tail -4 '$work/guide.md' | tr '\n' '|' | grep -qx 'x|y||\`\`\`|'"
check "and passes then" "$gen" run "$bin" "$work/guide.md"

# ---- pages, HTML, the --doc table -----------------------------------------------
src=$(cd "$(dirname "$0")/../.." && pwd)
"$gen" pages "$src/docs/reference/data" "$work/pages"
check "the strings page shows both templates" \
  bash -c "grep -qF -- '- 書式: \`?の、文字数\`' '$work/pages/strings.md' && grep -qF -- '- 書式: \`LEN(?)\`' '$work/pages/strings.md'"
check "the control page shows the id" has "$work/pages/control.md" '- 命令番号: 56'
check "the index links every family" bash -c "[ \$(grep -c '^| \[' '$work/pages/index.md') -eq 28 ]"
check "fresh pages are current" "$gen" current "$src/docs/reference/data" "$work/pages"
echo x >> "$work/pages/numbers.md"
"$gen" current "$src/docs/reference/data" "$work/pages" 2> "$work/stale.err"
check "a changed page is stale" has "$work/stale.err" 'numbers.md: not what the data gives'

cat > "$work/page.md" <<'DATA'
# 見出し <b>

本文の`コード<x>`と**太字**と[別のページ](other.md#a)。

![窓の<絵>](images/a.png)

| 列 | 値 |
|---|---|
| a\|b | `c` |

- 一つ目
- 二つ目

```prk
「<&>」と、表示する。
```
DATA
"$gen" html "$work/html" "$work/page.md"
h=$work/html/page.html
check "heading with its anchor" has "$h" '<h1 id="見出し-b">見出し &lt;b&gt;</h1>'
check "inline code escaped" has "$h" '<code>コード&lt;x&gt;</code>'
check "bold" has "$h" '<strong>太字</strong>'
check "links go to HTML pages" has "$h" '<a href="other.html#a">別のページ</a>'
check "pictures" has "$h" '<img src="images/a.png" alt="窓の&lt;絵&gt;">'
check "table cells, a bar kept" has "$h" '<td>a|b</td><td><code>c</code></td>'
check "lists" has "$h" '<li>二つ目</li>'
check "code blocks escaped" has "$h" '<pre><code class="language-prk">「&lt;&amp;&gt;」と、表示する。'

"$gen" embed "$src/docs/reference/data" "$work/entries.inc"
check "the table is plain ASCII" bash -c "! LC_ALL=C grep -qP '[^\x00-\x7F]' '$work/entries.inc'"
# Every data entry, then the object kinds and properties of the object table.
kinds=$(grep -c '^PORU_OBJECT_KIND(' "$src/src/interp/object_table.inc")
props=$(grep -c '^PORU_PROPERTY(' "$src/src/interp/object_table.inc")
check "the table holds every entry" bash -c "[ \$(grep -c '^PORU_REFERENCE_ENTRY(' '$work/entries.inc') -eq \$((\$(cat '$src'/docs/reference/data/*.txt | grep -c '^== ') + $kinds + $props)) ]"
check "all 56 properties and 20 kinds besides the main window" [ "$props" -eq 56 ] && [ "$kinds" -eq 21 ]
check "the synonyms are in the table" bash -c "grep -c '^PORU_REFERENCE_SYNONYM(' '$work/entries.inc' | grep -qx \$(grep -c \$'\t' '$src/docs/reference/data/synonyms.tsv')"

# A synonym that leads nowhere is a fault of the data.
mkdir -p "$work/syn"
cp "$src"/docs/reference/data/*.txt "$work/syn/"
printf 'sort\tソート 並べる謎\n' > "$work/syn/synonyms.tsv"
"$gen" check "$work/syn" > /dev/null 2> "$work/syn.err"
check "a synonym without an entry is a fault" has "$work/syn.err" '"sort" leads to "並べる謎", which has no entry'

# The object pages: one per kind, the kind's properties and events on it.
check "a page per kind" bash -c "[ \$(ls '$work/pages'/object-*.md | wc -l) -eq $kinds ]"
check "the list page names its properties" bash -c "grep -qF '[アイテム](objects.md#アイテム)' '$work/pages/object-list.md' && ! grep -qF '[URL](' '$work/pages/object-list.md'"
check "the button page has its click event" has "$work/pages/object-button.md" '[クリックした時](objects.md#クリックした時)'
check "a stale object page is found" bash -c "echo x >> '$work/pages/object-grid.md'; ! '$gen' current '$src/docs/reference/data' '$work/pages' 2>/dev/null"


# The HTML reference's search box works from the local files: search.js finds what
# --doc finds, and its links lead to anchors that exist.
"$gen" html --search "$work/html" "$src"/docs/reference/*.md
"$gen" search "$src/docs/reference/data" "$work/html"
check "the pages carry the search box" has "$work/html/index.html" '<script src="search.js"></script>'
if command -v node > /dev/null; then
  node "$(dirname "$0")/search_check.js" "$work/html/search.js" csv ボタン 並べ替え > "$work/search.out"
  check "csv finds 表ソート" bash -c "grep '^csv:' '$work/search.out' | grep -q '表ソート@tables.html#表ソート'"
  check "ボタン finds its page" bash -c "grep '^ボタン:' '$work/search.out' | grep -q '^ボタン: ボタン@object-button.html '"
  check "並べ替え finds ソート by its description" bash -c "grep '^並べ替え:' '$work/search.out' | grep -q 'ソート@tables.html#ソート'"
  check "the anchors exist" bash -c "grep -q 'id=\"表ソート\"' '$work/html/tables.html' && grep -q 'id=\"テキスト\"' '$work/html/objects.html'"
else
  echo "node is not installed: the search script is not run"
fi
exit $fail

#!/usr/bin/env bash
# Archives made by the common Linux tools are unpacked byte for byte, and the
# archives the run-time writes are read back by those tools: lhasa for LHA, unzip,
# 7z, tar, bsdtar and arj; the self-extracting program is run on its own.
bin=$1
. "$(dirname "$0")/_lib.sh"
for tool in zip unzip bsdtar 7z lhasa iconv gzip; do
  command -v $tool > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
have_arj=0
command -v arj > /dev/null && have_arj=1

# The tree: text, binary, an empty file, Japanese names, nested folders.
src=$work/src
mkdir -p "$src/sub/深い" "$src/empty_dir_sibling"
head -c 400000 /dev/urandom > "$src/noise.bin"
for i in $(seq 1 3000); do echo "line $i of the archive test, 日本語の行 $i"; done > "$src/text.txt"
: > "$src/empty.dat"
echo "日本語の名前" > "$src/sub/日本語.txt"
echo deep > "$src/sub/深い/file [1].txt"
rmdir "$src/empty_dir_sibling"
touch -d "2021-03-04 05:06:07" "$src"/*.* "$src"/sub/*.txt

# ---- made by the tools, unpacked by the run-time ----
made=$work/made
mkdir -p "$made"
(cd "$work" && zip -q -r "$made/infozip.zip" src)
(cd "$work" && bsdtar -cf "$made/b.tar" src && bsdtar -czf "$made/b.tgz" src && bsdtar -cjf "$made/b.bz2" src \
  && bsdtar --format 7zip -cf "$made/b.7z" src && bsdtar --format zip -cf "$made/b.zip" src \
  && bsdtar --format cpio -cf "$made/b.cpio" src)
(cd "$work" && 7z a -bd -y "$made/sz.7z" src > /dev/null && 7z a -bd -y -tzip "$made/sz.zip" src > /dev/null)
if [ $have_arj = 1 ]; then
  (cd "$work" && arj a -r -y "$made/a.arj" src > /dev/null)
fi
for f in "$made"/*; do
  name=$(basename "$f")
  run "u_${name//./_}" <<P
「$f」を、「$work/u_$name」へ、解凍する。
P
  check "unpack $name (status $rc: $(cat "$work/u_${name//./_}.err"))" [ "$rc" = 0 ]
  check "unpack $name: tree" same_tree "$src" "$work/u_$name/src"
done
# A lone gzip file.
gzip -c "$src/text.txt" > "$work/text.txt.gz"
run u_gz <<P
「$work/text.txt.gz」を、「$work/u_gz」へ、解凍する。
P
check "lone gzip" cmp -s "$src/text.txt" "$work/u_gz/text.txt"

# ---- written by the run-time, read by the tools ----
exts="lzh zip 7z tar tgz bz2 cab"
[ $have_arj = 1 ] && exts="$exts arj"
for ext in $exts; do
  run "p_$ext" <<P
「$src」を、「$work/p.$ext」へ、圧縮する。
P
  check "pack $ext (status $rc: $(cat "$work/p_$ext.err"))" [ "$rc" = 0 ]
done
# LHA names are Shift_JIS: lhasa writes them as they are, so compare against a copy
# of the tree with Shift_JIS names.
sjis=$work/sjis/src
mkdir -p "$sjis/sub/$(printf '深い' | iconv -t CP932)"
cp -p "$src"/*.* "$sjis/"
cp -p "$src/sub/日本語.txt" "$sjis/sub/$(printf '日本語.txt' | iconv -t CP932)"
cp -p "$src/sub/深い/file [1].txt" "$sjis/sub/$(printf '深い' | iconv -t CP932)/"
check "lhasa tests our LHA" lhasa t "$work/p.lzh" > /dev/null
mkdir -p "$work/r_lzh" && (cd "$work/r_lzh" && lhasa xq "$work/p.lzh")
check "lhasa extracts our LHA" same_tree "$sjis" "$work/r_lzh/src"
mkdir -p "$work/r_lzh2" && bsdtar --options hdrcharset=CP932 -xf "$work/p.lzh" -C "$work/r_lzh2"
check "bsdtar reads our LHA" same_tree "$src" "$work/r_lzh2/src"
check "LHA keeps times" [ "$(stat -c %Y "$work/r_lzh/src/text.txt")" = "$(stat -c %Y "$src/text.txt")" ]
unzip -q "$work/p.zip" -d "$work/r_zip"
check "unzip reads our ZIP" same_tree "$src" "$work/r_zip/src"
7z x -bd -y -o"$work/r_7z" "$work/p.7z" > /dev/null
check "7z reads our 7z" same_tree "$src" "$work/r_7z/src"
for ext in tar tgz bz2; do
  mkdir -p "$work/r_$ext" && tar -xf "$work/p.$ext" -C "$work/r_$ext"
  check "tar reads our $ext" same_tree "$src" "$work/r_$ext/src"
done
mkdir -p "$work/r_cab" && bsdtar -xf "$work/p.cab" -C "$work/r_cab"
check "our CAB" same_tree "$src" "$work/r_cab/src"
if [ $have_arj = 1 ]; then
  mkdir -p "$work/r_arj" && (cd "$work/r_arj" && arj x -y "$work/p.arj" > /dev/null)
  check "arj reads our ARJ" same_tree "$src" "$work/r_arj/src"
fi

# ---- self-extracting archives ----
run sfx <<P
「$src」を、「$work/setup.exe」へ、自己解凍書庫作成する。
P
check "sfx made (status $rc: $(cat "$work/sfx.err"))" [ -x "$work/setup.exe" ]
"$work/setup.exe" -d "$work/r_sfx" 2> /dev/null < /dev/null
check "sfx with -d" same_tree "$src" "$work/r_sfx/src"
echo "$work/r_sfx2" | "$work/setup.exe" > /dev/null 2>&1
check "sfx asking for the folder" same_tree "$src" "$work/r_sfx2/src"
"$work/setup.exe" < /dev/null > /dev/null 2>&1
check "sfx cancelled at the end of input" [ $? = 1 ] && [ ! -e "$work/setup" ]
check "sfx lists" [ "$("$work/setup.exe" -l | sort | head -1)" = "src/empty.dat" ]
# An existing LHA archive is used as it is and stays.
run sfx2 <<P
「$work/p.lzh」を、「$work/from_lzh.exe」へ、自己解凍書庫作成する。
「$work/from_lzh.exe」を、「$work/r_sfx3」へ、解凍する。
P
check "sfx from an LHA archive" same_tree "$src" "$work/r_sfx3/src"
check "the LHA archive stays" [ -f "$work/p.lzh" ]
check "no temporary archive left" [ -z "$(ls "$TMPDIR" 2> /dev/null | grep -v '^porukana-' )" ]

exit $fail

#!/usr/bin/env bash
# Where a library named by a declaration is looked for: a name with a separator as
# given (from the current folder); a bare name in the script's folder, then the
# executable's folder, then the current folder (the run starts in the script's
# folder; the scripts here move to another one first), and last the system's own
# search (LD_LIBRARY_PATH here). Each copy of the test library reports its file.
source "$(dirname "$0")/_lib.sh" "$1"

S="$WORK/scripts" C="$WORK/current" L="$WORK/system"
mkdir -p "$S/sub" "$C/sub" "$L"
where() {   # where LIBRARY-NAME: runs a script that asks the library for its file
    run_prk "$S" where << EOF
作業フォルダ=『$C』
『$1』の「pt_where」を「場所」で、文字型DLL宣言
場所を、表示
EOF
}
cd "$C"

for d in "$S" "$C" "$L"; do cp "$LIB" "$d/libsearch.so"; done
export LD_LIBRARY_PATH="$L"
where libsearch.so
expect_eq "$OUT" "$S/libsearch.so" "the script's folder comes first"
rm "$S/libsearch.so"
where libsearch.so
expect_eq "$OUT" "$C/libsearch.so" "then the current folder"
rm "$C/libsearch.so"
where libsearch.so
expect_eq "$OUT" "$L/libsearch.so" "then the system's search"
rm "$L/libsearch.so"
where libsearch.so
expect_eq "$RC:$ERR" '1:[エラー] where.prk(2行目): DLL"libsearch.so"が見つかりません。' "nowhere"
unset LD_LIBRARY_PATH

# The executable's folder (which holds libporutest.so) comes before the current one.
cp "$LIB" "$C/libporutest.so"
where libporutest.so
expect_eq "$OUT" "$LIB" "the executable's folder before the current folder"
cp "$LIB" "$S/libporutest.so"
where libporutest.so
expect_eq "$OUT" "$S/libporutest.so" "the script's folder before the executable's folder"

# A name with a separator is used as given (from the current folder), also written
# with "\"; the folders of bare names are not searched for it.
cp "$LIB" "$C/sub/libsub.so"
where sub/libsub.so
expect_eq "$OUT" "sub/libsub.so" "a relative path"
where 'sub\libsub.so'
expect_eq "$OUT" "sub/libsub.so" "a Windows separator"
where "$C/sub/libsub.so"
expect_eq "$OUT" "$C/sub/libsub.so" "an absolute path"
mv "$C/sub/libsub.so" "$S/sub/libsub.so"
where sub/libsub.so
expect_eq "$RC:$ERR" '1:[エラー] where.prk(2行目): DLL"sub/libsub.so"が見つかりません。' "not from the script's folder"

# A file name in Japanese is found under its native (UTF-8) name.
cp "$LIB" "$S/試験ライブラリ.so"
run_prk "$S" japanese << 'EOF'
「試験ライブラリ.so」の「int pt_add(int, int)」を「?に,?を」の「加算」として、DLLを利用
加算(20, 22)を、表示
EOF
expect_eq "$OUT" "42" "a Japanese file name"
finish

#!/usr/bin/env bash
# A folder, a FIFO, a device or an unreadable file under /proc as the start file
# gives the start-file message and exit status 2 in both executables (no abort, no
# waiting for a writer); 取り込む of such a file is an ordinary error naming it.
#
#   special_files.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0
mkdir folder.prk
mkfifo pipe.prk

for exe in porukana-cli porukana; do
  for path in "$work/folder.prk" "$work/pipe.prk" /dev/zero /proc/self/mem; do
    timeout 60 "$bin/$exe" "$path" > out.txt 2> err.txt < /dev/null
    rc=$?
    want="起動ファイル「$path」が読込めません。"
    if [ "$rc" != 2 ] || ! grep -qF "$want" err.txt; then
      echo "FAIL $exe $path: exit $rc, expected 2 and \"$want\""
      head -c 400 err.txt
      echo
      fail=1
    fi
  done
done

# 取り込む: the error names the file, the run goes on under エラーを無視.
printf '%s\n' 'エラーを無視' '「folder.prk」を、取り込む' 'エラーメッセージを、表示' \
  '「pipe.prk」を、取り込む' 'エラーメッセージを、表示' '「無い.prk」を、取り込む' 'エラーメッセージを、表示' \
  '「終」を、表示' | iconv -f UTF-8 -t CP932 > include.prk
timeout 60 "$bin/porukana-cli" include.prk > out.txt 2> err.txt < /dev/null
rc=$?
cat > want.txt <<'WANT'
[エラー] include.prk(2行目): ファイル"folder.prk"は、プログラムとして読めません。
[エラー] include.prk(4行目): ファイル"pipe.prk"は、プログラムとして読めません。
[エラー] include.prk(6行目): ファイル"無い.prk"が、ありません。
終
WANT
if [ "$rc" != 0 ] || ! diff -u want.txt out.txt; then
  echo "FAIL include of special files: exit $rc"
  cat err.txt
  fail=1
fi
exit $fail

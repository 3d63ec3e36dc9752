#!/usr/bin/env bash
# Writes on a full disk (a small tmpfs, so root only): 保存 leaves the old file
# whole and reports the error, 追加保存 cuts a partial append back, 表示 into
# 表示出力先 reports the error instead of losing the text silently.
#
#   full_disk.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
disk=$work/disk
mkdir -p "$disk"
trap 'umount "$disk" 2> /dev/null; rm -rf "$work"' EXIT
if [ "$(id -u)" != 0 ] || ! mount -t tmpfs -o size=256k tmpfs "$disk" 2> /dev/null; then
  echo "skipped: mounting a small tmpfs needs root"
  exit 77
fi
fail=0
head -c 200000 /dev/zero | tr '\0' 'x' > "$work/big.txt"

script() {   # script NAME < UTF-8 program text: NAME.prk (Shift_JIS) on the disk
  iconv -f UTF-8 -t CP932 > "$disk/$1.prk"
}
script save <<PRK
Tに、「$work/big.txt」を、読む
Tを、「old.txt」へ、保存
PRK
script append <<PRK
Tに、「$work/big.txt」を、読む
Tを、「old.txt」へ、追加保存
PRK
script show <<PRK
Tに、「$work/big.txt」を、読む
表示出力先は、「shown.txt」
Tを、表示
PRK
printf 'OLD' > "$disk/old.txt"
# Fill the disk but for about 16 KB, so that a write starts and then fails.
head -c 16384 /dev/zero > "$disk/spacer"
head -c 1000000 /dev/zero > "$disk/filler" 2> /dev/null
rm -f "$disk/spacer"

run() {   # run NAME LINE WANTED-ERROR-END
  (cd "$disk" && timeout 60 "$bin/porukana-cli" "$1.prk" < /dev/null > "$work/out" 2> "$work/err")
  local rc=$?
  if [ "$rc" != 1 ] || ! grep -qF "[エラー] $1.prk($2行目): " "$work/err" || ! grep -qF "$3" "$work/err"; then
    echo "FAIL $1: exit $rc, expected 1 and an error on line $2 ending \"$3\""
    cat "$work/err"
    fail=1
  fi
}
run save 2 'ファイル"old.txt"の、読み込みか書き込みに、失敗しました。'
[ "$(cat "$disk/old.txt")" = OLD ] || { echo "FAIL save: the old file was destroyed ($(stat -c %s "$disk/old.txt") bytes)"; fail=1; }
leftover=$(find "$disk" -name 'old.txt?*' | head -1)
[ -z "$leftover" ] || { echo "FAIL save: temporary file left: $leftover"; fail=1; }

run append 2 'old.txt"の、読み込みか書き込みに、失敗しました。'
[ "$(cat "$disk/old.txt")" = OLD ] || { echo "FAIL append: a partial append was left ($(stat -c %s "$disk/old.txt") bytes)"; fail=1; }

run show 3 'shown.txt"へ書き込めません。'
size=$(stat -c %s "$disk/shown.txt" 2> /dev/null || echo 0)
[ "$size" = 0 ] || { echo "FAIL show: a partial line was left ($size bytes)"; fail=1; }
exit $fail

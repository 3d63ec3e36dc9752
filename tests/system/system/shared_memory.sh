#!/usr/bin/env bash
# Named shared memory between two console run-times: a block stored by one process
# is read by another (cut to 256 bytes) while the writer lives, and is gone once the
# last process that stored into it has ended.
#   shared_memory.sh BIN_FOLDER
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
writer=
cleanup() {
    [ -n "$writer" ] && kill "$writer" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
sjis() { iconv -f UTF-8 -t CP932; }
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
block="共有試験$$"

# The writer stores 300 bytes (a two-byte text, then ASCII) and waits for "done".
sjis > "$work/writer.prk" <<PRK
それ=「書いた側」
Iを、1から、294まで、繰り返す
(
  それ=それ&「x」
)
「$block」へ、共有保存
「stored」を、「$work/stored」へ、書く
Iを、1から、400まで、繰り返す
(
  「$work/done」が、存在するか
  もし、それが、1ならば、抜ける
  0.05秒、待つ
)
PRK
sjis > "$work/reader.prk" <<PRK
「$block」を、共有読込
「{LENB(それ)}:{それ}」を、表示
PRK
sjis > "$work/number.prk" <<PRK
それ=「42」
「$block-数」へ、共有保存
「$block-数」を、共有読込
(それ+1)を、表示
PRK

"$bin/porukana-cli" "$work/writer.prk" > "$work/writer.out" 2>&1 &
writer=$!
for _ in $(seq 1 200); do [ -f "$work/stored" ] && break; sleep 0.05; done
check "the writer stored its block" test -f "$work/stored"

expected="256:書いた側$(printf 'x%.0s' $(seq 1 248))"
out=$("$bin/porukana-cli" "$work/reader.prk" 2>&1)
check "another process reads the first 256 bytes (got: $out)" test "$out" = "$expected"
out=$("$bin/porukana-cli" "$work/reader.prk" 2>&1)
check "reading does not take the block away (got: $out)" test "$out" = "$expected"

touch "$work/done"
wait "$writer"
check "the writer ended normally" test $? = 0
writer=
out=$("$bin/porukana-cli" "$work/reader.prk" 2>&1)
check "the block is gone with its last holder (got: $out)" test "$out" = "0:"

out=$("$bin/porukana-cli" "$work/number.prk" 2>&1)
check "a number read back is tagged as a number (got: $out)" test "$out" = "43"
exit $fail

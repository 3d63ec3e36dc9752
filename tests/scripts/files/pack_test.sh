#!/usr/bin/env bash
# A stand-alone program written by porukana-pack runs its packed script whatever
# the command line says (unless the first parameter is "-run"), extracts its packed
# files byte for byte, and leaves no temporary file behind.
#   pack_test.sh BIN_FOLDER   (the folder holding porukana-pack and porukana-cli)
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work XDG_DATA_HOME=$work/data LANG=C.UTF-8
mkdir -p "$TMPDIR" "$work/src/sub" "$work/app" "$work/elsewhere"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
sjis() { iconv -f UTF-8 -t CP932; }

cp "$here/bytes256.bin" "$work/src/bytes.bin"
printf 'こんにちは' | sjis > "$work/src/sub/日本語.txt"
sjis > "$work/src/main.prk" <<'PRK'
「梱包された台本」を、表示
Aに、「bytes.bin」を、読む
T=母艦のパス
Aを、「{T}out.bin」へ、書く
Bに、『sub\日本語.txt』を、読む
Bを、表示
Cに、「SUB/日本語.TXT」を、読む
Cを、表示
PRK
sjis > "$work/elsewhere/other.prk" <<'PRK'
「別の台本」を、表示
PRK

(cd "$work/src" && "$bin/porukana-pack" "$work/app/prog" main.prk bytes.bin sub/日本語.txt --console)
check "packer exit status" test $? = 0
check "program mode 0755" test "$(stat -c %a "$work/app/prog")" = 755
# The scrambled script cannot be read in the program file.
check "script is scrambled" test "$(printf '梱包された台本' | sjis | LC_ALL=C grep -c -a -F -f - "$work/app/prog")" = 0

expected=$(printf '梱包された台本\nこんにちは\nこんにちは')
out=$(cd "$work/elsewhere" && "$work/app/prog" -debug other.prk 2>&1)
check "exit status of the packed program" test $? = 0
check "packed script output (got: $out)" test "$out" = "$expected"
check "extracted bytes are exact" cmp -s "$work/src/bytes.bin" "$work/app/out.bin"
check "no temporary file left" test -z "$(ls -A "$TMPDIR")"

out=$(cd "$work/elsewhere" && "$work/app/prog" -run other.prk 2>&1)
check "-run runs the named script (got: $out)" test "$out" = "別の台本"
check "no temporary file left after -run" test -z "$(ls -A "$TMPDIR")"

# The same program given to the plain run-time with -runtime.
rm -f "$work/app/out.bin"
out=$(cd "$work/elsewhere" && "$bin/porukana-cli" -runtime "$work/app/prog" 2>&1)
check "-runtime output (got: $out)" test "$out" = "$expected"
check "no temporary file left after -runtime" test -z "$(ls -A "$TMPDIR")"

# A run-time that already carries a container is packed without it.
mkdir -p "$work/tools"
cp "$bin/porukana-pack" "$work/tools/porukana-pack"
cp "$work/app/prog" "$work/tools/porukana-cli"
(cd "$work/src" && "$work/tools/porukana-pack" "$work/app/prog2" main.prk bytes.bin sub/日本語.txt --console)
check "repacking keeps one container" cmp -s "$work/app/prog" "$work/app/prog2"

if [ $fail = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi

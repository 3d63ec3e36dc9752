#!/usr/bin/env bash
# Containers written by a script (ファイル合成) are read by the start-up code: as a
# program appended to a copy of the run-time, and as a "-resource" file. A packed
# program that starts a packed script (起動) hands its container to the new
# run-time, which reads the packed files too.
#   containers.sh BIN_FOLDER
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
mkdir -p "$TMPDIR" "$work/src" "$work/run"
sjis() { iconv -f UTF-8 -t CP932; }
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}

printf '梱包した資料' | sjis > "$work/src/data.txt"
sjis > "$work/src/main.prk" <<'PRK'
「梱包された台本」を、表示
Aに、「data.txt」を、読む
Aを、表示
「child.prk -security low」を、起動
F=TEMPのパス&「子の結果.txt」
Iを、1から、200まで、繰り返す
(
  Fが、存在するか
  もし、それが、1ならば、抜ける
  0.05秒、待つ
)
Bに、Fを、読む
「子: {B}」を、表示
PRK
# The child is started by the packed program (options after the script are read
# too); it reads a packed file as well.
sjis > "$work/src/child.prk" <<'PRK'
Aに、「data.txt」を、読む
T=TEMPのパス
Aを、「{T}子の結果.part」へ、書く
「{T}子の結果.part」から、「{T}子の結果.txt」へ、ファイル名変更
PRK
sjis > "$work/src/pack.prk" <<'PRK'
「main.prk,porukana.prk,1
child.prk,child.prk,1
data.txt,data.txt,0」を、「packed.fmx」へ、ファイル合成
「packed.fmx」から、「DATA.TXT」を、合成ファイル取り出す
それを、表示
PRK
printf '[pack.prk]\nsecurity=low\n[main.prk]\nsecurity=low\n' > "$work/src/security.ini"

out=$(cd "$work/src" && "$bin/porukana-cli" pack.prk 2>&1)
check "the script packed its files (got: $out)" test "$out" = "梱包した資料"
check "the script is scrambled in the container" \
    test "$(printf '梱包された台本' | sjis | LC_ALL=C grep -c -a -F -f - "$work/src/packed.fmx")" = 0

cat "$bin/porukana-cli" "$work/src/packed.fmx" > "$work/run/app"
chmod 755 "$work/run/app"
expected=$(printf '梱包された台本\n梱包した資料\n子: 梱包した資料')
out=$(cd "$work/run" && ./app 2>&1)
check "a run-time with the container appended runs it (got: $out)" test "$out" = "$expected"

printf '「別の台本」を、表示\nAに、「data.txt」を、読む\nAを、表示\n' | sjis > "$work/run/other.prk"
out=$(cd "$work/run" && "$bin/porukana-cli" -resource "$work/src/packed.fmx" other.prk 2>&1)
check "a container given as -resource serves its files (got: $out)" test "$out" = "$(printf '別の台本\n梱包した資料')"
exit $fail

#!/usr/bin/env bash
# Archive benchmark: packing and unpacking a folder of 2,000 small files and one
# 50 MB file, in ZIP and in LHA, by ぽるかな beside the command-line tools on the
# same folder. Prints CPU seconds (user + system) and wall-clock seconds of each
# step, the ratio to the tool, and checks every unpacked tree against the source.
#
#   bench/archive_run.sh [path/to/porukana-cli]
#
# Rows:
#   zip pack      圧縮 to .zip            beside  zip -q -r
#   zip unpack    解凍 of that .zip       beside  unzip -q
#   lzh pack      圧縮 to .lzh            beside  zip -q -r (Debian has no LHA writer:
#                                                 lhasa only reads)
#   lzh unpack    解凍 of that .lzh       beside  lhasa xq
# Target: ぽるかな within 1.5 times the tool's time.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
export LANG=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in zip unzip lhasa iconv; do
  command -v $tool > /dev/null || { echo "archive bench: $tool is not installed"; exit 1; }
done

# The folder: 2,000 text files of 1-4 KB in 20 folders, and one 50 MB file of
# mixed text and binary runs (compressible about 3:1), the same in every run.
src=$work/data/src
python3 - "$src" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(16)
words = [w.encode() for w in "archive folder file data pack unpack name size time table line word".split()]
def text(n):
    out = bytearray()
    while len(out) < n:
        out += rnd.choice(words) + (b"\n" if rnd.random() < 0.1 else b" ")
    return bytes(out[:n])
for d in range(20):
    os.makedirs(os.path.join(root, "d%02d" % d), exist_ok=True)
    for f in range(100):
        with open(os.path.join(root, "d%02d" % d, "f%03d.txt" % f), "wb") as fh:
            fh.write(text(rnd.randint(1000, 4000)))
with open(os.path.join(root, "big.bin"), "wb") as fh:
    block = text(1 << 20)
    for i in range(50):
        fh.write(block[i * 997:] + block[:i * 997] if i % 5 else rnd.randbytes(1 << 19) + block[: 1 << 19])
PY

# measure LABEL COMMAND...: "cpu wall" seconds, "error error" when it fails.
measure() {
  local t
  t=$(mktemp)
  if ! /usr/bin/time -f "%U %S %e" -o "$t" "$@" > /dev/null 2> "$work/last.err" < /dev/null; then
    echo "error error"
    cat "$work/last.err" >&2
  else
    awk '{ printf "%.2f %.2f\n", $1 + $2, $3 }' "$t"
  fi
  rm -f "$t"
}

prk() {   # prk NAME TEXT: a Shift_JIS program in the work folder
  printf '%s\n' "$2" | iconv -f UTF-8 -t CP932 > "$work/$1.prk"
}
prk zpack "「$src」を、「$work/p.zip」へ、圧縮する。"
prk zunpack "「$work/p.zip」を、「$work/pz」へ、解凍する。"
prk lpack "「$src」を、「$work/p.lzh」へ、圧縮する。"
prk lunpack "「$work/p.lzh」を、「$work/pl」へ、解凍する。"
cd "$work/data" || exit 1

row() {   # row LABEL "cpu wall" "cpu wall"
  local pc pw tc tw
  read -r pc pw <<< "$2"
  read -r tc tw <<< "$3"
  awk -v l="$1" -v pc="$pc" -v pw="$pw" -v tc="$tc" -v tw="$tw" 'BEGIN {
    r = (tc + 0 > 0) ? sprintf("%.2f", pc / tc) : "-";
    printf "%-12s %7s/%-7s %7s/%-7s %6s\n", l, pc, pw, tc, tw, r }'
}
verify() {   # verify LABEL FOLDER
  if ! diff -r "$src" "$1" > /dev/null; then
    echo "$2: the unpacked tree differs from the source" >&2
    status=1
  fi
}
status=0
printf '%-12s %15s %15s %6s\n' step "porukana" "tool" ratio
printf '%-12s %15s %15s %6s\n' "" "cpu/wall" "cpu/wall" "(cpu)"
row "zip pack" "$(measure "$cli" -security low "$work/zpack.prk")" "$(measure zip -q -r "$work/t.zip" src)"
row "zip unpack" "$(measure "$cli" -security low "$work/zunpack.prk")" "$(measure unzip -q "$work/t.zip" -d "$work/tz")"
verify "$work/pz/src" "porukana zip"
verify "$work/tz/src" "unzip"
row "lzh pack" "$(measure "$cli" -security low "$work/lpack.prk")" "$(measure zip -q -r "$work/t2.zip" src)"
mkdir -p "$work/tl"
row "lzh unpack" "$(measure "$cli" -security low "$work/lunpack.prk")" "$(cd "$work/tl" && measure lhasa xq "$work/p.lzh")"
verify "$work/pl/src" "porukana lzh"
verify "$work/tl/src" "lhasa"
ls -l "$work/p.zip" "$work/t.zip" "$work/p.lzh" | awk '{ printf "%s %d bytes\n", $NF, $5 }' | sed "s|$work/||"
echo "(seconds; target: porukana within 1.5 times the tool; LHA packing is compared with zip)"
exit $status

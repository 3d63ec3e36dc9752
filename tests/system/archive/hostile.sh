#!/usr/bin/env bash
# Hostile archives cannot reach past the destination or destroy what is there: a
# hard link that carries data does not write into a file that was there before
# (also in a tar named .zip and in a self-extracting program); a damaged entry
# leaves the file it was to replace as it was; device nodes and FIFOs are never
# made; a link through a link to "." cannot climb out of the destination.
bin=$(cd "$1" && pwd)
. "$(dirname "$0")/_lib.sh"
py=/usr/bin/python3
[ -x "$py" ] || { echo "skipped: $py is not installed"; exit 77; }

mk() {   # mk ARCHIVE < python lines that add members to the open tarfile `t`
  "$py" -c '
import io, sys, tarfile, time
t = tarfile.open(sys.argv[1], "w", format=tarfile.PAX_FORMAT)
def add(name, kind=tarfile.REGTYPE, data=b"", link="", mtime=None, **kw):
    i = tarfile.TarInfo(name)
    i.pax_headers = {"comment": "pax"}   # a pax archive: hard links may carry data
    i.type, i.linkname, i.size = kind, link, len(data)
    i.mtime = time.time() + 3600 if mtime is None else mtime
    for k, v in kw.items():
        setattr(i, k, v)
    t.addfile(i, io.BytesIO(data) if data else None)
exec(sys.stdin.read())
t.close()' "$1"
}

# ---- a hard link with data onto a file that was there before ----
mkdir -p "$work/d1"
printf 'OLD' > "$work/d1/victim.prk"
mk "$work/h.zip" <<'P'
add("x", tarfile.LNKTYPE, b"EVIL", link="victim.prk")
add("y.txt", data=b"fine")
P
run hard <<'P'
「h.zip」を、「d1」へ、解凍する。
P
check "hard link: status $rc ($(cat "$work/hard.err"))" [ "$rc" = 0 ]
check "hard link: the old file kept" [ "$(cat "$work/d1/victim.prk")" = OLD ]
check "hard link: the other entry written" [ "$(cat "$work/d1/y.txt" 2> /dev/null)" = fine ]
# A hard link to a file of the same archive still works.
mk "$work/h2.tar" <<'P'
add("a.txt", data=b"same")
add("b.txt", tarfile.LNKTYPE, link="a.txt")
P
run hard2 <<'P'
「h2.tar」を、「d2」へ、解凍する。
P
check "hard link inside the archive" [ "$(stat -c %i "$work/d2/a.txt")" = "$(stat -c %i "$work/d2/b.txt" 2> /dev/null)" ]

# ---- the self-extracting program without -o ----
printf 'fine' > "$work/y.txt"
run mksfx <<'P'
「y.txt」を、「setup」へ、自己解凍書庫作成
P
if [ -x "$work/setup.exe" ] || [ -x "$work/setup" ]; then
  sfx=$work/setup.exe
  [ -x "$sfx" ] || sfx=$work/setup
  # Replace its archive by the hostile tar, keeping the trailer format.
  "$py" - "$sfx" "$work/h.zip" <<'P'
import struct, sys
exe, tar = sys.argv[1], sys.argv[2]
data = open(exe, "rb").read()
start = struct.unpack("<Q", data[-8:])[0]
body = data[:start]
open(exe, "wb").write(body + open(tar, "rb").read() + data[-16:-8] + struct.pack("<Q", len(body)))
P
  mkdir -p "$work/d3"
  printf 'OLD' > "$work/d3/victim.prk"
  "$sfx" -d "$work/d3" < /dev/null > /dev/null 2>&1
  check "sfx hard link: the old file kept" [ "$(cat "$work/d3/victim.prk")" = OLD ]
else
  echo "FAIL the self-extracting program was not made: $(cat "$work/mksfx.err")"
  fail=1
fi

# ---- a damaged entry that was to replace a file ----
mkdir -p "$work/d4"
printf 'OLD' > "$work/d4/a.txt"
mk "$work/cut.tar" <<'P'
add("a.txt", data=b"n" * 200000)
P
head -c 100000 "$work/cut.tar" > "$work/cut2.tar"
run cut <<'P'
「cut2.tar」を、「d4」へ、解凍する。
P
check "damaged entry: an error (status $rc)" [ "$rc" = 1 ]
check "damaged entry: the old file kept" [ "$(cat "$work/d4/a.txt")" = OLD ]
check "damaged entry: nothing left beside it" [ "$(ls -A "$work/d4")" = a.txt ]

# ---- device nodes and FIFOs ----
mk "$work/dev.tar" <<'P'
add("disk", tarfile.BLKTYPE, devmajor=8, devminor=0)
add("tty", tarfile.CHRTYPE, devmajor=4, devminor=1)
add("pipe", tarfile.FIFOTYPE)
add("plain.txt", data=b"p")
P
run dev <<'P'
「dev.tar」を、「d5」へ、解凍する。
P
check "devices: status $rc ($(cat "$work/dev.err"))" [ "$rc" = 0 ]
check "devices: none made" [ "$(ls -A "$work/d5")" = plain.txt ]

# ---- a link through a link to "." ----
mk "$work/up.tar" <<'P'
add("a", tarfile.SYMTYPE, link=".")
add("up", tarfile.SYMTYPE, link="a/a/a/../../..")
P
mkdir -p "$work/deep/er"
run up <<'P'
「up.tar」を、「deep/er/d6」へ、解凍する。
P
expect_err up '[エラー] up.prk(1行目): 解凍のエラー。解凍先"deep/er/d6"、解凍元"up.tar"。オプション="-a1 -r2 -x1 -jp1 -c0 -m1"。書庫の中のリンク"up"（"a/a/a/../../.."へのリンク）は解凍先の外を指しているため、解凍しません。'
check "link chain: no link made" [ ! -L "$work/deep/er/d6/up" ]
# The same links the other way round, and a link changed after another was made
# through it: no link may end up leading out.
mk "$work/up2.tar" <<'P'
add("up", tarfile.SYMTYPE, link="a/a/a/../../..")
add("a", tarfile.SYMTYPE, link=".")
P
mk "$work/up3.tar" <<'P'
add("b", tarfile.DIRTYPE)
add("a", tarfile.SYMTYPE, link="b")
add("up", tarfile.SYMTYPE, link="a/..")
add("a", tarfile.SYMTYPE, link=".", mtime=time.time() + 7200)   # newer: it would replace the first
P
for t in up2 up3; do
  run "$t" <<P
エラーを無視
「$t.tar」を、「deep/er/$t」へ、解凍する。
P
  for l in "$work/deep/er/$t"/*; do
    real=$(realpath -m "$l")
    case $real in
      "$work/deep/er/$t" | "$work/deep/er/$t"/*) ;;
      *) echo "FAIL $t: $l leads to $real"; fail=1 ;;
    esac
  done
done
exit $fail

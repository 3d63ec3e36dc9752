# Shared by the archive system tests: a private work folder, a script runner and
# checks. Source it after setting `bin` to the folder of the built executables.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work/home LANG=C.UTF-8
mkdir -p "$TMPDIR" "$HOME"
cli=$bin/porukana-cli
fail=0

# run NAME [cli options...] < UTF-8 program text: writes $work/NAME.prk (Shift_JIS)
# and runs it in $work; output in $work/NAME.out and $work/NAME.err, status in $rc.
run() {
  local name=$1
  shift
  iconv -f UTF-8 -t CP932 > "$work/$name.prk"
  (cd "$work" && "$cli" "$@" "$name.prk" < /dev/null > "$name.out" 2> "$name.err")
  rc=$?
}

# expect_err NAME TEXT: the error output of run NAME is exactly TEXT (one line).
expect_err() {
  local got
  got=$(cat "$work/$1.err")
  if [ "$got" != "$2" ]; then
    echo "FAIL $1: stderr"
    echo "  want: $2"
    echo "  got:  $got"
    fail=1
  fi
}

check() {   # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL $what"
    fail=1
  fi
}

same_tree() {   # same_tree A B: identical files and contents
  diff -r "$1" "$2" > /dev/null
}

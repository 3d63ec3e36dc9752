# Shared by the tests of library-function words (sourced): a work folder removed at
# the end whatever happens, the test library, and running scripts.
#
#   source "$(dirname "$0")/_lib.sh" "$1"
#   run_prk DIR NAME [ARGS...] < UTF-8 program   # runs DIR/NAME.prk from the current folder
#   expect_eq "$OUT" "wanted" "what is checked"
set -uo pipefail

BIN=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
CLI="$BIN/porukana-cli"
LIB="$BIN/libporutest.so"
[ -f "$LIB" ] || { echo "skipped: $LIB not built"; exit 77; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/porukana-dll-XXXXXX")
mkdir -p "$WORK/tmp"
export TMPDIR="$WORK/tmp" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$WORK"' EXIT
FAILURES=0

# run_prk DIR NAME [ARGS...]: writes DIR/NAME.prk (Shift_JIS) from standard input and
# runs it in the console host from the current folder; sets OUT, ERR (UTF-8) and RC.
run_prk() {
    local dir=$1 name=$2
    shift 2
    iconv -f UTF-8 -t CP932 > "$dir/$name.prk"
    timeout 60 "$CLI" "$dir/$name.prk" "$@" < /dev/null > "$WORK/$name.out" 2> "$WORK/$name.err"
    RC=$?
    OUT=$(cat "$WORK/$name.out")
    ERR=$(cat "$WORK/$name.err")
}

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

expect_eq() {
    if [ "$1" != "$2" ]; then
        fail "$3"
        echo "--- expected"
        printf '%s\n' "$2"
        echo "--- got"
        printf '%s\n' "$1"
        [ -n "${ERR:-}" ] && printf -- '--- stderr\n%s\n' "$ERR"
    fi
}

finish() {
    if [ "$FAILURES" -ne 0 ]; then
        echo "$FAILURES check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

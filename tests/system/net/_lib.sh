# Shared by the network tests (sourced): a work folder, local servers started on
# free ports and stopped at the end whatever happens, and running scripts.
#
#   source "$(dirname "$0")/_lib.sh" "$1"
#   start_server http "$WORK/www"          # sets PORT
#   run_prk name <<'EOF' ... EOF           # sets OUT, ERR, RC
#   expect_eq "$OUT" "hello" "download"
set -uo pipefail

BIN=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
CLI="$BIN/porukana-cli"
PY=/usr/bin/python3   # Debian's python3 carries the server modules
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ ! -x "$PY" ]; then
    echo "skipped: $PY is not installed"
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/porukana-net-XXXXXX")
mkdir -p "$WORK/tmp" "$WORK/scripts"
export TMPDIR="$WORK/tmp" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Tests talk to 127.0.0.1 only: a proxy of the machine must not be in the way.
unset http_proxy https_proxy HTTPS_PROXY ftp_proxy all_proxy ALL_PROXY no_proxy NO_PROXY

SERVER_PIDS=()
FAILURES=0

cleanup() {
    local pid
    for pid in "${SERVER_PIDS[@]}"; do
        kill "$pid" 2> /dev/null
        wait "$pid" 2> /dev/null
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

need_module() {
    if ! "$PY" -c "import $1" 2> /dev/null; then
        echo "skipped: python module $1 is missing (Debian package $2)"
        exit 77
    fi
}

# start_server KIND ARGS...: starts a server of _servers.py and sets PORT (and
# SERVER_PID) once it listens.
start_server() {
    local kind=$1
    shift
    local portfile="$WORK/port.$kind.$RANDOM"
    "$PY" "$HERE/_servers.py" "$kind" "$portfile" "$@" > "$WORK/$kind.server.log" 2>&1 &
    SERVER_PID=$!
    SERVER_PIDS+=("$SERVER_PID")
    local i
    for i in $(seq 100); do
        if [ -s "$portfile" ]; then
            PORT=$(cat "$portfile")
            return 0
        fi
        if ! kill -0 "$SERVER_PID" 2> /dev/null; then
            break
        fi
        sleep 0.1
    done
    echo "FAIL: the $kind server did not start:"
    cat "$WORK/$kind.server.log"
    exit 1
}

stop_server() {
    kill "$1" 2> /dev/null
    wait "$1" 2> /dev/null
}

# A port nothing listens on (bound once, then released).
closed_port() {
    "$PY" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# run_prk NAME [ARGS...] < UTF-8 program text: writes $WORK/scripts/NAME.prk in
# Shift_JIS and runs it in the console host with empty standard input (every question
# of the security gate is refused); sets OUT, ERR (UTF-8) and RC.
run_prk() {
    local name=$1
    shift
    local prk="$WORK/scripts/$name.prk"
    iconv -f UTF-8 -t CP932 > "$prk"
    (cd "$WORK/scripts" && timeout 60 "$CLI" "$@" "$prk" < /dev/null > "$WORK/$name.out" 2> "$WORK/$name.err")
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

expect_true() {
    local label=$1
    shift
    if ! "$@"; then
        fail "$label"
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

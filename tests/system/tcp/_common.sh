# Shared by the TCP system tests (sourced): a work folder that goes on exit, the
# processes a test started stopped by their PID, free ports on 127.0.0.1, and
# programs written in UTF-8 and stored as Shift_JIS.
set -u
# The last command of a pipeline runs in this shell, so that `printf ... | expect_file`
# can record a failure.
shopt -s lastpipe
bin=$1
cli=$bin/porukana-cli
gui=$bin/porukana
if ! command -v python3 > /dev/null; then
  echo "skipped: python3 is needed for the socket peers"
  exit 77
fi
work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$work/run"
cd "$work" || exit 1
fail=0

# prk NAME: stores the program read from standard input as NAME.prk.
prk() { iconv -f UTF-8 -t CP932 > "$work/$1.prk"; }

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start NAME ARGS...: runs NAME.prk in the console in the background, its output in
# NAME.out and NAME.err; the PID is in $last.
start() {
  local name=$1
  shift
  "$cli" "$name.prk" "$@" > "$work/$name.out" 2> "$work/$name.err" &
  last=$!
  pids+=("$last")
}

# wait_line FILE TEXT [SECONDS]: waits until FILE holds a line containing TEXT.
wait_line() {
  local i
  for ((i = 0; i < ${3:-10} * 20; i++)); do
    grep -qF -- "$2" "$1" 2> /dev/null && return 0
    sleep 0.05
  done
  echo "timed out waiting for \"$2\" in $(basename "$1"):"
  cat "$1"
  return 1
}

# wait_exit PID SECONDS: the exit status of a process, which is killed when it has
# not ended within SECONDS (status 124).
wait_exit() {
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    if ! kill -0 "$1" 2> /dev/null; then
      wait "$1"
      return $?
    fi
    sleep 0.05
  done
  kill "$1" 2> /dev/null
  wait "$1" 2> /dev/null
  echo "process $1 did not end within $2 s"
  return 124
}

# expect_file FILE: compares FILE with the text on standard input.
expect_file() {
  if ! diff -u - "$work/$1" > "$work/diff"; then
    echo "$1 differs from what was expected:"
    head -n 40 "$work/diff"
    fail=1
  fi
}

# expect_status WHAT GOT WANT
expect_status() {
  if [ "$2" != "$3" ]; then
    echo "$1: exit status $2, expected $3"
    fail=1
  fi
}

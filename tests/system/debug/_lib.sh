# Shared by the debugger system tests (sourced): a work folder with its own runtime
# folder (so the request channels are private to the test), the processes a test
# started stopped by their PID, and programs written in UTF-8 stored as Shift_JIS.
set -u
bin=$1
cli=$bin/porukana-cli
gui=$bin/porukana
send=$bin/porukana-send
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

# start EXE NAME [ARGS...]: runs NAME.prk in the background with standard input from
# NAME.in (or nothing), its output in NAME.out and NAME.err; the PID is in $last.
start() {
  local exe=$1 name=$2
  shift 2
  local input=/dev/null
  [ -e "$work/$name.in" ] && input=$work/$name.in
  "$exe" "$name.prk" "$@" < "$input" > "$work/$name.out" 2> "$work/$name.err" &
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
  fail=1
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

# expect_status WHAT GOT WANT
expect_status() {
  if [ "$2" != "$3" ]; then
    echo "$1: exit status $2, expected $3"
    fail=1
  fi
}

# expect_file NAME: compares the file NAME with the text on standard input.
expect_file() {
  if ! diff -u - "$work/$1" > "$work/diff"; then
    echo "$1 differs from what was expected:"
    head -n 40 "$work/diff"
    fail=1
  fi
}

# expect_grep FILE TEXT: FILE holds a line containing TEXT.
expect_grep() {
  if ! grep -qF -- "$2" "$work/$1"; then
    echo "$1 lacks \"$2\":"
    cat "$work/$1"
    fail=1
  fi
}

# socket_of SERVICE TOPIC: the socket file of a short (service, topic) name, ASCII
# letters in lower case, the names' Shift_JIS bytes in hexadecimal.
socket_of() {
  local s t
  s=$(printf '%s' "$1" | tr 'A-Z' 'a-z' | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n')
  t=$(printf '%s' "$2" | tr 'A-Z' 'a-z' | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n')
  echo "$XDG_RUNTIME_DIR/porukana/porukana-dde.$s.$t"
}

# wait_gone FILE [SECONDS]: waits until FILE no longer exists.
wait_gone() {
  local i
  for ((i = 0; i < ${2:-5} * 20; i++)); do
    [ -e "$1" ] || return 0
    sleep 0.05
  done
  echo "$(basename "$1") is still there"
  fail=1
  return 1
}

# wait_file FILE [SECONDS]: waits until FILE exists.
wait_file() {
  local i
  for ((i = 0; i < ${2:-5} * 20; i++)); do
    [ -e "$1" ] && return 0
    sleep 0.05
  done
  echo "$(basename "$1") did not appear"
  fail=1
  return 1
}

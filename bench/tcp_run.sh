#!/usr/bin/env bash
# TCP benchmark: ぽるかな beside python3 (socket module, blocking), both sides of
# each exchange in the same language, on 127.0.0.1.
#
#   bench/tcp_run.sh [path/to/porukana-cli] [runs]
#
# Rows:
#   round trips  an echo server and a client exchanging 10,000 short lines one at a
#                time (each line is sent when the previous one has come back);
#                the client's wall-clock time, including its start, as round trips
#                per second
#   10 MB        a client sends a 10 MB file at once to a server that counts the
#                bytes; wall-clock seconds from the client's start until the server
#                has printed the count
# Each figure is the best of `runs` runs (default 3); every program's output is
# checked. Targets: round trips at least 0.5 times python3's, the transfer at most
# 2 times python3's time.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
runs=${2:-3}
export LANG=C.UTF-8
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2> /dev/null; rm -rf "$work"' EXIT
head -c 10485760 /dev/urandom > "$work/10mb.bin"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start_server READY COMMAND...: starts a server and waits until it has printed READY.
start_server() {
  local ready=$1 i
  shift
  rm -f "$work/server.out"   # the child truncates it only once it runs
  timeout 120 "$@" > "$work/server.out" 2> "$work/server.err" &
  server=$!
  for ((i = 0; i < 200; i++)); do
    grep -qF "$ready" "$work/server.out" 2> /dev/null && return 0
    sleep 0.025
  done
  echo "server did not start: $*" >&2
  cat "$work/server.err" >&2
  return 1
}

now() { date +%s.%N; }

# one_run KIND LANG: prints the seconds of one run, or "error".
one_run() {
  local kind=$1 lang=$2 port t0 t1 out ready
  port=$(free_port)
  if [ "$lang" = porukana ]; then ready=起動中; else ready=ready; fi
  if [ "$kind" = echo ]; then
    if [ "$lang" = porukana ]; then
      start_server "$ready" "$cli" "$here/tcp_echo_server.prk" "$port" || { echo error; return; }
      t0=$(now); out=$("$cli" "$here/tcp_echo_client.prk" "$port" 2>&1); t1=$(now)
    else
      start_server "$ready" python3 "$here/tcp.py" echo-server "$port" || { echo error; return; }
      t0=$(now); out=$(python3 "$here/tcp.py" echo-client "$port" 2>&1); t1=$(now)
    fi
    [ "$out" = 10000 ] || kill "$server" 2> /dev/null
    wait "$server"
    server=
    [ "$out" = 10000 ] || { echo "echo/$lang printed: $out" >&2; echo error; return; }
  else
    if [ "$lang" = porukana ]; then
      start_server "$ready" "$cli" "$here/tcp_sink.prk" "$port" || { echo error; return; }
      t0=$(now); "$cli" "$here/tcp_source.prk" "$port" "$work/10mb.bin"
    else
      start_server "$ready" python3 "$here/tcp.py" sink "$port" || { echo error; return; }
      t0=$(now); python3 "$here/tcp.py" source "$port" "$work/10mb.bin"
    fi
    wait "$server"
    t1=$(now)
    server=
    out=$(tail -n 1 "$work/server.out")
    [ "$out" = 10485760 ] || { echo "10mb/$lang printed: $out" >&2; echo error; return; }
  fi
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }'
}

# best KIND LANG: the smallest time of the runs.
best() {
  local i t b=
  for ((i = 0; i < runs; i++)); do
    t=$(one_run "$1" "$2")
    [ "$t" = error ] && { echo error; return; }
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  echo "$b"
}

pe=$(best echo porukana)
ye=$(best echo python3)
pt=$(best transfer porukana)
yt=$(best transfer python3)
rate() { case "$1" in error) echo error ;; *) awk -v t="$1" 'BEGIN { printf "%.0f", 10000 / t }' ;; esac; }
ratio() { case "$1$2" in *error*) echo - ;; *) awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }' ;; esac; }
printf '%-22s %12s %12s %10s %s\n' benchmark porukana python3 ratio target
printf '%-22s %12s %12s %10s %s\n' "round trips (per s)" "$(rate "$pe")" "$(rate "$ye")" \
  "$(ratio "$(rate "$pe")" "$(rate "$ye")")" ">= 0.5"
printf '%-22s %12s %12s %10s %s\n' "10 MB one way (s)" "$pt" "$yt" "$(ratio "$pt" "$yt")" "<= 2"

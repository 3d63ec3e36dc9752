#!/usr/bin/env bash
# Runs one script through the console host and compares what it printed with the
# expectations beside it: NAME.out (stdout), NAME.err (stderr, optional),
# NAME.code (exit status, default 0), NAME.in (standard input, optional),
# NAME.args (extra command-line arguments, optional).
set -u
cli=$1; prk=$2
base=${prk%.prk}
dir=$(dirname "$prk")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
# Request channels of their own (the run-time's server, DDE servers).
mkdir -m 700 "$work/run" && export XDG_RUNTIME_DIR=$work/run
args=()
[ -f "$base.args" ] && read -r -a args < "$base.args"
input=/dev/null
[ -f "$base.in" ] && input=$base.in
cd "$dir"
timeout 50 "$cli" "$prk" "${args[@]}" < "$input" > "$work/stdout" 2> "$work/stderr"
code=$?
# Folders named in messages (the folders a file was searched in) are written in
# NAME.err as @HERE@ (the script's folder) and @PREFIX@ (the folder above bin/;
# PORUKANA_TEST_PREFIX when the run-time is reached through a wrapper elsewhere).
prefix=${PORUKANA_TEST_PREFIX:-$(cd "$(dirname "$cli")/.." && pwd)}
here=$(pwd)
sed -i -e "s|$here/|@HERE@/|g" -e "s|$prefix/|@PREFIX@/|g" "$work/stderr"
want_code=0
[ -f "$base.code" ] && want_code=$(cat "$base.code")
fail=0
if [ -f "$base.out" ]; then
  if ! diff -u "$base.out" "$work/stdout" > "$work/diff"; then
    echo "stdout differs:"; cat "$work/diff"; fail=1
  fi
elif [ -s "$work/stdout" ]; then
  echo "unexpected stdout:"; cat "$work/stdout"; fail=1
fi
if [ -f "$base.err" ]; then
  if ! diff -u "$base.err" "$work/stderr" > "$work/diff"; then
    echo "stderr differs:"; cat "$work/diff"; fail=1
  fi
elif [ "$want_code" = 0 ] && [ -s "$work/stderr" ]; then
  echo "unexpected stderr:"; cat "$work/stderr"; fail=1
fi
if [ "$code" != "$want_code" ]; then
  echo "exit status $code, expected $want_code"; cat "$work/stderr"; fail=1
fi
exit $fail

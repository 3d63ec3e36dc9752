#!/usr/bin/env bash
# porukana-cli --check on one mistaken program: what it writes on standard error
# (NAME.err, nothing when absent) and its exit status (NAME.code, 0 when absent).
set -u
cli=$1; prk=$2
base=${prk%.prk}
cd "$(dirname "$prk")" || exit 1
err=$("$cli" --check "$(basename "$prk")" 2>&1 >/dev/null)
code=$?
want_code=0
[ -f "$base.code" ] && want_code=$(cat "$base.code")
want_err=
[ -f "$base.err" ] && want_err=$(cat "$base.err")
fail=0
if [ "$err" != "$want_err" ]; then
  echo "stderr differs:"; diff <(echo "$want_err") <(echo "$err"); fail=1
fi
if [ "$code" != "$want_code" ]; then
  echo "exit status $code, expected $want_code"; fail=1
fi
exit $fail

#!/usr/bin/env bash
# A script that runs out of memory below the per-command limit (a text doubled in a
# loop, in a 400 MiB address space) gets the memory message with its file and line
# and exit status 1, in the console, and the run-time survives to report it.
#
#   out_of_memory.sh BIN_DIR
bin=$(cd "${1:?usage: out_of_memory.sh BIN_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf 'A=「ab」\r\n28回、A=A&A\r\n「後」を、表示する。\r\n' | iconv -f UTF-8 -t CP932 > mem.prk
(ulimit -v 400000; timeout 60 "$bin/porukana-cli" mem.prk > out.txt 2> err.txt < /dev/null)
rc=$?
want="[エラー] mem.prk(2行目): メモリが足りません。"
if [ "$rc" != 1 ] || [ "$(cat err.txt)" != "$want" ] || [ -s out.txt ]; then
  echo "FAIL: exit $rc, expected 1 and \"$want\""
  head -c 400 err.txt out.txt
  exit 1
fi
echo "memory message with file and line"

#!/usr/bin/env bash
# HTTP download benchmark: HTTPダウンロード of a 100 MB file from a local HTTP server
# beside curl(1) fetching the same file from the same server. Each side runs ROUNDS
# times (default 3) and the best wall-clock time counts; the downloaded file is
# compared with the original every time, so a fast wrong answer is an error.
#
#   bench/http_run.sh [path/to/porukana-cli] [size in MB]
#
# Prints the seconds and MB/s of each side and ぽるかな's throughput relative to curl.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/porukana-cli}
mb=${2:-100}
rounds=${ROUNDS:-3}
py=/usr/bin/python3
export LANG=C.UTF-8
unset http_proxy https_proxy no_proxy

for tool in "$py" curl "$cli"; do
  if ! command -v "$tool" > /dev/null 2>&1; then
    echo "http_run: $tool not found" >&2
    exit 1
  fi
done

work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2> /dev/null && wait "$server" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www/files"
head -c $((mb * 1048576)) /dev/urandom > "$work/www/files/big.bin"
"$py" "$here/../tests/system/net/_servers.py" http "$work/port" "$work/www" > /dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/files/big.bin"

printf '「%s」を、「%s」へ、HTTPダウンロード\n' "$url" "$work/out.bin" | iconv -f UTF-8 -t CP932 > "$work/download.prk"

# best SECONDS of COMMAND... over the rounds; "error" when a download differs.
best() {
  local t=""
  for _ in $(seq "$rounds"); do
    rm -f "$work/out.bin"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null 2>&1 < /dev/null
    t1=$(date +%s.%N)
    if ! cmp -s "$work/out.bin" "$work/www/files/big.bin"; then
      echo error
      return
    fi
    t=$(awk -v a="$t0" -v b="$t1" -v t="$t" 'BEGIN { d = b - a; if (t == "" || d < t) t = d; printf "%.3f", t }')
  done
  echo "$t"
}

curl_s=$(best curl -s -o "$work/out.bin" "$url")
poru_s=$(best "$cli" "$work/download.prk")

rate() { awk -v s="$1" -v mb="$mb" 'BEGIN { if (s > 0) printf "%.0f", mb / s; else print "-" }'; }
printf '%-12s %9s %9s\n' "download" "seconds" "MB/s"
printf '%-12s %9s %9s\n' "curl" "$curl_s" "$(rate "$curl_s")"
printf '%-12s %9s %9s\n' "ぽるかな" "$poru_s" "$(rate "$poru_s")"
case "$curl_s$poru_s" in
*error*) echo "a download differed from the file"; exit 1 ;;
esac
awk -v c="$curl_s" -v p="$poru_s" 'BEGIN { printf "throughput relative to curl: %.2f\n", c / p }'

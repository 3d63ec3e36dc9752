#!/usr/bin/env bash
# The samples of the network commands run against local servers (HTTP, FTP, SMTP and
# POP3 on fixed ports, tests/docs/sample_servers.py): a page of the HTTP server, a few
# files of the FTP server, a mailbox of one mail. Then the samples are run as every family's are.
#   net_samples.sh DOCGEN [RUN OPTIONS...] BIN_DIR DATA_FILE
set -u
gen=$1; shift
work=$(mktemp -d)
python3 "$(dirname "$0")/sample_servers.py" "$work" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/www" "$work/mailbox"
printf 'ぽるかなのページです。\n二行目です。\n' | iconv -f UTF-8 -t CP932 > "$work/www/hello.txt"
printf 'From: you@example.com\r\nTo: me@example.com\r\nSubject: =?UTF-8?B?44GT44KT44Gr44Gh44Gv?=\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nHello from the sample server.\r\n' > "$work/mailbox/1.eml"
# The FTP root: a folder to read (its times fixed, so that listings show the same
# line every time) and one folder of its own for each sample that changes something.
mkdir -p "$work/ftp/pub/docs" "$work/ftp/upload" "$work/ftp/del" "$work/ftp/mk" "$work/ftp/rm/old" "$work/ftp/chmod"
printf 'ぽるかなのFTPサーバーです。\r\n' | iconv -f UTF-8 -t CP932 > "$work/ftp/pub/readme.txt"
printf 'x' > "$work/ftp/pub/a.cgi"
printf '#!/bin/sh\n' > "$work/ftp/chmod/a.cgi"
chmod 644 "$work/ftp/pub/a.cgi" "$work/ftp/chmod/a.cgi" "$work/ftp/pub/readme.txt"
touch -d '2024-01-02 03:04:00 UTC' "$work/ftp/pub/readme.txt" "$work/ftp/pub/a.cgi" "$work/ftp/chmod/a.cgi"
for _ in $(seq 100); do [ -f "$work/ready" ] && break; sleep 0.1; done
[ -f "$work/ready" ] || { echo "the sample servers did not start"; exit 1; }
"$gen" run "$@"

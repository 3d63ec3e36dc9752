#!/usr/bin/env bash
# DDE送信 starts DDEファイル名 when no server answers and keeps trying until the
# started program serves the name; a program that never serves it ends in the link
# error after a few seconds.
. "$(dirname "$0")/_lib.sh"

prk server <<'EOF_'
受信を呼ぶ、「自動」という、DDEサーバー作成
待機
*受信
DDE文字列を、「received.txt」へ、保存
終わり
EOF_
prk client <<'EOF_'
DDEファイル名=「server.prk」
「porukana-cli」の、「自動」に、「起こして送る」を、DDE送信
「送った」を、表示
EOF_
prk never <<'EOF_'
DDEファイル名=「/bin/true」
「porukana-cli」の、「来ない」に、「x」を、DDE送信
EOF_

"$cli" client.prk > client.out 2> client.err
expect_status client $? 0
expect_file client.out <<'EOF_'
送った
EOF_
for ((i = 0; i < 100; i++)); do [ -s received.txt ] && break; sleep 0.05; done
printf '起こして送る' | iconv -f UTF-8 -t CP932 | cmp -s - received.txt || {
  echo "received.txt:"; cat received.txt; fail=1
}
# The started server ended (終わり after the command) and gave its name up.
wait_gone "$(socket_of porukana-cli 自動)"

started=$(date +%s)
"$cli" never.prk > never.out 2> never.err
expect_status never $? 1
took=$(( $(date +%s) - started ))
expect_grep never.err '[エラー] never.prk(2行目): サーバー"porukana-cli"トピック"来ない"でエラー。リンク出来ませんでした。'
if [ "$took" -lt 4 ] || [ "$took" -gt 15 ]; then
  echo "the attempts after starting took $took s"
  fail=1
fi
exit $fail

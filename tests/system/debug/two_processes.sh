#!/usr/bin/env bash
# Script servers between two console run-times: DDEサーバー作成 in one, DDE送信 from
# the other. The label runs as an event with DDE文字列 set, also while the server's
# main text waits in 待つ (the waiting statement goes on afterwards); names ignore
# the case of ASCII letters; a text of several lines arrives whole.
. "$(dirname "$0")/_lib.sh"

prk server <<'EOF_'
受信を呼ぶ、「受付」という、DDEサーバー作成
届いた=0
「準備」を、表示
(届いた<2)で、ループ
(
  0.05秒、待つ
)
「待ち終わり{届いた}」を、表示
待機
*受信
届いた=届いた+1
「受信[{DDE文字列}]」を、表示
もし、DDE文字列=「終」ならば、終わり
EOF_
prk client <<'EOF_'
「PORUKANA-CLI」の、「受付」に、「こんにちは」を、DDE送信
「porukana-cli」の、「受付」に、「一行目
二行目」を、DDE送信
「porukana-cli」の、「受付」に、「終」を、DDE送信
「送った」を、表示
EOF_

start "$cli" server
server=$last
wait_line server.out 準備 || exit 1
"$cli" client.prk > client.out 2> client.err
expect_status client $? 0
wait_exit "$server" 10
expect_status server $? 0
expect_file client.out <<'EOF_'
送った
EOF_
expect_file server.out <<'EOF_'
準備
受信[こんにちは]
受信[一行目
二行目]
待ち終わり2
受信[終]
EOF_
[ -s server.err ] && { echo "server.err:"; cat server.err; fail=1; }
# The server's name went with it.
"$cli" client.prk > again.out 2> again.err
expect_status "client without server" $? 1
expect_grep again.err '[エラー] client.prk(1行目): サーバー"PORUKANA-CLI"トピック"受付"でエラー。リンク出来ませんでした。'
exit $fail

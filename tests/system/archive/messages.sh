#!/usr/bin/env bash
# The archive commands' messages, byte for byte: the wrapping texts with the last
# command line and the option text, the format errors, the missing-library text,
# the base-folder rule, ".lzh" added to names without an extension, and the gate.
bin=$1
. "$(dirname "$0")/_lib.sh"
opts='-a1 -r2 -x1 -l1 -jp1 -o2 -ji0'
mkdir -p "$work/src/sub"
echo one > "$work/src/a.txt"
echo two > "$work/src/sub/b.txt"

run unknown <<'P'
「src/a.txt」を、「x.unknown」へ、圧縮する。
P
expect_err unknown "[エラー] unknown.prk(1行目): ファイル圧縮のエラー。コマンドライン=\"\"。オプション=\"$opts\"。書庫の形式を判別できません。"

run rar <<'P'
「src/a.txt」を、「x.rar」へ、圧縮する。
P
expect_err rar "[エラー] rar.prk(1行目): ファイル圧縮のエラー。コマンドライン=\"\"。オプション=\"$opts\"。この形式では書庫ファイルの作成をサポートしておりません。"

run gca <<'P'
「src/a.txt」を、「x.gca」へ、圧縮する。
P
expect_err gca "[エラー] gca.prk(1行目): 書庫の形式を特定できませんでした。"

run gca2 <<'P'
「x.gca」を、「out」へ、解凍する。
P
expect_err gca2 "[エラー] gca2.prk(1行目): 解凍のエラー。解凍先\"out\"、解凍元\"x.gca\"。オプション=\"-a1 -r2 -x1 -jp1 -c0 -m1\"。書庫の形式を特定できませんでした。"

# BGA has no library here: the message names it, after the whole command line.
# The base folder is the deepest folder holding every line; the names below it
# keep their subfolders (the expanded list is sorted).
run bga <<P
「$work/src/a.txt
$work/src/sub/b.txt」を、「x.gza」へ、圧縮する。
P
expect_err bga "[エラー] bga.prk(2行目): ファイル圧縮のエラー。コマンドライン=\"a -a -n  \"x.gza\" \"$work/src/\" \"a.txt\" \"sub/b.txt\" \"。オプション=\"$opts\"。BGA 形式書庫 を扱うには BGA32.DLL が 必要です。"

run bga2 <<'P'
圧縮オプションは「-jm5 -x0」
「src/a.txt
src/b.txt」を、「x.gza」へ、圧縮する。
P
expect_err bga2 "[エラー] bga2.prk(3行目): ファイル圧縮のエラー。コマンドライン=\"a -n -l5  \"x.gza\" \"src/\" \"a.txt\" \"。オプション=\"-jm5 -x0\"。BGA 形式書庫 を扱うには BGA32.DLL が 必要です。"

run nofile <<'P'
「src/none.txt」を、「x.zip」へ、圧縮する。
P
expect_err nofile "[エラー] nofile.prk(1行目): ファイル圧縮のエラー。コマンドライン=\"\"。オプション=\"$opts\"。圧縮するファイルが見つかりませんでした。"

# No extension: ".lzh" is added for packing and for unpacking.
run noext <<'P'
「src」を、「plain」へ、圧縮する。
「plain」を、「back」へ、解凍する。
「終わり」と、表示する。
P
check "noext status" [ "$rc" = 0 ]
check "noext archive" [ -f "$work/plain.lzh" ]
check "noext tree" same_tree "$work/src" "$work/back/src"

cp "$work/src/a.txt" "$work/text.exe"
run exe <<'P'
「text.exe」を、「out」へ、解凍する。
P
expect_err exe "[エラー] exe.prk(1行目): 解凍のエラー。解凍先\"out\"、解凍元\"text.exe\"。オプション=\"-a1 -r2 -x1 -jp1 -c0 -m1\"。書庫の形式を判別できません。"

# An archive whose entry climbs out of the destination.
mkdir -p "$work/evil/inner"
echo bad > "$work/evil/escaped.txt"
(cd "$work/evil/inner" && bsdtar -cf ../../evil.tar -P ../escaped.txt)
run evil <<'P'
「evil.tar」を、「dest」へ、解凍する。
P
expect_err evil "[エラー] evil.prk(1行目): 解凍のエラー。解凍先\"dest\"、解凍元\"evil.tar\"。オプション=\"-a1 -r2 -x1 -jp1 -c0 -m1\"。書庫の中の\"../escaped.txt\"は解凍先の外を指しているため、解凍しません。"
check "evil wrote nothing outside" [ ! -e "$work/escaped.txt" ]

# The gate refuses everything at the high level, without a message.
run gate -security high <<'P'
「src」を、「refused.zip」へ、圧縮する。
「plain.lzh」を、「refused」へ、解凍する。
「src」を、「refused.exe」へ、自己解凍書庫作成する。
「済み」と、表示する。
P
check "gate status" [ "$rc" = 0 ]
check "gate output" [ "$(cat "$work/gate.out")" = "済み" ]
check "gate wrote nothing" [ ! -e "$work/refused.zip" ] && [ ! -e "$work/refused" ] && [ ! -e "$work/refused.exe" ]

exit $fail

#!/usr/bin/env bash
# The security level holds and handles keep their files: at the high level copy,
# folder removal and shortcuts inside the script's folder are refused and library
# declarations are errors; a file open in a handle is not deleted; a shared block
# planted by another user is neither read nor written.
#
#   gate_and_handles.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
planted=
trap 'rm -rf "$work"; [ -z "$planted" ] || rm -f "$planted"' EXIT
export TMPDIR=$work XDG_DATA_HOME=$work/data HOME=$work
fail=0
mkdir -p "$work/s/d"
echo a > "$work/s/a.txt"
echo in > "$work/s/d/in.txt"

run() {   # run NAME [ARGS...] < UTF-8 program: $work/s/NAME.prk, from its folder
  local name=$1
  shift
  iconv -f UTF-8 -t CP932 > "$work/s/$name.prk"
  (cd "$work/s" && timeout 60 "$bin/porukana-cli" "$name.prk" "$@" < /dev/null > "$work/out" 2> "$work/err")
  rc=$?
}
expect() {   # expect WHAT WANTED-STDOUT [WANTED-STDERR-FRAGMENT]
  local got
  got=$(cat "$work/out")
  if [ "$got" != "$2" ] || { [ -n "${3:-}" ] && ! grep -qF "$3" "$work/err"; }; then
    echo "FAIL $1: stdout \"$got\" (want \"$2\"), stderr: $(cat "$work/err")"
    fail=1
  fi
}

# High level: nothing is written inside the script's folder either.
run high -security high <<'PRK'
「a.txt」から、「b.txt」へ、ファイルコピー
「d」の、フォルダ削除
「/etc/passwd」を、「link」へ、ショートカット作成
「終」を、表示
PRK
expect "high level" "終"
[ ! -e "$work/s/b.txt" ] || { echo "FAIL high level: ファイルコピー wrote b.txt"; fail=1; }
[ -e "$work/s/d/in.txt" ] || { echo "FAIL high level: フォルダ削除 removed the folder"; fail=1; }
[ ! -L "$work/s/link" ] && [ ! -e "$work/s/link" ] || { echo "FAIL high level: ショートカット作成 made a link"; fail=1; }

# High level: library declarations are refused with an error naming the command.
run dll_high -security high <<'PRK'
「libc.so.6」の「int system(char*)」を「?を」の「実行」として、DLLを利用
「touch pwned」を実行
PRK
expect "DLLを利用 at high" "" 'dll_high.prk(1行目): セキュリティレベルが「高」なので、DLLを利用で外部DLL"libc.so.6"の関数"system"は使えません。'
[ "$rc" = 1 ] && [ ! -e "$work/s/pwned" ] || { echo "FAIL DLLを利用 at high: exit $rc"; fail=1; }
# security.ini decides as it does for files.
printf '[dll_ini.prk]\nsecurity=High\n' > "$work/s/security.ini"
run dll_ini <<'PRK'
「libc.so.6」の「int abs(int)」を「?の」の「絶対値」として、DLLを利用
PRK
expect "DLLを利用 under security.ini High" "" 'DLLを利用で外部DLL"libc.so.6"の関数"abs"は使えません。'
rm -f "$work/s/security.ini"
run dll_mid <<'PRK'
「libc.so.6」の「int abs(int)」を「?の」の「絶対値」として、DLLを利用
-5の、絶対値を、表示する。
PRK
expect "DLLを利用 at the mid level" "5"

# A file open in a handle is not deleted (nor for good).
run handle <<'PRK'
エラーを無視
「H」で、「h.txt」の、ハンドルを開く
「x」を、Hの、ハンドルへ一行書く
「h.txt」を、ファイル削除
エラーメッセージを、表示
「h.txt」を、ファイル完全削除
エラーメッセージを、表示
「d」を、ファイル削除
「h.txt」が、存在するか
それを、表示
Hの、ハンドルを閉じる
「h.txt」を、ファイル完全削除
「h.txt」が、存在するか
それを、表示
PRK
msg="[エラー] handle.prk(4行目): ファイル\"$work/s/h.txt\"は、ファイルハンドルで開かれているので、削除できません。"
expect "delete of a file open in a handle" "$msg
${msg/4行目/6行目}
1
0"

# A block another user planted under this user's name is not trusted.
if [ "$(id -u)" = 0 ] && id nobody > /dev/null 2>&1; then
  planted=/dev/shm/porukana.0.n6b796f   # the block "kyo" of root
  printf 'PLANTED' > "$planted"
  chown nobody "$planted"
  chmod 666 "$planted"
  run shared <<'PRK'
エラーを無視
「kyo」を、共有読込
「[{それ}]」を、表示
それは「秘密」
「kyo」へ、共有保存
エラーメッセージを、表示
PRK
  expect "planted shared block" "[]
[エラー] shared.prk(5行目): kyoを開けません。"
  [ "$(cat "$planted")" = PLANTED ] || { echo "FAIL planted shared block: it was written"; fail=1; }
fi
exit $fail

#!/usr/bin/env bash
# The executables' front door: --help lists every option in Japanese and --version
# names the executable and its version (both before the start file only, and never
# for a packed program, whose parameters they are); the window run-time without a
# screen says so in one line and ends with status 2; the window's errors also reach
# standard error in the console's form.
#   help.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: help.sh BIN_FOLDER}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
sjis() { iconv -f UTF-8 -t CP932; }

version=$("$bin/porukana-cli" --version)
check "version format ($version)" grep -qE '^porukana-cli [0-9]+\.[0-9]+\.[0-9]+$' <<< "$version"
number=${version#porukana-cli }

run_options="-sjis -utf8 -debug -linestop -security -resource -runtime -run --help --version"
declare -A options=(
    [porukana]="$run_options"
    [porukana-cli]="--raw $run_options"
    [porukana-pack]="--console --bundle --web --help --version"
)
for exe in "${!options[@]}"; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$exe" --help 2> "$work/err")
    check "$exe --help status" test $? = 0
    check "$exe --help writes nothing to stderr" test ! -s "$work/err"
    check "$exe --help starts with the usage" test "${out%%:*}" = "使い方"
    for o in ${options[$exe]}; do
        check "$exe --help lists $o" grep -qE -- "^  $o( |$)" <<< "$out"
    done
    check "$exe --version" test "$(env -u DISPLAY "$bin/$exe" --version)" = "$exe $number"
done

# After the start file --help belongs to the program.
printf 'コマンドライン引数を、表示\n' > "$work/args.prk"
out=$("$bin/porukana-cli" "$work/args.prk" --help 2>&1)
check "--help after the file is a parameter (got: $out)" test "$out" = "$(printf '%s\n--help' "$work/args.prk")"
"$bin/porukana-pack" --console "$work/packed" "$work/args.prk" 2> /dev/null
out=$("$work/packed" --help 2>&1)
check "a packed program gets --help (got: $out)" test "$out" = "$(printf '%s\n--help' "$work/packed")"

# No screen: one line, status 2.
printf '「窓」と、表示する。\n' > "$work/win.prk"
for setting in "QT_QPA_PLATFORM=" "QT_QPA_PLATFORM=xcb DISPLAY=:97" "QT_QPA_PLATFORM=nosuchplatform"; do
    env -u DISPLAY -u WAYLAND_DISPLAY $setting "$bin/porukana" "$work/win.prk" > "$work/out" 2> "$work/err"
    code=$?
    check "no screen ($setting): status $code" test $code = 2
    check "no screen ($setting): one line ($(cat "$work/err"))" test "$(wc -l < "$work/err")" = 1
    check "no screen ($setting): says why" grep -q '^porukana: .*ウインドウを開けません' "$work/err"
done

# Window errors in the console's form, run-time and start-up alike.
export QT_QPA_PLATFORM=offscreen
sjis > "$work/fails.prk" <<'PRK'
「前」と、表示する。
ほげほげする
PRK
"$bin/porukana" "$work/fails.prk" > /dev/null 2> "$work/err"
check "window error status" test $? = 1
check "window error first on stderr ($(head -1 "$work/err"))" \
    test "$(head -1 "$work/err")" = '[エラー] fails.prk(2行目): "ほげほげする"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！'
printf '「😀」と、表示する。\n' > "$work/bad.prk"
"$bin/porukana" "$work/bad.prk" > /dev/null 2> "$work/err"
check "window start failure status" test $? = 2
check "window start failure on stderr ($(head -1 "$work/err"))" \
    test "$(head -1 "$work/err")" = '[エラー] bad.prk(1行目): 文字「😀」(U+1F600)はShift_JISで表せません。'

exit $fail

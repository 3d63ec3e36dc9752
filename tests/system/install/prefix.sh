#!/usr/bin/env bash
# `cmake --install` into a fresh prefix gives a working installation: the
# executables run examples/hello.prk from there, the manual pages render cleanly,
# the desktop entries are valid and name the prefix, the .prk type is known with
# porupad as its default application and the window run-time registered for it
# (its entry runs a .prk), and the
# packer finds its launcher in the installed layout.
#   prefix.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: prefix.sh BIN_FOLDER}" && pwd)
build=$(dirname "$bin")
src=${PORUKANA_SOURCE_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -p "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1
check "install ($(tail -3 "$work/install.log"))" test $? = 0
for f in bin/porukana bin/porukana-cli bin/porukana-pack lib/porukana/porukana-launcher \
         lib/porukana/porukana-net.so lib/porukana/porukana-archive.so lib/porukana/porukana-media.so \
         lib/porukana/porukana-office.so lib/porukana/porukana-qt.so lib/porukana/porukana-modules.version \
         share/porukana/office_helper.py share/porukana/vscode/package.json \
         share/porukana/vscode/syntaxes/porukana.tmLanguage.json share/man/man1/porukana.1.gz share/man/man1/porukana-cli.1.gz \
         share/man/man1/porukana-pack.1.gz share/applications/porukana.desktop \
         share/mime/packages/porukana.xml share/icons/hicolor/scalable/apps/porukana.svg \
         share/doc/porukana/README.md bin/porupad bin/porukana-lsp share/applications/porupad.desktop; do
    check "installed $f" test -s "$prefix/$f"
done

out=$(cd "$work" && "$prefix/bin/porukana-cli" "$src/examples/hello.prk" 2>&1)
check "hello from the prefix (got: $out)" test "$out" = "こんにちは"
# An archive command from the prefix runs through the installed archive module.
mkdir -p "$work/zip"
echo 'data' > "$work/zip/a.txt"
printf '「a.txt」を、「a.zip」へ、圧縮する。\n' > "$work/zip/zip.prk"
out=$(cd "$work/zip" && "$prefix/bin/porukana-cli" zip.prk 2>&1 < /dev/null)
check "archive module from the prefix (got: $out)" test -s "$work/zip/a.zip"
# A script's own request channel loads the installed event loop's module.
printf '「受け取り」を呼ぶ、「話題」という、DDEサーバー作成\n「porukana-cli」の、「話題」に、「届いた」を、DDE送信\n0.5秒、待つ\n終わり\n*受け取り\nDDE文字列を、表示する。\n戻る\n' |
    iconv -f UTF-8 -t CP932 > "$work/zip/dde.prk"
out=$(cd "$work/zip" && "$prefix/bin/porukana-cli" dde.prk 2>&1 < /dev/null)
check "event loop module from the prefix (got: $out)" test "$out" = "届いた"
check "installed version" test "$("$prefix/bin/porukana" --version)" = "$("$bin/porukana" --version)"

for page in porukana porukana-cli porukana-pack; do
    warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -z -ww -man -Tutf8 -Kutf8 2>&1)
    check "$page.1 renders without warnings ($warnings)" test -z "$warnings"
    check "$page.1 names the version" zgrep -q "porukana [0-9]" "$prefix/share/man/man1/$page.1.gz"
done

desktop=$prefix/share/applications/porukana.desktop
check "desktop entry runs the installed window run-time" grep -qx "Exec=$prefix/bin/porukana %f" "$desktop"
if command -v desktop-file-validate > /dev/null; then
    check "desktop entry is valid ($(desktop-file-validate "$desktop"))" desktop-file-validate "$desktop"
else
    echo "note: desktop-file-validate not installed, entry not validated"
fi
editor=$prefix/share/applications/porupad.desktop
check "editor entry opens porupad" grep -qx "Exec=$prefix/bin/porupad %F" "$editor"
check "editor entry runs the file as its second action" grep -qx "Exec=$prefix/bin/porukana %f" "$editor"
if command -v desktop-file-validate > /dev/null; then
    check "editor entry is valid ($(desktop-file-validate "$editor" | grep -v hint:))" desktop-file-validate "$editor"
fi
check "MIME package is well-formed" xmllint --noout "$prefix/share/mime/packages/porukana.xml"
check "icon is well-formed" xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/porukana.svg"

# The desktop's view of the prefix alone.
export XDG_DATA_DIRS=$prefix/share XDG_DATA_HOME=$work/nodata
printf '「開いた」を、「opened.txt」へ、保存\n終わり\n' | iconv -f UTF-8 -t CP932 > "$work/open me.prk"
if command -v gio > /dev/null && [ -s "$prefix/share/mime/mime.cache" ]; then
    type=$(gio info -a standard::content-type "$work/open me.prk" | sed -n 's/.*content-type: //p')
    check "a .prk file is $type" test "$type" = text/x-porukana
    check "porupad opens it" gio mime text/x-porukana | grep -q 'Default application.*porupad.desktop'
    check "the window run-time is registered for it" gio mime text/x-porukana | grep -q '^[[:space:]]*porukana.desktop'
    QT_QPA_PLATFORM=offscreen gio launch "$prefix/share/applications/porukana.desktop" "$work/open me.prk"
    for _ in $(seq 100); do [ -s "$work/opened.txt" ] && break; sleep 0.1; done
    check "running the .prk from the desktop entry ran it" test "$(iconv -f CP932 -t UTF-8 "$work/opened.txt" 2> /dev/null)" = "開いた"
else
    echo "note: gio or update-mime-database missing, the file type is not checked"
fi

# The installed packer writes a bundled program with the installed launcher.
printf '「束」と、表示する。\n' > "$work/b.prk"
"$prefix/bin/porukana-pack" --console --bundle "$work/b" "$work/b.prk" 2> "$work/pack.err"
check "bundle from the prefix ($(cat "$work/pack.err"))" test "$("$work/b" 2>&1)" = "束"
exit $fail

#!/usr/bin/env bash
# The Debian packages (CPack): control fields (name, version, architecture,
# dependencies found by dpkg-shlibdeps, maintainer scripts), the file list, and the
# unpacked tree running examples/hello.prk, and (as root, where mount namespaces are
# allowed) a real `dpkg -i` into throwaway overlays over /usr, /var and /etc, so that
# the machine itself is never changed.
#   deb.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: deb.sh BIN_FOLDER}" && pwd)
build=$(dirname "$bin")
src=${PORUKANA_SOURCE_DIR:?}
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v $tool > /dev/null; then
        echo "SKIP: $tool is not installed (dpkg-dev)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
mkdir -p "$TMPDIR"
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}

version=$("$bin/porukana-cli" --version | cut -d' ' -f2)
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1)
check "cpack ($(tail -3 "$work/cpack.log"))" test $? = 0
deb=$(ls "$work"/out/porukana_"$version"_*.deb 2> /dev/null | head -1)
check "package porukana written" test -n "$deb"
[ -n "$deb" ] || exit 1

field() { dpkg-deb -f "$deb" "$1"; }
check "Package" test "$(field Package)" = porukana
check "Version" test "$(field Version)" = "$version"
check "Architecture" test "$(field Architecture)" = "$(dpkg --print-architecture)"
check "Section" test "$(field Section)" = interpreters
check "Maintainer" test -n "$(field Maintainer)"
for dep in libc6 libqt6core6 libqt6widgets6 libqt6multimedia6 libcurl4; do
    check "Depends names $dep ($(field Depends))" grep -q "\b$dep\b" <<< "$(field Depends)"
done
check "no web engine in the main package" bash -c "! grep -q webengine <<< '$(field Depends)'"
check "summary line" test "$(field Description | head -1)" = "run-time of the Porukana (ぽるかな) programming language"

dpkg-deb -c "$deb" | awk '{print $6}' > "$work/files"
for f in ./usr/bin/porukana ./usr/bin/porukana-cli ./usr/bin/porukana-pack ./usr/lib/porukana/porukana-launcher \
         ./usr/lib/porukana/porukana-net.so ./usr/lib/porukana/porukana-archive.so ./usr/lib/porukana/porukana-media.so \
         ./usr/lib/porukana/porukana-office.so ./usr/lib/porukana/porukana-qt.so ./usr/lib/porukana/porukana-modules.version \
         ./usr/share/porukana/office_helper.py ./usr/share/man/man1/porukana.1.gz ./usr/share/man/man1/porukana-cli.1.gz \
         ./usr/share/man/man1/porukana-pack.1.gz ./usr/share/applications/porukana.desktop \
         ./usr/share/mime/packages/porukana.xml ./usr/share/icons/hicolor/scalable/apps/porukana.svg \
         ./usr/share/doc/porukana/README.md; do
    check "package holds $f" grep -qx -- "$f" "$work/files"
done
check "no generated MIME cache in the package" bash -c "! grep -q 'mime/mime.cache' '$work/files'"

mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
check "postinst refreshes the MIME database" grep -q update-mime-database "$work/control/postinst"
check "postinst is executable" test -x "$work/control/postinst"

dpkg-deb -x "$deb" "$work/root"
check "desktop entry runs /usr/bin/porukana" grep -qx 'Exec=/usr/bin/porukana %f' "$work/root/usr/share/applications/porukana.desktop"
out=$(cd "$work" && "$work/root/usr/bin/porukana-cli" "$src/examples/hello.prk" 2>&1)
check "hello from the unpacked package (got: $out)" test "$out" = "こんにちは"
check "executables are stripped" bash -c "! readelf -S '$work/root/usr/bin/porukana-cli' | grep -q debug_info"

if [ "$(id -u)" = 0 ] && unshare -m true 2> /dev/null; then
    mkdir "$work/ov"
    before=$(ls -l --time-style=full-iso /usr/bin/porukana-cli 2>&1)
    cat > "$work/install.sh" <<SH
set -e
mount -t tmpfs tmpfs "$work/ov"
for d in usr var etc; do
    mkdir -p "$work/ov/\$d.upper" "$work/ov/\$d.work"
    mount -t overlay overlay -o "lowerdir=/\$d,upperdir=$work/ov/\$d.upper,workdir=$work/ov/\$d.work" "/\$d"
done
dpkg -i "$deb" > "$work/dpkg.log" 2>&1
dpkg-query -W -f='\${Status}' porukana > "$work/status"
cd "$work" && /usr/bin/porukana-cli "$src/examples/hello.prk" > "$work/installed.out" 2>&1
test -f /usr/share/mime/text/x-porukana.xml && echo yes > "$work/mime"
SH
    unshare -m bash "$work/install.sh"
    check "dpkg -i in the overlay ($(tail -3 "$work/dpkg.log" 2> /dev/null))" test "$(cat "$work/status" 2> /dev/null)" = "install ok installed"
    check "installed hello ($(cat "$work/installed.out" 2> /dev/null))" test "$(cat "$work/installed.out" 2> /dev/null)" = "こんにちは"
    check "postinst registered the .prk type" test -f "$work/mime"
    check "the machine itself was not changed" test "$(ls -l --time-style=full-iso /usr/bin/porukana-cli 2>&1)" = "$before"
else
    echo "note: not root or no mount namespace: the package is not installed for real"
fi

web=$(ls "$work"/out/porukana-web_"$version"_*.deb 2> /dev/null | head -1)
if [ -f "$build/lib/porukana/porukana-web.so" ]; then
    check "package porukana-web written" test -n "$web"
    if [ -n "$web" ]; then
        check "porukana-web depends on porukana" grep -q "porukana (= $version)" <<< "$(dpkg-deb -f "$web" Depends)"
        check "porukana-web holds the module" grep -q './usr/lib/porukana/porukana-web.so' <<< "$(dpkg-deb -c "$web")"
    fi
fi
exit $fail

# Shared by the office tests (sourced after ../net/_lib.sh, which gives the work
# folder, run_prk and the checks): every office process of a test carries the
# test's own accept pipe name in its environment, so that the test can tell that
# nothing of it is left running, whatever else runs on the machine.
#
#   source "$(dirname "$0")/../net/_lib.sh" "$1"
#   source "$(dirname "$0")/_lib.sh" [needs-office]
OFFICE_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

export PORUKANA_OFFICE_PIPE="porukana-office-test-$$-$RANDOM"
export PORUKANA_OFFICE_HEADLESS=1
export PORUKANA_OFFICE_TIMEOUT=90

if [ "${1:-}" = needs-office ]; then
    if ! command -v soffice > /dev/null; then
        echo "skipped: soffice is not installed (Debian packages libreoffice-calc-nogui, libreoffice-writer-nogui)"
        exit 77
    fi
    need_module uno python3-uno
fi

# The processes (helper, office) whose environment names this test's pipe; the
# test's own shells and tools carry it too and are left out by name.
office_processes() {
    local f pid comm
    for f in /proc/[0-9]*/environ; do
        pid=${f#/proc/}
        pid=${pid%/environ}
        comm=$(cat "/proc/$pid/comm" 2> /dev/null)
        case "$comm" in
        python3* | soffice* | oosplash) ;;
        *) continue ;;
        esac
        if tr '\0' '\n' 2> /dev/null < "$f" | grep -qx "PORUKANA_OFFICE_PIPE=$PORUKANA_OFFICE_PIPE"; then
            echo "$pid"
        fi
    done
}

# Waits up to $1 seconds for every process of this test to end; true when none is
# left.
office_gone_within() {
    local i
    for i in $(seq $(($1 * 10))); do
        [ -z "$(office_processes)" ] && return 0
        sleep 0.1
    done
    return 1
}

office_cleanup() {
    local pids
    pids=$(office_processes)
    [ -n "$pids" ] && kill -9 $pids 2> /dev/null
    cleanup
}
trap office_cleanup EXIT

# zip_member FILE MEMBER: prints one member of a zip file (an independent reader:
# Python's zipfile, not the office).
zip_member() {
    "$PY" -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode("utf-8"))' "$1" "$2"
}

# docx_paragraphs FILE: the text of each paragraph of a docx, one a line.
docx_paragraphs() {
    "$PY" - "$1" << 'EOF'
import re, sys, zipfile
xml = zipfile.ZipFile(sys.argv[1]).read("word/document.xml").decode("utf-8")
for p in re.findall(r"<w:p[ >].*?</w:p>", xml, re.S):
    print("".join(re.findall(r"<w:t(?: [^>]*)?>([^<]*)</w:t>", p)))
EOF
}

# make_zip FILE FOLDER: packs the folder's files (the "mimetype" entry first and
# stored, as OpenDocument wants).
make_zip() {
    "$PY" - "$1" "$2" << 'EOF'
import os, sys, zipfile
target, folder = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    names = sorted(os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs)
    if "mimetype" in names:
        names.remove("mimetype")
        z.write(os.path.join(folder, "mimetype"), "mimetype", zipfile.ZIP_STORED)
    for n in names:
        z.write(os.path.join(folder, n), n)
EOF
}

expect_contains() {
    case "$1" in
    *"$2"*) ;;
    *) fail "$3"; printf -- '--- wanted within\n%s\n--- got\n%s\n' "$2" "$1" ;;
    esac
}

#!/usr/bin/env bash
# Runs every script test, every sample of the command reference, the guide's examples
# and the fuzz corpus of whole scripts twice: with the fast walker and with the
# reference walker (PORUKANA_REFERENCE_WALKER=1), and requires byte-identical stdout,
# stderr and exit status. Script tests and samples must also still pass.
#
#   tools/reference_compare.sh BIN_DIR [DOCGEN]
#
# BIN_DIR holds porukana-cli (and porukana for the window samples); DOCGEN is the
# porukana-docgen executable (default BIN_DIR/porukana-docgen, samples skipped when
# it is missing).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:?usage: reference_compare.sh BIN_DIR [DOCGEN]}" && pwd)
docgen=${2:-$bin/porukana-docgen}
export LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
log=$work/differences
: > "$log"

# Each wrapper runs the real executable in both modes on the same input and passes on
# the fast walker's output; a difference is logged and fails the run (status 99).
# What the first run leaves behind (files in the working folder, the temporary and
# home folders) is put back as it was before the second run starts. A pair that
# differs is run up to twice more, so a sample whose outside helper (an office suite, a
# browser launcher) answers differently from run to run does not count as a difference.
for exe in porukana-cli porukana; do
  [ -x "$bin/$exe" ] || continue
  cat > "$work/bin/$exe" <<WRAP
#!/usr/bin/env bash
t=\$(mktemp -d "$work/run.XXXXXX")
trap 'rm -rf "\$t"' EXIT
cat > "\$t/in"
dirs=()
for d in "\$(pwd)" "\${TMPDIR:-}" "\${HOME:-}" "\${XDG_CONFIG_HOME:-}" "\${XDG_DATA_HOME:-}"; do
  case \$d in "" | / | /tmp | /root | /home | "$root" | "$root"/*) continue ;; esac
  [ -d "\$d" ] || continue
  [ "\$(du -sm "\$d" 2> /dev/null | cut -f1)" -lt 64 ] || continue
  for seen in "\${dirs[@]}"; do [ "\$seen" = "\$d" ] && continue 2; done
  dirs+=("\$d")
done
snap() { local i=0 d; for d in "\${dirs[@]}"; do i=\$((i + 1)); mkdir -p "\$t/snap\$i"; cp -a "\$d/." "\$t/snap\$i/"; done; }
restore() {
  local i=0 d f
  for d in "\${dirs[@]}"; do
    i=\$((i + 1))
    (cd "\$d" && find . -mindepth 1 -depth -print0) | while IFS= read -r -d '' f; do
      [ -e "\$t/snap\$i/\$f" ] || [ -L "\$t/snap\$i/\$f" ] || rm -rf "\$d/\$f"
    done
    cp -a "\$t/snap\$i/." "\$d/"
  done
}
snap
pair() {
  restore
  PORUKANA_REFERENCE_WALKER=1 "$bin/$exe" "\$@" < "\$t/in" > "\$t/out1" 2> "\$t/err1"; c1=\$?
  restore
  PORUKANA_REFERENCE_WALKER=0 "$bin/$exe" "\$@" < "\$t/in" > "\$t/out0" 2> "\$t/err0"; c0=\$?
  # The desktop launcher a sample starts writes its own complaints (no browser here)
  # to the inherited stderr whenever it gets to it, often after the run has ended.
  grep -av 'xdg-open' "\$t/err0" > "\$t/cmp0"
  grep -av 'xdg-open' "\$t/err1" > "\$t/cmp1"
  cmp -s "\$t/out0" "\$t/out1" && cmp -s "\$t/cmp0" "\$t/cmp1" && [ \$c0 = \$c1 ]
}
if ! pair "\$@" && ! pair "\$@" && ! pair "\$@"; then
  {
    echo "== $exe \$* (in \$(pwd)): exit \$c0 / \$c1"
    diff <(cat "\$t/out0" "\$t/err0") <(cat "\$t/out1" "\$t/err1") | head -n 20
  } >> "$log"
  echo "the reference walker differs" >&2
  exit 99
fi
cat "\$t/out0"
cat "\$t/err0" >&2
exit \$c0
WRAP
  chmod +x "$work/bin/$exe"
done

failed=0
# Script tests, two at a time: each must pass its expectations and agree. Each runs
# in a copy of its folder, so what one leaves there cannot reach another; the rest of
# the tree is linked beside it, where the scripts find it by relative paths.
find "$root/tests/scripts" -name '*.prk' ! -name '_*' | sort > "$work/scripts"
# link DIR TARGET_DIR EXCEPT: links every entry of DIR but EXCEPT into TARGET_DIR.
link() {
  local e
  for e in "$1"/* "$1"/.[!.]*; do
    [ -e "$e" ] && [ "$(basename "$e")" != "$3" ] && ln -s "$e" "$2/"
  done
}
n=0
while read -r prk; do
  n=$((n + 1))
  area=$(basename "$(dirname "$prk")")
  copy=$work/copies/$n
  mkdir -p "$copy/tests/scripts"
  link "$root" "$copy" tests
  link "$root/tests" "$copy/tests" scripts
  link "$root/tests/scripts" "$copy/tests/scripts" "$area"
  cp -a "$root/tests/scripts/$area" "$copy/tests/scripts/"
  echo "$copy/tests/scripts/$area/$(basename "$prk")"
done < "$work/scripts" > "$work/copied"
# The run-time behind the wrappers names its own folders in messages.
export PORUKANA_TEST_PREFIX=$(dirname "$bin")
if ! xargs -P 2 -I{} sh -c '"$1" "$2" "$3" > /dev/null 2>&1 || echo "$3"' _ \
  "$root/tests/run_script_test.sh" "$work/bin/porukana-cli" {} < "$work/copied" > "$work/failed"; then
  failed=1
fi
if [ -s "$work/failed" ]; then
  echo "script tests failing through both walkers:"
  sed "s|^$work/copies/[0-9]*/|  |" "$work/failed" | sort
  failed=1
fi
echo "script tests: $(wc -l < "$work/scripts") compared"

# The fuzz corpus of whole scripts: only agreement counts (they may fail).
n=0
[ -d "$root/fuzz/corpus/run" ] && cp -a "$root/fuzz/corpus/run" "$work/corpus"
for prk in "$work"/corpus/*.prk; do
  [ -f "$prk" ] || continue
  (cd "$(dirname "$prk")" && timeout 60 "$work/bin/porukana-cli" "$prk" < /dev/null > /dev/null 2>&1)
  n=$((n + 1))
done
echo "fuzz corpus: $n compared"

# The reference samples and the guide's examples, through the docgen runner. The
# network samples are left out: each run changes what their servers hold (a mail
# received is deleted), so a second run cannot show the same.
if [ -x "$docgen" ]; then
  samples=()
  for f in "$root"/docs/reference/data/*.txt; do
    [ "$(basename "$f")" = Net.txt ] || samples+=("$f")
  done
  # Each sample runs through the wrapper: twice, and up to six times when an outside
  # helper answers differently; the office samples start the office suite every time,
  # which under a loaded CI machine takes far longer than one run's usual limit.
  if ! "$docgen" run --jobs 2 --timeout 240 "$work/bin" "${samples[@]}" "$root/docs/guide.md" > "$work/docgen" 2>&1; then
    echo "reference samples or guide examples failing through both walkers:"
    tail -n 40 "$work/docgen"
    failed=1
  fi
  echo "reference samples and guide examples: compared"
else
  echo "reference samples: $docgen not found, skipped"
fi

if [ -s "$log" ]; then
  echo "the two walkers differ:"
  cat "$log"
  failed=1
fi
[ $failed = 0 ] && echo "reference walker: identical"
exit $failed

#!/usr/bin/env bash
# Every program of the project checks clean: the test scripts, the examples, the
# samples of the reference data and of the guides (extracted by porukana-docgen).
# Programs listed in intended_mistakes.txt must have findings instead. A finding
# anywhere else is a false alarm of the checker (or a real mistake to fix).
#   check_project.sh PORUKANA_CLI PORUKANA DOCGEN SOURCE_DIR
set -u
cli=$1; gui=$2; docgen=$3; src=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
list=$here/intended_mistakes.txt
fail=0; checked=0

intended_path() {   # intended_path REL: "file" when listed, "folder" when under a listed folder
  local entry
  while IFS= read -r entry; do
    case $entry in ''|'#'*|'sample '*) continue;; esac
    if [ "$1" = "$entry" ]; then echo file; return; fi
    case $entry in */) case $1 in "$entry"*) echo folder; return;; esac;; esac
  done < "$list"
  echo no
}

intended_sample() {   # intended_sample STEM FILE
  local kw stem text
  while IFS=' ' read -r kw stem text; do
    [ "$kw" = sample ] && [ "$stem" = "$1" ] && grep -qF -- "$text" "$2" && return 0
  done < "$list"
  return 1
}

run_check() {   # run_check BIN FILE INTENDED LABEL
  local bin=$1 file=$2 intended=$3 label=$4 out status
  out=$(cd "$(dirname "$file")" && "$bin" --check "$(basename "$file")" 2>&1)
  status=$?
  checked=$((checked + 1))
  if [ "$intended" = yes ]; then
    if [ $status = 0 ]; then echo "NO FINDING in $label (listed as a mistake on purpose)"; fail=1; fi
  elif [ $status != 0 ]; then
    echo "FINDING in $label (status $status):"; echo "$out"; fail=1
  fi
}

cd "$src" || exit 1
while IFS= read -r f; do
  intended=$(intended_path "$f")
  [ "$intended" = folder ] && continue   # mistakes only a run finds
  [ "$intended" = file ] && intended=yes
  run_check "$cli" "$src/$f" $intended "$f"
done < <(find tests/scripts -name '*.prk' | sort)

# Examples: checked for the window (some of them make one).
while IFS= read -r f; do
  bin=$gui
  intended=no; [ "$(intended_path "$f")" = no ] || intended=yes
  run_check "$bin" "$src/$f" $intended "$f"
done < <(find examples -name '*.prk' | sort)

"$docgen" extract "$work/samples" docs/reference/data/*.txt docs/*.md > /dev/null || { echo "extract failed"; exit 1; }
for f in "$work"/samples/*.prk; do
  name=$(basename "$f")
  case $name in *.fails.prk) continue;; esac
  stem=${name%%-*}
  bin=$cli
  case $name in *.window.prk) bin=$gui;; esac
  intended=no; intended_sample "$stem" "$f" && intended=yes
  run_check "$bin" "$f" $intended "sample $stem line ${name#*-}"
done
echo "$checked programs checked"
exit $fail

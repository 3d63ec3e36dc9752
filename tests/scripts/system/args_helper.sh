#!/bin/sh
# Started by start.prk: writes the arguments after the first, one per line in
# brackets and as hex bytes, to $TMPDIR/<first>.txt, so that the test sees how the
# command line was split and converted.
out="${TMPDIR:-/tmp}/$1.txt"
shift
: > "$out.part"
for a in "$@"; do
  printf '[%s] %s\n' "$a" "$(printf %s "$a" | od -An -tx1 | tr -d ' \n')" >> "$out.part"
done
mv "$out.part" "$out"

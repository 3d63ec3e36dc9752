#!/usr/bin/env bash
# Fails when a family module carries code of the run-time it is loaded into: a module
# holds its family's objects only, and takes the core (registry, handler table,
# services) from the executable, which exports it. A module that defined a symbol the
# executable also defines would have a handler table of its own, whose handlers no
# run would ever see. Also fails when a module does not register handlers at all.
#   check_modules.sh EXECUTABLE MODULE...
set -u
exe=${1:?usage: check_modules.sh EXECUTABLE MODULE...}
shift
strong() {   # the functions and data a file defines for others, but the linker's own
    nm -D --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ && $3 !~ /^(_edata|_end|__bss_start|_init|_fini)$/ { print $3 }' |
        sort -u
}
fail=0
exported=$(strong "$exe")
[ -n "$exported" ] || { echo "$exe exports nothing (ENABLE_EXPORTS missing?)"; exit 1; }
for module in "$@"; do
    both=$(comm -12 <(strong "$module") <(echo "$exported"))
    if [ -n "$both" ]; then
        echo "$module defines what $(basename "$exe") defines:"
        echo "$both" | c++filt | head -n 20 | sed 's/^/  /'
        fail=1
    fi
    if ! nm -D --undefined-only "$module" | c++filt | grep -q 'HandlerRegistrar::HandlerRegistrar'; then
        echo "$module registers no handlers through the executable's table"
        fail=1
    fi
done
[ "$fail" = 0 ] && echo "modules: $# checked against $(basename "$exe")"
exit "$fail"

#!/usr/bin/env bash
# Fails when a C++ source of the tree differs from what clang-format makes of it
# with the tree's .clang-format. `tools/check_format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format > /dev/null; then
  echo "format: clang-format not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find app src tests tools fuzz bench -name '*.cpp' -o -name '*.h')
fi
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format lays them out"

#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and benchmark porukana.
# Idempotent: when everything is installed it only asks dpkg and returns at once;
# otherwise it runs apt-get for the missing packages (through sudo when not root).
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
  libcurl4-openssl-dev libarchive-dev libpcre2-dev libffi-dev
  libgtest-dev libgmock-dev
  # run time: Japanese fonts and picture formats
  fonts-ipafont-gothic fonts-ipafont-mincho qt6-image-formats-plugins
  # tests: a virtual display and PDF checks
  xvfb xauth poppler-utils
  # benchmark comparison
  tcl python3
  # fuzzing (afl-fuzz and its run-time, used by fuzz/run.sh and CI)
  afl++
)

if ! command -v dpkg-query > /dev/null; then
  echo "install-deps: dpkg-query not found; install these packages by hand: ${packages[*]}" >&2
  exit 1
fi

# One dpkg-query call for all packages; a package it does not list, or lists in any
# state other than "installed", is missing.
declare -A installed=()
while read -r name status; do
  if [ "$status" = installed ]; then installed[${name%%:*}]=1; fi
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2> /dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
if [ -n "${INSTALL_DEPS_DRY_RUN:-}" ]; then   # report only (used to check this script)
  exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo > /dev/null; then
  run=(sudo)
else
  echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2
  exit 1
fi
"${run[@]}" apt-get update
"${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and benchmark porukana.
# Idempotent: when everything is installed it only asks dpkg and returns at once;
# otherwise it runs apt-get for the missing packages (through sudo when not root).
set -euo pipefail

packages=(
  # build; clang-format checks the layout of the sources (a test)
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
  libcurl4-openssl-dev libarchive-dev libpcre2-dev libffi-dev
  libgtest-dev libgmock-dev
  # system commands: X11 windows and faked keys (window host), the desktop opener
  libx11-dev libxtst-dev libxdo-dev xdg-utils
  # run time: Japanese fonts and picture formats
  fonts-ipafont-gothic fonts-ipafont-mincho qt6-image-formats-plugins
  # the desktop's icons for message boxes (question, warning, information)
  adwaita-icon-theme
  # sound: media decoding through GStreamer (WAV, MP3, OGG, MP4), MIDI through
  # FluidSynth with a General MIDI soundfont; a private sound server for the
  # playback test, the GStreamer tools that made the test's sound files
  libfluidsynth-dev fluid-soundfont-gm
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  pulseaudio pulseaudio-utils gstreamer1.0-tools
  # tests: a virtual display and PDF checks; a window manager for the key tests
  xvfb xauth poppler-utils openbox
  # the real-display tests: fonts for the font cache (fc-list), xwininfo and xprop to
  # look at windows by hand
  fontconfig x11-utils
  # network commands: certificates for HTTPS; local FTP and SMTP servers for the
  # tests; curl(1) beside the download benchmark
  ca-certificates python3-pyftpdlib python3-aiosmtpd curl
  # run time: the services file that TCPサービス名 is looked up in
  netbase
  # spreadsheet and word-processor commands: a headless LibreOffice and the UNO
  # bridge of the system's python3 (the office helper and the office tests)
  libreoffice-calc-nogui libreoffice-writer-nogui python3-uno
  # benchmark comparison
  tcl python3
  # archives: CAB writing (libgcab); the ARJ program; the tools the archive tests
  # and benchmark compare with (lhasa, bsdtar, 7z, zip, unzip)
  libgcab-dev arj lhasa libarchive-tools 7zip p7zip-full zip unzip
  # fuzzing (afl-fuzz and its run-time, used by fuzz/run.sh and CI)
  afl++
  # the browser control's web engine
  qt6-webengine-dev
  # make deb (dpkg-shlibdeps), the launcher of bundled programs (static zlib), the
  # MIME and desktop databases that make install refreshes
  dpkg-dev zlib1g-dev shared-mime-info desktop-file-utils
  # editor support test: node, and npm to fetch vscode-textmate
  nodejs
)
# Debian's nodejs comes without npm; some builds of nodejs carry their own.
command -v npm > /dev/null || packages+=(npm)

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

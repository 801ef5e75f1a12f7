#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run the station, and
# any further packages named on the command line (the benchmarks' own, for instance).
# Quick and silent when everything is already there. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6sql6-sqlite libgl-dev
  postgresql libpq-dev libqt6sql6-psql
  fontconfig fonts-dejavu-core poppler-utils
  xvfb xauth xdotool imagemagick libxtst-dev libxcb1-dev
  g++-mingw-w64-x86-64 wine wine64
  clang-14 libclang-rt-14-dev ccache
  dpkg-dev lintian help2man desktop-file-utils python3-markdown
  wixl msitools
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Writes the station's icon, as src/res/ui/station_icon.cpp paints it, into src/res/icons:
# PNGs for the desktop's icon theme and km8-station.ico (16, 32, 48 and 256 px) for the
# Windows executable and installer. Run it after changing the painting and commit the
# files; the qt suite fails while they differ from what the station paints.
# Usage: scripts/make-icons.sh [BUILD_DIR]   (default build, configured with the UI)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
icons=src/res/icons
cmake --build "$build" --target km8-icons
QT_QPA_PLATFORM=offscreen "$build/tests/km8-icons" "$icons"
# No time stamps in the embedded PNG, so that the same picture makes the same file.
convert "$icons"/km8-station-{16,32,48,256}.png -define png:exclude-chunks=date,time \
  "$icons/km8-station.ico"
ls -l "$icons"

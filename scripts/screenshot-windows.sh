#!/usr/bin/env bash
# Takes a picture of the Windows station's main window: the package of
# scripts/windows-tests.sh (build-win/package), under wine on a virtual display, against
# the simulator, during the station's end-to-end run.
# Usage: scripts/screenshot-windows.sh [OUTPUT.png]   (default docs/screenshot-windows.png)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-docs/screenshot-windows.png}")
if [[ ! -x build-win/package/km8-station.exe || ! -x build/src/km8-station ]]; then
  echo "No Windows package yet: run scripts/build-qt-windows.sh, then scripts/windows-tests.sh" >&2
  exit 1
fi
export WINEPREFIX="$PWD/build-win/wineprefix"
mkdir -p "$(dirname "$out")"
scripts/windows-station-e2e.sh build-win/package build "$out"
wineserver -k >/dev/null 2>&1 || true

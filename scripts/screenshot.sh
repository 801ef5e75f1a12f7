#!/usr/bin/env bash
# Builds the station, runs it offscreen against its built-in simulator with default
# settings, and saves a picture of the main window once live values show.
# Usage: scripts/screenshot.sh [OUTPUT.png]   (default docs/screenshot.png)
# KM8_SCREENSHOT_SECONDS sets how long the station runs first (default 90: the chart
# takes one sample a second, so its traces need a while to show).
set -euo pipefail
cd "$(dirname "$0")/.."

out="${1:-docs/screenshot.png}"
seconds="${KM8_SCREENSHOT_SECONDS:-90}"

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target km8-station

mkdir -p "$(dirname "$out")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# A settings file of its own (none yet: the defaults), so the picture never depends on
# the user's configuration; the offscreen platform needs no display.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" \
  timeout $((seconds + 60)) build/src/km8-station --simulate --settings "$scratch/km8.conf" \
  --screenshot "$seconds:$out"
echo "Saved $out"

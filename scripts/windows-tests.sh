#!/usr/bin/env bash
# Cross-compiles the core, the simulator where it applies and the core's tests for
# Windows with mingw-w64, and runs the tests under wine in a fresh prefix kept under
# the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
build=build-win

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKM8_BUILD_UI=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

ctest --test-dir "$build" --output-on-failure --timeout 600

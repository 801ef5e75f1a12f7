#!/usr/bin/env bash
# The fault soak: the station's core with the real link worker against the simulator,
# every line fault at 10 %. scripts/soak.sh [km8-soak options], e.g. --seconds 30 (the
# test command's short run) or --transactions 10000 (the long run, about 25 minutes).
# Uses the native build (build/), building km8-soak there when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ! -x build/tests/km8-soak ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target km8-soak -j "$(nproc 2>/dev/null || echo 2)"
fi
exec build/tests/km8-soak "$@"

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the native build, the ThreadSanitizer build of the core, and the Windows build
# of the core under wine. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
stage() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

stage "dependencies"
scripts/install-deps.sh

stage "native build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"

stage "native tests"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

stage "ThreadSanitizer build and tests (core)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_TSAN=ON -DKM8_BUILD_UI=OFF >/dev/null
cmake --build build-tsan -j "$jobs"
# Without address-space randomisation where allowed: ThreadSanitizer's shadow memory can
# clash with the high mmap entropy of recent kernels.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  "${norandom[@]}" ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 600

if [[ -x scripts/windows-tests.sh ]]; then
  stage "Windows build and tests under wine"
  scripts/windows-tests.sh
fi

stage "all tests passed"

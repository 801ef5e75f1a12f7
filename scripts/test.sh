#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite: the
# include-layer check, the native build, the Debian package (installed on this machine,
# run and removed again), a short fault soak, the ThreadSanitizer build of
# the core and the plant database writer, the AddressSanitizer + UndefinedBehaviorSanitizer
# build of everything, short libFuzzer runs, and the Windows build under wine. Exits
# non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
stage() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

stage "dependencies"
scripts/install-deps.sh

# Later runs on the same machine reuse what ccache kept (every build tree below).
# Paths are taken relative to the checkout, so a fresh clone in another folder hits too.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi

stage "layers: every include points down"
scripts/check-layers.sh

stage "native build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"

stage "native tests"
# The plant database's tests run against a server of their own (scripts/with-postgres.sh),
# the Qt tests offscreen and again on an X server of their own (scripts/with-xvfb.sh).
scripts/with-xvfb.sh scripts/with-postgres.sh \
  ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

stage "Debian package: built, installed, run and removed (scripts/deb-package-test.sh)"
scripts/package.sh --build-dir build deb
status=0
scripts/deb-package-test.sh dist/km8_*.deb || status=$?
((status == 0 || status == 77)) || exit "$status"
deb_skipped=""  # 77: km8 is installed on this machine already, and the test left it alone
((status == 0)) || deb_skipped=yes
deb_note="(km8 is installed on this machine; sudo apt-get purge km8 lets the test run)"

stage "ThreadSanitizer build and tests (core and the plant database writer)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_TSAN=ON -DKM8_BUILD_UI=OFF >/dev/null
cmake --build build-tsan -j "$jobs"
# Without address-space randomisation where allowed: ThreadSanitizer's shadow memory can
# clash with the high mmap entropy of recent kernels.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
  "${norandom[@]}" scripts/with-postgres.sh ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 600

stage "fault soak, 30 seconds"
scripts/soak.sh --seconds 30

stage "AddressSanitizer + UndefinedBehaviorSanitizer build and tests (everything)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_ASAN=ON -DKM8_BUILD_BENCH=OFF \
  >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS="detect_leaks=1 halt_on_error=1 abort_on_error=1" \
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp print_suppressions=0" \
  UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  scripts/with-xvfb.sh scripts/with-postgres.sh \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600

stage "libFuzzer, short runs"
scripts/fuzz.sh 10

if [[ -x scripts/windows-tests.sh ]]; then
  stage "Windows build and tests under wine"
  scripts/windows-tests.sh
fi

if [[ -f build-win/QT-SKIPPED ]]; then
  stage "every test that ran passed, but the Windows station's Qt stage was SKIPPED"
  echo "($(cat build-win/QT-SKIPPED); scripts/build-qt-windows.sh builds it)"
  [[ -z "$deb_skipped" ]] || echo "The Debian package test was SKIPPED too $deb_note"
elif [[ -n "$deb_skipped" ]]; then
  stage "every test that ran passed, but the Debian package test was SKIPPED"
  echo "$deb_note"
else
  stage "all tests passed"
fi

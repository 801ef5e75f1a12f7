#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for a while from its
# seed corpus: scripts/fuzz.sh [seconds per target, default 20] [target names...]
# Prints the executions of each target; a crash stops the script and leaves its input
# in build-fuzz/artifacts/ (make it a regression test, and a seed in fuzz/corpus/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
build=build-fuzz
clang=$(command -v clang++-14 || command -v clang++ || true)
if [[ -z "$clang" ]]; then
  echo "fuzz: clang++ is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$clang" \
  -DKM8_FUZZ=ON -DKM8_BUILD_UI=OFF -DKM8_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target km8_fuzz -j "$(nproc 2>/dev/null || echo 2)"

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" _fuzz.cpp)"); done
fi
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  # The seeds stay as they are; what the run finds is kept under the build folder.
  work="$build/corpus/$t"
  mkdir -p "$work"
  log="$build/$t.log"
  if ! ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 "$build/fuzz/${t}_fuzz" \
      -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/${t}-" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz: $t failed; the input is in $build/artifacts/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  printf 'fuzz: %-14s %10s executions in %ss, no crash\n' "$t" "$runs" "$seconds"
done

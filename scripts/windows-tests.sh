#!/usr/bin/env bash
# Cross-compiles the station for Windows with mingw-w64 and runs its tests under wine in a
# fresh prefix kept under the build folder. With the Qt for Windows that
# scripts/build-qt-windows.sh keeps in its cache and the libpq of
# scripts/build-libpq-windows.sh, that is everything: the station, every test suite (the
# Qt ones on the offscreen platform, the plant database's against a PostgreSQL server of
# its own on 127.0.0.1), the package that `cmake --install` lays out, started on its own,
# its MSI, and that MSI installed in a fresh prefix, the installed station run end to end
# against the simulator, upgraded and removed. Without them it is the core and its tests,
# and the script says clearly what it skipped. COM1 and COM2 of the prefix are
# pseudo-terminals whose far ends are played from
# the tests' scripts by km8-line-responder, COM3 one served by km8-sim; both run natively
# and are stopped, with wineserver, whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
build=build-win
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

source scripts/build-stages.sh

helpers=()
cleanup() {
  local status=$?
  for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${helpers[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [[ -d "$WINEPREFIX" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  print_timings "Windows"
  exit "$status"
}
trap cleanup EXIT

stage "configure"
qt=$(scripts/build-qt-windows.sh --prefix)
libpq=$(scripts/build-libpq-windows.sh --prefix)
mkdir -p "$build"
rm -f "$build/QT-SKIPPED"  # says so to scripts/test.sh
ui=ON
skipped() { # WHAT FOLDER HOW
  ui=OFF
  echo "no $1 in $2" >"$build/QT-SKIPPED"
  cat <<EOF
--- SKIPPED: the Windows station, its Qt and plant database tests and its package. There is
--- no $1 in
---   $2
--- Build it once with: $3
--- Only the core and its tests are built and run below.
EOF
}
if [[ -f "$qt/.km8-complete" && ! -f "$libpq/.km8-complete" ]]; then
  # About four minutes, once: where Qt is there, libpq is not worth skipping the station for.
  scripts/build-libpq-windows.sh >/dev/null || true
fi
if [[ ! -f "$qt/.km8-complete" ]]; then
  skipped "Qt for Windows" "$qt" "scripts/build-qt-windows.sh   (about half an hour on two cores)"
elif [[ ! -f "$libpq/.km8-complete" ]]; then
  skipped "libpq for Windows" "$libpq" "scripts/build-libpq-windows.sh   (about four minutes on two cores)"
fi
cmake --preset mingw -DKM8_QT_WINDOWS="$qt" -DKM8_LIBPQ_WINDOWS="$libpq" -DKM8_BUILD_UI=$ui >/dev/null

stage "build"
cmake --build --preset mingw -j "$jobs"

stage "native helpers"
# The native build serves when it exists (scripts/test.sh makes it first); otherwise a
# small one of its own, without Qt.
if [[ -f build/CMakeCache.txt ]] && grep -q '^KM8_BUILD_TESTS:BOOL=ON' build/CMakeCache.txt; then
  host=build
else
  host="$build/host"
  cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=Release -DKM8_BUILD_UI=$ui >/dev/null
fi
native_targets=(km8-sim km8-line-responder)
# The Linux station writes the text file that the Windows one must match.
[[ $ui == OFF ]] || native_targets+=(km8-station)
cmake --build "$host" --target "${native_targets[@]}" -j "$jobs"

stage "wineboot"
if [[ -d "$WINEPREFIX" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# A persistent server keeps the prefix's services running between the test programs:
# a restart would run the mount manager again, which points COM ports at /dev/ttyS*.
# It is killed at exit, and ends by itself after ten idle minutes should this script be.
wineserver -p600 >/dev/null 2>&1
wineboot -i >/dev/null 2>&1
rm -f "$WINEPREFIX"/dosdevices/com*

stage "serve ports"
dosdevices="$WINEPREFIX/dosdevices"
"$host/tests/km8-line-responder" --line "COM1=$dosdevices/com1" --line "COM2=$dosdevices/com2" \
  </dev/null >"$build/line-responder.log" 2>&1 &
helpers+=($!)
"$host/sim/km8-sim" --link "$dosdevices/com3" </dev/null >"$build/km8-sim.log" 2>&1 &
helpers+=($!)
for _ in $(seq 100); do
  grep -q '^port ' "$build/line-responder.log" 2>/dev/null && [[ -L "$dosdevices/com3" ]] && break
  sleep 0.1
done
port=$(sed -n 's/^port //p' "$build/line-responder.log")
if [[ -z "$port" || ! -L "$dosdevices/com3" ]]; then
  echo "the native line servers did not start:" >&2
  cat "$build/line-responder.log" "$build/km8-sim.log" >&2
  exit 1
fi
export KM8_LINE_RESPONDER="127.0.0.1:$port"
export KM8_SCRIPTED_PORTS=COM1,COM2
export KM8_SIMULATOR_PORT=COM3
export KM8_MISSING_PORT=COM9
export KM8_NO_SKIPS=1
ls -l "$dosdevices" | sed -n 's/.* \(com[0-9]* -> .*\)/  \1/p'

if [[ $ui == ON ]]; then
  # Qt's DLLs and the compiler's runtime from the Qt folder, libpq's from its own, and Qt's
  # PostgreSQL driver from there too; the offscreen platform draws text with FreeType from
  # a font folder of its own. wine keeps the host's QT_* variables from Windows programs
  # and passes WINEQT_* on under the QT_* name instead.
  export WINEPATH="Z:${qt//\//\\}\\bin;Z:${libpq//\//\\}\\bin"
  export WINEQT_PLUGIN_PATH="Z:${libpq//\//\\}\\plugins"
  export WINEQT_QPA_PLATFORM=offscreen
  export WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\dejavu'
fi

stage "tests"
if [[ $ui == ON ]]; then
  # The plant database's tests against a server of their own on 127.0.0.1; its control
  # script is a Linux one, which the Windows programs cannot run (their outage tests skip).
  KM8_PG_TCP=1 scripts/with-postgres.sh env KM8_TEST_PGCTL= \
    ctest --test-dir "$build" --output-on-failure --timeout 300
else
  ctest --test-dir "$build" --output-on-failure --timeout 300
fi

if [[ $ui == ON ]]; then
  stage "package"
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  package="$build/package"
  rm -rf "$package"
  cmake --install "$build" --prefix "$package" >/dev/null
  (cd "$package" && find . -type f | sort | sed 's|^\./|  |')
  # On its own: nothing from the Qt folder, every DLL must come from the package.
  help=$(env -u WINEPATH -u WINEQT_PLUGIN_PATH wine "$package/km8-station.exe" --help 2>&1) || true
  grep -q '^Usage: km8-station' <<<"$help" || {
    echo "the packaged km8-station.exe did not start:" >&2
    printf '%s\n' "$help" >&2
    exit 1
  }
  echo "  km8-station.exe --help from the package: ok"

  stage "installer"
  # The release's MSI into dist/, and one of a higher version for the upgrade.
  scripts/package.sh --windows-build-dir "$build" msi
  rm -rf "$build/dist-newer"
  KM8_MSI_VERSION=$(awk -F. -v OFS=. '{ $NF += 1; print }' <<<"$version") \
    KM8_DIST="$build/dist-newer" scripts/package.sh --windows-build-dir "$build" msi

  stage "installed station"
  # In a fresh prefix of its own: installed, run end to end against a simulator of the
  # script's own on COM2, upgraded, removed.
  wineserver -k >/dev/null 2>&1 || true
  scripts/windows-msi-test.sh "dist/km8-$version-x64.msi" "$build"/dist-newer/km8-*-x64.msi "$host"
else
  timings+=("$(printf '%-18s %s' "Qt parts" "SKIPPED ($(cat "$build/QT-SKIPPED"))")")
fi

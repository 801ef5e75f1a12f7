#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (x86_64-w64-mingw32, posix threads) from Debian's own
# qt6-base source, with only what the station uses: Core, Gui, Widgets, Sql (SQLite and
# ODBC drivers), PrintSupport, Test, the windows and offscreen platform plugins and the
# JPEG image format (BMP is part of Gui). Debian's host Qt of the same version provides
# moc, rcc and uic. SQLite comes from Debian's sqlite3 source, built here as a static
# library, since Debian's qt6-base source does not carry Qt's bundled copy.
#
# Installs into ${KM8_CACHE:-~/.cache/km8}/qt-<version>-mingw-<hash of this script and the
# mingw toolchain file>, and does nothing when that folder holds the completion marker.
# Prints the folder as its last line. `--prefix` only prints it. A project builds against
# it with -DCMAKE_TOOLCHAIN_FILE=<folder>/lib/cmake/Qt6/qt.toolchain.cmake. Needs root (or sudo):
# it adds a deb-src entry for the Debian archive in use and installs what it needs.
# Environment: KM8_CACHE, KM8_QT_JOBS (default: nproc), KM8_QT_KEEP_WORK=1 keeps the
# sources and the build tree after a successful build (they are always kept on failure,
# and a new run picks the build up where it stopped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

qt_version=6.4.2
toolchain="$root/cmake/mingw-w64.cmake"
cache=${KM8_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/km8}
key=$(cat "$0" "$toolchain" | sha256sum | cut -c1-12)
prefix="$cache/qt-$qt_version-mingw-$key"
work="$cache/qt-$qt_version-mingw.work"  # sources, and the build tree of this key
marker="$prefix/.km8-complete"
jobs=${KM8_QT_JOBS:-$(nproc 2>/dev/null || echo 2)}

if [[ "${1:-}" == "--prefix" ]]; then
  echo "$prefix"
  exit 0
fi
if [[ -f "$marker" ]]; then
  echo "$prefix"
  exit 0
fi

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

timings=()
stage_name=""
stage_start=$SECONDS
stage() {
  finish_stage
  stage_name=$1
  stage_start=$SECONDS
  printf -- '--- %s (%s)\n' "$1" "$(date +%T)" >&2
}
finish_stage() {
  if [[ -n "$stage_name" ]]; then
    timings+=("$(printf '%-12s %5ds' "$stage_name" $((SECONDS - stage_start)))")
  fi
  stage_name=""
}
report() {
  local status=$?
  finish_stage
  if ((${#timings[@]})); then
    printf -- '--- Qt for Windows stage timings\n' >&2
    printf '  %s\n' "${timings[@]}" >&2
  fi
  ((status == 0)) || printf -- '--- failed; the work folder %s is kept\n' "$work" >&2
  exit "$status"
}
trap report EXIT

stage "packages"
# The deb-src twin of every Debian archive entry in use, so that `apt-get source` can
# fetch the source of exactly the packages installed.
changed=0
write_if_changed() { # FILE CONTENT
  if [[ -n "$2" ]] && ! { [[ -f "$1" ]] && [[ "$(cat "$1")" == "$2" ]]; }; then
    printf '%s\n' "$2" | $sudo tee "$1" >/dev/null
    changed=1
  fi
}
deb822=$(
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" && "$f" != */km8-deb-src.sources ]] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; debian = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^Types:/) types = $i
          if ($i ~ /^Signed-By:.*debian-archive-keyring/ || $i ~ /^URIs:.*\/debian(-security)?\/?$/) debian = 1
        }
        if (!debian || types !~ /[ \t]deb([ \t]|$)/ || types ~ /deb-src/) next
        out = "Types: deb-src"
        for (i = 1; i <= NF; i++) if ($i !~ /^Types:/ && $i !~ /^#/) out = out "\n" $i
        print out "\n"
      }' "$f"
  done
)
write_if_changed /etc/apt/sources.list.d/km8-deb-src.sources "$deb822"
if [[ -f /etc/apt/sources.list ]] && ! grep -qE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list; then
  one_line=$(sed -n 's|^[[:space:]]*deb[[:space:]]\(.*/debian\(-security\)\{0,1\}/\{0,1\}[[:space:]].*\)$|deb-src \1|p' \
    /etc/apt/sources.list)
  write_if_changed /etc/apt/sources.list.d/km8-deb-src.list "$one_line"
fi

packages=(
  dpkg-dev cmake ninja-build perl python3 tcl
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  qt6-base-dev qt6-base-dev-tools
)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((changed)) || ((${#missing[@]})) || [[ -z "$(apt-cache showsrc qt6-base 2>/dev/null | head -1)" ]]; then
  $sudo apt-get update
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
[[ "$host_qt" == "$qt_version"* ]] || {
  echo "Debian's host Qt is $host_qt, not $qt_version" >&2
  exit 1
}
sqlite_version=$(dpkg-query -W -f='${Version}' libsqlite3-0 2>/dev/null || true)

mkdir -p "$work"
cd "$work"

stage "sources"
# The source of the very qt6-base the host tools come from, Debian's patches applied.
if [[ ! -f qtbase/.km8-unpacked ]]; then
  rm -rf qtbase qt6-base_* qt6-base-*
  apt-get source --only-source "qt6-base=$host_qt"
  mv "$(find . -maxdepth 1 -type d -name 'qt6-base-*' | head -1)" qtbase
  touch qtbase/.km8-unpacked
fi
if [[ ! -f sqlite/.km8-unpacked ]]; then
  rm -rf sqlite sqlite3_* sqlite3-*
  if [[ -n "$sqlite_version" ]]; then
    apt-get source --only-source "sqlite3=$sqlite_version"
  else
    apt-get source --only-source sqlite3
  fi
  mv "$(find . -maxdepth 1 -type d -name 'sqlite3-*' | head -1)" sqlite
  touch sqlite/.km8-unpacked
fi

stage "sqlite"
# SQLite as one static library for mingw, from the amalgamation (made from the full
# source when the source package does not carry it).
sqlite_dir="$prefix/sqlite"
if [[ ! -f "$sqlite_dir/lib/libsqlite3.a" ]]; then
  amalgamation=$(find sqlite -name sqlite3.c -not -path '*/tsrc/*' | head -1)
  if [[ -z "$amalgamation" && -f sqlite-native/sqlite3.c ]]; then
    amalgamation=sqlite-native/sqlite3.c
  elif [[ -z "$amalgamation" ]]; then
    rm -rf sqlite-native
    mkdir -p sqlite-native
    (cd sqlite-native && ../sqlite/configure --disable-tcl >/dev/null && make -j"$jobs" sqlite3.c >/dev/null)
    amalgamation=sqlite-native/sqlite3.c
  fi
  amalgamation_dir=$(dirname "$amalgamation")
  mkdir -p "$sqlite_dir/include" "$sqlite_dir/lib" sqlite-mingw
  x86_64-w64-mingw32-gcc-posix -O2 -c "$amalgamation" -o sqlite-mingw/sqlite3.o \
    -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOAD_EXTENSION
  x86_64-w64-mingw32-ar rcs "$sqlite_dir/lib/libsqlite3.a" sqlite-mingw/sqlite3.o
  cp "$amalgamation_dir/sqlite3.h" "$amalgamation_dir/sqlite3ext.h" "$sqlite_dir/include/"
fi

stage "configure"
features=(
  # What the station and its tests use.
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_printsupport=ON -DFEATURE_testlib=ON
  -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON -DFEATURE_sql_odbc=ON
  -DFEATURE_jpeg=ON -DFEATURE_imageformat_bmp=ON
  # The rest stays out.
  -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  # Not direct2d itself: Gui builds its DirectWrite font engine, which the Windows print
  # engine calls, only with it. Only the separate direct2d platform plugin stays out.
  -DFEATURE_direct2d1_1=OFF
  # Debian's source drops Qt's copy of wintab.h, which the windows plugin's tablet support needs.
  -DFEATURE_tabletevent=OFF
  -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF
  -DFEATURE_sql_ibase=OFF
  -DFEATURE_gif=OFF -DFEATURE_ico=OFF
)
build="build-$key"
find . -maxdepth 1 -name 'build-*' -not -name "$build" -exec rm -rf {} +
if [[ ! -f "$build/build.ninja" ]]; then
  rm -rf "$build"
  # Qt's own qt.toolchain.cmake loads the toolchain it was built with: a copy inside the
  # prefix keeps the prefix usable whatever happens to this checkout.
  install -D -m 644 "$toolchain" "$prefix/lib/cmake/km8-mingw-w64.cmake"
  cmake -G Ninja -S qtbase -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/km8-mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DSQLite3_INCLUDE_DIR="$sqlite_dir/include" \
    -DSQLite3_LIBRARY="$sqlite_dir/lib/libsqlite3.a" \
    "${features[@]}"
fi

stage "build"
cmake --build "$build" --parallel "$jobs"

stage "install"
cmake --install "$build"
# The compiler's runtime DLLs beside Qt's own, so that the folder deploys as it is.
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do
  cp "$gcc_dir/$dll" "$prefix/bin/"
done
cp "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)" "$prefix/bin/"
finish_stage
printf '%s\n' "${timings[@]}" >"$prefix/.km8-build-timings"
date -u +%FT%TZ >"$marker"

if [[ "${KM8_QT_KEEP_WORK:-0}" != 1 ]]; then
  cd "$cache"
  rm -rf "$work"
fi
echo "$prefix"

#!/usr/bin/env bash
# Builds the plant database's client side for 64-bit Windows (x86_64-w64-mingw32) from
# Debian's own sources: OpenSSL (source package openssl) and libpq with TLS (postgresql-15),
# of the versions installed here where the archive still has them, and Qt's PostgreSQL
# driver plugin (qsqlpsql), built on its own from Debian's qt6-base source against the Qt
# for Windows of scripts/build-qt-windows.sh, which must be built first.
#
# Installs into ${KM8_CACHE:-~/.cache/km8}/libpq-<version>-mingw-<hash of this script, the
# mingw toolchain file and that Qt's folder name>: bin/ (libpq.dll, libssl-3-x64.dll,
# libcrypto-3-x64.dll), include/, lib/ and plugins/sqldrivers/qsqlpsql.dll. Does nothing
# when that folder holds the completion marker. Prints the folder as its last line;
# `--prefix` only prints it. Needs root (or sudo) to install what it needs.
# Environment: KM8_CACHE, KM8_LIBPQ_JOBS (default: nproc), KM8_LIBPQ_KEEP_WORK=1 keeps the
# sources and build trees after a successful build (they are always kept on failure, and a
# new run picks the build up at the stage where it stopped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

toolchain="$root/cmake/mingw-w64.cmake"
cache=${KM8_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/km8}
qt=$(scripts/build-qt-windows.sh --prefix)
libpq_version=$(dpkg-query -W -f='${Version}' libpq5 2>/dev/null || echo 15)
openssl_version=$(dpkg-query -W -f='${Version}' libssl3 2>/dev/null || true)
key=$( (cat "$0" "$toolchain"; basename "$qt") | sha256sum | cut -c1-12)
prefix="$cache/libpq-${libpq_version%%-*}-mingw-$key"
work="$cache/libpq-mingw.work"  # sources, and the build trees of this key
marker="$prefix/.km8-complete"
jobs=${KM8_LIBPQ_JOBS:-$(nproc 2>/dev/null || echo 2)}
host=x86_64-w64-mingw32

if [[ "${1:-}" == "--prefix" ]]; then
  echo "$prefix"
  exit 0
fi
if [[ -f "$marker" ]]; then
  echo "$prefix"
  exit 0
fi
if [[ ! -f "$qt/.km8-complete" ]]; then
  echo "build-libpq-windows: no Qt for Windows in $qt: run scripts/build-qt-windows.sh first" >&2
  exit 1
fi

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

source "$root/scripts/build-stages.sh"
report() {
  local status=$?
  print_timings "libpq for Windows"
  ((status == 0)) || printf -- '--- failed; the work folder %s is kept\n' "$work" >&2
  exit "$status"
}
trap report EXIT

stage "packages"
packages=(
  dpkg-dev make perl cmake ninja-build pkg-config
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools
)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
add_deb_src "$sudo"
if ((deb_src_changed)) || ((${#missing[@]})) ||
  [[ -z "$(apt-cache showsrc postgresql-15 2>/dev/null | head -1)" ]]; then
  $sudo apt-get update
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [[ -z "$(apt-cache showsrc postgresql-15 2>/dev/null | head -1)" ]]; then
  echo "build-libpq-windows: the archive offers no source of postgresql-15" >&2
  exit 1
fi

mkdir -p "$work" "$prefix"
cd "$work"
find . -maxdepth 1 -name 'build-*' -not -name "build-$key" -exec rm -rf {} +
mkdir -p "build-$key"

# The source of `package` as folder `dir`: of `version` when the archive still has it,
# else the newest it has whole (a mirror may list a version it cannot serve yet).
fetch() { # PACKAGE VERSION DIR
  local package=$1 version=$2 dir=$3 v
  [[ -f "$dir/.km8-unpacked" ]] && return 0
  for v in "$version" $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    [[ -n "$v" ]] || continue
    rm -rf "$dir" "${package}"_* "${package}"-*/
    if apt-get source --only-source "$package=$v" >/dev/null 2>&1; then
      mv "$(find . -maxdepth 1 -type d -name "${package}-*" | head -1)" "$dir"
      echo "$v" >"$dir/.km8-unpacked"
      echo "  $package $v" >&2
      return 0
    fi
  done
  echo "build-libpq-windows: no source of $package to be had" >&2
  return 1
}

stage "sources"
fetch openssl "$openssl_version" openssl
fetch postgresql-15 "$libpq_version" postgresql
# Qt's driver plugins: from the Qt build's own source when it kept it.
qt_source="$cache/qt-$(basename "$qt" | sed -n 's/^qt-\([0-9.]*\)-mingw-.*/\1/p')-mingw.work/qtbase"
if [[ ! -f "$qt_source/.km8-unpacked" ]]; then
  fetch qt6-base "$(dpkg-query -W -f='${Version}' qt6-base-dev)" qtbase
  qt_source="$work/qtbase"
fi

stage "openssl"
# The libraries only (no programs, tests or manuals), as DLLs.
if [[ ! -f "$prefix/.km8-openssl" ]]; then
  rm -rf "build-$key/openssl"
  cp -a openssl "build-$key/openssl"
  (
    cd "build-$key/openssl"
    ./Configure mingw64 shared no-tests --prefix="$prefix" --libdir=lib \
      CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres >/dev/null
    make -j"$jobs" build_libs >/dev/null
    make install_dev install_runtime_libs >/dev/null
  )
  touch "$prefix/.km8-openssl"
fi

stage "libpq"
# libpq alone, against that OpenSSL; the headers a client needs.
if [[ ! -f "$prefix/.km8-libpq" ]]; then
  rm -rf "build-$key/postgresql"
  mkdir -p "build-$key/postgresql"
  (
    cd "build-$key/postgresql"
    "$work/postgresql/configure" --host=$host --prefix="$prefix" --with-ssl=openssl \
      --without-readline --without-zlib --without-icu --without-llvm --without-gssapi \
      CC=$host-gcc-posix CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" >/dev/null
    make -j"$jobs" -C src/interfaces/libpq >/dev/null
    make -C src/interfaces/libpq install >/dev/null
    install -m 644 src/include/pg_config_ext.h "$work/postgresql/src/include/postgres_ext.h" \
      "$prefix/include/"
    # The same version check FindPostgreSQL makes.
    install -m 644 src/include/pg_config.h "$prefix/include/"
  )
  touch "$prefix/.km8-libpq"
fi

stage "qsqlpsql"
# The plugins folder of Qt's source as a project of its own, PostgreSQL's alone.
build="build-$key/sqldrivers"
if [[ ! -f "$build/build.ninja" ]]; then
  rm -rf "$build"
  "$qt/bin/qt-cmake" -G Ninja -S "$qt_source/src/plugins/sqldrivers" -B "$build" \
    -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DFEATURE_sql_psql=ON -DFEATURE_sql_sqlite=OFF -DFEATURE_sql_odbc=OFF \
    -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF -DFEATURE_sql_ibase=OFF \
    -DPostgreSQL_INCLUDE_DIR="$prefix/include" \
    -DPostgreSQL_LIBRARY="$prefix/lib/libpq.a" >/dev/null
fi
cmake --build "$build" --parallel "$jobs" >/dev/null
plugin=$(find "$build" -name qsqlpsql.dll | head -1)
[[ -n "$plugin" ]] || { echo "build-libpq-windows: no qsqlpsql.dll was built" >&2; exit 1; }
install -D -m 755 "$plugin" "$prefix/plugins/sqldrivers/qsqlpsql.dll"

finish_stage
printf '%s\n' "${timings[@]}" >"$prefix/.km8-build-timings"
date -u +%FT%TZ >"$marker"

if [[ "${KM8_LIBPQ_KEEP_WORK:-0}" != 1 ]]; then
  cd "$cache"
  rm -rf "$work"
fi
echo "$prefix"

#!/usr/bin/env bash
# Builds the station's packages into dist/, one function a package:
#   deb  km8_VERSION-1_ARCH.deb: /usr/bin/km8-station and km8-sim, the desktop entry and
#        the icon, manual pages, dependencies worked out from the binaries, checked by
#        desktop-file-validate and lintian (no errors allowed).
# VERSION is the project's own, from project() in CMakeLists.txt.
# Usage: scripts/package.sh [--build-dir DIR] [deb]...   (no names: every package)
#   --build-dir DIR  package the programs of this configured build tree (scripts/test.sh
#                    passes its native build); by default build-package, configured here
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "Usage: scripts/package.sh [--build-dir DIR] [deb]..." >&2
  exit 2
}
build_dir=""
kinds=()
while (($#)); do
  case $1 in
    --build-dir)
      (($# >= 2)) || usage
      build_dir=$2
      shift 2
      ;;
    deb)
      kinds+=("$1")
      shift
      ;;
    *) usage ;;
  esac
done
((${#kinds[@]})) || kinds=(deb)
scripts/install-deps.sh  # dpkg-dev, help2man, lintian, desktop-file-utils, ...

dist=$root/dist
jobs=$(nproc 2>/dev/null || echo 2)
# The same sources make the same package: no clock of the build machine in it.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
umask 022
work=$(mktemp -d /tmp/km8-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The native programs, built in the given tree or in build-package; sets $version.
version=""
build_native() {
  [[ -z "$version" ]] || return 0
  if [[ -z "$build_dir" ]]; then
    build_dir=build-package
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM8_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$build_dir" -j "$jobs" --target km8-station km8-sim
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
  if [[ -z "$version" ]]; then
    echo "package: $build_dir names no project version" >&2
    exit 1
  fi
}

# A manual page from the program's --help and --version, with the name line and the
# sections of packaging/debian/PROGRAM.h2m.
manual_page() { # PROGRAM OUT_FOLDER
  local program
  program=$(basename "$1")
  help2man --no-info --section=1 --include="packaging/debian/$program.h2m" "$1" |
    gzip -9n >"$2/$program.1.gz"
}

package_deb() {
  build_native
  local name=km8 arch revision=1
  arch=$(dpkg --print-architecture)
  local full=$version-$revision
  local deb=$dist/${name}_${full}_$arch.deb
  # The layout of dpkg-dev's tools: debian/ with the control file, the package in it.
  local debian=$work/deb/debian
  local stage=$debian/$name
  echo "--- $deb"
  mkdir -p "$stage/DEBIAN"

  DESTDIR=$stage cmake --install "$build_dir" --prefix /usr >/dev/null
  # As Debian's own packages are: no symbols, no compiler notes.
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage"/usr/bin/*
  desktop-file-validate "$stage/usr/share/applications/km8-station.desktop"

  local man=$stage/usr/share/man/man1
  mkdir -p "$man"
  manual_page "$stage/usr/bin/km8-station" "$man"
  manual_page "$stage/usr/bin/km8-sim" "$man"

  # The changelog's one entry: this version, by the maintainer of the control file.
  local maintainer
  maintainer=$(sed -n 's/^Maintainer: //p' packaging/debian/control)
  cat >"$debian/changelog" <<EOF
$name ($full) unstable; urgency=medium

  * Version $version of the station and the instrument simulator.

 -- $maintainer  $(date -R -u -d "@$SOURCE_DATE_EPOCH")
EOF
  local doc=$stage/usr/share/doc/$name
  install -D -m 644 packaging/debian/copyright "$doc/copyright"
  gzip -9n <"$debian/changelog" >"$doc/changelog.Debian.gz"

  # Dependencies from the libraries the binaries link, then the control file with them.
  cp packaging/debian/control "$debian/control"
  (cd "$work/deb" && dpkg-shlibdeps "debian/$name"/usr/bin/* && dpkg-gencontrol -p"$name" -P"debian/$name")
  install -m 755 packaging/debian/postinst "$stage/DEBIAN/postinst"
  (cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum \
    >DEBIAN/md5sums)
  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

  mkdir -p "$dist"
  rm -f "$dist/${name}"_*_"$arch.deb" # an older version's would be taken for this one
  dpkg-deb --root-owner-group --build "$stage" "$deb" >/dev/null
  lintian --fail-on error --display-info "$deb"
  echo "  $(du -h "$deb" | cut -f1), $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
  echo "  Depends: $(dpkg-deb -f "$deb" Depends)"
}

for kind in "${kinds[@]}"; do
  "package_$kind"
done

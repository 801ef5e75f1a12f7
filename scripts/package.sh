#!/usr/bin/env bash
# Builds the station's packages into dist/, one function a package:
#   deb  km8_VERSION-1_ARCH.deb: /usr/bin/km8-station and km8-sim, the desktop entry and
#        the icon, manual pages, the user guide, dependencies worked out from the
#        binaries, checked by desktop-file-validate and lintian (no errors allowed).
#   msi  km8-VERSION-x64.msi: the Windows package folder (`cmake --install` of the mingw
#        build, which needs the Qt for Windows of scripts/build-qt-windows.sh) and the user
#        guide, made into an installer by wixl from packaging/windows/km8.wxs.
# VERSION is the project's own, from project() in CMakeLists.txt; KM8_MSI_VERSION puts
# another in the MSI alone (the tests' stand-in for a newer release). KM8_DIST names
# another folder than dist/.
# Usage: scripts/package.sh [--build-dir DIR] [--windows-build-dir DIR] [deb|msi]...
#   (no names: every package)
#   --build-dir DIR          package the programs of this configured build tree
#                            (scripts/test.sh passes its native build); by default
#                            build-package, configured here
#   --windows-build-dir DIR  the mingw build tree for the MSI (default build-win, as
#                            scripts/windows-tests.sh builds it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "Usage: scripts/package.sh [--build-dir DIR] [--windows-build-dir DIR] [deb|msi]..." >&2
  exit 2
}
build_dir=""
windows_build_dir=build-win
kinds=()
while (($#)); do
  case $1 in
    --build-dir)
      (($# >= 2)) || usage
      build_dir=$2
      shift 2
      ;;
    --windows-build-dir)
      (($# >= 2)) || usage
      windows_build_dir=$2
      shift 2
      ;;
    deb | msi)
      kinds+=("$1")
      shift
      ;;
    *) usage ;;
  esac
done
((${#kinds[@]})) || kinds=(deb msi)
scripts/install-deps.sh  # dpkg-dev, help2man, lintian, desktop-file-utils, ...

dist=$(realpath -m "${KM8_DIST:-$root/dist}")
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
  user_guide "$doc"

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

# The user guide (docs/user-guide-uk.md) as a web page with its pictures, into folder $1.
user_guide() { # OUT_FOLDER
  mkdir -p "$1"
  {
    printf '<!DOCTYPE html>\n<html lang="uk">\n<head><meta charset="utf-8">\n'
    printf '<title>KM-8: посібник користувача</title>\n'
    printf '<style>body{font-family:sans-serif;max-width:50em;margin:2em auto;padding:0 1em}'
    printf 'img{max-width:100%%}code{background:#eee}</style>\n</head>\n<body>\n'
    /usr/bin/python3 -m markdown -x tables docs/user-guide-uk.md  # Debian's, with python3-markdown
    printf '</body>\n</html>\n'
  } >"$1/user-guide-uk.html"
  local picture
  for picture in $(grep -o '([a-z0-9_-]*\.png)' docs/user-guide-uk.md | tr -d '()' | sort -u); do
    install -m 644 "docs/$picture" "$1/$picture"
  done
}

package_msi() {
  local qt
  qt=$(scripts/build-qt-windows.sh --prefix)
  if [[ ! -f "$qt/.km8-complete" ]]; then
    echo "--- SKIPPED: the MSI needs the Qt for Windows of scripts/build-qt-windows.sh" >&2
    return 0
  fi
  if [[ ! -f "$windows_build_dir/src/km8-station.exe" ]]; then
    cmake --preset mingw -DKM8_QT_WINDOWS="$qt" >/dev/null
    cmake --build "$windows_build_dir" -j "$jobs" --target km8-station
  fi
  local msi_version
  msi_version=${KM8_MSI_VERSION:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
    "$windows_build_dir/CMakeCache.txt")}
  local publisher
  publisher=$(sed -n 's/^KM8_PUBLISHER:[A-Z]*=//p' "$windows_build_dir/CMakeCache.txt")
  local msi=$dist/km8-$msi_version-x64.msi
  echo "--- $msi"
  # wixl takes source files relative to where it runs.
  local stage=$work/msi
  mkdir -p "$stage"
  cmake --install "$windows_build_dir" --prefix "$stage/package" >/dev/null
  user_guide "$stage/package/guide"
  cp src/res/icons/km8-station.ico "$stage/km8-station.ico"
  (
    cd "$stage"
    (cd package && find . -type f | LC_ALL=C sort) | sed 's|^\./|package/|' |
      wixl-heat -p package/ --component-group Package --var var.SourceDir \
        --directory-ref INSTALLDIR --win64 >files.wxs
    wixl -a x64 -D Win64=yes -D Version="$msi_version" -D Publisher="$publisher" \
      -D SourceDir=package -D Icon=km8-station.ico -D Guide='guide\user-guide-uk.html' \
      -o km8.msi "$root/packaging/windows/km8.wxs" files.wxs
  )
  mkdir -p "$dist"
  install -m 644 "$stage/km8.msi" "$msi"
  echo "  $(du -h "$msi" | cut -f1)"
}

for kind in "${kinds[@]}"; do
  "package_$kind"
done

#!/usr/bin/env bash
# The Debian package as a user meets it: installs it with apt-get (which resolves its
# dependencies), checks the installation message about the dialout group, the versions,
# the desktop entry, icon and manual pages, runs the installed km8-station offscreen
# against the installed km8-sim on a pseudo-terminal until live values arrive and ends it
# with SIGTERM, purges the package and checks that /usr holds what it held before.
# Usage: scripts/deb-package-test.sh DEB   (as root, or with sudo for apt-get)
# It installs and removes the package on this machine. Where that package is installed
# already, not by this test, it leaves it alone and exits with 77 (SKIPPED).
set -euo pipefail

if (($# != 1)) || [[ ! -f "$1" ]]; then
  echo "Usage: scripts/deb-package-test.sh DEB" >&2
  exit 2
fi
deb=$(realpath "$1")
package=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
[[ $(id -u) -eq 0 ]] || apt=(sudo "${apt[@]}")

installed() { [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" == *" installed" ]]; }
if installed; then
  echo "SKIPPED: $package is installed on this machine; the test would replace and remove it" \
    "(remove it first: sudo apt-get purge $package)"
  exit 77
fi

work=$(mktemp -d /tmp/km8-deb-test.XXXXXX)
pids=()
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if installed; then "${apt[@]}" purge -y "$package" >/dev/null 2>&1 || true; fi
  ((status == 0)) || echo "the package test failed; its files are in $work" >&2
  ((status != 0)) || rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
source "$(dirname "$0")/wait-for.sh"

# Everything under /usr; what dpkg's triggers rebuild for every package is not ours.
caches=(/usr/share/applications/mimeinfo.cache /usr/share/icons/hicolor/icon-theme.cache)
usr_files() { find /usr -xdev 2>/dev/null | grep -vxF -f <(printf '%s\n' "${caches[@]}") | LC_ALL=C sort; }
usr_files >"$work/usr-before"

echo "--- install $(basename "$deb")"
"${apt[@]}" install -y "$deb" >"$work/install.log" 2>&1 || fail "apt-get install: $(tail -5 "$work/install.log")"
installed || fail "$package is not installed after apt-get install"
grep -q 'usermod -aG dialout' "$work/install.log" || fail "no word about the dialout group"
echo "  installed; it tells about the dialout group"

for program in km8-station km8-sim; do
  [[ "$(command -v "$program")" == "/usr/bin/$program" ]] || fail "$program is not /usr/bin/$program"
  shown=$("/usr/bin/$program" --version)
  [[ "$shown" == "$program $upstream" ]] || fail "$program --version says '$shown', not $upstream"
  page=/usr/share/man/man1/$program.1.gz
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q -- "--help" || fail "no manual page $page"
done
echo "  km8-station and km8-sim in /usr/bin, version $upstream, with manual pages"

entry=/usr/share/applications/km8-station.desktop
desktop-file-validate "$entry" || fail "$entry is not valid"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[[ "$(command -v "${exec_line%% *}")" == /usr/bin/km8-station ]] || fail "Exec=$exec_line"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 16 32 48 64 128 256; do
  png=/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
  [[ "$(identify -format '%wx%h' "$png" 2>/dev/null)" == "${size}x$size" ]] || fail "no $png"
done
echo "  desktop entry valid, Exec=$exec_line, icon $icon in the hicolor theme"

echo "--- the installed station against the installed simulator"
/usr/bin/km8-sim --link "$work/com2" </dev/null >"$work/km8-sim.log" 2>&1 &
pids+=($!)
wait_for 10 test -L "$work/com2" || fail "km8-sim did not start: $(cat "$work/km8-sim.log")"
# The station's default port is COM2; its settings where a user's are, in a home of its own.
mkdir -p "$work/config/km8"
printf 'COM2 = sz:%s\n' "$work/com2" >"$work/config/km8/km8.conf"
cp "$work/config/km8/km8.conf" "$work/km8.conf.before"
XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
  /usr/bin/km8-station --trace "$work/trace.txt" </dev/null >"$work/station.log" 2>&1 &
station=$!
pids+=("$station")
live_values() { [[ $(grep -c 'TX 01 04 00 00.* ok ' "$work/trace.txt" 2>/dev/null) -ge 5 ]]; }
wait_for 30 live_values || fail "no live values: $(tail -3 "$work/trace.txt" "$work/station.log")"
echo "  live values: $(grep -c 'TX 01 04 00 00.* ok ' "$work/trace.txt") readings"
kill -TERM "$station"
code=0
wait "$station" || code=$?
((code == 0)) || fail "SIGTERM: exit code $code"
cmp -s "$work/km8.conf.before" "$work/config/km8/km8.conf" || fail "SIGTERM changed the settings"
echo "  SIGTERM: ended with exit code 0, settings untouched"

echo "--- purge"
"${apt[@]}" purge -y "$package" >"$work/purge.log" 2>&1 || fail "apt-get purge: $(tail -5 "$work/purge.log")"
! installed || fail "$package is still installed"
usr_files >"$work/usr-after"
# Files another package brought meanwhile (apt beside this test) are not left behind.
left=$(comm -13 "$work/usr-before" "$work/usr-after" |
  while read -r path; do dpkg -S "$path" >/dev/null 2>&1 || echo "$path"; done)
gone=$(comm -23 "$work/usr-before" "$work/usr-after")
[[ -z "$left" ]] || fail "left behind in /usr: $left"
[[ -z "$gone" ]] || fail "gone from /usr: $gone"
echo "  removed; /usr holds what it held before ($(wc -l <"$work/usr-after") entries)"

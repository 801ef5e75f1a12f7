#!/usr/bin/env bash
# The MSI as a plant's IT and a technician meet it, under wine in a fresh prefix: a silent
# install; the Start-menu shortcuts and the "Apps & features" entry; the installed station
# end to end from its installed place (scripts/windows-station-e2e.sh: live values, a
# chart button, the setpoint report, a text export, the end of the session); a silent
# upgrade by a newer MSI (one installed copy, the new version); a silent removal (files,
# shortcuts and entry gone, the user's settings kept).
# Usage: scripts/windows-msi-test.sh MSI NEWER_MSI NATIVE_BUILD_DIR [SCREENSHOT.png]
# SCREENSHOT.png, when given, gets a picture of the installed station with live values.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wait-for.sh

if (($# < 3)); then
  echo "Usage: scripts/windows-msi-test.sh MSI NEWER_MSI NATIVE_BUILD_DIR [SCREENSHOT.png]" >&2
  exit 2
fi
msi=$(realpath "$1")
newer=$(realpath "$2")
native=$(realpath "$3")
shot=${4:+$(realpath -m "$4")}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR

work=$(mktemp -d /tmp/km8-msi-test.XXXXXX)
export WINEPREFIX=$work/prefix
cleanup() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  ((status == 0)) || echo "the MSI test failed; its prefix is in $work" >&2
  ((status != 0)) || rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

installed="$WINEPREFIX/drive_c/Program Files/KM-8"
key='HKCU\Software\Kalvetra\KM410Dlg'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The "Apps & features" entries named KM-8, one line each: "version publisher".
entries() {
  wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { if (name == "KM-8") print version, publisher; name = version = publisher = "" }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    $1 == "Publisher" { publisher = $3 }
    END { if (name == "KM-8") print version, publisher }'
}
# The icon the entry shows: the one the installer keeps for the product (ARPPRODUCTICON).
product_icon() {
  wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    awk '$1 == "ProductIcon" { icon = $3 } $1 == "ProductName" && $3 == "KM-8" { print icon }'
}
# The Start-menu folder, for all users or (where wine puts it) the installing user.
shortcut() { find "$WINEPREFIX/drive_c" -path "*Start Menu/Programs/KM-8/$1" 2>/dev/null | head -1; }
msi_version() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p'; }

mkdir -p "$WINEPREFIX"
wineserver -p600 >/dev/null 2>&1
wineboot -i >/dev/null 2>&1

echo "--- install $(basename "$msi"), silently"
wine msiexec /i "$(winepath -w "$msi")" /qn || fail "msiexec /i: exit code $?"
[[ -f "$installed/km8-station.exe" ]] || fail "no km8-station.exe in $installed"
[[ -f "$installed/guide/user-guide-uk.html" ]] || fail "no user guide in $installed"
[[ -n "$(shortcut KM-8.lnk)" ]] || fail "no Start-menu shortcut KM-8"
[[ -n "$(shortcut 'KM-8 user guide.lnk')" ]] || fail "no Start-menu shortcut to the guide"
version=$(msi_version "$msi")
[[ "$(entries)" == "$version Kalvetra" ]] ||
  fail "Apps & features: '$(entries)', expected '$version Kalvetra'"
icon=$(product_icon)
[[ -n "$icon" && -f "$(winepath -u "$icon")" ]] || fail "no product icon ('$icon')"
echo "  $installed: $(find "$installed" -type f | wc -l) files; shortcuts; Apps & features: KM-8 $version"

echo "--- the installed station, end to end"
scripts/windows-station-e2e.sh "$installed" "$native" ${shot:+"$shot"}

echo "--- upgrade with $(basename "$newer"), silently"
# The user's settings, as the station leaves them; removal must keep them.
wine reg add "$key" /v ArcNum /t REG_DWORD /d 77 /f >/dev/null
wine msiexec /i "$(winepath -w "$newer")" /qn || fail "msiexec /i (upgrade): exit code $?"
newer_version=$(msi_version "$newer")
[[ "$(entries)" == "$newer_version Kalvetra" ]] ||
  fail "after the upgrade: '$(entries)', expected one entry of $newer_version"
[[ -f "$installed/km8-station.exe" ]] || fail "the upgrade removed the station"
echo "  one installed copy, version $newer_version"

echo "--- remove, silently"
wine msiexec /x "$(winepath -w "$newer")" /qn || fail "msiexec /x: exit code $?"
left=$(find "$installed" -type f 2>/dev/null | head -3)
[[ -z "$left" ]] || fail "files left after removal: $left"
[[ -z "$(shortcut KM-8.lnk)$(shortcut 'KM-8 user guide.lnk')" ]] || fail "shortcuts left after removal"
[[ -z "$(entries)" ]] || fail "Apps & features still lists KM-8: $(entries)"
wine reg query "$key" /v ArcNum 2>/dev/null | grep -q 0x4d || fail "the removal took the settings"
echo "  files, shortcuts and entry gone; the user's settings kept"

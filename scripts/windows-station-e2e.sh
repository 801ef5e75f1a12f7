#!/usr/bin/env bash
# The Windows station end to end, driven as a user drives it: the packaged km8-station.exe
# under wine on a virtual X display, against km8-sim on a pseudo-terminal mapped to COM2,
# clicked with xdotool. It checks that live values arrive, that a click on a chart channel's
# button chooses it (its limits are read), that the setpoint report reads
# the simulator's block, that an archive text export writes the same bytes as the Linux
# station writes for the same records of the same simulator, and that the end of the
# Windows session (logoff, shutdown) ends the station in order (exit code 0, settings
# untouched).
# Usage: scripts/windows-station-e2e.sh PACKAGE_DIR NATIVE_BUILD_DIR [SCREENSHOT.png]
# WINEPREFIX must name a booted prefix (scripts/windows-tests.sh runs this script in its
# own); SCREENSHOT.png, when given, gets a picture of the main window with live values.
set -euo pipefail
cd "$(dirname "$0")/.."

package=$(realpath "$1")
native=$(realpath "$2")
shot=${3:-}
: "${WINEPREFIX:?WINEPREFIX must name a booted wine prefix}"
export WINEDEBUG=-all
# The package must do with what it carries, on the platform a Windows desk has.
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR

work=$(mktemp -d /tmp/km8-station-e2e.XXXXXX)
pids=()
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  wine reg delete 'HKCU\Software\Kalvetra\KM410Dlg' /f >/dev/null 2>&1 || true
  ((status == 0)) || echo "the station's end-to-end run failed; its files are in $work" >&2
  ((status != 0)) || rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  [[ -z "${DISPLAY:-}" ]] || import -window root "$work/screen.png" 2>/dev/null || true
  exit 1
}
source scripts/wait-for.sh
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [[ -n "$(window_named "$1")" ]]; }
# Clicks the middle of a control given in dialog units, in a window whose template is
# TW x TH dialog units (the window's client area scales them).
click_control() { # WINDOW X Y W H TW TH
  local WIDTH HEIGHT X Y SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + (2 * $2 + $4) * WIDTH / (2 * $6))) \
    $((Y + (2 * $3 + $5) * HEIGHT / (2 * $7))) click 1
}
count_ok() { grep -c "$1.* ok " "$2" 2>/dev/null || true; }
live_readings_at_least() { [[ $(count_ok 'TX 01 04 00 00' "$1") -ge $2 ]]; }

# A display of its own.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
# The prefix's desktop must run on this display: a fresh wine server, its services up
# before the COM link is made (the mount manager would point COM ports elsewhere).
wineserver -k >/dev/null 2>&1 || true
wineserver -p600 >/dev/null 2>&1
wineboot >/dev/null 2>&1

# The instrument: thirty records in the archive, four hours apart, none added meanwhile.
com2="$WINEPREFIX/dosdevices/com2"
rm -f "$com2"
"$native/sim/km8-sim" --link "$com2" --history 30 --archive-period 240 \
  </dev/null >"$work/km8-sim.log" 2>&1 &
pids+=($!)
wait_for 10 test -L "$com2" || fail "km8-sim did not start: $(cat "$work/km8-sim.log")"
pty=$(readlink "$com2")

# Settings as a technician leaves them: 40 records, no editor opened after the export.
mkdir -p "$work/windows" "$work/linux"
key='HKCU\Software\Kalvetra\KM410Dlg'
wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg add "$key" /v ArcNum /t REG_DWORD /d 40 /f >/dev/null
wine reg add "$key" /v TextAutoOpen /t REG_DWORD /d 0 /f >/dev/null
wine reg add "$key" /v TextFileName /t REG_SZ /d "$(winepath -w "$work/windows/Archives.txt")" \
  /f >/dev/null

echo "--- the Windows station against km8-sim on COM2 ($pty)"
wine "$package/km8-station.exe" --trace "$(winepath -w "$work/windows/trace.txt")" \
  </dev/null >"$work/windows/station.log" 2>&1 &
station=$!
pids+=("$station")
wait_for 60 has_window '^KM-8$' || fail "no main window"
main=$(window_named '^KM-8$')
wait_for 30 live_readings_at_least "$work/windows/trace.txt" 5 ||
  fail "no live values: $(tail -3 "$work/windows/trace.txt")"
echo "  live values: $(count_ok 'TX 01 04 00 00' "$work/windows/trace.txt") readings"
if [[ -n "$shot" ]]; then
  sleep 20  # a few seconds of chart
  import -window "$main" "$shot"
  echo "  saved $shot"
fi

# The chart's button of channel 3 (1035): chosen, it has the channel's limits read, from
# input register 31 on (all channels, the start-up choice, never read those).
click_control "$main" 159 69 9 9 450 279
limits_read() { [[ $(count_ok 'TX 01 04 00 1F 00 05' "$work/windows/trace.txt") -ge 1 ]]; }
wait_for 20 limits_read || fail "the chart's button of channel 3 did not take the click"
echo "  chart channel 3 chosen with a click: its limits read"

click_control "$main" 35 257 71 15 450 279  # "Перегляд уставок"
# The block lies from input register 12 on, read five registers at a time.
block_read() { [[ $(count_ok 'TX 01 04 00 0C 00 05' "$work/windows/trace.txt") -ge 1 ]]; }
wait_for 60 block_read || fail "no setpoint block read"
# The caption shows the share read ("[40%]") until the block is complete.
wait_for 60 has_window '^Уставки приладу №1$' || fail "the setpoint report did not complete"
echo "  setpoint report: complete, block read from the instrument"

click_control "$main" 133 257 71 15 450 279  # "Архіви"
wait_for 20 has_window '^Архіви$' || fail "no archives dialog"
click_control "$(window_named '^Архіви$')" 74 55 60 14 208 76  # "Текстовий файл"
sleep 3  # the file dialog, which offers the file of the settings
xdotool key Return
wait_for 120 test -s "$work/windows/Archives.txt" || fail "no text file"
echo "  text export: $(wc -l <"$work/windows/Archives.txt") lines"

# Logoff with a box open: Windows asks the program (WM_QUERYENDSESSION), then tells it
# (WM_ENDSESSION); the station ends as Enter ends it, the box closed as cancelled.
click_control "$main" 133 257 71 15 450 279  # "Архіви" again, left open
wait_for 20 has_window '^Архіви$' || fail "no archives dialog the second time"
wine reg export "$key" "$(winepath -w "$work/before.reg")" >/dev/null
wineboot --end-session
code=0
wait_for 20 bash -c "! kill -0 $station 2>/dev/null" || fail "the station outlived the session"
wait "$station" || code=$?
((code == 0)) || fail "end of session: exit code $code"
wine reg export "$key" "$(winepath -w "$work/after.reg")" >/dev/null
cmp -s "$work/before.reg" "$work/after.reg" || fail "the end of the session changed the settings"
echo "  end of session (wineboot --end-session) with a box open: exit code 0, settings untouched"

echo "--- the Linux station, same instrument"
cat >"$work/km8.conf" <<EOF
ArcNum = dword:40
TextAutoOpen = dword:0
TextFileName = sz:$work/linux/Archives.txt
COM2 = sz:$pty
EOF
QT_QPA_PLATFORM=xcb "$native/src/km8-station" --settings "$work/km8.conf" \
  --trace "$work/linux/trace.txt" </dev/null >"$work/linux/station.log" 2>&1 &
station=$!
pids+=("$station")
wait_for 30 has_window '^KM-8$' || fail "no Linux main window"
main=$(window_named '^KM-8$')
wait_for 30 live_readings_at_least "$work/linux/trace.txt" 5 || fail "no Linux live values"
click_control "$main" 133 257 71 15 450 279
wait_for 20 has_window '^Архіви$' || fail "no Linux archives dialog"
click_control "$(window_named '^Архіви$')" 74 55 60 14 208 76
sleep 3
xdotool key Return
wait_for 120 test -s "$work/linux/Archives.txt" || fail "no Linux text file"
sleep 1
kill -TERM "$station"
wait "$station" || true

cmp "$work/windows/Archives.txt" "$work/linux/Archives.txt" ||
  fail "the Windows and the Linux text files differ"
echo "  the Windows station's text file equals the Linux station's, byte for byte" \
  "($(wc -c <"$work/linux/Archives.txt") bytes)"

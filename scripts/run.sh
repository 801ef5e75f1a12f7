#!/usr/bin/env bash
# Installs what is missing, builds the station and runs it. Without a settings file
# (no instrument configured yet) the station runs against its built-in simulator.
# Extra arguments are passed to km8-station (see km8-station --help).
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  cat >&2 <<'MSG'
No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the station's
window cannot be shown. Run it on a desktop session, or under a virtual X server:
    xvfb-run -a -s "-screen 0 1280x800x24" scripts/run.sh
(then look at it with a VNC viewer attached to that server), or save a picture of it
running against the simulator with:
    scripts/screenshot.sh
MSG
  exit 2
fi

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target km8-station km8-sim

settings="${XDG_CONFIG_HOME:-$HOME/.config}/km8/km8.conf"
args=("$@")
if [[ ${#args[@]} -eq 0 && ! -f "$settings" ]]; then
  echo "No instrument configured ($settings does not exist): running against the simulator."
  args=(--simulate)
fi

exec build/src/km8-station "${args[@]}"

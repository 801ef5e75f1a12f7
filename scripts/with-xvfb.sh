#!/usr/bin/env bash
# Runs a command with an X server of its own: Xvfb on the first free display, 1280x1024
# at 24 bits, no TCP, not reset when its last client leaves (each Qt test is a client of
# its own), named in DISPLAY for the command and stopped when the command ends.
# Usage: scripts/with-xvfb.sh COMMAND [ARG]...
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
  echo "with-xvfb: no Xvfb (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/km8-xvfb.XXXXXX")
xvfb=""
cleanup() {
  [[ -z "$xvfb" ]] || kill "$xvfb" 2>/dev/null || true
  [[ -z "$xvfb" ]] || wait "$xvfb" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The server writes its display number to descriptor 3 once it takes connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" \
  >"$dir/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  [[ -s "$dir/display" ]] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.2
done
if [[ ! -s "$dir/display" ]]; then
  echo "with-xvfb: Xvfb did not start" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$dir/display")"
echo "with-xvfb: X server on $DISPLAY" >&2
"$@"

#!/usr/bin/env bash
# Installs what only the side-by-side benchmarks need: libmodbus (a second Modbus
# master for bench/ only; the station never links it) and the mbpoll command-line
# poller, with the project's own dependencies. Quick and silent when all are there.
set -euo pipefail
exec "$(dirname "$0")/../scripts/install-deps.sh" libmodbus-dev mbpoll

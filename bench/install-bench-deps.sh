#!/usr/bin/env bash
# Installs what only the side-by-side benchmarks need: libmodbus (a second Modbus
# master for bench/ only; the station never links it) and the mbpoll command-line
# poller. Quick and silent when both are there. Needs root (or sudo).
set -euo pipefail

packages=(libmodbus-dev mbpoll)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"

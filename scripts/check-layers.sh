#!/usr/bin/env bash
# Fails when a source file includes a folder that stands above its own, so that every
# include points down the floors below. Folders on one floor do not include each other,
# and the plain C++ core (anything outside a ui/ folder) never includes a Qt view.
set -euo pipefail
cd "$(dirname "$0")/.."

# The floors of src/, top to bottom.
floors=(
  "app"                                # composition root: start-up, options, wiring
  "setpoints archives configuration plant"  # the station's features
  "monitor"                            # poll cycle, main window, chart logic
  "link"                               # serial port, Modbus master, link worker
  "config"                             # settings record and store, port map
  "res"                                # dialog kit: templates, builder, message boxes, icon
  "controls"                           # display controls and the chart's sample ring
)

declare -A floor_of
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do floor_of[$folder]=$i; done
done

status=0
for dir in src/*/; do
  folder=$(basename "$dir")
  if [[ -z "${floor_of[$folder]+set}" ]]; then
    echo "check-layers: src/$folder is on no floor" >&2
    status=1
  fi
done

while IFS=: read -r file line text; do
  [[ "$text" =~ \"([^\"]+)\" ]] || continue
  target=${BASH_REMATCH[1]}
  own=${file#src/}
  own=${own%%/*}
  folder=${target%%/*}
  [[ -n "${floor_of[$own]+set}" && -n "${floor_of[$folder]+set}" ]] || continue
  if [[ "$folder" != "$own" && ${floor_of[$folder]} -le ${floor_of[$own]} ]]; then
    echo "check-layers: $file:$line includes \"$target\", which is not below '$own'" >&2
    status=1
  fi
  if [[ "$file" != */ui/* && "$target" == */ui/* ]]; then
    echo "check-layers: $file:$line: core code includes the Qt view \"$target\"" >&2
    status=1
  fi
done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src)

if [[ $status -eq 0 ]]; then echo "check-layers: every include points down"; fi
exit "$status"

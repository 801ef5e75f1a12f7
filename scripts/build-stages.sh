# shellcheck shell=bash
# Sourced by the long build and test scripts (scripts/build-libpq-windows.sh,
# scripts/windows-tests.sh): stages that say when they start and what each took, and the
# deb-src entries that `apt-get source` needs. scripts/build-qt-windows.sh carries a copy
# of its own, since its own text is the key of the Qt cache.

timings=()
stage_name=""
stage_start=$SECONDS
# stage NAME: ends the stage under way and starts NAME, printed on standard error.
stage() {
  finish_stage
  stage_name=$1
  stage_start=$SECONDS
  printf -- '--- %s (%s)\n' "$1" "$(date +%T)" >&2
}
finish_stage() {
  if [[ -n "$stage_name" ]]; then
    timings+=("$(printf '%-18s %5ds' "$stage_name" $((SECONDS - stage_start)))")
  fi
  stage_name=""
}
# print_timings TITLE: the stages so far, on standard error.
print_timings() {
  finish_stage
  ((${#timings[@]})) || return 0
  printf -- '--- %s stage timings\n' "$1" >&2
  printf '  %s\n' "${timings[@]}" >&2
}

# add_deb_src SUDO: the deb-src twin of every Debian archive entry in use, so that
# `apt-get source` can fetch the source of exactly the packages installed; sets
# deb_src_changed=1 when it wrote one (apt-get update is then due).
deb_src_changed=0
add_deb_src() {
  local sudo=$1 deb822 one_line
  write_if_changed() { # FILE CONTENT
    if [[ -n "$2" ]] && ! { [[ -f "$1" ]] && [[ "$(cat "$1")" == "$2" ]]; }; then
      printf '%s\n' "$2" | $sudo tee "$1" >/dev/null
      deb_src_changed=1
    fi
  }
  deb822=$(
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f "$f" && "$f" != */km8-deb-src.sources ]] || continue
      awk 'BEGIN { RS = ""; FS = "\n" }
        {
          types = ""; debian = 0
          for (i = 1; i <= NF; i++) {
            if ($i ~ /^Types:/) types = $i
            if ($i ~ /^Signed-By:.*debian-archive-keyring/ || $i ~ /^URIs:.*\/debian(-security)?\/?$/) debian = 1
          }
          if (!debian || types !~ /[ \t]deb([ \t]|$)/ || types ~ /deb-src/) next
          out = "Types: deb-src"
          for (i = 1; i <= NF; i++) if ($i !~ /^Types:/ && $i !~ /^#/) out = out "\n" $i
          print out "\n"
        }' "$f"
    done
  )
  write_if_changed /etc/apt/sources.list.d/km8-deb-src.sources "$deb822"
  if [[ -f /etc/apt/sources.list ]] && ! grep -qE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list; then
    one_line=$(sed -n 's|^[[:space:]]*deb[[:space:]]\(.*/debian\(-security\)\{0,1\}/\{0,1\}[[:space:]].*\)$|deb-src \1|p' \
      /etc/apt/sources.list)
    write_if_changed /etc/apt/sources.list.d/km8-deb-src.list "$one_line"
  fi
}

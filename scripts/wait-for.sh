# shellcheck shell=bash
# Sourced by the end-to-end scripts: wait_for SECONDS COMMAND... runs the command every
# 0.2 s until it succeeds (status 0) or the seconds have passed (status 1).
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

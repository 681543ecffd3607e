# Sourced by the scripts that drive real desktop hosts (tests/realhost, scripts/screenshot-hosts).
# shellcheck shell=bash

# within SECONDS COMMAND...: polls the command every 0.2 s until it succeeds or the seconds run out.
within() {
  local seconds="$1"
  shift
  local tries=$((seconds * 5))
  for ((i = 0; i < tries; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

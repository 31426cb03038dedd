#!/usr/bin/env bash
# Runs a command RUNS times in the current directory and prints the best wall
# time and the peak resident memory it reported.
set -euo pipefail
runs=$1; shift
best=""; peak=0
for _ in $(seq "$runs"); do
  out=$( { /usr/bin/time -f '%e %M' "$@" >/dev/null; } 2>&1 | tail -1 )
  wall=${out% *}; mem=${out#* }
  if [ -z "$best" ] || awk "BEGIN{exit !($wall < $best)}"; then best=$wall; fi
  [ "$mem" -gt "$peak" ] && peak=$mem
done
echo "best wall ${best} s, peak memory $((peak / 1024)) MB"

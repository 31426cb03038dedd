#!/usr/bin/env bash
# Kills cardel with SIGKILL at varied moments of a large run, many times, and
# checks that each result file is always either the old one or the complete
# new one, never truncated or mixed, and that no temporary file outlives the
# next run. Usage: kill_during_write.sh CARDEL [ROUNDS]
set -euo pipefail
cardel=$1
rounds=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 400 groups x 1000 rows: logy.txt is about 10 MB, so the write phase takes a while.
awk 'BEGIN { srand(7); print 400; print 1000;
  for (i = 1; i <= 1000; i++) { line = ""; for (j = 1; j <= 400; j++) line = line sprintf("%.5f ", 0.1 + 5 * rand()); print line } }' > y.txt
"$cardel"
mv out_seg.txt new_seg; mv logy.txt new_logy
printf 'old summary\r\n' > old_seg
printf 'old logs\r\n' > old_logy

start_ns=$(date +%s%N)
"$cardel"
runtime_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
[ "$runtime_ms" -gt 0 ] || runtime_ms=100
seen_old=0; seen_new=0
for round in $(seq "$rounds"); do
  cp old_seg out_seg.txt; cp old_logy logy.txt
  delay_ms=$(( (round * 7919) % (runtime_ms + 20) ))
  "$cardel" & pid=$!
  sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for pair in "out_seg.txt seg" "logy.txt logy"; do
    set -- $pair
    if cmp -s "$1" "old_$2"; then seen_old=$((seen_old + 1))
    elif cmp -s "$1" "new_$2"; then seen_new=$((seen_new + 1))
    else echo "round $round (kill after $delay_ms ms): $1 is neither the old nor the new file" >&2; exit 1
    fi
  done
done
"$cardel"
cmp -s out_seg.txt new_seg && cmp -s logy.txt new_logy || { echo "final run differs" >&2; exit 1; }
leftovers=$(ls -A | grep -c '\.tmp' || true)
[ "$leftovers" -eq 0 ] || { echo "temporary files left behind: $(ls -A | grep '\.tmp')" >&2; exit 1; }
echo "$rounds rounds: $seen_old files found old, $seen_new found new, none damaged"

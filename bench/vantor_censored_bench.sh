#!/usr/bin/env bash
# Times vantor with entries below detection limits (n = 6 with 2, n = 30 with 10 at 3 limits, n = 1000 with 300 at
# 5 limits) and what --estimates adds for n = 1, 30, 1000 and 100000 values without them.
# Usage: bench/vantor_censored_bench.sh [BUILD_DIR]   (default: build, configured for Release here)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")  # absolute: the runs below change folder
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vantor -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
censored() {  # n below limits: the lowest `below` values become entries <limit at `limits` distinct limits
  python3 - "$@" <<'PY'
import math, random, sys
n, below, limits, out = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rng = random.Random(n)
values = sorted(rng.gauss(0.3, 0.7) for _ in range(n))
lines = []
for i, v in enumerate(values):
    if i < below:
        lines.append('<' + repr(values[below] - 0.1 * (i % limits)))
    else:
        lines.append(repr(v))
rng.shuffle(lines)
open(f'{out}/logy.txt', 'w').write(f'{n}\n' + '\n'.join(lines) + '\n')
open(f'{out}/in_bayes.txt', 'w').write('5.0\n0.3 20.0\n1.1 8.0\n0.1 0.2 0.3 0.25 0.15\n')
PY
}
for sizes in "6 2 2" "30 10 3" "1000 300 5"; do
  set -- $sizes
  dir="$work/c$1"; mkdir -p "$dir"; censored "$1" "$2" "$3" "$dir"; cd "$dir"
  echo "vantor, n = $1 with $2 below $3 limits:"; bash "$root/bench/time_run.sh" 5 "$build/vantor/vantor"
  echo "  with --estimates:"; bash "$root/bench/time_run.sh" 5 "$build/vantor/vantor" --estimates
done
for n in 1 30 1000 100000; do
  dir="$work/u$n"; mkdir -p "$dir"; python3 "$root/bench/make_values.py" "$n" "$dir"; cd "$dir"
  echo "vantor, n = $n:"; bash "$root/bench/time_run.sh" 5 "$build/vantor/vantor"
  echo "  with --estimates:"; bash "$root/bench/time_run.sh" 5 "$build/vantor/vantor" --estimates
done

#!/usr/bin/env bash
# Times bandreport on a batch of 1000 folders of 3 to 30 values each (fixed seed):
# CPU per folder (bandreport and every program it ran) and wall time with --jobs 2.
# Usage: bench/bandreport_bench.sh [FOLDERS] [JOBS]
# BENCH_BUILD names another build folder (default build/); BANDREPORT times a bandreport
# built elsewhere (with cardel and vantor beside it) instead of building one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-1000}
jobs=${2:-2}
build=$(realpath -m "${BENCH_BUILD:-$root/build}")  # absolute: the runs below change folder
program=${BANDREPORT:-"$build/bandreport/bandreport"}
if [ -z "${BANDREPORT:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target bandreport cardel vantor -j"$(nproc)" >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/make_folders.py" "$folders" "$work"
cd "$work"
# The shell's own clock: real time, then user and system CPU of the run and all its children.
TIMEFORMAT='%R %U %S'
times_line=$( { time "$program" --jobs "$jobs" --summary summary.csv f[0-9]* 2>/dev/null; } 2>&1 )
read -r wall user sys <<<"$times_line"
ok=$(grep -c ',ok,' summary.csv || true)
awk -v n="$folders" -v j="$jobs" -v w="$wall" -v u="$user" -v s="$sys" -v ok="$ok" 'BEGIN {
  printf "bandreport: %d folders (%d ok), --jobs %d\n", n, ok, j
  printf "wall %.2f s; CPU %.2f s user + %.2f s system = %.1f ms per folder\n", w, u, s, (u + s) * 1000 / n
}'

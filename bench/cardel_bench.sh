#!/usr/bin/env bash
# Times cardel on a generated table of 1000 groups x 1000 rows (about 10 % missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target cardel -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/make_table.py" 1000 1000 > "$work/y.txt"
cd "$work"
echo "cardel, 1000 groups x 1000 rows ($(du -h y.txt | cut -f1) input):"
bash "$root/bench/time_run.sh" 5 "$root/build/cardel/cardel"

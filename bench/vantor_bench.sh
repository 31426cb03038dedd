#!/usr/bin/env bash
# Times vantor for n = 1 (150000 integrations), n = 30 and n = 100000 values.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target vantor -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in ${@:-1 30 100000}; do
  mkdir -p "$work/$n"
  python3 "$root/bench/make_values.py" "$n" "$work/$n"
  cd "$work/$n"
  echo "vantor, n = $n:"
  bash "$root/bench/time_run.sh" 5 "$root/build/vantor/vantor"
done

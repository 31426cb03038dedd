#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60).
# The growing corpus lives in build-fuzz/corpus/<target> (seeded from
# fuzz/corpus/<target>); inputs that crash land in build-fuzz/artifacts/.
# With --merge, new inputs that add coverage are merged into fuzz/corpus.
# FUZZ_BUILD names another build folder, FUZZ_TARGETS a subset of the targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
merge=${2:-}
build=${FUZZ_BUILD:-"$root/build-fuzz"}
targets=${FUZZ_TARGETS:-"free_form_reader cardel vantor_input data_table"}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DFUZZ=ON -DBUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target $(printf 'fuzz_%s ' $targets) -j"$(nproc)" >/dev/null
mkdir -p "$build/artifacts"
for target in $targets; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  echo "== $target, $seconds s"
  # Messages of the integrator go to standard output; keep the log readable.
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=10 \
    -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" 2>&1 |
    grep -E '^(#[0-9]+.*(DONE|pulse)|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' | tail -6
  if [ "$merge" = "--merge" ]; then
    "$build/fuzz/fuzz_$target" -merge=1 -max_len=4096 "$root/fuzz/corpus/$target" "$corpus" 2>&1 | tail -1
  fi
done

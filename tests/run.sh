#!/usr/bin/env bash
# Builds everything with the tests and runs them with ctest.
# Usage: tests/run.sh [release|sanitize]   (default: release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-release}
case "$mode" in
  release) build="$root/build"; flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  sanitize) build="$root/build-sanitize"; flags=(-DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON) ;;
  *) echo "usage: $0 [release|sanitize]" >&2; exit 2 ;;
esac
# Warnings fail the build here, so that CI never lets one through.
cmake -S "$root" -B "$build" "${flags[@]}" -DBUILD_TESTS=ON -DWARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"

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

# The R package over the same core, checked against this build's programs (release only: the check
# compiles the package with R's own flags). Without R it is skipped, except in CI, which installs it.
if [ "$mode" = release ]; then
  if command -v R >/dev/null; then
    bash "$root/r/check.sh" "$build"
  elif [ "${CI:-}" = true ]; then
    echo "R is not installed, and CI needs the R package checked" >&2
    exit 1
  else
    echo "R is not installed: the R package (r/) is not checked"
  fi
fi

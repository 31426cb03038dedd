#!/usr/bin/env bash
# Builds the R package from the tree and checks it (R CMD build, R CMD check --no-manual); its tests compare the
# package's numbers with the programs and the core of the build folder BUILD (default: build). Fails on any
# WARNING or ERROR of the check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$root/r" && ./configure)
cd "$work"
R CMD build "$root/r" >build.log 2>&1 || { cat build.log; exit 1; }
LIMITBAND_BUILD="$build" R CMD check --no-manual limitband_*.tar.gz >check.log 2>&1 || true
status=$(grep '^Status:' check.log || echo "Status: no result")
echo "R package limitband: $status"
case "$status" in
  *ERROR* | *WARNING* | *"no result"*)
    cat check.log
    for f in limitband.Rcheck/tests/*.Rout.fail; do [ -f "$f" ] && tail -40 "$f"; done
    exit 1 ;;
esac

#!/usr/bin/env bash
# Remakes the README's screenshots from the bundled export examples/measurements.csv, rendered by headless
# chromium: docs/bandreport-overview.png (index.html) and docs/bandreport-report.png (the top of the report of
# the segment with results below a detection limit).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target bandreport cardel vantor -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
SOURCE_DATE_EPOCH=1700000000 "$root/build/bandreport/bandreport" --data "$root/examples/measurements.csv" \
  --out "$work/export" --settings "$root/examples/in_bayes.txt"
shot() {  # shot PNG WIDTH HEIGHT PAGE
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
    --window-size="$2,$3" --screenshot="$root/docs/$1" "file://$4" 2>/dev/null
}
shot bandreport-overview.png 1280 500 "$work/export/index.html"
shot bandreport-report.png 860 1420 "$work/export/Packing line/report.html"
ls -l "$root/docs/"*.png

#!/usr/bin/env bash
# Remakes docs/bandreport-example.png: bandreport on the bundled example, rendered by headless chromium.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target bandreport cardel vantor -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/example"
cp "$root/examples/y.txt" "$root/examples/in_bayes.txt" "$work/example/"
(cd "$work" && "$root/build/bandreport/bandreport" --summary summary.csv example)
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
  --window-size=820,2000 --screenshot="$root/docs/bandreport-example.png" "file://$work/example/report.html"

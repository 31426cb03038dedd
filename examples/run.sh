#!/usr/bin/env bash
# Builds both programs and runs the pipeline on the bundled example:
# cardel on y.txt, then vantor on the logy.txt it wrote and in_bayes.txt.
# Then builds bandreport and runs it on the bundled spreadsheet export measurements.csv, one folder per segment,
# with an overview page (index.html) linking each segment's report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target cardel vantor -j"$(nproc)" >/dev/null
work="$build/example-run"
rm -rf "$work" && mkdir -p "$work"
cp "$root/examples/y.txt" "$root/examples/in_bayes.txt" "$work/"
cd "$work"
"$build/cardel/cardel"
"$build/vantor/vantor"
for f in y.txt out_seg.txt logy.txt in_bayes.txt out_pvalue.txt out_bayes.txt; do
  echo "== $f"
  tr -d '\r' < "$f"
done
echo "(files are in $work)"
cmake --build "$build" --target bandreport -j"$(nproc)" >/dev/null
echo "== bandreport on measurements.csv"
"$build/bandreport/bandreport" --data "$root/examples/measurements.csv" --out "$work/export" \
  --settings "$root/examples/in_bayes.txt"
echo "(overview page: $work/export/index.html)"

// The frame shared by report.html and index.html: one style, the head and the footer.
#include "bandreport/html_page.h"

#include "bandreport/text_escape.h"

namespace bandreport {

namespace {

// Screen first, fluid down to a phone's width; print on A4 without the page's colours lost.
constexpr const char* style = R"(
:root { color-scheme: light; --ink: #1b1f24; --muted: #5b6470; --line: #d4d9df; --flat: #9db4cf; --weighted: #1f4e79; }
* { box-sizing: border-box; }
body { margin: 0; font: 16px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; color: var(--ink); background: #fff; }
main { max-width: 52rem; margin: 0 auto; padding: 1.25rem 1rem 2rem; }
h1 { font-size: 1.6rem; margin: 0 0 .25rem; }
h2 { font-size: 1.15rem; margin: 1.75rem 0 .5rem; border-bottom: 1px solid var(--line); padding-bottom: .2rem; }
.folder { font-family: ui-monospace, "DejaVu Sans Mono", monospace; overflow-wrap: anywhere; }
.status { display: inline-block; padding: 0 .5rem; border-radius: .25rem; font-weight: 600; }
.status.ok { background: #e3f1e6; color: #1d5c2c; }
.status.failed { background: #fbe4e4; color: #8a1f1f; }
.failure { border-left: 4px solid #b42318; background: #fdf2f2; padding: .5rem .75rem; overflow-wrap: anywhere; }
table { border-collapse: collapse; width: 100%; margin: .25rem 0; }
caption { text-align: left; color: var(--muted); font-size: .9rem; padding-bottom: .25rem; }
th, td { padding: .3rem .5rem; border-bottom: 1px solid var(--line); text-align: left; vertical-align: top; }
td.num { text-align: right; font-variant-numeric: tabular-nums; font-family: ui-monospace, "DejaVu Sans Mono", monospace; }
.table-wrap { overflow-x: auto; }
figure { margin: .5rem 0; }
svg.chart { width: 100%; height: auto; max-width: 40rem; display: block; }
svg.chart text { font-size: 13px; fill: var(--ink); }
svg.chart text.band { text-anchor: end; }
svg.chart text.tick { text-anchor: middle; fill: var(--muted); font-size: 11px; }
svg.chart .grid { stroke: var(--line); stroke-width: 1; }
svg.chart .flat { fill: var(--flat); }
svg.chart .weighted { fill: var(--weighted); }
.reading { font-style: italic; }
.most-probable { font-weight: 600; }
main.wide { max-width: 84rem; }
.nowrap { white-space: nowrap; }
.note, .aside { color: var(--muted); font-size: .9rem; }
.warnings { border-left: 4px solid #b54708; background: #fffaeb; padding: .5rem .75rem; margin: 1rem 0; }
.warnings h2 { margin: 0 0 .25rem; border: 0; padding: 0; font-size: 1rem; }
.warnings ul { margin: 0; padding-left: 1.2rem; }
.source { font-size: .75rem; color: var(--muted); letter-spacing: .03em; margin-right: .4rem; }
.decision { border: 1px solid var(--line); border-left: 6px solid var(--weighted); border-radius: .25rem; padding: .6rem 1rem; margin: 1rem 0; }
.decision p { margin: .35rem 0; }
.headline { font-size: 1.2rem; font-weight: 600; }
.headline strong { font-size: 1.5rem; white-space: nowrap; }
.band { display: inline-block; padding: 0 .45rem; border-radius: .25rem; border-left: .5rem solid; white-space: nowrap; }
.band-1 { background: #e6f4ea; border-color: #1e7b34; }
.band-2 { background: #eef6d8; border-color: #6a8f1a; }
.band-3 { background: #fff4cc; border-color: #a37f00; }
.band-4 { background: #ffe8d1; border-color: #c2570c; }
.band-5 { background: #fde2e1; border-color: #b42318; }
table.overview { font-size: .9rem; }
table.overview td.num { white-space: nowrap; font-size: .85rem; }
table.overview td.count { white-space: normal; }
table.overview th.folder { overflow-wrap: normal; min-width: 7rem; }
table.overview .band { white-space: normal; min-width: 10rem; }
table.overview th[scope="col"] { vertical-align: bottom; }
table.overview td.message { white-space: normal; overflow-wrap: anywhere; min-width: 16rem; }
figcaption { color: var(--muted); font-size: .85rem; }
svg.plot { max-width: 36rem; }
svg.chart .axis { stroke: var(--muted); stroke-width: 1; }
svg.chart .detected { fill: var(--weighted); }
svg.chart .below { fill: none; stroke: #b54708; stroke-width: 1.5; }
svg.chart .below-tick { stroke: #b54708; stroke-width: 1.5; }
svg.chart .fit { stroke: var(--ink); stroke-width: 1.5; }
svg.chart .limit { stroke: #b42318; stroke-width: 1.5; stroke-dasharray: 6 4; }
svg.chart text.limit-label { fill: #b42318; text-anchor: end; font-size: 12px; }
svg.chart text.axis-label { fill: var(--muted); font-size: 12px; text-anchor: middle; }
svg.chart text.ytick { text-anchor: end; fill: var(--muted); font-size: 11px; }
footer { margin-top: 2rem; color: var(--muted); font-size: .85rem; }
@media (max-width: 30rem) {
  body { font-size: 15px; }
  th, td { padding: .25rem .3rem; }
  td.num { font-size: .8rem; }
  svg.chart text { font-size: 14px; }
}
@page { size: A4; margin: 15mm; }
@media print {
  body { font-size: 10.5pt; }
  main { max-width: none; padding: 0; }
  section, figure, table { break-inside: avoid; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

}  // namespace

std::string page_start(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         html_escape(title) + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n<main>\n";
}

std::string page_end(const ReportContext& context) {
  return "<footer>\n<p>" + html_escape(context.version) + "</p>\n<p>Made " + html_escape(context.date) +
         "</p>\n</footer>\n</main>\n</body>\n</html>\n";
}

}  // namespace bandreport

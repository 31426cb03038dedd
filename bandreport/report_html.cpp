// report.html: one folder's results as a self-contained page with an inline bar chart.
#include "bandreport/report_html.h"

#include <charconv>

#include "bandreport/text_escape.h"

namespace bandreport {

using core::band_labels;

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

const std::string missing = "—";

// The shortest text that reads back as `value`.
std::string shortest(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// A field's text for display: escaped, or a dash when the run did not produce it.
std::string shown(bool present, const std::string& text) { return present ? html_escape(text) : missing; }

std::string row(const std::string& label, const std::string& value_html) {
  return "<tr><th scope=\"row\">" + label + "</th><td class=\"num\">" + value_html + "</td></tr>\n";
}

std::string settings_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Settings</h2>\n";
  if (!r.settings) return html + "<p>No readable settings file (in_bayes.txt) in the folder.</p>\n</section>\n";
  const Settings& s = *r.settings;
  html += "<div class=\"table-wrap\"><table>\n<caption>As read from in_bayes.txt</caption>\n";
  html += row("Limit", shortest(s.limit));
  html += row("Geometric mean bounds", shortest(s.gm_bounds[0]) + " to " + shortest(s.gm_bounds[1]));
  html += row("Geometric standard deviation bounds", shortest(s.gsd_bounds[0]) + " to " + shortest(s.gsd_bounds[1]));
  std::string weights;
  for (int k = 0; k < band_count; ++k) weights += (k ? ", " : "") + shortest(s.band_prior[k]);
  html += row("Band weights", weights);
  return html + "</table></div>\n</section>\n";
}

std::string summary_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Summary statistics</h2>\n<div class=\"table-wrap\"><table>\n";
  html += "<caption>Of all measurements, from out_seg.txt and logy.txt</caption>\n";
  html += row("Number of values", shown(r.has_summary, r.n));
  html += row("Arithmetic mean", shown(r.has_summary, r.summary[arithmetic_mean]));
  html += row("Standard deviation", shown(r.has_summary, r.summary[standard_deviation]));
  html += row("Geometric mean", shown(r.has_summary, r.summary[geometric_mean]));
  html += row("Geometric standard deviation", shown(r.has_summary, r.summary[geometric_sd]));
  html += row("Fold range of the group means", shown(r.has_summary, r.summary[fold_range]));
  return html + "</table></div>\n</section>\n";
}

// A plain-language reading of the test, or none where the test says nothing.
std::string normality_reading(const FolderResults& r) {
  if (!r.has_bands) return "";
  if (is_marker(r.chi_square) || is_marker(r.p_value)) return "No test: there are too few values.";
  if (field_value(r.n) == 2.0) return "No reading: with two values the test has no degrees of freedom.";
  const std::optional<double> p = field_value(r.p_value);
  if (!p) return "";
  if (*p < 0.05) return "The logged values do not look normal; the band probabilities assume they are.";
  return "The test finds no sign that the logged values are not normal (p-value 0.05 or more).";
}

std::string normality_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Normality of the logged values</h2>\n<div class=\"table-wrap\"><table>\n";
  html += "<caption>Chi-square goodness-of-fit test, from out_pvalue.txt</caption>\n";
  html += row("Chi-square statistic", shown(r.has_bands, r.chi_square));
  html += row("p-value", shown(r.has_bands, r.p_value));
  html += "</table></div>\n";
  const std::string reading = normality_reading(r);
  if (!reading.empty()) html += "<p class=\"reading\">" + reading + "</p>\n";
  return html + "</section>\n";
}

std::string bands_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Band probabilities</h2>\n";
  html += "<p>Bands of the 95th percentile of the measurements, as a share of the limit.</p>\n";
  if (!r.has_bands) return html + "<p>Not available: the run did not get this far.</p>\n</section>\n";
  const bool markers = is_marker(r.weighted[0]);
  if (!markers) html += "<figure>\n" + band_chart_svg(r) + "</figure>\n";
  html += "<div class=\"table-wrap\"><table>\n<caption>From out_bayes.txt</caption>\n";
  html +=
      "<tr><th scope=\"col\">Band</th><th scope=\"col\">Range</th><th scope=\"col\">Weight</th>"
      "<th scope=\"col\">Flat prior</th><th scope=\"col\">Weighted</th></tr>\n";
  for (int k = 0; k < band_count; ++k)
    html += "<tr><td>" + std::to_string(k + 1) + "</td><td>" + band_labels[k] + "</td><td class=\"num\">" +
            html_escape(r.weight[k]) + "</td><td class=\"num\">" + html_escape(r.flat[k]) + "</td><td class=\"num\">" +
            html_escape(r.weighted[k]) + "</td></tr>\n";
  html += "</table></div>\n";
  if (r.most_probable_band > 0) {
    const int k = r.most_probable_band - 1;
    html += "<p class=\"most-probable\">The most probable band is band " + std::to_string(k + 1) + " (" +
            band_labels[k] + " of the limit), with a weighted probability of " + html_escape(r.weighted[k]) + ".</p>\n";
  } else if (markers) {
    html += "<p class=\"most-probable\">No band is most probable: there were no values to compute from.</p>\n";
  } else {
    html += "<p class=\"most-probable\">No band is most probable: the probabilities are not all numbers.</p>\n";
  }
  return html + "</section>\n";
}

std::string warnings_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Warnings</h2>\n";
  if (r.warnings.empty()) return html + "<p>None.</p>\n</section>\n";
  html += "<ul>\n";
  for (const std::string& warning : r.warnings) html += "<li>" + html_escape(warning) + "</li>\n";
  return html + "</ul>\n</section>\n";
}

}  // namespace

std::string report_html(const FolderResults& r, const ReportContext& context) {
  const std::string folder = html_escape(r.name);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Band report: " +
      folder + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n<main>\n<h1>Band report</h1>\n";
  html += "<p>Folder <span class=\"folder\">" + folder + "</span> <span class=\"status " +
          (r.ok ? "ok\">ok" : "failed\">failed") + "</span></p>\n";
  if (!r.ok) html += "<p class=\"failure\"><strong>What failed:</strong> " + html_escape(r.message) + "</p>\n";
  html += settings_section(r) + summary_section(r) + normality_section(r) + bands_section(r) + warnings_section(r);
  html += "<footer>\n<p>" + html_escape(context.version) + "</p>\n<p>Made " + html_escape(context.date) +
          "</p>\n</footer>\n</main>\n</body>\n</html>\n";
  return html;
}

}  // namespace bandreport

// report.html: one folder's results as a self-contained page that leads with the decision: the probability that
// the 95th percentile exceeds the limit, the most probable band and the estimate of the 95th percentile.
#include "bandreport/report_html.h"

#include <map>
#include <vector>

#include "bandreport/decimal_text.h"
#include "bandreport/html_page.h"
#include "bandreport/measurement_plot.h"
#include "bandreport/report_numbers.h"
#include "bandreport/text_escape.h"

namespace bandreport {

using core::band_labels;

namespace {

const std::string missing = "—";

// A field's text for display: escaped, or a dash when the run did not produce it.
std::string shown(bool present, const std::string& text) { return present ? html_escape(text) : missing; }

std::string row(const std::string& label, const std::string& value_html) {
  return "<tr><th scope=\"row\">" + label + "</th><td class=\"num\">" + value_html + "</td></tr>\n";
}

// Where band weights are shown: what they are, since they are easily read as prior band probabilities.
const char* const weights_meaning =
    "The band weights multiply the prior density within each band; they are not prior probabilities of the bands.";

std::string settings_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Settings</h2>\n";
  if (!r.settings) return html + "<p>No readable settings file (in_bayes.txt) in the folder.</p>\n</section>\n";
  const Settings& s = *r.settings;
  html += "<div class=\"table-wrap\"><table>\n<caption>As read from in_bayes.txt</caption>\n";
  html += row("Limit", html_escape(shortest_text(s.limit) + (r.units.empty() ? "" : " " + r.units)));
  html += row("Geometric mean bounds", shortest_text(s.gm_bounds[0]) + " to " + shortest_text(s.gm_bounds[1]));
  html += row("Geometric standard deviation bounds",
              shortest_text(s.gsd_bounds[0]) + " to " + shortest_text(s.gsd_bounds[1]));
  std::string weights;
  for (int k = 0; k < band_count; ++k) weights += (k ? ", " : "") + shortest_text(s.band_prior[k]);
  html += row("Band weights", weights);
  return html + "</table></div>\n<p class=\"note\">" + weights_meaning + "</p>\n</section>\n";
}

// A statistic of out_seg.txt to 4 significant digits, with units where `with_units`; a dash for a marker.
std::string sample_value(const FolderResults& r, SummaryField field, bool with_units) {
  const std::optional<double> value = sample_statistic(r, field);
  // Asterisks and words such as Infinity are shown as written; markers and the spread of one value as a dash.
  if (!value) return r.has_summary && !field_value(r.summary[field]) ? html_escape(r.summary[field]) : missing;
  return html_escape(with_units ? amount_text(*value, r.units) : significant_text(*value));
}

std::string summary_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Sample statistics</h2>\n<div class=\"table-wrap\"><table>\n";
  html += "<caption>Of the measurements themselves, all groups pooled, from out_seg.txt and logy.txt";
  if (r.below_detection > 0) html += "; results below a detection limit enter with the values imputed for them";
  html += "</caption>\n";
  std::string count = shown(r.has_summary, r.n);
  if (r.below_detection > 0) count += " (" + std::to_string(r.below_detection) + " below a detection limit)";
  html += row("Number of values", count);
  html += row("Sample arithmetic mean", sample_value(r, arithmetic_mean, true));
  html += row("Sample standard deviation", sample_value(r, standard_deviation, true));
  html += row("Sample geometric mean", sample_value(r, geometric_mean, true));
  html += row("Sample geometric standard deviation", sample_value(r, geometric_sd, false));
  html += row("Fold range of the group means", shown(r.has_summary, r.summary[fold_range]));
  return html + "</table></div>\n</section>\n";
}

// A plain-language reading of the test, or none where the test says nothing.
std::string normality_reading(const FolderResults& r) {
  if (!r.has_bands) return "";
  if (is_marker(r.chi_square) || is_marker(r.p_value)) {
    if (r.below_detection > 0) return "No test: it is not defined when results lie below a detection limit.";
    return "No test: there are too few values.";
  }
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
  html += "</table></div>\n<p class=\"note\">" + std::string(weights_meaning) + "</p>\n";
  if (r.most_probable_band > 0) {
    const int k = r.most_probable_band - 1;
    const std::optional<double> p = field_value(r.weighted[k]);
    html += "<p class=\"most-probable\">The most probable band is band " + std::to_string(k + 1) + " (" +
            band_labels[k] + " of the limit), with a weighted probability of " +
            html_escape(p ? percent_text(*p) : r.weighted[k]) + ".</p>\n";
  } else if (markers) {
    html += "<p class=\"most-probable\">No band is most probable: there were no values to compute from.</p>\n";
  } else {
    html += "<p class=\"most-probable\">No band is most probable: the probabilities are not all numbers.</p>\n";
  }
  return html + "</section>\n";
}

// A standard-error line split into the program that wrote it, its kind and its sentence:
// "vantor: warning: the values' ..." gives {"vantor warning", "the values' ..."}.
struct Warning {
  std::string source;
  std::string text;
};

Warning split_warning(const std::string& line) {
  const std::size_t colon = line.find(": ");
  const std::string program = colon == std::string::npos ? "" : line.substr(0, colon);
  if (program.empty() || program.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
    return {"", line};
  Warning warning{program, line.substr(colon + 2)};
  for (const char* kind : {"note: ", "warning: "}) {
    if (warning.text.rfind(kind, 0) == 0) {
      warning.source += " " + std::string(kind, std::char_traits<char>::length(kind) - 2);
      warning.text.erase(0, std::char_traits<char>::length(kind));
    }
  }
  return warning;
}

// The programs' notes and warnings, before the numbers they qualify; a line repeated is listed once, counted.
std::string warnings_section(const FolderResults& r) {
  if (r.warnings.empty()) return "";
  std::vector<std::pair<std::string, int>> lines;  // in order of first appearance
  std::map<std::string, std::size_t> seen;
  for (const std::string& line : r.warnings) {
    const auto [at, fresh] = seen.emplace(line, lines.size());
    if (fresh) lines.emplace_back(line, 0);
    ++lines[at->second].second;
  }
  std::string html =
      "<section class=\"warnings\">\n<h2>Warnings (" + std::to_string(r.warnings.size()) + ")</h2>\n<ul>\n";
  for (const auto& [line, times] : lines) {
    const Warning warning = split_warning(line);
    html += "<li>";
    if (!warning.source.empty()) html += "<span class=\"source\">" + html_escape(warning.source) + "</span>";
    html += html_escape(warning.text);
    if (times > 1) html += " <span class=\"aside\">(" + std::to_string(times) + " times)</span>";
    html += "</li>\n";
  }
  return html + "</ul>\n</section>\n";
}

// The decision first: the probability that the 95th percentile exceeds the limit, the most probable band and
// the estimate of the 95th percentile with its upper credible limit.
std::string decision_section(const FolderResults& r) {
  const bool weighted = weights_differ(r);
  const std::string with_weights = weighted ? ", with your band weights" : "";
  std::string html =
      "<section class=\"decision\">\n<p class=\"headline\">Probability that the 95th percentile "
      "exceeds the limit" +
      with_weights + ": ";
  const std::optional<double> exceed = exceedance_probability(r, true);
  if (exceed) {
    html += "<strong>" + html_escape(percent_text(*exceed)) + "</strong>";
    const std::optional<double> flat = exceedance_probability(r, false);
    if (weighted && flat)
      html += " <span class=\"aside\">(every band weighted alike: " + html_escape(percent_text(*flat)) + ")</span>";
  } else {
    html += "<strong>not available</strong> <span class=\"aside\">(" +
            std::string(r.has_bands ? "there were no values to compute from" : "the run did not get this far") +
            ")</span>";
  }
  html += "</p>\n";
  if (r.most_probable_band > 0) {
    const std::optional<double> p = field_value(r.weighted[r.most_probable_band - 1]);
    html += "<p>Most probable band" + with_weights + ": <span class=\"band band-" +
            std::to_string(r.most_probable_band) + "\">" + band_text(r.most_probable_band) + "</span>";
    if (p) html += " <span class=\"aside\">(" + html_escape(percent_text(*p)) + ")</span>";
    html += "</p>\n";
  }
  const std::optional<double> median = estimate(r, vantor::percentile_95, q50);
  const std::optional<double> upper = estimate(r, vantor::percentile_95, q95);
  if (median && upper) {
    html += "<p>95th percentile" + with_weights + ": <strong class=\"nowrap\">" +
            html_escape(amount_text(*median, r.units)) +
            "</strong> (point estimate, the posterior median); 95 % upper credible limit <strong class=\"nowrap\">" +
            html_escape(amount_text(*upper, r.units)) + "</strong>.</p>\n";
  } else {
    html += "<p>95th percentile: no estimate (" +
            std::string(r.has_estimates ? "there were no values to compute from"
                                        : "the posterior estimates, out_estimates.txt, were not read") +
            ").</p>\n";
  }
  if (weighted) {
    html += "<p class=\"note\">" + std::string(weights_meaning);
    if (band5_weight_zero(r)) html += " A weight of 0 on band 5 makes its probability 0 whatever the data.";
    html += "</p>\n";
  }
  html +=
      "<p class=\"note\">The model pools all groups of the folder: its measurements are taken as one sample "
      "from one lognormal distribution.</p>\n";
  return html + "</section>\n";
}

// A posterior percentile to 4 significant digits; the row's label gives its units.
std::string estimate_cell(const FolderResults& r, int quantity, int percentile) {
  const std::optional<double> value = estimate(r, quantity, percentile);
  return value ? significant_text(*value) : missing;
}

std::string estimates_section(const FolderResults& r) {
  std::string html = "<section>\n<h2>Posterior estimates</h2>\n";
  if (!r.has_estimates)
    return html + "<p>Not available: the posterior estimates (out_estimates.txt) were not read.</p>\n</section>\n";
  if (!estimate(r, vantor::geometric_mean, q50))
    return html + "<p>Not available: there were no values to compute from.</p>\n</section>\n";
  html += "<div class=\"table-wrap\"><table class=\"estimates\">\n<caption>Percentiles of the posterior";
  html += weights_differ(r) ? ", with your band weights" : ", every band weighted alike";
  html +=
      ", from out_estimates.txt</caption>\n<tr><th scope=\"col\">Quantity</th><th scope=\"col\">Median</th>"
      "<th scope=\"col\">95 % interval</th><th scope=\"col\">70 % upper limit</th>"
      "<th scope=\"col\">95 % upper limit</th></tr>\n";
  const std::string units = r.units.empty() ? "" : " (" + html_escape(r.units) + ")";
  const std::pair<int, std::string> rows[] = {
      {vantor::percentile_95, "95th percentile" + units},
      {vantor::exceedance_percent, "Exceedance: share of exposures above the limit (%)"},
      {vantor::geometric_mean, "Geometric mean" + units},
      {vantor::geometric_sd, "Geometric standard deviation (a factor)"},
      {vantor::arithmetic_mean, "Arithmetic mean" + units}};
  for (const auto& [quantity, label] : rows) {
    html += "<tr><th scope=\"row\">" + label + "</th><td class=\"num\">" + estimate_cell(r, quantity, q50) +
            "</td><td class=\"num nowrap\">" + estimate_cell(r, quantity, q2_5) + " – " +
            estimate_cell(r, quantity, q97_5) + "</td><td class=\"num\">" + estimate_cell(r, quantity, q70) +
            "</td><td class=\"num\">" + estimate_cell(r, quantity, q95) + "</td></tr>\n";
  }
  return html + "</table></div>\n</section>\n";
}

std::string plot_section(const FolderResults& r) {
  const std::string figure = measurement_plot_figure(r);
  std::string html = "<section>\n<h2>The measurements</h2>\n";
  if (figure.empty()) {
    const bool none = r.has_summary && field_value(r.n) == 0.0;
    return html + "<p>No plot: " + (none ? "there are no measurements" : "the measurements were not read") +
           ".</p>\n</section>\n";
  }
  return html + figure + "</section>\n";
}

}  // namespace

std::string report_html(const FolderResults& r, const ReportContext& context) {
  std::string html = page_start("Band report: " + r.name) + "<h1>Band report</h1>\n";
  html += "<p>Folder <span class=\"folder\">" + html_escape(r.name) + "</span> <span class=\"status " +
          (r.ok ? "ok\">ok" : "failed\">failed") + "</span></p>\n";
  if (!r.ok) html += "<p class=\"failure\"><strong>What failed:</strong> " + html_escape(r.message) + "</p>\n";
  html += warnings_section(r) + decision_section(r) + estimates_section(r) + plot_section(r) + bands_section(r) +
          summary_section(r) + normality_section(r) + settings_section(r);
  return html + page_end(context);
}

}  // namespace bandreport

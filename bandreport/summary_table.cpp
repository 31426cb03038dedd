// The batch's summary table: one CSV row per folder, in the order the folders were given.
#include "bandreport/summary_table.h"

#include "bandreport/decimal_text.h"
#include "bandreport/result_values.h"
#include "bandreport/text_escape.h"

namespace bandreport {

const char* const summary_header =
    "folder,status,n,arithmetic_mean,standard_deviation,geometric_mean,geometric_sd,fold_range,chi_square,p_value,"
    "flat_band1,flat_band2,flat_band3,flat_band4,flat_band5,weighted_band1,weighted_band2,weighted_band3,"
    "weighted_band4,weighted_band5,most_probable_band,message,limit,units,below_detection,p95_median,p95_upper_95,"
    "exceedance_percent_median,probability_above_limit,warnings";

namespace {

// Columns of out_estimates.txt (vantor::percentile_names): q50, the point estimate; q95, the upper credible limit.
constexpr int median_column = 1, upper_95_column = 3;

// A text field that a spreadsheet would take for a formula (= + - @ first; tab and carriage return, which some
// drop before looking) starts with ' instead, which shows it as the text it is.
std::string text_field(const std::string& text) {
  const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  return csv_field(formula ? "'" + text : text);
}

// The reason of a failed folder first, then why fields are empty, then an ok folder's warnings.
std::string message_text(const FolderResults& r, const ResultValues& v) {
  std::vector<std::string> parts;
  if (!r.ok) parts.push_back(r.message);
  parts.insert(parts.end(), v.notes.begin(), v.notes.end());
  if (r.ok) parts.insert(parts.end(), r.warnings.begin(), r.warnings.end());
  std::string message;
  for (const std::string& part : parts) message += (message.empty() ? "" : "; ") + part;
  return message;
}

}  // namespace

std::string summary_row(const FolderResults& r) {
  const ResultValues v = result_values(r);
  std::string row = text_field(r.name) + (r.ok ? ",ok," : ",failed,");
  // Numbers are plain text with no comma: no quoting, no formula.
  const auto number = [&](const std::string& text) { row += text + ","; };
  number(v.n.text);
  for (const ResultValue& f : v.summary) number(f.text);
  number(v.chi_square.text);
  number(v.p_value.text);
  for (const ResultValue& f : v.flat) number(f.text);
  for (const ResultValue& f : v.weighted) number(f.text);
  number(r.most_probable_band > 0 ? std::to_string(r.most_probable_band) : "");
  row += text_field(message_text(r, v)) + ",";
  number(r.settings ? shortest_text(r.settings->limit) : "");
  row += text_field(r.units) + ",";
  number(r.has_summary ? std::to_string(r.below_detection) : "");
  number(v.estimates[vantor::percentile_95][median_column].text);
  number(v.estimates[vantor::percentile_95][upper_95_column].text);
  number(v.estimates[vantor::exceedance_percent][median_column].text);
  number(v.weighted[band_count - 1].text);  // band 5: the 95th percentile above the limit
  return row + std::to_string(r.warnings.size());
}

}  // namespace bandreport

// The numbers the pages lead with, and their wording.
#include "bandreport/report_numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "bandreport/decimal_text.h"

namespace bandreport {

namespace {

// "1.200" -> "1.2", "2.000" -> "2", "12350" unchanged.
std::string without_trailing_zeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

std::string percent_text(double probability) {
  if (probability < 0.01) return "< 1 %";
  if (probability > 0.99) return "> 99 %";
  return fixed_decimals(std::round(100.0 * probability), 0) + " %";
}

std::string significant_text(double value, bool trailing_zeros) {
  if (!std::isfinite(value)) return "—";
  if (value == 0.0) return "0";
  // Rounded to 4 significant digits first, so that 9999.7 becomes 10000 and not 9999.
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 3);
  const std::string rounded_text(text, written.ptr);
  const double rounded = std::strtod(rounded_text.c_str(), nullptr);
  const double magnitude = std::fabs(rounded);
  if (magnitude < 1e-4 || magnitude >= 1e9) {
    std::string mantissa = rounded_text.substr(0, rounded_text.find('e'));
    if (!trailing_zeros) mantissa = without_trailing_zeros(mantissa);
    return mantissa + rounded_text.substr(rounded_text.find('e'));
  }
  const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
  const std::string fixed = fixed_decimals(rounded, std::max(0, 3 - exponent));
  return trailing_zeros ? fixed : without_trailing_zeros(fixed);
}

std::string amount_text(double value, const std::string& units) {
  return units.empty() ? significant_text(value) : significant_text(value) + " " + units;
}

std::string band_text(int band) {
  if (band < 1 || band > band_count) return "no band";
  return "band " + std::to_string(band) + " · " + core::band_labels[band - 1] + " of the limit";
}

std::optional<double> exceedance_probability(const FolderResults& r, bool weighted) {
  if (!r.has_bands) return std::nullopt;
  const std::optional<double> p = field_value(weighted ? r.weighted[band_count - 1] : r.flat[band_count - 1]);
  if (!p || *p < 0.0 || *p > 1.0) return std::nullopt;
  return p;
}

namespace {

// The five band weights: as vantor echoed them, else as in_bayes.txt holds them.
std::optional<std::array<double, band_count>> band_weights(const FolderResults& r) {
  std::array<double, band_count> weights{};
  bool echoed = r.has_bands;
  for (int k = 0; echoed && k < band_count; ++k) {
    const std::optional<double> w = field_value(r.weight[k]);
    echoed = w && *w >= 0.0;
    if (echoed) weights[k] = *w;
  }
  if (echoed) return weights;
  if (!r.settings) return std::nullopt;
  for (int k = 0; k < band_count; ++k) weights[k] = r.settings->band_prior[k];
  return weights;
}

}  // namespace

bool weights_differ(const FolderResults& r) {
  const auto weights = band_weights(r);
  if (!weights) return false;
  for (double w : *weights)
    if (w != (*weights)[0]) return true;
  return false;
}

bool band5_weight_zero(const FolderResults& r) {
  const auto weights = band_weights(r);
  return weights && (*weights)[band_count - 1] == 0.0;
}

std::optional<double> estimate(const FolderResults& r, int quantity, int percentile) {
  if (!r.has_estimates || quantity < 0 || quantity >= quantity_count || percentile < 0 ||
      percentile >= percentile_count)
    return std::nullopt;
  // The n = 0 markers fill every field with -1; no quantity is negative otherwise.
  const std::optional<double> value = field_value(r.estimates[quantity][percentile]);
  if (!value || *value < 0.0) return std::nullopt;
  return value;
}

std::optional<double> sample_statistic(const FolderResults& r, SummaryField field) {
  if (!r.has_summary || is_marker(r.summary[field])) return std::nullopt;
  // A single value has no spread: out_seg.txt writes 0 for it, which is no standard deviation of the data.
  const bool spread = field == standard_deviation || field == geometric_sd;
  if (spread && field_value(r.n) == 1.0) return std::nullopt;
  return field_value(r.summary[field]);
}

}  // namespace bandreport

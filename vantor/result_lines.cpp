// The lines of vantor's result files as text: fixed-width fields for the test and the bands, shortest forms for the estimates.
#include "vantor/result_lines.h"

#include <charconv>

#include "core/files.h"
#include "textio/fixed_width_writer.h"

namespace vantor {

std::vector<std::string> pvalue_lines(double statistic, double pvalue) {
  return {textio::fixed_field(statistic, core::pvalue_width, core::pvalue_decimals),
          textio::fixed_field(pvalue, core::pvalue_width, core::pvalue_decimals)};
}

std::vector<std::string> bayes_lines(const double (&band_prior)[bands], const BandProbabilities& result) {
  const auto field = [](double v) { return textio::fixed_field(v, core::band_field_width, core::band_field_decimals); };
  std::vector<std::string> lines;
  for (int k = 0; k < bands; ++k)
    lines.push_back(field(band_prior[k]) + core::band_field_separator + field(result.likelihood[k]) +
                    core::band_field_separator + field(result.posterior[k]));
  return lines;
}

std::vector<std::string> estimates_lines(const Estimates& estimates) {
  std::vector<std::string> lines;
  std::string header = "quantity";
  for (const char* name : percentile_names) header += std::string(",") + name;
  lines.push_back(header);
  for (int q = 0; q < quantity_count; ++q) {
    std::string line = quantity_names[q];
    for (double v : estimates.value[q]) {
      char text[32];
      const auto end = std::to_chars(text, text + sizeof text, v).ptr;
      line += "," + std::string(text, end);
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace vantor

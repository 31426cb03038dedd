// Writing vantor's result files: the normality test "out_pvalue.txt" and the band probabilities "out_bayes.txt".
#include "vantor/result_files.h"

#include <charconv>

#include "textio/fixed_width_writer.h"
#include "textio/output_file.h"
#include "core/files.h"

namespace vantor {

namespace {

std::string finish(textio::OutputFile& file) {
  return textio::commit_output(file) ? "" : textio::describe_output_error(file);
}

}  // namespace

std::vector<std::string> pvalue_lines(double statistic, double pvalue) {
  return {textio::fixed_field(statistic, 10, 3), textio::fixed_field(pvalue, 10, 3)};
}

std::string write_pvalue_file(double statistic, double pvalue) {
  textio::OutputFile file;
  if (!textio::open_output(file, core::pvalue_file, core::pvalue_unit)) return textio::describe_output_error(file);
  for (const std::string& line : pvalue_lines(statistic, pvalue)) textio::write_record(file, line);
  return finish(file);
}

std::vector<std::string> bayes_lines(const double (&band_prior)[bands], const BandProbabilities& result) {
  std::vector<std::string> lines;
  for (int k = 0; k < bands; ++k)
    lines.push_back(textio::fixed_field(band_prior[k], 11, 7) + "," + textio::fixed_field(result.likelihood[k], 11, 7) +
                    "," + textio::fixed_field(result.posterior[k], 11, 7));
  return lines;
}

std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit) {
  textio::OutputFile file;
  if (!textio::open_output(file, core::bayes_file, unit)) return textio::describe_output_error(file);
  for (const std::string& line : bayes_lines(band_prior, result)) textio::write_record(file, line);
  return finish(file);
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

std::string write_estimates_file(const Estimates& estimates) {
  textio::OutputFile file;
  if (!textio::open_output(file, core::estimates_file, core::estimates_unit))
    return textio::describe_output_error(file);
  for (const std::string& line : estimates_lines(estimates)) textio::write_record(file, line);
  return finish(file);
}

std::string write_marker_files() {
  std::string failure = write_pvalue_file(-1.0, -1.0);
  if (!failure.empty()) return failure;
  BandProbabilities markers;
  double minus_one[bands];
  for (int k = 0; k < bands; ++k) minus_one[k] = markers.likelihood[k] = markers.posterior[k] = -1.0;
  return write_bayes_file(minus_one, markers, core::bayes_unit);
}

}  // namespace vantor

// Writing vantor's result files: out_pvalue.txt, out_bayes.txt and out_estimates.txt, each whole or not at all.
#include "vantor/result_files.h"

#include "core/files.h"
#include "textio/output_file.h"

namespace vantor {

namespace {

std::string finish(textio::OutputFile& file) {
  return textio::commit_output(file) ? "" : textio::describe_output_error(file);
}

}  // namespace

std::string write_pvalue_file(double statistic, double pvalue) {
  textio::OutputFile file;
  if (!textio::open_output(file, core::pvalue_file, core::pvalue_unit)) return textio::describe_output_error(file);
  for (const std::string& line : pvalue_lines(statistic, pvalue)) textio::write_record(file, line);
  return finish(file);
}

std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit) {
  textio::OutputFile file;
  if (!textio::open_output(file, core::bayes_file, unit)) return textio::describe_output_error(file);
  for (const std::string& line : bayes_lines(band_prior, result)) textio::write_record(file, line);
  return finish(file);
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

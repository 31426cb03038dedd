// Writing vantor's result files: the normality test "out_pvalue.txt" and the band probabilities "out_bayes.txt".
#include "vantor/result_files.h"

#include "textio/fixed_width_writer.h"
#include "textio/output_file.h"
#include "vantor/file_units.h"

namespace vantor {

namespace {

std::string finish(textio::OutputFile& file) {
  return textio::commit_output(file) ? "" : textio::describe_output_error(file);
}

}  // namespace

std::string write_pvalue_file(double statistic, double pvalue) {
  textio::OutputFile file;
  if (!textio::open_output(file, pvalue_file, pvalue_unit)) return textio::describe_output_error(file);
  textio::write_record(file, textio::fixed_field(statistic, 10, 3));
  textio::write_record(file, textio::fixed_field(pvalue, 10, 3));
  return finish(file);
}

std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit) {
  textio::OutputFile file;
  if (!textio::open_output(file, bayes_file, unit)) return textio::describe_output_error(file);
  for (int k = 0; k < bands; ++k) {
    textio::write_record(file, textio::fixed_field(band_prior[k], 11, 7) + "," +
                                   textio::fixed_field(result.likelihood[k], 11, 7) + "," +
                                   textio::fixed_field(result.posterior[k], 11, 7));
  }
  return finish(file);
}

std::string write_marker_files() {
  std::string failure = write_pvalue_file(-1.0, -1.0);
  if (!failure.empty()) return failure;
  BandProbabilities markers;
  double minus_one[bands];
  for (int k = 0; k < bands; ++k) minus_one[k] = markers.likelihood[k] = markers.posterior[k] = -1.0;
  return write_bayes_file(minus_one, markers, bayes_unit);
}

}  // namespace vantor

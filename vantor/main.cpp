// vantor: reads "logy.txt" and "in_bayes.txt", writes the normality test to
// "out_pvalue.txt" and the band probabilities to "out_bayes.txt".
#include <string>
#include <vector>

#include "textio/diagnostics.h"
#include "vantor/band_posterior.h"
#include "vantor/file_units.h"
#include "vantor/input_files.h"
#include "vantor/normality_test.h"
#include "vantor/result_files.h"
#include "vantor/settings.h"

namespace {

int refuse(const std::string& diagnostic) {
  textio::report(diagnostic);
  return textio::exit_io_failure;
}

int run() {
  std::vector<double> values;
  std::string failure = vantor::read_values_file(values);
  if (!failure.empty()) return refuse(failure);
  if (values.empty()) {
    failure = vantor::write_marker_files();
    return failure.empty() ? textio::exit_ok : refuse(failure);
  }

  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(values, statistic, pvalue);
  failure = vantor::write_pvalue_file(statistic, pvalue);
  if (!failure.empty()) return refuse(failure);

  vantor::Settings settings;
  failure = vantor::read_settings_file(settings);
  if (failure.empty()) failure = vantor::check_settings(settings, values.size());
  if (!failure.empty()) return refuse(failure);

  const vantor::BandSettings band = vantor::band_settings(settings);
  const bool one_value = values.size() == 1;
  const vantor::BandProbabilities result =
      one_value ? vantor::band_posterior_one(band, values) : vantor::band_posterior_many(band, values);
  failure =
      vantor::write_bayes_file(band.band_prior, result, one_value ? vantor::bayes_one_value_unit : vantor::bayes_unit);
  return failure.empty() ? textio::exit_ok : refuse(failure);
}

}  // namespace

int main() { return textio::run_program("vantor", run, "not enough memory for the values of logy.txt"); }

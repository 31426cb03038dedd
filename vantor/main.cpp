// vantor: reads "logy.txt" and "in_bayes.txt", writes the normality test to
// "out_pvalue.txt" and the band probabilities to "out_bayes.txt".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "textio/diagnostics.h"
#include "textio/program_frame.h"
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

// Ends the run the quadrature library stopped: its message is already on standard output, one line on standard
// error says so. Flushing is the last chance to learn that the message was lost (a full disk, a closed pipe), which
// must not pass as a stop. Exits here, as the frame's own end-of-run check would report a lost output once more.
[[noreturn]] void end_stopped_run() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int code = errno != 0 ? errno : EIO;
    textio::report("cannot write to standard output: " + textio::system_message(code));
    std::exit(textio::exit_io_failure);
  }
  textio::report("the quadrature library stopped the run; its message is on standard output");
  std::exit(textio::exit_stopped);
}

constexpr std::string_view description =
    "Reads logy.txt (a count, then one natural-log value per line, as cardel writes it) and the\n"
    "settings in_bayes.txt (the limit; two geometric-mean bounds; two geometric-standard-deviation\n"
    "bounds, ascending and at least 1; five band weights, not negative and not all 0). Writes\n"
    "out_pvalue.txt (statistic and p-value of a chi-square test of normality) and out_bayes.txt\n"
    "(for five bands of the 95th percentile relative to the limit: the band weight, the probability\n"
    "under flat priors and the probability with the weights).\n";

int run(const textio::RunOptions&) {
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
  if (result.stopped) end_stopped_run();
  failure =
      vantor::write_bayes_file(band.band_prior, result, one_value ? vantor::bayes_one_value_unit : vantor::bayes_unit);
  return failure.empty() ? textio::exit_ok : refuse(failure);
}

}  // namespace

int main(int argc, char** argv) {
  const textio::ProgramInfo info{"vantor", description, "not enough memory for the values of logy.txt"};
  return textio::run_program(info, argc, argv, run);
}

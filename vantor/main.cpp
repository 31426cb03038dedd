// vantor: reads "logy.txt" and "in_bayes.txt", writes the normality test to "out_pvalue.txt", the band
// probabilities to "out_bayes.txt" and, with --estimates, the posterior percentiles to "out_estimates.txt".
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "textio/diagnostics.h"
#include "textio/program_frame.h"
#include "core/analysis.h"
#include "core/files.h"
#include "vantor/band_posterior.h"
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
    "Reads logy.txt (a count, then one natural-log value per line as cardel writes it, <v for a\n"
    "result below the detection limit e^v) and the settings in_bayes.txt (the limit; two\n"
    "geometric-mean bounds; two geometric-standard-deviation bounds, ascending and at least 1;\n"
    "five band weights, not negative and not all 0). Writes out_pvalue.txt (statistic and\n"
    "p-value of a chi-square test of normality) and out_bayes.txt (for five bands of the 95th\n"
    "percentile relative to the limit: the band weight, the probability under flat priors and\n"
    "the probability with the weights).\n";

constexpr textio::Flag flags[] = {{"--estimates",
                                   "also write out_estimates.txt: the posterior percentiles 2.5, 50, 70,\n"
                                   "95 and 97.5 of the geometric mean, the geometric standard deviation,\n"
                                   "the 95th percentile, the arithmetic mean and the percentage above the\n"
                                   "limit\n"}};
constexpr std::size_t estimates_flag = 0;

// Writes what the integrator printed to standard output, where its messages belong.
void pass_on_printed(const std::string& printed) {
  if (!printed.empty()) std::fwrite(printed.data(), 1, printed.size(), stdout);
}

// Notes on standard error for the integrals of a one-value run that did not end plainly.
void report_integrals(const core::BandRun& run) {
  const std::string of_all = " of the " + std::to_string(vantor::band_integrals) + " band integrals ";
  if (run.integrals_warned > 0) {
    const long long warned = run.integrals_warned, beyond = run.warned_beyond_tolerance;
    std::string checked;
    if (beyond == 0)
      checked = std::string(warned == 1 ? "it is" : "each is") + " within the requested relative tolerance of 1e-5";
    else
      checked = std::to_string(warned - beyond) + " within the requested relative tolerance of 1e-5, and " +
                std::to_string(beyond) + (beyond == 1 ? " off by " : " off by up to ") +
                vantor::shown(run.worst_warned_error) + " and so computed from it instead";
    textio::report("note: " + std::to_string(warned) + of_all +
                   "ended with a WARNING (shown above); checked against the exponential integral, " + checked);
  }
  const long long unfinished = run.integrals_unfinished, missed = run.masses_missed;
  if (unfinished + missed == 0) return;
  std::string how;
  if (unfinished > 0)
    how = std::to_string(unfinished) + " ended in a FATAL outcome of the integrator (" +
          (unfinished == 1 ? "its message is" : "their messages are") + " left out)";
  if (unfinished > 0 && missed > 0) how += " and ";
  if (missed > 0)
    how += std::to_string(missed) + " came back as 0 although " + (missed == 1 ? "it holds" : "they hold") +
           " probability";
  textio::report("note: " + std::to_string(unfinished + missed) + of_all +
                 "were computed from the exponential integral instead of by the integrator: " + how);
}

int run(const textio::RunOptions& options) {
  const bool with_estimates = options.has_flag(estimates_flag);
  std::vector<double> values;
  std::vector<std::uint8_t> below;
  std::string failure = vantor::read_values_file(values, below);
  if (!failure.empty()) return refuse(failure);
  if (values.empty()) {
    failure = vantor::write_marker_files();
    if (failure.empty() && with_estimates) failure = vantor::write_estimates_file(core::no_value_estimates());
    return failure.empty() ? textio::exit_ok : refuse(failure);
  }

  std::size_t below_count = 0;
  for (std::uint8_t b : below) below_count += b != 0 ? 1 : 0;
  const core::NormalityTest test = core::normality_test(values, below);
  failure = vantor::write_pvalue_file(test.statistic, test.pvalue);
  if (!failure.empty()) return refuse(failure);
  if (below_count > 0)
    textio::report("note: " + std::string(core::pvalue_file) +
                   " holds the -9 markers: the chi-square test of normality is not defined when results lie below a "
                   "detection limit (" +
                   std::to_string(below_count) + " of " + std::to_string(values.size()) + " here)");

  core::Settings settings;
  failure = vantor::read_settings_file(settings);
  if (!failure.empty()) return refuse(failure);
  if (const auto refusal = core::check_settings(settings, values.size()))
    return refuse(vantor::refusal_message(settings, *refusal));
  for (const core::PriorWarning& warning : core::prior_warnings(values, below, settings))
    textio::report("warning: " + warning.text);

  const core::BandAnalysis analysis = core::band_analysis(values, below, settings, with_estimates);
  const core::BandRun& result = analysis.run;
  pass_on_printed(result.printed);
  if (result.outcome == core::BandRun::Outcome::stopped) end_stopped_run();
  report_integrals(result);
  if (result.outcome == core::BandRun::Outcome::refused)
    return refuse(vantor::refusal_message(settings, core::data_refusal(settings, result)));
  for (int k = 0; k < vantor::bands; ++k)
    if (!std::isfinite(result.probabilities.likelihood[k]) || !std::isfinite(result.probabilities.posterior[k]))
      return refuse("internal error: the probability of band " + std::to_string(k + 1) + " is not a finite number; " +
                    core::bayes_file + " was left as it was");
  if (result.panels_unconverged > 0)
    textio::report("note: " + std::to_string(result.panels_unconverged) +
                   " pieces of the band integrals did not reach the requested accuracy of 1e-8 before the limit of "
                   "their splitting; their results are used as they stand");
  const int unit = values.size() == 1 && below_count == 0 ? core::bayes_one_value_unit : core::bayes_unit;
  failure = vantor::write_bayes_file(settings.band_prior, result.probabilities, unit);
  if (failure.empty() && with_estimates && analysis.estimates_computed)
    failure = vantor::write_estimates_file(analysis.estimates);
  return failure.empty() ? textio::exit_ok : refuse(failure);
}

}  // namespace

int main(int argc, char** argv) {
  const textio::ProgramInfo info{.name = "vantor",
                                 .description = description,
                                 .memory_message = "not enough memory for the values of logy.txt",
                                 .flags = flags};
  return textio::run_program(info, argc, argv, run);
}

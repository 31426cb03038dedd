// vantor: reads "logy.txt" and "in_bayes.txt", writes the normality test to
// "out_pvalue.txt" and the band probabilities to "out_bayes.txt".
#include <cmath>
#include <string>

#include "textio/diagnostics.h"
#include "textio/fixed_width_writer.h"
#include "textio/free_form_reader.h"
#include "textio/output_file.h"
#include "textio/program_frame.h"
#include "vantor/band_posterior.h"
#include "vantor/normality_test.h"
#include "vantor/run_values.h"
#include "vantor/settings.h"

namespace {

// Fixed unit numbers, shown in diagnostics.
constexpr int values_unit = 100;
constexpr int pvalue_unit = 120;
constexpr int settings_unit = 140;
constexpr int bayes_unit = 200;

int open_failure(const std::string& message) {
  textio::report(message);
  return textio::exit_io_failure;
}

int read_failure(const textio::FreeFormReader& reader, textio::ReadStatus status) {
  textio::report(textio::describe_read_error(reader, status));
  return textio::exit_io_failure;
}

int write_failure(const textio::OutputFile& file) {
  textio::report(textio::describe_output_error(file));
  return textio::exit_io_failure;
}

bool write_pvalue_file(textio::OutputFile& file, double statistic, double pvalue) {
  if (!textio::open_output(file, "out_pvalue.txt", pvalue_unit)) return false;
  textio::write_record(file, textio::fixed_field(statistic, 10, 3));
  textio::write_record(file, textio::fixed_field(pvalue, 10, 3));
  return textio::commit_output(file);
}

// n = 0: nothing to compute from; both files get -1 markers.
int write_markers() {
  textio::OutputFile file;
  if (!write_pvalue_file(file, -1.0, -1.0)) return write_failure(file);
  vantor::BandProbabilities markers;
  const double minus_one[5] = {-1.0, -1.0, -1.0, -1.0, -1.0};
  for (int k = 0; k < vantor::bands; ++k) markers.likelihood[k] = markers.posterior[k] = -1.0;
  if (!vantor::write_band_file(file, "out_bayes.txt", bayes_unit, minus_one, markers)) return write_failure(file);
  return textio::exit_ok;
}

int run() {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, "logy.txt", values_unit, error)) return open_failure(error);
  textio::ReadStatus status = textio::read_integers(reader, &vantor::value_count, 1);
  if (status != textio::ReadStatus::ok) return read_failure(reader, status);
  const std::int32_t n = vantor::value_count;
  if (n < 0) {
    textio::report("negative number of values " + std::to_string(n) + " in file logy.txt, unit " +
                   std::to_string(values_unit) + ", line " + std::to_string(reader.next_line - 1));
    return textio::exit_io_failure;
  }
  if (n == 0) return write_markers();

  if (!textio::can_hold(reader, static_cast<std::uint64_t>(n))) {
    // The file is too short for its count: find where it falls short without reserving memory.
    for (std::int32_t i = 0; i < n; ++i) {
      status = textio::skip_reals(reader, 1);
      if (status != textio::ReadStatus::ok) return read_failure(reader, status);
    }
  }
  vantor::log_values.assign(n, 0.0);
  for (std::int32_t i = 0; i < n; ++i) {
    status = textio::read_reals(reader, &vantor::log_values[i], 1);
    if (status != textio::ReadStatus::ok) return read_failure(reader, status);
  }
  reader = textio::FreeFormReader{};

  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(n, vantor::log_values.data(), statistic, pvalue);
  textio::OutputFile file;
  if (!write_pvalue_file(file, statistic, pvalue)) return write_failure(file);

  if (!textio::open_input(reader, "in_bayes.txt", settings_unit, error))
    return open_failure(error);
  vantor::Settings settings;
  status = vantor::read_settings(reader, settings);
  if (status != textio::ReadStatus::ok) return read_failure(reader, status);
  error = vantor::check_settings(settings, reader);
  if (!error.empty()) {
    textio::report(error);
    return textio::exit_io_failure;
  }

  vantor::BandSettings band;
  band.limit = settings.limit;
  band.mu_bounds[0] = std::log(settings.gm_bounds[0]);
  band.mu_bounds[1] = std::log(settings.gm_bounds[1]);
  band.sigma_bounds[0] = std::log(settings.gsd_bounds[0]);
  band.sigma_bounds[1] = std::log(settings.gsd_bounds[1]);
  for (int k = 0; k < vantor::bands; ++k) band.band_prior[k] = settings.band_prior[k];
  const bool written = n == 1 ? vantor::band_posterior_one(band, file) : vantor::band_posterior_many(band, file);
  if (!written) return write_failure(file);
  std::vector<double>().swap(vantor::log_values);
  return textio::exit_ok;
}

}  // namespace

int main() { return textio::run_program("vantor", run, "not enough memory for the values of logy.txt"); }

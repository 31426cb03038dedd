// The pipeline's computations for any host, over the group statistics and the band computations.
#include "core/analysis.h"

#include <cmath>

#include "vantor/censored_values.h"
#include "vantor/internal/posterior_grid.h"
#include "vantor/normality_test.h"
#include "vantor/result_lines.h"

namespace core {

GroupSummary group_summary(GroupTable& table, std::uint64_t seed) { return cardel::summarize_groups(table, seed); }

NormalityTest normality_test(std::span<const double> log_values) {
  NormalityTest test;
  vantor::normality_test(log_values, test.statistic, test.pvalue);
  return test;
}

std::optional<Refusal> check_settings(const Settings& settings, std::size_t value_count) {
  return vantor::settings_refusal(settings, value_count);
}

BandRun band_probabilities(std::span<const double> log_values, const Settings& settings, const BandOptions& options) {
  const vantor::BandSettings band = vantor::band_settings(settings);
  return log_values.size() == 1 ? vantor::band_posterior_one(band, log_values, options)
                                : vantor::band_posterior_many(band, log_values, options);
}

namespace {

bool any_below(std::span<const std::uint8_t> below) {
  for (std::uint8_t b : below)
    if (b != 0) return true;
  return false;
}

}  // namespace

NormalityTest normality_test(std::span<const double> log_values, std::span<const std::uint8_t> below) {
  return any_below(below) ? NormalityTest{} : normality_test(log_values);
}

BandRun band_probabilities(std::span<const double> log_values, std::span<const std::uint8_t> below,
                           const Settings& settings, const BandOptions& options) {
  return band_analysis(log_values, below, settings, false, options).run;
}

BandAnalysis band_analysis(std::span<const double> log_values, std::span<const std::uint8_t> below,
                           const Settings& settings, bool with_estimates, const BandOptions& options) {
  BandAnalysis analysis;
  const vantor::BandSettings band = vantor::band_settings(settings);
  const bool censored = any_below(below);
  // Without entries below a limit the bands come from the exact computations, and so do the estimates unless their
  // closed form would lose digits; they then read the grid's sigma profiles, which the quadrature gives.
  if (!censored) {
    analysis.run = band_probabilities(log_values, settings, options);
    if (!with_estimates || analysis.run.outcome != BandRun::Outcome::computed) return analysis;
    if (const auto closed = vantor::closed_form_estimates(band, log_values, options)) {
      analysis.estimates = *closed;
      analysis.estimates_computed = true;
      return analysis;
    }
  }
  vantor::PosteriorGrid grid;
  const BandRun quadrature = vantor::band_posterior_censored(band, vantor::group_entries(log_values, below), options,
                                                             with_estimates ? &grid : nullptr);
  if (censored) analysis.run = quadrature;
  if (!with_estimates || quadrature.outcome != BandRun::Outcome::computed) return analysis;
  analysis.estimates = vantor::posterior_estimates(band, grid, options);
  analysis.estimates_computed = true;
  return analysis;
}

Estimates no_value_estimates() { return vantor::marker_estimates(); }

std::vector<std::string> pvalue_file_lines(const NormalityTest& test) {
  return vantor::pvalue_lines(test.statistic, test.pvalue);
}

std::vector<std::string> bayes_file_lines(const Settings& settings, const BandRun& run) {
  return vantor::bayes_lines(settings.band_prior, run.probabilities);
}

std::vector<std::string> estimates_file_lines(const Estimates& estimates) { return vantor::estimates_lines(estimates); }

std::vector<PriorWarning> prior_warnings(std::span<const double> log_values, std::span<const std::uint8_t> below,
                                         const Settings& settings) {
  return vantor::prior_warnings(log_values, below, settings);
}

Refusal data_refusal(const Settings& settings, const BandRun& run) {
  using vantor::shown;
  if (run.refusal == vantor::DataRefusal::infinite_mass)
    return Refusal{vantor::gsd_read, "gsd_bounds(1)", shown(settings.gsd_bounds[0]),
                   "every value equals the geometric mean " + shown(std::exp(run.refusal_mu)) +
                       " of a grid point, where a lower bound of 1 (sigma = 0) makes the probability of a band "
                       "infinite; raise the lower bound above 1"};
  if (run.refusal == vantor::DataRefusal::no_mass)
    return Refusal{vantor::gsd_read, "gsd_bounds", vantor::shown_list(settings.gsd_bounds, 2),
                   "no band holds any probability at any point of the grid: the bounds are too close together "
                   "for the 95th percentile to differ between them, or the values lie beyond the range of double "
                   "precision; widen the bounds"};
  // The weights leave out every band that holds probability: name those bands.
  std::string held;
  int count = 0;
  for (int k = 0; k < vantor::bands; ++k) {
    if (!(run.probabilities.likelihood[k] > 0.0)) continue;
    held += (count++ ? ", " : "") + std::to_string(k + 1);
  }
  return Refusal{vantor::prior_read, "band_prior", vantor::shown_list(settings.band_prior, vantor::bands),
                 "the weights are 0 on every band that holds probability (band" + std::string(count > 1 ? "s " : " ") +
                     held +
                     "), so the weighted probabilities cannot be formed; give weight to the bands that hold "
                     "the probability"};
}

}  // namespace core

// The pipeline's computations for any host, over the group statistics and the band computations.
#include "core/analysis.h"

#include <cmath>

#include "vantor/normality_test.h"

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
                     held + "), so the weighted probabilities cannot be formed; give weight to the bands that hold "
                     "the probability"};
}

}  // namespace core

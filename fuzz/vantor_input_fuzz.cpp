// Fuzz target: bytes split at the first NUL into "logy.txt" and "in_bayes.txt", through
// vantor's reading, settings check, normality test and the band masses of a few grid points; entries <v below a
// detection limit go to the quadrature of the censored likelihood, never to the computations for detected values.
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/files.h"
#include "fuzz/fuzz_check.h"
#include "quadrature/context.h"
#include "textio/fixed_width_writer.h"
#include "textio/free_form_reader.h"
#include "vantor/band_posterior.h"
#include "vantor/censored_values.h"
#include "vantor/internal/band_masses.h"
#include "vantor/internal/sigma_profile.h"
#include "vantor/input_files.h"
#include "vantor/normality_test.h"
#include "vantor/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const char* split = static_cast<const char*>(std::memchr(bytes, '\0', size));
  textio::FreeFormReader logy, bayes;
  logy.path = core::logs_file;
  logy.unit = core::logs_read_unit;
  logy.text.assign(bytes, split ? split - bytes : size);
  bayes.path = core::settings_file;
  bayes.unit = core::settings_unit;
  if (split) bayes.text.assign(split + 1, bytes + size);

  std::vector<double> values;
  std::vector<std::uint8_t> below;
  if (!vantor::read_values(logy, values, below).empty() || values.empty()) return 0;
  bool censored = false;
  for (std::uint8_t b : below) censored = censored || b != 0;

  double statistic = 0.0, pvalue = 0.0;
  if (!censored) vantor::normality_test(values, statistic, pvalue);
  FUZZ_CHECK(textio::fixed_field(statistic, 10, 3).size() == 10 && textio::fixed_field(pvalue, 10, 3).size() == 10);

  vantor::Settings settings;
  if (!vantor::read_settings(bayes, settings).empty()) return 0;
  if (!vantor::check_settings(settings, values.size()).empty()) return 0;
  const vantor::BandSettings band = vantor::band_settings(settings);
  const vantor::BreakpointBasis basis = vantor::breakpoint_basis(band);
  if (censored) {
    // The censored likelihood at both ends and the middle of the grid: finite masses, or the refusal of a point
    // where they are infinite.
    const vantor::CensoredValues data = vantor::group_entries(values, below);
    const double h = (band.mu_bounds[1] - band.mu_bounds[0]) / (vantor::grid_points - 1);
    for (int j : {1, vantor::grid_points / 2, vantor::grid_points}) {
      const double mu = (j - 1) * h + band.mu_bounds[0];
      double squares = 0.0;
      for (double v : data.detected) squares = squares + (v - mu) * (v - mu);
      const vantor::PointLikelihood point{mu, static_cast<double>(data.detected.size()), squares, data.limits.data(),
                                          data.limits.size()};
      if (band.sigma_bounds[0] == 0.0 && vantor::unbounded_at_zero(point)) continue;
      const vantor::Peak peak = vantor::find_peak(point, band.sigma_bounds[0], band.sigma_bounds[1]);
      FUZZ_CHECK(peak.sigma >= band.sigma_bounds[0] && peak.sigma <= band.sigma_bounds[1]);
      vantor::Breakpoints band_sigma;
      vantor::band_sigmas(basis, mu, band_sigma);
      vantor::SigmaProfile profile;
      vantor::integrate_profile(point, peak, band_sigma, band.sigma_bounds[0], band.sigma_bounds[1], band.band_prior,
                                j == 1, profile);
      for (double m : profile.log_masses) FUZZ_CHECK(!std::isnan(m) && m < INFINITY);
      // The profile the estimates read rises from 0 to its total across the sigma range (within what the polynomial
      // of a panel may swing where g rises steeply from 0).
      double previous = 0.0;
      for (std::size_t k = 0; k < profile.panels.size(); ++k) {
        const vantor::ProfilePanel& panel = profile.panels[k];
        const double next = k + 1 < profile.panels.size() ? profile.panels[k + 1].below : profile.profile_total;
        for (double share : {0.25, 0.5, 0.75}) {
          const double sigma = panel.a + share * (panel.b - panel.a);
          const double below = vantor::cumulative_at(panel, profile.coefficients.data(), next, sigma);
          FUZZ_CHECK(below >= previous - 1e-9 * profile.profile_total && below <= profile.profile_total);
          previous = below;
        }
      }
    }
    return 0;
  }

  // Both ends and the middle of the grid, with S summed as the full grid sums it.
  const double h = (band.mu_bounds[1] - band.mu_bounds[0]) / (vantor::grid_points - 1);
  std::vector<double> mu, s;
  for (int j : {1, 2, vantor::grid_points / 2, vantor::grid_points - 1, vantor::grid_points}) {
    mu.push_back((j - 1) * h + band.mu_bounds[0]);
    double sum = 0.0;
    for (double v : values) sum = sum + (v - mu.back()) * (v - mu.back());
    s.push_back(sum);
  }
  vantor::BandProbabilities sums;
  vantor::BandMasses P;
  quadrature::Context ctx;  // fresh for every input: no input sees what another left behind
  vantor::IntegralTally tally;
  const double a = (static_cast<double>(values.size()) - 1) * 0.5;
  const double r_scale = vantor::factor_scale(s, a);
  double error_bound = 0.0;
  for (std::size_t j = 0; j < mu.size(); ++j) {
    if (s[j] == 0.0) {
      if (band.sigma_bounds[0] == 0.0) return 0;  // refused: a band's mass is infinite there
      if (values.size() == 1)
        vantor::limit_masses_one(basis, mu[j], P);
      else
        vantor::limit_masses_many(basis, a, r_scale, mu[j], P);
    } else if (values.size() == 1) {
      // Checked settings never stop the run: an integral the integrator gives up on is computed another way.
      FUZZ_CHECK(vantor::band_masses_one(ctx, basis, mu[j], s[j], P, tally) == quadrature::Flow::go_on);
    } else {
      vantor::band_masses_many(basis, a, r_scale, mu[j], s[j], P, error_bound);
    }
    vantor::accumulate_bands(sums, P, band.band_prior);
  }
  vantor::normalise_bands(sums);
  for (int k = 0; k < vantor::bands; ++k) FUZZ_CHECK(textio::fixed_field(sums.likelihood[k], 11, 7).size() == 11);
  return 0;
}

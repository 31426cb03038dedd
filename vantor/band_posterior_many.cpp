// Band posterior for several values: band masses from the gamma distribution function.
#include <cmath>
#include <vector>

#include "distributions/cdf.h"
#include "distributions/log_scale.h"
#include "textio/one_based.h"
#include "vantor/band_posterior.h"
#include "vantor/internal/band_masses.h"

namespace vantor {

namespace {

// Relative error of a value of the gamma distribution function, with room to spare: each mass, a difference
// of two of them, may be off by this much of their sum.
constexpr double cdf_error = 1e-13;

// The run's sums are kept as they are computed unless that rounding could move them by more than this share
// of the total mass; masses that are differences of values near 1 (far in the upper tail of the gamma
// distribution) lose their digits that way, and are then all computed from logarithms instead.
constexpr double accepted_error_share = 1e-8;

}  // namespace

double factor_scale(std::span<const double> s, double a) {
  // r^a is used as written while the largest one over the grid stays a normal
  // number; beyond that (many values: r^a underflows everywhere, or overflows
  // for tightly clustered values) every r is divided by the largest r, which
  // changes all factors by one common amount that cancels in the normalisation.
  double smallest = INFINITY;
  for (double v : s)
    if (v > 0.0 && v < smallest) smallest = v;
  if (!std::isfinite(smallest)) return 0.0;
  const double r_max = 2.0 / smallest;
  const double f_max = std::pow(r_max, a);
  return std::isfinite(f_max) && f_max > 1e-290 ? 0.0 : r_max;
}

void band_masses_many(const BreakpointBasis& basis, double a, double r_scale, double mu, double s,
                      BandMasses& P_storage, double& error_bound) {
  const double r = 2.0 / s;
  Breakpoints t_storage;
  band_breakpoints(basis, mu, r, t_storage);
  const auto t = textio::one_based(t_storage);
  const auto P = textio::one_based(P_storage);
  const double f = r_scale > 0.0 ? std::pow(r / r_scale, a) : std::pow(r, a);
  P_storage.fill(0.0);
  Breakpoints C_storage;
  const auto C = textio::one_based(C_storage);
  double cum = 0.0, ccum = 0.0;
  distributions::cdf_gamma(t(1), a, cum, ccum);
  C(1) = f * cum;
  for (int i = 2; i <= 6; ++i) {
    if (t(i) == t(i - 1)) {
      C(i) = C(i - 1);
    } else {
      distributions::cdf_gamma(t(i), a, cum, ccum);
      C(i) = f * cum;
      P(7 - i) = C(i) - C(i - 1);
      error_bound += cdf_error * (C(i) + C(i - 1));
    }
  }
}

void limit_masses_many(const BreakpointBasis& basis, double a, double r_scale, double mu, BandMasses& P_storage) {
  Breakpoints v_storage;
  band_precisions(basis, mu, v_storage);
  const auto v = textio::one_based(v_storage);
  const auto P = textio::one_based(P_storage);
  // f P(a, t) -> (r t)^a / Gamma(a + 1) = v^a / Gamma(a + 1) as S -> 0, divided by the grid's r_scale^a.
  const double log_scale = (r_scale > 0.0 ? std::log(r_scale) : 0.0);
  const double log_gamma = distributions::log_gamma_fn(a + 1.0);
  for (int i = 1; i <= bands; ++i) {
    double mass = 0.0;
    if (v(i + 1) != v(i)) {
      const double upper = std::exp(a * (std::log(v(i + 1)) - log_scale) - log_gamma);
      mass = upper * -std::expm1(a * std::log(v(i) / v(i + 1)));
    }
    P(6 - i) = mass;
  }
}

BandRun band_posterior_many(const BandSettings& settings, std::span<const double> y, const BandOptions&) {
  const double a = (static_cast<double>(y.size()) - 1) * 0.5;
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const double r_scale = factor_scale(s, a);
  const BreakpointBasis basis = breakpoint_basis(settings);

  BandRun run;
  // The masses are summed as they are computed, in grid order; only the logarithmic path below keeps them.
  BandProbabilities sums;
  double error_bound = 0.0;
  BandMasses P;
  for (int j = 0; j < grid_points; ++j) {
    if (s[j] == 0.0) {
      if (settings.sigma_bounds[0] == 0.0) {
        // sigma = 0 lies inside the bounds and every value equals mu: the likelihood has no bound there.
        run.outcome = BandRun::Outcome::refused;
        run.refusal = DataRefusal::infinite_mass;
        run.refusal_mu = mu[j];
        return run;
      }
      limit_masses_many(basis, a, r_scale, mu[j], P);
    } else {
      band_masses_many(basis, a, r_scale, mu[j], s[j], P, error_bound);
    }
    accumulate_bands(sums, P, settings.band_prior);
  }
  double total = 0.0;
  for (double v : sums.likelihood) total = total + v;
  if (sums_usable(sums) && error_bound <= accepted_error_share * total) {
    normalise_bands(sums);
    run.probabilities = sums;
    return run;
  }
  // Masses outside the double range, or too inexact as differences: the sums again, from logarithms.
  std::vector<double> masses(static_cast<std::size_t>(grid_points) * bands);
  for (int j = 0; j < grid_points; ++j) {
    log_masses(basis, a, mu[j], s[j], P);
    std::copy(P.begin(), P.end(), masses.begin() + static_cast<std::ptrdiff_t>(j) * bands);
  }
  run.logarithmic = true;
  run.refusal = combine_log_masses(masses, settings.band_prior, run.probabilities);
  if (run.refusal != DataRefusal::none) run.outcome = BandRun::Outcome::refused;
  return run;
}

}  // namespace vantor

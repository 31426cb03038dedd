// Band masses kept as logarithms, for grids whose masses lie outside the range of doubles, and their sums.
#include <algorithm>
#include <cmath>

#include "distributions/log_scale.h"
#include "textio/one_based.h"
#include "vantor/internal/band_masses.h"

namespace vantor {

namespace {

// Adds exp(log_P - top) of every point to `sums`, each column weighted by `weights` (1 for L), in grid order.
void sum_shifted(std::span<const double> log_masses, const double (&weights)[bands], double top, double (&sums)[bands]) {
  for (std::size_t j = 0; j + bands <= log_masses.size(); j += bands)
    for (int k = 0; k < bands; ++k)
      if (weights[k] > 0.0) sums[k] = sums[k] + std::exp(log_masses[j + k] + std::log(weights[k]) - top);
}

// The largest ln(weight P) over the grid, -infinity when every weighted mass is 0.
double largest(std::span<const double> log_masses, const double (&weights)[bands]) {
  double top = -INFINITY;
  for (std::size_t j = 0; j + bands <= log_masses.size(); j += bands)
    for (int k = 0; k < bands; ++k)
      if (weights[k] > 0.0) top = std::max(top, log_masses[j + k] + std::log(weights[k]));
  return top;
}

// Scales `column` to sum 1.
void normalise(double (&column)[bands]) {
  double total = 0.0;
  for (double v : column) total = total + v;
  for (double& v : column) v = v / total;
}

}  // namespace

void log_masses(const BreakpointBasis& basis, double a, double mu, double s, BandMasses& log_P_storage) {
  Breakpoints v_storage;
  band_precisions(basis, mu, v_storage);
  const auto v = textio::one_based(v_storage);
  const auto log_P = textio::one_based(log_P_storage);
  // The same scale as the other forms: for several values r^a P(a, t) with P regularised, so
  // ln r^a - ln Gamma(a) before the integral of t^(a-1) e^-t, and v^a / Gamma(a + 1) in the limit S = 0.
  const double r = 2.0 / s;
  const double lead = a > 0.0 ? a * std::log(r) - distributions::log_gamma_fn(a) : 0.0;
  for (int i = 1; i <= bands; ++i) {
    double log_mass = -INFINITY;
    if (v(i + 1) != v(i)) {
      if (s > 0.0)
        log_mass = lead + distributions::log_gamma_integral(a, v(i) / r, v(i + 1) / r);
      else if (a > 0.0)
        log_mass = a * std::log(v(i + 1)) + std::log(-std::expm1(a * std::log(v(i) / v(i + 1)))) -
                   distributions::log_gamma_fn(a + 1.0);
      else
        log_mass = std::log(std::log(v(i + 1) / v(i)));
    }
    log_P(6 - i) = log_mass;
  }
}

DataRefusal combine_log_masses(std::span<const double> log_masses, const double (&band_prior)[bands],
                               BandProbabilities& out) {
  constexpr double flat[bands] = {1.0, 1.0, 1.0, 1.0, 1.0};
  out = BandProbabilities{};
  const double top_flat = largest(log_masses, flat);
  if (top_flat == -INFINITY) return DataRefusal::no_mass;
  sum_shifted(log_masses, flat, top_flat, out.likelihood);
  normalise(out.likelihood);
  const double top_weighted = largest(log_masses, band_prior);
  if (top_weighted == -INFINITY) return DataRefusal::weights_without_mass;
  sum_shifted(log_masses, band_prior, top_weighted, out.posterior);
  normalise(out.posterior);
  return DataRefusal::none;
}

}  // namespace vantor

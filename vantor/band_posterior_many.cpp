// Band posterior for several values: band masses from the gamma distribution function.
#include <cmath>
#include <vector>

#include "distributions/cdf.h"
#include "textio/one_based.h"
#include "vantor/band_posterior.h"

namespace vantor {

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
                      BandMasses& P_storage) {
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
    }
  }
}

BandProbabilities band_posterior_many(const BandSettings& settings, std::span<const double> y) {
  const double a = (static_cast<double>(y.size()) - 1) * 0.5;
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const double r_scale = factor_scale(s, a);
  const BreakpointBasis basis = breakpoint_basis(settings);
  return sum_over_grid(settings.band_prior,
                       [&](int j, BandMasses& P) { band_masses_many(basis, a, r_scale, mu[j], s[j], P); });
}

}  // namespace vantor

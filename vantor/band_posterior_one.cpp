// Band posterior for one value: band masses by adaptive quadrature of exp(-t)/t.
#include <cmath>
#include <vector>

#include "quadrature/dqdags.h"
#include "textio/one_based.h"
#include "vantor/band_posterior.h"

namespace vantor {

namespace {
constexpr double relative_tolerance = 9.999999747378752e-06;  // 1e-5 in single precision
}

double e1_integrand(const double& t) { return std::exp(-(t * 1.0)) * (1.0 / t); }

void band_masses_one(const BreakpointBasis& basis, double mu, double s, BandMasses& P_storage) {
  const double r = 2.0 / s;
  Breakpoints t_storage;
  band_breakpoints(basis, mu, r, t_storage);
  const auto t = textio::one_based(t_storage);
  const auto P = textio::one_based(P_storage);
  for (int i = 1; i <= bands; ++i) {
    double mass = 0.0;
    if (t(i + 1) != t(i)) {
      double result = 0.0, esterr = 0.0;
      quadrature::DQDAGS(e1_integrand, t(i), t(i + 1), 0.0, relative_tolerance, result, esterr);
      mass = result * 1.0;
    }
    P(6 - i) = mass;
  }
}

BandProbabilities band_posterior_one(const BandSettings& settings, std::span<const double> y) {
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const BreakpointBasis basis = breakpoint_basis(settings);
  return sum_over_grid(settings.band_prior, [&](int j, BandMasses& P) { band_masses_one(basis, mu[j], s[j], P); });
}

}  // namespace vantor

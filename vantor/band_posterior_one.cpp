// Band posterior for one value: band masses by adaptive quadrature of exp(-t)/t.
#include <cmath>
#include <cstdio>
#include <vector>

#include "quadrature/dqdags.h"
#include "textio/one_based.h"
#include "vantor/band_posterior.h"

namespace vantor {

namespace {

constexpr double relative_tolerance = 9.999999747378752e-06;  // 1e-5 in single precision

// Writes what the library printed to standard output, where its messages belong, and clears it.
void pass_on_printed(std::string& printed) {
  if (printed.empty()) return;
  std::fwrite(printed.data(), 1, printed.size(), stdout);
  printed.clear();
}

}  // namespace

double e1_integrand(const double& t) { return std::exp(-(t * 1.0)) * (1.0 / t); }

namespace {

// exp(-t)/t as an object: the integrator reaches its body, inlined here, in one indirect call
// instead of a call through a function pointer behind its own.
constexpr auto e1_object = [](const double& t) { return e1_integrand(t); };

}  // namespace

quadrature::Flow band_masses_one(quadrature::Context& ctx, const BreakpointBasis& basis, double mu, double s,
                                 BandMasses& P_storage) {
  const double r = 2.0 / s;
  Breakpoints t_storage;
  band_breakpoints(basis, mu, r, t_storage);
  const auto t = textio::one_based(t_storage);
  const auto P = textio::one_based(P_storage);
  for (int i = 1; i <= bands; ++i) {
    double mass = 0.0;
    if (t(i + 1) != t(i)) {
      double result = 0.0, esterr = 0.0;
      if (quadrature::DQDAGS(ctx, e1_object, t(i), t(i + 1), 0.0, relative_tolerance, result, esterr) ==
          quadrature::Flow::stopped)
        return quadrature::Flow::stopped;
      mass = result * 1.0;
    }
    P(6 - i) = mass;
  }
  return quadrature::Flow::go_on;
}

// The grid loop of sum_over_grid, which it cannot use as it must end at a stop.
BandProbabilities band_posterior_one(const BandSettings& settings, std::span<const double> y) {
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const BreakpointBasis basis = breakpoint_basis(settings);
  quadrature::Context ctx;
  BandProbabilities sums;
  BandMasses P;
  for (int j = 0; j < grid_points; ++j) {
    const quadrature::Flow flow = band_masses_one(ctx, basis, mu[j], s[j], P);
    pass_on_printed(ctx.printed);  // a grid point's messages, in the order they were printed
    if (flow == quadrature::Flow::stopped) {
      BandProbabilities stopped;
      stopped.stopped = true;
      return stopped;
    }
    accumulate_bands(sums, P, settings.band_prior);
  }
  normalise_bands(sums);
  return sums;
}

}  // namespace vantor

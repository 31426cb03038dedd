// The band masses of one grid point, in the integrator's, the gamma function's and the logarithmic form.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "quadrature/context.h"
#include "vantor/band_grid.h"
#include "vantor/band_posterior.h"

namespace vantor {

// exp(-t)/t, the integrand of the one-value band mass.
double e1_integrand(const double& t);

// What became of the band integrals of one-value grid points beyond their results.
struct IntegralTally {
  long long warned = 0;            // ended with a WARNING (their text stays in the context's printed text)
  long long beyond_tolerance = 0;  // of those, off the exponential integral by more than the requested tolerance,
                                   // and so computed from it instead
  double worst_warned = 0.0;       // the largest relative deviation of those
  long long unfinished = 0;        // ended in a FATAL outcome (its text removed), computed from the exponential integral
  // Integrals the integrator gave as 0 although the exponential integral is not 0: the index of the mass and
  // the logarithm of its true value; whether they matter is known only once the grid is summed.
  std::vector<std::pair<std::size_t, double>> zero_results;
};

// Band masses P(1..5) of one grid point with S = s > 0, one value: the integral of exp(-t)/t over each band's
// t-interval by adaptive quadrature, 0 for a zero-width interval. The integrator's messages go to ctx.printed;
// an integral that ends in a FATAL outcome is computed from the exponential integral instead, its message
// removed and the context reset; one that ends with a WARNING is checked against the exponential integral
// and replaced by it when off by more than the requested tolerance. Any other stop ends the integrations at once (Flow::stopped). The masses
// are numbered from `first_index` in the tally.
quadrature::Flow band_masses_one(quadrature::Context& ctx, const BreakpointBasis& basis, double mu, double s,
                                 BandMasses& P, IntegralTally& tally, std::size_t first_index = 0);

// Band masses P(1..5) of one grid point, several values: f [P(a, t_high) - P(a, t_low)]
// with f = (2/s)^a, or (2/s / r_scale)^a when r_scale > 0. Adds to `error_bound` what the
// rounding of the gamma distribution function may have cost the masses.
void band_masses_many(const BreakpointBasis& basis, double a, double r_scale, double mu, double s, BandMasses& P,
                      double& error_bound);

// The divisor of r that keeps every factor r^a of the grid finite and normal,
// or 0 when r^a can be used as it stands.
double factor_scale(std::span<const double> s, double a);

// The band masses of a grid point where S = 0 (every value equals mu): their limit as S -> 0, on the scale
// of the other points. With v(k) = 1/sigma(7-k)^2 the mass of band [v(i), v(i+1)] tends to ln(v(i+1)/v(i))
// for one value and to (v(i+1)^a - v(i)^a)/Gamma(a + 1), divided by r_scale^a when r_scale > 0, for several.
void limit_masses_one(const BreakpointBasis& basis, double mu, BandMasses& P);
void limit_masses_many(const BreakpointBasis& basis, double a, double r_scale, double mu, BandMasses& P);

// ln P(1..5) of one grid point on a scale common to the whole grid, computed from the gamma integrals
// without leaving the logarithm (-infinity for a zero-width band): a = 0 for one value.
void log_masses(const BreakpointBasis& basis, double a, double mu, double s, BandMasses& log_P);

// L and W, normalised, from the logarithms of every mass (point j at [5 j .. 5 j + 4]), or the refusal when
// a column holds nothing: no mass at all, or the weights 0 on every band with mass (L is then still computed).
DataRefusal combine_log_masses(std::span<const double> log_masses, const double (&band_prior)[bands],
                               BandProbabilities& out);

}  // namespace vantor

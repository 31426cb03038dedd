// Posterior probabilities of the five bands of R = (lognormal 95th percentile) / limit.
#pragma once

#include <span>

#include "quadrature/context.h"
#include "vantor/band_grid.h"

namespace vantor {

// exp(-t)/t, the integrand of the one-value band mass.
double e1_integrand(const double& t);

// Band masses P(1..5) of one grid point with S = s, one value: the integral of
// exp(-t)/t over each band's t-interval, 0 for a zero-width interval. The library's
// messages go to ctx.printed; a stop ends the integrations at once.
quadrature::Flow band_masses_one(quadrature::Context& ctx, const BreakpointBasis& basis, double mu, double s,
                                 BandMasses& P);

// Band masses P(1..5) of one grid point, several values: f [P(a, t_high) - P(a, t_low)]
// with f = (2/s)^a, or (2/s / r_scale)^a when r_scale > 0.
void band_masses_many(const BreakpointBasis& basis, double a, double r_scale, double mu, double s, BandMasses& P);

// The divisor of r that keeps every factor r^a of the grid finite and normal,
// or 0 when r^a can be used as it stands.
double factor_scale(std::span<const double> s, double a);

// One value y(1): each band's mass at a grid point is the integral of exp(-t)/t
// over the band's t-interval, by adaptive quadrature. What the quadrature library
// prints goes to standard output as it is printed; when the library stops the run,
// the result is marked stopped and nothing more is computed.
BandProbabilities band_posterior_one(const BandSettings& settings, std::span<const double> y);

// Two or more values: each band's mass is r^a [P(a, t_high) - P(a, t_low)]
// with a = (n - 1)/2 and P the gamma distribution function.
BandProbabilities band_posterior_many(const BandSettings& settings, std::span<const double> y);

}  // namespace vantor

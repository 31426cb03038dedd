// Posterior probabilities of the five bands of R = (lognormal 95th percentile) / limit.
#pragma once

#include <vector>

#include "textio/output_file.h"
#include "vantor/band_grid.h"

namespace vantor {

// Unit numbers of "out_bayes.txt" as written by each computation.
constexpr int one_value_unit = 300;
constexpr int many_values_unit = 200;

// exp(-t)/t, the integrand of the one-value band mass.
double e1_integrand(const double& t);

// Band masses P[1..5] of one grid point with S = s, one value: the integral of
// exp(-t)/t over each band's t-interval, 0 for a zero-width interval.
void band_masses_one(const BandSettings& settings, double mu, double s, double P[6]);

// Band masses P[1..5] of one grid point, several values: f [P(a, t_high) - P(a, t_low)]
// with f = (2/s)^a, or (2/s / r_scale)^a when r_scale > 0.
void band_masses_many(const BandSettings& settings, double a, double r_scale, double mu, double s, double P[6]);

// The divisor of r that keeps every factor r^a of the grid finite and normal,
// or 0 when r^a can be used as it stands.
double factor_scale(const std::vector<double>& s, double a);

// One value: each band's mass at a grid point is the integral of exp(-t)/t over
// the band's t-interval, by adaptive quadrature. Reads the run-wide values.
BandProbabilities compute_band_posterior_one(const BandSettings& settings);

// Two or more values: each band's mass is r^a [P(a, t_high) - P(a, t_low)]
// with a = (n - 1)/2 and P the gamma distribution function. Reads the run-wide values.
BandProbabilities compute_band_posterior_many(const BandSettings& settings);

// The computations above, then "out_bayes.txt". False on a write failure.
bool band_posterior_one(const BandSettings& settings, textio::OutputFile& file);
bool band_posterior_many(const BandSettings& settings, textio::OutputFile& file);

}  // namespace vantor

// Posterior probabilities of the five bands of R = (lognormal 95th percentile) / limit.
#pragma once

#include "textio/output_file.h"
#include "vantor/band_grid.h"

namespace vantor {

// Unit numbers of "out_bayes.txt" as written by each computation.
constexpr int one_value_unit = 300;
constexpr int many_values_unit = 200;

// exp(-t)/t, the integrand of the one-value band mass.
double e1_integrand(const double& t);

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

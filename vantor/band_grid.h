// The part of the band posterior shared by the one-value and the several-value
// computations: the mu grid, the breakpoints of each band in t = S/(2 sigma^2),
// accumulation over the grid, normalisation and the result file.
#pragma once

#include <string>
#include <vector>

#include "textio/output_file.h"

namespace vantor {

constexpr int grid_points = 30000;
constexpr double z95 = 1.6448536269515;  // standard normal 95 % quantile
// Interior band fractions 0.01, 0.1, 0.5, 1 (the first two in single precision).
constexpr double band_fractions[4] = {0.009999999776482582, 0.10000000149011612, 0.5, 1.0};
constexpr int bands = 5;

struct BandSettings {
  double limit = 0.0;           // x: the band bounds are fractions of it
  double mu_bounds[2] = {};     // ln of the geometric-mean bounds
  double sigma_bounds[2] = {};  // ln of the geometric-standard-deviation bounds
  double band_prior[5] = {};    // c(1..5), prior weight of each band
};

struct BandProbabilities {
  double likelihood[bands] = {};  // L(1..5): posterior under flat band priors
  double posterior[bands] = {};   // W(1..5): with each band's mass weighted by its prior
};

// mu(j) for the 30000 grid points and S(j) = sum over i of (y(i) - mu(j))^2,
// each S summed over the values in index order from 0.0.
void grid_sums(const BandSettings& settings, const std::vector<double>& y, std::vector<double>& mu,
               std::vector<double>& s);

// t[1..6] (t[0] unused), ascending in the normal case, for one grid point with
// r = 2/S: the six breakpoints of R = exp(mu + z sigma)/limit, clamped into
// [q(1), q(6)], mapped to sigma and then to t = sigma^-2 / r.
void band_breakpoints(const BandSettings& settings, double mu, double r, double t[7]);

// L(k) += P(k); W(k) += P(k) c(k) for k = 1..5; P[1..5] (P[0] unused).
void accumulate_bands(BandProbabilities& sums, const double P[6], const double band_prior[5]);

// Divides L and W by their sums, each summed in band order.
void normalise_bands(BandProbabilities& sums);

// L and W over the whole grid: `masses(j, P)` gives the band masses P[1..5] of
// grid point j (0-based); they are accumulated in grid order and normalised.
template <typename Masses>
BandProbabilities sum_over_grid(const double band_prior[5], Masses masses) {
  BandProbabilities sums;
  double P[6];
  for (int j = 0; j < grid_points; ++j) {
    masses(j, P);
    accumulate_bands(sums, P, band_prior);
  }
  normalise_bands(sums);
  return sums;
}

// Writes the five lines "c(k),L(k),W(k)", each field 11 wide with 7 decimals.
bool write_band_file(textio::OutputFile& file, const std::string& path, int unit, const double band_prior[5],
                     const BandProbabilities& result);

}  // namespace vantor

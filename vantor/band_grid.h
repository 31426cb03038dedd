// The part of the band posterior shared by the one-value and the several-value
// computations: the mu grid, the breakpoints of each band in t = S/(2 sigma^2),
// accumulation over the grid and normalisation.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace vantor {

constexpr int grid_points = 30000;
constexpr double z95 = 1.6448536269515;  // standard normal 95 % quantile
// Interior band fractions 0.01, 0.1, 0.5, 1 (the first two in single precision).
constexpr double band_fractions[4] = {0.009999999776482582, 0.10000000149011612, 0.5, 1.0};
constexpr int bands = 5;

struct BandSettings {
  double limit = 0.0;             // x: the band bounds are fractions of it
  double mu_bounds[2] = {};       // ln of the geometric-mean bounds
  double sigma_bounds[2] = {};    // ln of the geometric-standard-deviation bounds
  double band_prior[bands] = {};  // c(1..5), prior weight of each band
};

struct BandProbabilities {
  double likelihood[bands] = {};  // L(1..5): posterior under flat band priors
  double posterior[bands] = {};   // W(1..5): with each band's mass weighted by its prior
  bool stopped = false;           // one value: the quadrature library stopped the run, L and W are not computed
};

using Breakpoints = std::array<double, bands + 1>;  // t(1..6), stored from [0]
using BandMasses = std::array<double, bands>;       // P(1..5), stored from [0]

// mu(j) for the grid points and S(j) = sum over i of (y(i) - mu(j))^2, each S
// summed over the values in index order from 0.0. The grid is shared among
// `workers` threads (grid_workers(y.size()) by default); every S is summed the
// same way whatever their number.
void grid_sums(const BandSettings& settings, std::span<const double> y, std::vector<double>& mu, std::vector<double>& s,
               int workers = 0);

// How many threads pay for the grid sums of `value_count` values: 1 for small
// inputs, otherwise the number of processors.
int grid_workers(std::size_t value_count);

// Adds (y(i) - mu(j))^2 to s(j) for j < count, i in index order. The vector
// form, which the grid sums use, gives the same bits as the plain form; where
// the compiler or target has no vector support it is the plain form.
void add_squares_plain(const double* y, std::size_t n, const double* mu, double* s, std::size_t count);
void add_squares_vector(const double* y, std::size_t n, const double* mu, double* s, std::size_t count);

// What the breakpoints of every grid point share: the settings they use and
// ln(fraction * limit) of the four interior band bounds, which an unclamped
// breakpoint takes as it is, so the logarithms are taken once per run instead
// of at each grid point (the same operation on the same operands: the same bits).
struct BreakpointBasis {
  double limit = 0.0;                   // x
  double sigma_bounds[2] = {};          // ln of the geometric-standard-deviation bounds
  double log_interior[bands - 1] = {};  // ln(band_fractions[k] * x), k = 0..3
};
BreakpointBasis breakpoint_basis(const BandSettings& settings);

// t(1..6), ascending in the normal case, for one grid point with r = 2/S: the
// six breakpoints of R = exp(mu + z sigma)/limit, clamped into [q(1), q(6)],
// mapped to sigma and then to t = sigma^-2 / r.
void band_breakpoints(const BreakpointBasis& basis, double mu, double r, Breakpoints& t);

// L(k) += P(k); W(k) += P(k) c(k) for k = 1..5.
void accumulate_bands(BandProbabilities& sums, const BandMasses& P, const double (&band_prior)[bands]);

// Divides L and W by their sums, each summed in band order.
void normalise_bands(BandProbabilities& sums);

// L and W over the whole grid: `masses(j, P)` gives the band masses of grid
// point j (0-based); they are accumulated in grid order and normalised.
template <typename Masses>
BandProbabilities sum_over_grid(const double (&band_prior)[bands], Masses masses) {
  BandProbabilities sums;
  BandMasses P;
  for (int j = 0; j < grid_points; ++j) {
    masses(j, P);
    accumulate_bands(sums, P, band_prior);
  }
  normalise_bands(sums);
  return sums;
}

}  // namespace vantor

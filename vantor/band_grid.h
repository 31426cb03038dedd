// The part of the band posterior shared by the one-value and the several-value
// computations: the mu grid, the breakpoints of each band in t = S/(2 sigma^2),
// accumulation over the grid and normalisation.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "core/bands.h"

namespace vantor {

constexpr int grid_points = 30000;
using core::band_fractions;
using core::z95;
constexpr int bands = core::band_count;

struct BandSettings {
  double limit = 0.0;             // x: the band bounds are fractions of it
  double mu_bounds[2] = {};       // ln of the geometric-mean bounds
  double sigma_bounds[2] = {};    // ln of the geometric-standard-deviation bounds
  double band_prior[bands] = {};  // c(1..5), prior weight of each band
};

struct BandProbabilities {
  double likelihood[bands] = {};  // L(1..5): posterior under flat band priors
  double posterior[bands] = {};   // W(1..5): with each band's mass weighted by its prior
};

using Breakpoints = std::array<double, bands + 1>;  // t(1..6) or v(1..6), stored from [0]
using BandMasses = std::array<double, bands>;       // P(1..5), stored from [0]

// mu(j) for the grid points and S(j) = sum over i of (y(i) - mu(j))^2, each S
// summed over the values in index order from 0.0. The grid is shared among
// `workers` threads (by default as many as pay for the number of values); every S
// is summed the same way whatever their number.
void grid_sums(const BandSettings& settings, std::span<const double> y, std::vector<double>& mu, std::vector<double>& s,
               int workers = 0);

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

// v(1..6) = 1/sigma(7-k)^2 for one grid point, ascending in the normal case: the
// six breakpoints of R = exp(mu + z sigma)/limit, clamped into [q(1), q(6)] and
// mapped to sigma. t(k) = v(k)/r with r = 2/S.
void band_precisions(const BreakpointBasis& basis, double mu, Breakpoints& v);

// t(1..6) = v(k)/r for one grid point with r = 2/S.
void band_breakpoints(const BreakpointBasis& basis, double mu, double r, Breakpoints& t);

// L(k) += P(k); W(k) += P(k) c(k) for k = 1..5.
void accumulate_bands(BandProbabilities& sums, const BandMasses& P, const double (&band_prior)[bands]);

// Divides L and W by their sums, each summed in band order.
void normalise_bands(BandProbabilities& sums);

// Whether both columns can be normalised: each sum finite and above zero.
bool sums_usable(const BandProbabilities& sums);

// L and W over the whole grid from the band masses of every point (P of point j at
// masses[5 j .. 5 j + 4]), accumulated in grid order, not yet normalised.
BandProbabilities sum_masses(std::span<const double> masses, const double (&band_prior)[bands]);

}  // namespace vantor

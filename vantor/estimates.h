// Posterior percentiles of five quantities of the lognormal model under the weighted posterior of the grid.
#pragma once

#include <optional>
#include <span>

#include "vantor/band_grid.h"
#include "vantor/band_posterior.h"

namespace vantor {

struct PosteriorGrid;

constexpr int quantity_count = 5;
constexpr int percentile_count = 5;

// The quantities, in the order of the file's lines, and the percentiles, in the order of its columns.
enum Quantity { geometric_mean, geometric_sd, percentile_95, arithmetic_mean, exceedance_percent };
constexpr const char* quantity_names[quantity_count] = {"geometric_mean", "geometric_sd", "percentile_95",
                                                        "arithmetic_mean", "exceedance_percent"};
constexpr double percentile_levels[percentile_count] = {0.025, 0.5, 0.7, 0.95, 0.975};
constexpr const char* percentile_names[percentile_count] = {"q2.5", "q50", "q70", "q95", "q97.5"};

struct Estimates {
  // value[quantity][percentile]; -1 everywhere when there are no values.
  double value[quantity_count][percentile_count] = {};
};

// The n = 0 markers.
Estimates marker_estimates();

// The percentiles under the weighted posterior: each (mu, sigma) weighted by its band's weight. geometric_mean =
// e^mu, the smallest grid value whose cumulative probability reaches the level; geometric_sd = e^sigma;
// percentile_95 = e^(mu + z95 sigma); arithmetic_mean = e^(mu + sigma^2/2); exceedance_percent =
// 100 Phi((mu - ln limit)/sigma). Each continuous quantity is monotone in sigma at fixed mu, so its posterior
// distribution function at a value is a sum over the grid points of their sigma distribution functions at a
// threshold; each percentile is its root, found on thinned grids and settled on all points where they disagree.
// From the quadrature's profiles of the grid (any values):
Estimates posterior_estimates(const BandSettings& settings, const PosteriorGrid& grid, const BandOptions& options = {});

// For detected values only, from the sigma distribution of each grid point in closed form: t = S/(2 sigma^2) has
// the gamma density of shape (n - 1)/2 (e^-t/t for one value), cut to the sigma bounds and weighted band by band.
// None where the closed form would lose the digits of a point's mass (its sigma range far in a tail); the
// quadrature's profiles then serve.
std::optional<Estimates> closed_form_estimates(const BandSettings& settings, std::span<const double> y,
                                               const BandOptions& options = {});

}  // namespace vantor

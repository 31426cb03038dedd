// The part of the band posterior shared by the one-value and the several-value computations.
#include "vantor/band_grid.h"

#include <cmath>
#include <cstring>

#include "textio/fixed_width_writer.h"

namespace vantor {

namespace {

// Four doubles side by side; each lane does exactly the scalar operations.
typedef double lanes __attribute__((vector_size(32)));

// Adds (y - mu(j))^2 to S(j) for every grid point, for four values at a time:
// each S(j) still receives its terms in index order, so the sums are exactly
// those of the plain double loop, but S is loaded and stored a quarter as often
// and four grid points go through the arithmetic together. Built for wide
// vector units where the processor has them; the operations and their order
// are the same in every version.
__attribute__((target_clones("avx2", "default"))) void add_squares(const double* y, std::size_t n, const double* mu,
                                                                   double* s, std::size_t count) {
  const std::size_t vector_end = count - count % 4;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double y0 = y[i], y1 = y[i + 1], y2 = y[i + 2], y3 = y[i + 3];
    for (std::size_t j = 0; j < vector_end; j += 4) {
      lanes m, acc;
      std::memcpy(&m, mu + j, sizeof m);
      std::memcpy(&acc, s + j, sizeof acc);
      const lanes d0 = y0 - m, d1 = y1 - m, d2 = y2 - m, d3 = y3 - m;
      acc = (((acc + d0 * d0) + d1 * d1) + d2 * d2) + d3 * d3;
      std::memcpy(s + j, &acc, sizeof acc);
    }
    for (std::size_t j = vector_end; j < count; ++j) {
      const double d0 = y0 - mu[j], d1 = y1 - mu[j], d2 = y2 - mu[j], d3 = y3 - mu[j];
      s[j] = (((s[j] + d0 * d0) + d1 * d1) + d2 * d2) + d3 * d3;
    }
  }
  for (; i < n; ++i) {
    const double yi = y[i];
    for (std::size_t j = 0; j < count; ++j) {
      const double d = yi - mu[j];
      s[j] = s[j] + d * d;
    }
  }
}

}  // namespace

void grid_sums(const BandSettings& settings, const std::vector<double>& y, std::vector<double>& mu,
               std::vector<double>& s) {
  const double h = (settings.mu_bounds[1] - settings.mu_bounds[0]) / 29999;
  mu.resize(grid_points);
  s.assign(grid_points, 0.0);
  for (int j = 1; j <= grid_points; ++j) mu[j - 1] = (j - 1) * h + settings.mu_bounds[0];
  add_squares(y.data(), y.size(), mu.data(), s.data(), grid_points);
}

void band_breakpoints(const BandSettings& settings, double mu, double r, double t[7]) {
  const double x = settings.limit;
  double q[7];
  for (int k = 2; k <= 5; ++k) q[k] = band_fractions[k - 2];
  q[1] = std::exp(mu + z95 * settings.sigma_bounds[0]) / x;
  q[6] = std::exp(mu + z95 * settings.sigma_bounds[1]) / x;

  // Clamp the interior breakpoints in three stages, exactly in this order (the
  // stages also define what happens when q(1) > q(6)).
  bool all_below = true, all_above = true;
  for (int k = 2; k <= 5; ++k) {
    all_below = all_below && q[k] <= q[1];
    all_above = all_above && q[k] >= q[6];
  }
  if (all_below) {
    for (int k = 2; k <= 5; ++k) q[k] = q[1];
  } else if (all_above) {
    for (int k = 2; k <= 5; ++k) q[k] = q[6];
  } else {
    int m = 0;
    for (int k = 2; k <= 5; ++k) m += q[k] < q[1] ? 1 : 0;
    for (int k = 2; k <= 1 + m; ++k) q[k] = q[1];
    int m_high = 0;
    for (int k = 1; k <= 5; ++k) m_high += q[k] > q[6] ? 1 : 0;
    for (int k = 6 - m_high; k <= 5; ++k) q[k] = q[6];
  }

  for (int k = 1; k <= 6; ++k) {
    const double sigma = (std::log(q[k] * x) - mu) / z95;
    const double v = 1.0 / (sigma * sigma);
    t[7 - k] = v / r;
  }
}

void accumulate_bands(BandProbabilities& sums, const double P[6], const double band_prior[5]) {
  for (int k = 1; k <= bands; ++k) {
    sums.likelihood[k - 1] = sums.likelihood[k - 1] + P[k];
    sums.posterior[k - 1] = sums.posterior[k - 1] + P[k] * band_prior[k - 1];
  }
}

void normalise_bands(BandProbabilities& sums) {
  double total = 0.0;
  for (double v : sums.likelihood) total = total + v;
  for (double& v : sums.likelihood) v = v / total;
  total = 0.0;
  for (double v : sums.posterior) total = total + v;
  for (double& v : sums.posterior) v = v / total;
}

bool write_band_file(textio::OutputFile& file, const std::string& path, int unit, const double band_prior[5],
                     const BandProbabilities& result) {
  if (!textio::open_output(file, path, unit)) return false;
  for (int k = 0; k < bands; ++k) {
    textio::write_record(file, textio::fixed_field(band_prior[k], 11, 7) + "," +
                                   textio::fixed_field(result.likelihood[k], 11, 7) + "," +
                                   textio::fixed_field(result.posterior[k], 11, 7));
  }
  return textio::commit_output(file);
}

}  // namespace vantor

// The part of the band posterior shared by the one-value and the several-value computations.
#include "vantor/band_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "textio/one_based.h"
#include "vantor/internal/grid_sums.h"
#include "vantor/internal/parallel.h"

// The vector form of the grid sums needs a compiler vector type and run-time
// selection of the processor's widest vector unit, which GCC-compatible
// compilers offer on x86-64 ELF systems; elsewhere the plain form is used.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(target_clones) && __has_attribute(vector_size)
#define VANTOR_VECTOR_SUMS 1
#endif
#endif

namespace vantor {

namespace {

// Grid points of the scalar part for four values y0..y3: each S(j) gets their
// squares in index order, as in the plain one-value-at-a-time loop.
inline void add_four_squares(double y0, double y1, double y2, double y3, const double* mu, double* s, std::size_t begin,
                             std::size_t end) {
  for (std::size_t j = begin; j < end; ++j) {
    const double d0 = y0 - mu[j], d1 = y1 - mu[j], d2 = y2 - mu[j], d3 = y3 - mu[j];
    s[j] = (((s[j] + d0 * d0) + d1 * d1) + d2 * d2) + d3 * d3;
  }
}

// The values left over after the groups of four, one at a time.
inline void add_remaining_squares(const double* y, std::size_t from, std::size_t n, const double* mu, double* s,
                                  std::size_t count) {
  for (std::size_t i = from; i < n; ++i) {
    const double yi = y[i];
    for (std::size_t j = 0; j < count; ++j) {
      const double d = yi - mu[j];
      s[j] = s[j] + d * d;
    }
  }
}

#ifdef VANTOR_VECTOR_SUMS
// Eight doubles side by side; each lane does exactly the scalar operations.
typedef double lanes __attribute__((vector_size(64)));
constexpr std::size_t lane_count = sizeof(lanes) / sizeof(double);

// Eight grid points go through the arithmetic together, and with four values
// per pass S is loaded and stored a quarter as often; built for the widest
// vector unit the processor has, with the same operations in the same order in
// every version.
__attribute__((target_clones("avx512f", "avx2", "default"))) void add_squares_lanes(const double* y, std::size_t n,
                                                                                    const double* mu, double* s,
                                                                                    std::size_t count) {
  const std::size_t vector_end = count - count % lane_count;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double y0 = y[i], y1 = y[i + 1], y2 = y[i + 2], y3 = y[i + 3];
    for (std::size_t j = 0; j < vector_end; j += lane_count) {
      lanes m, acc;
      std::memcpy(&m, mu + j, sizeof m);
      std::memcpy(&acc, s + j, sizeof acc);
      const lanes d0 = y0 - m, d1 = y1 - m, d2 = y2 - m, d3 = y3 - m;
      acc = (((acc + d0 * d0) + d1 * d1) + d2 * d2) + d3 * d3;
      std::memcpy(s + j, &acc, sizeof acc);
    }
    add_four_squares(y0, y1, y2, y3, mu, s, vector_end, count);
  }
  add_remaining_squares(y, i, n, mu, s, count);
}
#endif

void add_squares(const double* y, std::size_t n, const double* mu, double* s, std::size_t count) {
#ifdef VANTOR_VECTOR_SUMS
  add_squares_lanes(y, n, mu, s, count);
#else
  add_squares_plain(y, n, mu, s, count);
#endif
}

// Grid points per chunk of the grid sums: a whole number of the widest vectors,
// small enough that its S and mu stay in the nearest cache.
constexpr std::size_t chunk_points = 1024;

// Below this many values (about a millisecond of sums) starting threads costs
// more than they save.
constexpr std::size_t values_per_thread_start = 1024;
constexpr unsigned max_workers = 16;

}  // namespace

void add_squares_plain(const double* y, std::size_t n, const double* mu, double* s, std::size_t count) {
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) add_four_squares(y[i], y[i + 1], y[i + 2], y[i + 3], mu, s, 0, count);
  add_remaining_squares(y, i, n, mu, s, count);
}

void add_squares_vector(const double* y, std::size_t n, const double* mu, double* s, std::size_t count) {
  add_squares(y, n, mu, s, count);
}

int grid_workers(std::size_t value_count) {
  if (value_count < values_per_thread_start) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, max_workers));
}

void grid_sums(const BandSettings& settings, std::span<const double> y, std::vector<double>& mu, std::vector<double>& s,
               int workers) {
  const double h = (settings.mu_bounds[1] - settings.mu_bounds[0]) / (grid_points - 1);
  mu.resize(grid_points);
  s.assign(grid_points, 0.0);
  const auto grid = textio::one_based(mu);
  for (int j = 1; j <= grid_points; ++j) grid(j) = (j - 1) * h + settings.mu_bounds[0];

  // Each S(j) depends only on mu(j) and all values, so the grid is cut into
  // chunks that the threads take in turn until none is left: a thread slowed
  // by other work on its processor simply takes fewer. A chunk's S and mu stay
  // in the nearest cache while all values stream past them.
  if (workers <= 0) workers = grid_workers(y.size());
  std::atomic<std::size_t> next_chunk{0};
  const auto sum_chunks = [&] {
    for (std::size_t begin; (begin = next_chunk.fetch_add(chunk_points)) < grid_points;) {
      const std::size_t count = std::min<std::size_t>(chunk_points, grid_points - begin);
      add_squares(y.data(), y.size(), mu.data() + begin, s.data() + begin, count);
    }
  };
  run_on_threads(workers, sum_chunks, sum_chunks);
}

BreakpointBasis breakpoint_basis(const BandSettings& settings) {
  BreakpointBasis basis;
  basis.limit = settings.limit;
  basis.sigma_bounds[0] = settings.sigma_bounds[0];
  basis.sigma_bounds[1] = settings.sigma_bounds[1];
  for (int k = 0; k < bands - 1; ++k) basis.log_interior[k] = std::log(band_fractions[k] * settings.limit);
  return basis;
}

void band_precisions(const BreakpointBasis& basis, double mu, Breakpoints& v_storage) {
  const double x = basis.limit;
  Breakpoints q_storage;
  const auto q = textio::one_based(q_storage);
  const auto v = textio::one_based(v_storage);
  for (int k = 2; k <= 5; ++k) q(k) = band_fractions[k - 2];
  q(1) = std::exp(mu + z95 * basis.sigma_bounds[0]) / x;
  q(6) = std::exp(mu + z95 * basis.sigma_bounds[1]) / x;
  // Which breakpoint's value each one holds after clamping: its own fraction, q(1) or q(6).
  int source_storage[6] = {1, 2, 3, 4, 5, 6};
  const auto source = textio::one_based(source_storage);

  // Clamp the interior breakpoints in three stages, exactly in this order (the
  // stages also define what happens when q(1) > q(6)).
  bool all_below = true, all_above = true;
  for (int k = 2; k <= 5; ++k) {
    all_below = all_below && q(k) <= q(1);
    all_above = all_above && q(k) >= q(6);
  }
  if (all_below) {
    for (int k = 2; k <= 5; ++k) q(k) = q(1), source(k) = 1;
  } else if (all_above) {
    for (int k = 2; k <= 5; ++k) q(k) = q(6), source(k) = 6;
  } else {
    int m = 0;
    for (int k = 2; k <= 5; ++k) m += q(k) < q(1) ? 1 : 0;
    for (int k = 2; k <= 1 + m; ++k) q(k) = q(1), source(k) = 1;
    int m_high = 0;
    for (int k = 1; k <= 5; ++k) m_high += q(k) > q(6) ? 1 : 0;
    for (int k = 6 - m_high; k <= 5; ++k) q(k) = q(6), source(k) = 6;
  }

  // ln(q(k) x) for every k: q(1) and q(6) vary with mu; an interior breakpoint
  // either kept its fraction (logarithm taken once per run) or holds q(1) or q(6).
  const double log_low = std::log(q(1) * x), log_high = std::log(q(6) * x);
  for (int k = 1; k <= 6; ++k) {
    const double log_q = source(k) == 1 ? log_low : source(k) == 6 ? log_high : basis.log_interior[k - 2];
    const double sigma = (log_q - mu) / z95;
    v(7 - k) = 1.0 / (sigma * sigma);
  }
}

void band_breakpoints(const BreakpointBasis& basis, double mu, double r, Breakpoints& t) {
  band_precisions(basis, mu, t);
  for (double& v : t) v = v / r;
}

void accumulate_bands(BandProbabilities& sums, const BandMasses& P, const double (&band_prior)[bands]) {
  for (int k = 0; k < bands; ++k) {
    sums.likelihood[k] = sums.likelihood[k] + P[k];
    sums.posterior[k] = sums.posterior[k] + P[k] * band_prior[k];
  }
}

bool sums_usable(const BandProbabilities& sums) {
  double total_l = 0.0, total_w = 0.0;
  for (int k = 0; k < bands; ++k) {
    total_l = total_l + sums.likelihood[k];
    total_w = total_w + sums.posterior[k];
  }
  return total_l > 0.0 && std::isfinite(total_l) && total_w > 0.0 && std::isfinite(total_w);
}

BandProbabilities sum_masses(std::span<const double> masses, const double (&band_prior)[bands]) {
  BandProbabilities sums;
  BandMasses P;
  for (std::size_t j = 0; j + bands <= masses.size(); j += bands) {
    std::copy_n(masses.begin() + j, bands, P.begin());
    accumulate_bands(sums, P, band_prior);
  }
  return sums;
}

void normalise_bands(BandProbabilities& sums) {
  double total = 0.0;
  for (double v : sums.likelihood) total = total + v;
  for (double& v : sums.likelihood) v = v / total;
  total = 0.0;
  for (double v : sums.posterior) total = total + v;
  for (double& v : sums.posterior) v = v / total;
}

}  // namespace vantor

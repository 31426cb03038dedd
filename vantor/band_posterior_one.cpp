// Band posterior for one value: the grid's band integrals shared among threads, summed in grid order.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "vantor/band_posterior.h"
#include "vantor/internal/band_masses.h"
#include "vantor/internal/parallel.h"

namespace vantor {

namespace {

// Grid points a thread takes at a time: enough work (about 500 integrations) to make taking it cheap, and
// enough chunks that threads slowed by other work on their processor simply take fewer.
constexpr int chunk_points = 100;
constexpr int chunk_count = (grid_points + chunk_points - 1) / chunk_points;

// A mass the integrator gave as 0 is taken from the exponential integral when it reaches this share of all
// mass; below it, it could not change a printed digit (nor, as a rule, a bit of the sums).
constexpr double missed_mass_share = 1e-20;

// One chunk's part of the run: what the integrator printed for its points, in order, and the tally.
struct Chunk {
  std::string printed;
  IntegralTally tally;
};

// What the threads share. Each thread writes only the masses and the chunk it took.
struct OneValueGrid {
  const BreakpointBasis& basis;
  const std::vector<double>& mu;
  const std::vector<double>& s;
  std::vector<double> masses = std::vector<double>(static_cast<std::size_t>(grid_points) * bands, 0.0);
  std::vector<Chunk> chunks = std::vector<Chunk>(chunk_count);
  std::atomic<int> next{0};                     // the next chunk to take
  std::atomic<int> first_stopped{chunk_count};  // the earliest chunk whose integration stopped the run
  std::atomic<bool> cancelled{false};           // the host asked to end the computation
};

// Integrates the band masses of chunk c with the thread's context. A stop leaves the chunk's printed text
// ending with the stopping message; the chunks after it are then not needed.
void run_chunk(quadrature::Context& ctx, OneValueGrid& grid, int c) {
  Chunk& chunk = grid.chunks[c];
  BandMasses P;
  const int end = std::min(grid_points, (c + 1) * chunk_points);
  for (int j = c * chunk_points; j < end; ++j) {
    const std::size_t first = static_cast<std::size_t>(j) * bands;
    if (grid.s[j] == 0.0) {
      limit_masses_one(grid.basis, grid.mu[j], P);
    } else if (band_masses_one(ctx, grid.basis, grid.mu[j], grid.s[j], P, chunk.tally, first) ==
               quadrature::Flow::stopped) {
      chunk.printed = std::move(ctx.printed);
      ctx = quadrature::Context{};
      for (int seen = grid.first_stopped.load(); c < seen && !grid.first_stopped.compare_exchange_weak(seen, c);) {
      }
      return;
    }
    std::copy(P.begin(), P.end(), grid.masses.begin() + static_cast<std::ptrdiff_t>(first));
  }
  chunk.printed = std::move(ctx.printed);
  ctx.printed.clear();
}

// Takes chunks in turn until none is left; the calling thread also asks the host whether to go on.
void take_chunks(OneValueGrid& grid, const std::function<bool()>* interrupted) {
  const auto ctx = std::make_unique<quadrature::Context>();
  for (;;) {
    if (grid.cancelled.load()) return;
    if (interrupted && *interrupted && (*interrupted)()) {
      grid.cancelled = true;
      return;
    }
    const int c = grid.next.fetch_add(1);
    if (c >= chunk_count || c > grid.first_stopped.load()) return;
    run_chunk(*ctx, grid, c);
  }
}

// Runs the chunks on the threads and waits for all of them.
void integrate_grid(OneValueGrid& grid, const BandOptions& options) {
  run_on_threads(
      thread_count(options), [&] { take_chunks(grid, &options.interrupted); }, [&] { take_chunks(grid, nullptr); });
}

// Puts back the masses the integrator missed that are large enough to matter, as the exponential integral
// gives them; returns how many.
long long recover_missed_masses(std::vector<double>& masses, const std::vector<std::pair<std::size_t, double>>& zeros,
                                const BandProbabilities& sums) {
  double total = 0.0;
  for (double v : sums.likelihood) total = total + v;
  for (const auto& zero : zeros) total = total + std::exp(zero.second);
  long long recovered = 0;
  for (const auto& [index, log_mass] : zeros) {
    const double mass = std::exp(log_mass);
    if (mass > 0.0 && mass >= missed_mass_share * total) {
      masses[index] = mass;
      ++recovered;
    }
  }
  return recovered;
}

}  // namespace

BandRun band_posterior_one(const BandSettings& settings, std::span<const double> y, const BandOptions& options) {
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const BreakpointBasis basis = breakpoint_basis(settings);
  OneValueGrid grid{basis, mu, s};
  integrate_grid(grid, options);

  BandRun run;
  if (grid.cancelled.load()) {
    run.outcome = BandRun::Outcome::interrupted;
    return run;
  }
  // What a serial run shows: every chunk's text in grid order, up to the one that stopped.
  const int last = std::min(grid.first_stopped.load(), chunk_count - 1);
  std::vector<std::pair<std::size_t, double>> zeros;
  for (int c = 0; c <= last; ++c) {
    const Chunk& chunk = grid.chunks[c];
    run.printed += chunk.printed;
    run.integrals_warned += chunk.tally.warned;
    run.warned_beyond_tolerance += chunk.tally.beyond_tolerance;
    run.worst_warned_error = std::max(run.worst_warned_error, chunk.tally.worst_warned);
    run.integrals_unfinished += chunk.tally.unfinished;
    zeros.insert(zeros.end(), chunk.tally.zero_results.begin(), chunk.tally.zero_results.end());
  }
  if (grid.first_stopped.load() < chunk_count) {
    run.outcome = BandRun::Outcome::stopped;
    return run;
  }

  BandProbabilities sums = sum_masses(grid.masses, settings.band_prior);
  run.masses_missed = recover_missed_masses(grid.masses, zeros, sums);
  if (run.masses_missed > 0) sums = sum_masses(grid.masses, settings.band_prior);
  if (sums_usable(sums)) {
    normalise_bands(sums);
    run.probabilities = sums;
    return run;
  }
  // Every mass below the smallest double, or no weighted mass: the sums again, from logarithms.
  std::vector<double> log_P(grid.masses.size());
  for (int j = 0; j < grid_points; ++j) {
    BandMasses point;
    log_masses(basis, 0.0, mu[j], s[j], point);
    std::copy(point.begin(), point.end(), log_P.begin() + static_cast<std::ptrdiff_t>(j) * bands);
  }
  run.logarithmic = true;
  run.refusal = combine_log_masses(log_P, settings.band_prior, run.probabilities);
  if (run.refusal != DataRefusal::none) run.outcome = BandRun::Outcome::refused;
  return run;
}

}  // namespace vantor

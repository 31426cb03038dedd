// Band posterior for values with entries below detection limits: band masses by quadrature over the grid on all
// cores, combined as logarithms.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <vector>

#include "vantor/band_posterior.h"
#include "vantor/internal/band_masses.h"
#include "vantor/internal/parallel.h"
#include "vantor/internal/posterior_grid.h"
#include "vantor/internal/sigma_profile.h"

namespace vantor {

namespace {

// Grid points a thread takes at a time. Every point's results depend on that point alone, so the bits do not
// depend on how the chunks fall to threads.
constexpr int chunk_points = 64;

// A grid point is left out when its mass is provably below e^-60 of the largest point's; the left-out points then
// carry less than 30000 e^-60 < e^-49 of it together.
constexpr double negligible_log_share = 60.0;

// Points below this share of the largest weighted mass cannot move an estimate, which leaves them out.
constexpr double negligible_estimate_share = 1e-16;

// Runs body(j) for every index in `indices`, chunk by chunk on the threads; false when the host interrupted.
bool for_each_point(const std::vector<int>& indices, const BandOptions& options, const std::function<void(int)>& body) {
  const int count = static_cast<int>(indices.size());
  std::atomic<int> next{0};
  std::atomic<bool> cancelled{false};
  const auto take = [&](bool asks_host) {
    for (;;) {
      if (cancelled.load()) return;
      if (asks_host && options.interrupted && options.interrupted()) {
        cancelled = true;
        return;
      }
      const int begin = next.fetch_add(chunk_points);
      if (begin >= count) return;
      const int end = std::min(count, begin + chunk_points);
      for (int k = begin; k < end; ++k) body(indices[k]);
    }
  };
  const int wanted = std::min(thread_count(options), (count + chunk_points - 1) / chunk_points);
  run_on_threads(
      wanted, [&] { take(true); }, [&] { take(false); });
  return !cancelled.load();
}

double log_sum(std::span<const double> logs) {
  double top = -INFINITY;
  for (double v : logs) top = std::max(top, v);
  if (top == -INFINITY || top == INFINITY) return top;
  double sum = 0.0;
  for (double v : logs) sum += std::exp(v - top);
  return top + std::log(sum);
}

}  // namespace

BandRun band_posterior_censored(const BandSettings& settings, const CensoredValues& values, const BandOptions& options,
                                PosteriorGrid* grid) {
  std::vector<double> mu, s;
  grid_sums(settings, values.detected, mu, s);
  const BreakpointBasis basis = breakpoint_basis(settings);
  const double sigma_lo = settings.sigma_bounds[0], sigma_hi = settings.sigma_bounds[1];
  const auto point_at = [&](int j) {
    return PointLikelihood{mu[j], static_cast<double>(values.detected.size()), s[j], values.limits.data(),
                           values.limits.size()};
  };

  BandRun run;
  // A grid point where f has no bound at sigma = 0, which the lower bound admits: the band masses are infinite.
  if (sigma_lo == 0.0) {
    for (int j = 0; j < grid_points; ++j) {
      if (unbounded_at_zero(point_at(j))) {
        run.outcome = BandRun::Outcome::refused;
        run.refusal = DataRefusal::infinite_mass;
        run.refusal_mu = mu[j];
        return run;
      }
    }
  }

  // The peak of every point: its height times the sigma range bounds the point's mass.
  std::vector<int> all(grid_points);
  for (int j = 0; j < grid_points; ++j) all[j] = j;
  std::vector<Peak> peaks(grid_points);
  if (!for_each_point(all, options, [&](int j) { peaks[j] = find_peak(point_at(j), sigma_lo, sigma_hi); })) {
    run.outcome = BandRun::Outcome::interrupted;
    return run;
  }
  const double log_range = std::log(sigma_hi - sigma_lo);
  int best = 0;
  for (int j = 1; j < grid_points; ++j)
    if (peaks[j].log_value > peaks[best].log_value) best = j;

  std::vector<double> log_masses(static_cast<std::size_t>(grid_points) * bands, -INFINITY);
  std::vector<char> computed(grid_points, 0);
  std::atomic<long long> unconverged{0};
  // With a grid each point's profile goes straight to its place there (the profiles are the run's largest memory).
  if (grid) {
    grid->sigma_bounds[0] = sigma_lo;
    grid->sigma_bounds[1] = sigma_hi;
    grid->points.assign(grid_points, PosteriorPoint{});
  }
  // The estimates read the profiles of the points whose weighted mass can move a percentile: not of those whose bound
  // lies below 1e-16 of the best point's weighted mass (the estimates leave them out of their sums).
  double profile_floor = -INFINITY;
  const auto integrate = [&](int j) {
    Breakpoints band_sigma;
    band_sigmas(basis, mu[j], band_sigma);
    SigmaProfile profile;
    const bool keep_panels = grid != nullptr && peaks[j].log_value + log_range >= profile_floor;
    integrate_profile(point_at(j), peaks[j], band_sigma, sigma_lo, sigma_hi, settings.band_prior, keep_panels, profile);
    std::copy(profile.log_masses.begin(), profile.log_masses.end(), log_masses.begin() + std::ptrdiff_t{j} * bands);
    unconverged += profile.unconverged;
    computed[j] = 1;
    if (!grid) return;
    PosteriorPoint& point = grid->points[j];
    point.mu = mu[j];
    point.log_scale = peaks[j].log_value;
    point.band_sigma = band_sigma;
    point.log_masses = profile.log_masses;
    point.panels = std::move(profile.panels);
    point.coefficients = std::move(profile.coefficients);
    point.profile_total = profile.profile_total;
  };
  integrate(best);
  const std::span<const double> best_masses(log_masses.data() + std::ptrdiff_t{best} * bands, bands);
  const double best_mass = log_sum(best_masses);
  {
    double top_weight = 0.0;
    std::vector<double> weighted;
    for (int k = 0; k < bands; ++k) {
      top_weight = std::max(top_weight, settings.band_prior[k]);
      if (settings.band_prior[k] > 0.0) weighted.push_back(best_masses[k] + std::log(settings.band_prior[k]));
    }
    profile_floor = log_sum(weighted) - std::log(top_weight) + std::log(negligible_estimate_share);
  }
  std::vector<int> kept, left_out;
  for (int j = 0; j < grid_points; ++j) {
    if (j == best) continue;
    (peaks[j].log_value + log_range >= best_mass - negligible_log_share ? kept : left_out).push_back(j);
  }
  if (!for_each_point(kept, options, integrate)) {
    run.outcome = BandRun::Outcome::interrupted;
    return run;
  }
  // The weighted column may rest on bands the left-out points could outweigh (weights 0 where the mass is): then
  // those points are computed too.
  if (!left_out.empty()) {
    double top_weight = 0.0;
    for (double w : settings.band_prior) top_weight = std::max(top_weight, w);
    std::vector<double> bounds, weighted;
    for (int j : left_out) bounds.push_back(peaks[j].log_value + log_range);
    for (int j = 0; j < grid_points; ++j)
      for (int k = 0; k < bands; ++k)
        if (computed[j] && settings.band_prior[k] > 0.0)
          weighted.push_back(log_masses[std::size_t(j) * bands + k] + std::log(settings.band_prior[k]));
    if (log_sum(bounds) + std::log(top_weight) > log_sum(weighted) - 40.0) {
      if (!for_each_point(left_out, options, integrate)) {
        run.outcome = BandRun::Outcome::interrupted;
        return run;
      }
    }
  }
  run.panels_unconverged = unconverged.load();

  run.logarithmic = true;
  run.refusal = combine_log_masses(log_masses, settings.band_prior, run.probabilities);
  if (run.refusal != DataRefusal::none) {
    run.outcome = BandRun::Outcome::refused;
    return run;
  }
  if (grid) {
    // Only the computed points, in grid order: erase_if keeps the order and moves the points in place.
    std::size_t j = 0;
    std::erase_if(grid->points, [&](const PosteriorPoint&) { return !computed[j++]; });
  }
  return run;
}

}  // namespace vantor

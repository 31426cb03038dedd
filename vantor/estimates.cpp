// Posterior percentiles of the five quantities: each grid point's weighted sigma distribution from its profile,
// summed over the grid at the thresholds a value of a quantity sets, and each percentile by a root search.
#include "vantor/estimates.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "distributions/cdf.h"
#include "vantor/internal/posterior_grid.h"

namespace vantor {

namespace {

// Points whose weighted mass is below this share of the largest cannot move a percentile (30000 of them hold
// less than 3e-12 of the whole) and are left out of the sums.
constexpr double negligible_point = 1e-16;

// A grid point as the sums read it: its weighted mass below each band's lower end and the factor that turns its
// profile's integrals into weighted mass, band by band.
struct WeightedPoint {
  double mu;
  double total;                  // weighted mass of the point, on the run's common scale
  double below[bands + 1];       // weighted mass below sigma(k)
  double factor[bands];          // weight of band k times e^(log_scale - top)
  double cut_cumulative[bands];  // the profile's integral up to sigma(k)
  Breakpoints band_sigma;
  const ProfilePanel* panels;
  std::size_t panel_count;
};

// The profile's integral of one point from the lower sigma bound to sigma, and g there (through `density`).
double profile_cumulative(const WeightedPoint& p, double sigma, double* density = nullptr) {
  if (density) *density = 0.0;
  const ProfilePanel* first = p.panels;
  const ProfilePanel* last = p.panels + p.panel_count - 1;  // closes the range: a = b = upper bound
  if (!(sigma > first->a)) return first->below;
  if (!(sigma < last->a)) return last->below;
  const ProfilePanel* panel =
      std::upper_bound(first, last, sigma, [](double s, const ProfilePanel& q) { return s < q.a; }) - 1;
  return cumulative_at(*panel, (panel + 1)->below, sigma, density);
}

// Weighted mass of one point with sigma at or below `sigma`, and its derivative in sigma (through `slope`).
double weighted_below(const WeightedPoint& p, double sigma, double& slope) {
  slope = 0.0;
  if (!(sigma > p.band_sigma[0])) return 0.0;
  if (!(sigma < p.band_sigma[bands])) return p.total;
  int k = 0;
  while (k + 1 < bands && sigma >= p.band_sigma[k + 1]) ++k;
  if (p.factor[k] == 0.0) return p.below[k];
  double density = 0.0;
  const double inside = p.factor[k] * (profile_cumulative(p, sigma, &density) - p.cut_cumulative[k]);
  slope = p.factor[k] * density;
  return std::clamp(p.below[k] + inside, p.below[k], p.below[k + 1]);
}

// Weighted mass of one point whose quantity lies at or below the value that the parameter s stands for (sigma for
// geometric_sd, ln of the value for percentile_95 and arithmetic_mean, z = (mu - ln limit)/sigma for
// exceedance_percent), and its derivative in s.
double point_below(const WeightedPoint& p, Quantity quantity, double s, double log_limit, double& slope) {
  double sigma_slope = 0.0, mass = 0.0;
  slope = 0.0;
  switch (quantity) {
    case geometric_sd:
      mass = weighted_below(p, s, sigma_slope);
      slope = sigma_slope;
      return mass;
    case percentile_95:
      mass = weighted_below(p, (s - p.mu) / z95, sigma_slope);
      slope = sigma_slope / z95;
      return mass;
    case arithmetic_mean: {
      if (s < p.mu) return 0.0;
      const double sigma = std::sqrt(2.0 * (s - p.mu));
      mass = weighted_below(p, sigma, sigma_slope);
      slope = sigma > 0.0 ? sigma_slope / sigma : 0.0;
      return mass;
    }
    default: {
      const double d = p.mu - log_limit;  // z = d/sigma: sigma = d/s, d sigma/ds = -d/s^2
      if (d > 0.0) {
        if (!(s > 0.0)) return 0.0;
        mass = p.total - weighted_below(p, d / s, sigma_slope);
        slope = sigma_slope * d / (s * s);
        return mass;
      }
      if (d < 0.0) {
        if (!(s < 0.0)) return p.total;
        mass = weighted_below(p, d / s, sigma_slope);
        slope = -sigma_slope * d / (s * s);
        return mass;
      }
      return s >= 0.0 ? p.total : 0.0;
    }
  }
}

// The posterior distribution function of a quantity at parameter s over every `stride`-th point, summed in grid
// order, with its derivative.
struct Sums {
  const std::vector<WeightedPoint>& points;
  double log_limit;
  double operator()(Quantity quantity, double s, std::size_t stride, double* derivative = nullptr) const {
    double sum = 0.0, slope_sum = 0.0, total = 0.0;
    for (std::size_t j = 0; j < points.size(); j += stride) {
      double slope = 0.0;
      sum += point_below(points[j], quantity, s, log_limit, slope);
      slope_sum += slope;
      total += points[j].total;
    }
    if (derivative) *derivative = slope_sum / total;
    return sum / total;
  }
};

// Every 16th point shows where a percentile lies well enough to start from; all points then settle it.
constexpr std::size_t coarse_stride = 16;

// The parameters s at which the distribution function reaches each level: first located on every 16th point by a
// scan of the range and bisection, then Newton's method on all points, kept inside the bracket their values set.
void solve(const Sums& cdf, Quantity quantity, double lo, double hi, double (&roots)[percentile_count]) {
  constexpr int scan = 32;
  double scanned[scan + 1];
  for (int i = 0; i <= scan; ++i) scanned[i] = cdf(quantity, lo + (hi - lo) * i / scan, coarse_stride);
  const double f_lo = cdf(quantity, lo, 1), f_hi = cdf(quantity, hi, 1);
  for (int q = 0; q < percentile_count; ++q) {
    const double level = percentile_levels[q];
    double& s = roots[q];
    if (f_lo >= level) {
      s = lo;
      continue;
    }
    if (f_hi < level) {
      s = hi;
      continue;
    }
    int i = 1;
    while (i < scan && scanned[i] < level) ++i;
    double a = lo + (hi - lo) * (i - 1) / scan, b = lo + (hi - lo) * i / scan;
    for (int k = 0; k < 12; ++k) {
      const double m = 0.5 * (a + b);
      (cdf(quantity, m, coarse_stride) >= level ? b : a) = m;
    }
    s = 0.5 * (a + b);
    double known_lo = lo, known_hi = hi;  // F(known_lo) < level <= F(known_hi) on all points
    for (int k = 0; k < 60; ++k) {
      double slope = 0.0;
      const double f = cdf(quantity, s, 1, &slope);
      (f >= level ? known_hi : known_lo) = s;
      double next = slope > 0.0 ? s - (f - level) / slope : NAN;
      if (!(next > known_lo && next < known_hi)) next = 0.5 * (known_lo + known_hi);
      const double tolerance = 1e-11 * std::max(1.0, std::fabs(s));
      const bool settled = std::fabs(next - s) <= tolerance || known_hi - known_lo <= tolerance;
      s = next;
      if (settled) break;
    }
  }
}

// 100 Phi(z) without cancellation: for z > 0 the complement of the lower tail at -z.
double exceedance(double z) {
  double cum = 0.0, ccum = 0.0;
  if (z <= 0.0) {
    distributions::cdf_normal(z, cum, ccum);
    return 100.0 * cum;
  }
  distributions::cdf_normal(-z, cum, ccum);
  return 100.0 * ccum;
}

}  // namespace

Estimates marker_estimates() {
  Estimates e;
  for (auto& row : e.value)
    for (double& v : row) v = -1.0;
  return e;
}

Estimates posterior_estimates(const BandSettings& settings, const PosteriorGrid& grid) {
  Estimates e;
  double top = -INFINITY;
  for (const PosteriorPoint& point : grid.points)
    for (int k = 0; k < bands; ++k)
      if (settings.band_prior[k] > 0.0) top = std::max(top, point.log_masses[k] + std::log(settings.band_prior[k]));

  std::vector<WeightedPoint> points;
  std::vector<double> grid_mu, grid_mass;  // every point, for the geometric mean's discrete distribution
  double largest = 0.0;
  for (const PosteriorPoint& point : grid.points) {
    WeightedPoint p{};
    p.mu = point.mu;
    p.band_sigma = point.band_sigma;
    p.panels = grid.panels.data() + point.first_panel;
    p.panel_count = point.panel_count;
    p.below[0] = 0.0;
    for (int k = 0; k < bands; ++k) {
      const double w = settings.band_prior[k];
      const double mass = w > 0.0 ? std::exp(point.log_masses[k] + std::log(w) - top) : 0.0;
      p.factor[k] = w > 0.0 && mass > 0.0 ? std::exp(point.log_scale + std::log(w) - top) : 0.0;
      p.cut_cumulative[k] = profile_cumulative(p, point.band_sigma[k]);
      p.below[k + 1] = p.below[k] + mass;
    }
    p.total = p.below[bands];
    grid_mu.push_back(p.mu);
    grid_mass.push_back(p.total);
    largest = std::max(largest, p.total);
    points.push_back(p);
  }
  std::erase_if(points, [&](const WeightedPoint& p) { return !(p.total >= negligible_point * largest); });
  double total = 0.0;
  for (double m : grid_mass) total += m;

  // geometric_mean: the smallest grid value whose cumulative probability reaches the level.
  for (int q = 0; q < percentile_count; ++q) {
    double cumulative = 0.0;
    std::size_t j = 0;
    for (; j + 1 < grid_mass.size(); ++j) {
      cumulative += grid_mass[j];
      if (cumulative >= percentile_levels[q] * total) break;
    }
    e.value[geometric_mean][q] = std::exp(grid_mu[j]);
  }

  double mu_lo = INFINITY, mu_hi = -INFINITY;
  for (const WeightedPoint& p : points) mu_lo = std::min(mu_lo, p.mu), mu_hi = std::max(mu_hi, p.mu);
  const double sigma_lo = grid.sigma_bounds[0], sigma_hi = grid.sigma_bounds[1];
  const Sums sums{points, std::log(settings.limit)};
  struct Range {
    Quantity quantity;
    double lo, hi;
  };
  const Range ranges[] = {{geometric_sd, sigma_lo, sigma_hi},
                          {percentile_95, mu_lo + z95 * sigma_lo, mu_hi + z95 * sigma_hi},
                          {arithmetic_mean, mu_lo + 0.5 * sigma_lo * sigma_lo, mu_hi + 0.5 * sigma_hi * sigma_hi},
                          {exceedance_percent, -40.0, 40.0}};
  for (const Range& range : ranges) {
    double roots[percentile_count];
    solve(sums, range.quantity, range.lo, range.hi, roots);
    for (int q = 0; q < percentile_count; ++q)
      e.value[range.quantity][q] = range.quantity == exceedance_percent ? exceedance(roots[q]) : std::exp(roots[q]);
  }
  return e;
}

}  // namespace vantor

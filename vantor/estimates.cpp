// Posterior percentiles of the five quantities: each grid point's weighted sigma distribution, from its quadrature
// profile or in closed form, summed over the grid at the thresholds a value of a quantity sets, and each percentile
// by a root search on a thinned grid refined on every point.
#include "vantor/estimates.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <vector>

#include "distributions/cdf.h"
#include "distributions/log_scale.h"
#include "vantor/internal/gamma_table.h"
#include "vantor/internal/parallel.h"
#include "vantor/internal/posterior_grid.h"

namespace vantor {

namespace {

// Points whose weighted mass is below this share of the largest cannot move a percentile (30000 of them hold
// less than 3e-12 of the whole) and are left out of the sums.
constexpr double negligible_point = 1e-16;

// How a point's mass grows with sigma: a function V increasing in sigma, the mass between sigma(k) and sigma
// proportional to V(sigma) - V(sigma(k)). From the quadrature's profile, or in closed form for detected values
// only, with t = S / (2 sigma^2) and a = (n - 1) / 2: -P(a, t) or Q(a, t) (the regularised gamma functions, each
// where it keeps its digits; from the run's tables where they cover the point's range and keep the digits of its
// mass, else computed directly), E1(t) for one value, and for S = 0 -sigma^(1-n) or 2 ln sigma.
enum class CurveKind {
  profile,
  gamma_lower,
  gamma_upper,
  gamma_lower_table,
  gamma_upper_table,
  exponential_integral,
  power,
  logarithm
};

// ln E1(e^s) + e^s + s (smooth and bounded on the whole line) at steps of 1/64 of s = ln t over the range a run
// needs, for cubic Hermite interpolation with its slope: within about 1e-10 of E1, and a tenth of its cost.
struct ExponentialIntegralTable {
  double s_lo = 0.0;
  std::vector<double> value, slope;
};
constexpr double e1_steps_per_unit = 64.0;

void e1_node(double s, double& value, double& slope) {
  const double t = std::exp(s), log_e1 = distributions::log_gamma_integral(0.0, t, INFINITY);
  value = log_e1 + t + s;
  slope = 1.0 + t - std::exp(-t - log_e1);  // d ln E1 / ds = -e^-t / E1
}

ExponentialIntegralTable e1_table(double s_lo, double s_hi) {
  ExponentialIntegralTable table;
  table.s_lo = std::floor(s_lo * e1_steps_per_unit) / e1_steps_per_unit;
  const int size = static_cast<int>(std::ceil((s_hi - table.s_lo) * e1_steps_per_unit)) + 2;
  table.value.resize(size);
  table.slope.resize(size);
  for (int i = 0; i < size; ++i) e1_node(table.s_lo + i / e1_steps_per_unit, table.value[i], table.slope[i]);
  return table;
}

// ln E1(t) from the table.
double log_e1(const ExponentialIntegralTable& table, double t) {
  const double s = std::log(t), x = (s - table.s_lo) * e1_steps_per_unit;
  const int i = std::clamp(static_cast<int>(x), 0, static_cast<int>(table.value.size()) - 2);
  const double u = x - i, step = 1.0 / e1_steps_per_unit;
  const double v0 = table.value[i], v1 = table.value[i + 1], m0 = step * table.slope[i], m1 = step * table.slope[i + 1];
  const double c2 = 3.0 * (v1 - v0) - 2.0 * m0 - m1, c3 = 2.0 * (v0 - v1) + m0 + m1;
  return v0 + u * (m0 + u * (c2 + u * c3)) - t - s;
}

// What the closed forms share over the grid.
struct ClosedForm {
  double a = 0.0;
  double n = 0.0;
  double log_gamma_a = 0.0;  // ln Gamma(a), for the gamma density
  ExponentialIntegralTable e1;
  GammaTable lower, upper;  // ln P and ln Q over the ranges of t the points need
  // Beyond the upper table Q lies below the smallest double: V = 0 there.
  bool upper_reaches_zero = false;
  double upper_zero_t = INFINITY;  // e^(upper.s_hi) when it does
};

// A grid point as the sums read it: its weighted mass below each band's lower end and the factor that turns
// differences of V into weighted mass, band by band.
struct WeightedPoint {
  double mu = 0.0;
  double total = 0.0;         // weighted mass of the point, on the run's common scale
  double below[bands + 1]{};  // weighted mass below sigma(k)
  double factor[bands]{};     // weight of band k times the point's scale
  double cut[bands]{};        // V(sigma(k))
  Breakpoints band_sigma{};
  CurveKind kind = CurveKind::profile;
  double half_squares = 0.0;  // S / 2 (closed forms)
  double log_half_squares = 0.0;
  double log_offset = 0.0;    // V of the exponential integral is E1 e^-log_offset
  const ProfilePanel* panels = nullptr;
  std::size_t panel_count = 0;
  const double* coefficients = nullptr;
  double profile_total = 0.0;
  int grid_index = 0;  // j of mu(j)
  int shape = 0;       // which band ends are clamped to a sigma bound, and the kind of V (see shape_code)
};

// The profile's integral of one point from the lower sigma bound to sigma, and g there (through `density`).
double profile_cumulative(const WeightedPoint& p, double sigma, double* density) {
  if (density) *density = 0.0;
  const ProfilePanel* first = p.panels;
  const ProfilePanel* end = p.panels + p.panel_count;
  if (p.panel_count == 0 || !(sigma > first->a)) return 0.0;
  if (!(sigma < (end - 1)->b)) return p.profile_total;
  const ProfilePanel* panel =
      std::upper_bound(first, end, sigma, [](double s, const ProfilePanel& q) { return s < q.a; }) - 1;
  return cumulative_at(*panel, p.coefficients, panel + 1 < end ? (panel + 1)->below : p.profile_total, sigma, density);
}

// V(sigma) of one point and, through `slope`, dV/dsigma; `log_sigma` is ln sigma when the caller has it (shared by
// many points), else NaN.
double curve(const WeightedPoint& p, const ClosedForm& form, double sigma, double log_sigma, double* slope) {
  if (p.kind == CurveKind::profile) return profile_cumulative(p, sigma, slope);
  const double t = p.half_squares / (sigma * sigma);
  switch (p.kind) {
    case CurveKind::gamma_lower:
    case CurveKind::gamma_upper: {
      double cum = 0.0, ccum = 0.0;
      distributions::cdf_gamma(t, form.a, cum, ccum);
      if (slope) *slope = 2.0 * std::exp(form.a * std::log(t) - t - form.log_gamma_a) / sigma;
      return p.kind == CurveKind::gamma_lower ? -cum : ccum;
    }
    case CurveKind::gamma_lower_table:
    case CurveKind::gamma_upper_table: {
      const bool lower = p.kind == CurveKind::gamma_lower_table;
      const GammaTable& table = lower ? form.lower : form.upper;
      if (!lower && t > form.upper_zero_t) {  // Q below the smallest double
        if (slope) *slope = 0.0;
        return 0.0;
      }
      const double s = std::isnan(log_sigma) ? std::log(t) : p.log_half_squares - 2.0 * log_sigma;
      double d = 0.0;
      const double v = std::exp(gamma_table_value(table, s, d) - t);
      // dV/dsigma = -2/sigma dV/ds, with d ln P/ds = d - t > 0 and d ln Q/ds = d - t < 0.
      if (slope) *slope = 2.0 * v * (lower ? d - t : t - d) / sigma;
      return lower ? -v : v;
    }
    case CurveKind::exponential_integral:
      if (slope) *slope = 2.0 * std::exp(-t - p.log_offset) / sigma;
      return std::exp(log_e1(form.e1, t) - p.log_offset);
    case CurveKind::power:
      if (slope) *slope = (form.n - 1.0) * std::pow(sigma, -form.n);
      return -std::pow(sigma, 1.0 - form.n);
    default:
      if (slope) *slope = 2.0 / sigma;
      return 2.0 * std::log(sigma);
  }
}

// Weighted mass of one point with sigma at or below `sigma`, and its derivative in sigma (through `slope`); through
// `piece`, where sigma lies: 0 below the lower bound, k + 1 in band k, bands + 1 above the upper bound.
// (Only the fine sums read the piece: `pieces` false leaves it alone.)
template <bool pieces>
double weighted_below(const WeightedPoint& p, const ClosedForm& form, double sigma, double log_sigma, double& slope,
                      int& piece) {
  slope = 0.0;
  if constexpr (pieces) piece = 0;
  if (!(sigma > p.band_sigma[0])) return 0.0;
  if constexpr (pieces) piece = bands + 1;
  if (!(sigma < p.band_sigma[bands])) return p.total;
  int k = 0;
  while (k + 1 < bands && sigma >= p.band_sigma[k + 1]) ++k;
  if constexpr (pieces) piece = k + 1;
  if (p.factor[k] == 0.0) return p.below[k];
  double density = 0.0;
  const double inside = p.factor[k] * (curve(p, form, sigma, log_sigma, &density) - p.cut[k]);
  slope = p.factor[k] * density;
  return std::clamp(p.below[k] + inside, p.below[k], p.below[k + 1]);
}

// Weighted mass of one point whose quantity lies at or below the value that the parameter s stands for (sigma for
// geometric_sd, ln of the value for percentile_95 and arithmetic_mean, z = (mu - ln limit)/sigma for
// exceedance_percent), and its derivative in s; `log_s` is ln s for geometric_sd. Through `piece`, which formula
// gave it: over a stretch of grid points with the same piece and shape the mass is a smooth function of mu.
template <bool pieces>
double point_below(const WeightedPoint& p, const ClosedForm& form, Quantity quantity, double s, double log_s,
                   double log_limit, double& slope, int& piece) {
  double sigma_slope = 0.0, mass = 0.0;
  slope = 0.0;
  if constexpr (pieces) piece = 0;
  switch (quantity) {
    case geometric_sd:
      mass = weighted_below<pieces>(p, form, s, log_s, sigma_slope, piece);
      slope = sigma_slope;
      return mass;
    case percentile_95:
      mass = weighted_below<pieces>(p, form, (s - p.mu) / z95, NAN, sigma_slope, piece);
      slope = sigma_slope / z95;
      return mass;
    case arithmetic_mean: {
      if (s < p.mu) return 0.0;  // as below the lower bound
      const double sigma = std::sqrt(2.0 * (s - p.mu));
      mass = weighted_below<pieces>(p, form, sigma, NAN, sigma_slope, piece);
      slope = sigma > 0.0 ? sigma_slope / sigma : 0.0;
      return mass;
    }
    default: {
      const double d = p.mu - log_limit;  // z = d/sigma: sigma = d/s, d sigma/ds = -d/s^2
      if (d > 0.0) {
        if constexpr (pieces) piece = 8;
        if (!(s > 0.0)) return 0.0;
        mass = p.total - weighted_below<pieces>(p, form, d / s, NAN, sigma_slope, piece);
        if constexpr (pieces) piece += 16;
        slope = sigma_slope * d / (s * s);
        return mass;
      }
      if (d < 0.0) {
        if constexpr (pieces) piece = 24;
        if (!(s < 0.0)) return p.total;
        mass = weighted_below<pieces>(p, form, d / s, NAN, sigma_slope, piece);
        if constexpr (pieces) piece += 32;
        slope = -sigma_slope * d / (s * s);
        return mass;
      }
      if constexpr (pieces) piece = 48;
      return s >= 0.0 ? p.total : 0.0;
    }
  }
}

// A point's shape for the pieces: for each interior band end whether it lies at the lower sigma bound, strictly
// between the bounds or at the upper one (each changes once along the grid), and the kind of its V.
int shape_code(const WeightedPoint& p) {
  int code = static_cast<int>(p.kind);
  for (int k = 1; k < bands; ++k)
    code = 3 * code + (p.band_sigma[k] == p.band_sigma[0] ? 0 : p.band_sigma[k] == p.band_sigma[bands] ? 2 : 1);
  return code;
}

// ln s where the points share it (geometric_sd: s is sigma), else NaN.
double log_threshold(Quantity quantity, double s) { return quantity == geometric_sd ? std::log(s) : NAN; }

// A thinned grid that locates a percentile before all points settle it: about `wanted` points evenly spread from the
// first to the last, weighted by the trapezoid rule with the half point at each end that a sum over every point has
// beyond the integral. The sums are smooth in mu, so over such a grid they lie close to the full ones.
struct Thinned {
  std::vector<std::size_t> index;
  std::vector<double> weight;
};

Thinned thinned_grid(std::size_t points, std::size_t wanted) {
  Thinned t;
  if (points <= wanted) {
    for (std::size_t j = 0; j < points; ++j) t.index.push_back(j), t.weight.push_back(1.0);
    return t;
  }
  for (std::size_t k = 0; k < wanted; ++k) t.index.push_back(k * (points - 1) / (wanted - 1));
  for (std::size_t k = 0; k < wanted; ++k) {
    const double before = k > 0 ? static_cast<double>(t.index[k] - t.index[k - 1]) : 1.0;
    const double after = k + 1 < wanted ? static_cast<double>(t.index[k + 1] - t.index[k]) : 1.0;
    t.weight.push_back(0.5 * (before + after));
  }
  return t;
}

// The error of a fine sum's F (its bound) with which a percentile may be settled from it: the root then lies within
// about this much of that of the sums over all points, divided by the density of the quantity there.
constexpr double fine_error = 5e-9;
// About how many points a fine sum reads at its nodes.
constexpr std::size_t fine_nodes = 1024;
// The share of the mass by which the sum over one smooth stretch may be off.
constexpr double fine_stretch_error = 1e-10;

// Points one thread sums at a time in a pass over all of them; the partial sums are added in their order, so the
// result does not depend on the number of threads.
constexpr std::size_t chunk_points = 2048;

// Runs body(c) for every chunk c on up to `threads` threads; each chunk's results depend on that chunk alone.
void run_chunks(std::size_t chunks, int threads, const std::function<void(std::size_t)>& body) {
  std::atomic<std::size_t> next{0};
  const auto take = [&] {
    for (std::size_t c; (c = next.fetch_add(1)) < chunks;) body(c);
  };
  run_on_threads(std::min<int>(threads, static_cast<int>(chunks)), take, take);
}

// ln P(a, e^s) + e^s (or ln Q) and its first two derivatives in s, at one node of a gamma table.
void gamma_node(double a, double log_gamma_a, bool upper, double s, double* node) {
  const double t = std::exp(s);
  double p = 0.0, q = 0.0;
  distributions::cdf_gamma(t, a, p, q);
  const double v = upper ? q : p;
  // Below the normal range of doubles the logarithm comes from the integral itself.
  const double log_v = v >= 1e-290 ? std::log(v)
                       : (upper ? distributions::log_gamma_integral(a, t, INFINITY)
                                : distributions::log_gamma_integral(a, 0.0, t)) -
                             log_gamma_a;
  const double r = (upper ? -1.0 : 1.0) * std::exp(a * s - t - log_gamma_a - log_v);  // d ln V / ds
  node[0] = log_v + t;
  node[1] = r + t;
  node[2] = r * (a - t - r) + t;
}

}  // namespace

GammaTable gamma_table(double a, bool upper, double s_lo, double s_hi, int threads, int max_nodes) {
  GammaTable table;
  if (!(a > 0.0 && a <= max_table_shape) || !(s_lo <= s_hi) || !std::isfinite(s_lo) || !std::isfinite(s_hi))
    return table;
  const double per_unit = 64.0 * std::max(1.0, std::sqrt(a) / 4.0), step = 1.0 / per_unit;
  const double start = std::floor(s_lo * per_unit) / per_unit;
  const double steps = std::max(1.0, std::ceil((s_hi - start) * per_unit));
  if (!(steps < max_nodes)) return table;
  const int count = static_cast<int>(steps);
  const double log_gamma_a = distributions::log_gamma_fn(a);
  std::vector<double> nodes(3 * (static_cast<std::size_t>(count) + 1));
  constexpr int node_chunk = 256;
  run_chunks((count + node_chunk) / node_chunk, threads, [&](std::size_t c) {
    const int end = std::min(count + 1, static_cast<int>(c + 1) * node_chunk);
    for (int i = static_cast<int>(c) * node_chunk; i < end; ++i)
      gamma_node(a, log_gamma_a, upper, start + i * step, nodes.data() + 3 * i);
  });
  // The quintic through the values, slopes and curvatures at both ends of each step, in u from 0 to 1.
  table.polynomials.resize(count);
  for (int i = 0; i < count; ++i) {
    const double* n0 = nodes.data() + 3 * i;
    const double* n1 = n0 + 3;
    const double v0 = n0[0], m0 = step * n0[1], w0 = step * step * n0[2];
    const double m1 = step * n1[1], w1 = step * step * n1[2];
    const double A = n1[0] - v0 - m0 - 0.5 * w0, B = m1 - m0 - w0, C = w1 - w0;
    table.polynomials[i] = {v0, m0, 0.5 * w0, 10.0 * A - 4.0 * B + 0.5 * C, -15.0 * A + 7.0 * B - C,
                            6.0 * A - 3.0 * B + 0.5 * C};
  }
  table.a = a;
  table.upper = upper;
  table.s_lo = start;
  table.s_hi = start + count * step;
  table.steps_per_unit = per_unit;
  return table;
}

namespace {

// The posterior distribution function of a quantity over the grid.
struct Sums {
  const std::vector<WeightedPoint>& points;
  const ClosedForm& form;
  double log_limit;
  int threads;
  std::size_t fine_step = 0;  // closed forms: the step of fine_sum (0: the thinned grids are checked instead)
  double total = 0.0;         // the mass of all points

  // F and its derivative at each of `count` parameters over a thinned grid (on this thread).
  void thinned(Quantity quantity, const double* s, int count, const Thinned& grid, double* value,
               double* derivative) const {
    double sum[percentile_count + 1] = {}, slopes[percentile_count + 1] = {}, total = 0.0, log_s[percentile_count];
    for (int q = 0; q < count; ++q) log_s[q] = log_threshold(quantity, s[q]);
    for (std::size_t k = 0; k < grid.index.size(); ++k) {
      const WeightedPoint& p = points[grid.index[k]];
      for (int q = 0; q < count; ++q) {
        double slope = 0.0;
        int piece = 0;
        sum[q] += grid.weight[k] * point_below<false>(p, form, quantity, s[q], log_s[q], log_limit, slope, piece);
        slopes[q] += grid.weight[k] * slope;
      }
      total += grid.weight[k] * p.total;
    }
    for (int q = 0; q < count; ++q) value[q] = sum[q] / total, derivative[q] = slopes[q] / total;
  }

  // F and its derivative at each of `count` parameters over every point, the points shared among threads.
  void all(Quantity quantity, const double* s, int count, double* value, double* derivative) const {
    const std::size_t chunks = (points.size() + chunk_points - 1) / chunk_points;
    std::vector<double> partial(chunks * (2 * count + 1), 0.0);
    double log_s[percentile_count];
    for (int q = 0; q < count; ++q) log_s[q] = log_threshold(quantity, s[q]);
    const auto sum_chunk = [&](std::size_t c) {
      double* out = partial.data() + c * (2 * count + 1);
      const std::size_t end = std::min(points.size(), (c + 1) * chunk_points);
      for (std::size_t j = c * chunk_points; j < end; ++j) {
        for (int q = 0; q < count; ++q) {
          double slope = 0.0;
          int piece = 0;
          out[2 * q] += point_below<false>(points[j], form, quantity, s[q], log_s[q], log_limit, slope, piece);
          out[2 * q + 1] += slope;
        }
        out[2 * count] += points[j].total;
      }
    };
    run_chunks(chunks, threads, sum_chunk);
    std::vector<double> sum(2 * count + 1, 0.0);
    for (std::size_t c = 0; c < chunks; ++c)
      for (int i = 0; i <= 2 * count; ++i) sum[i] += partial[c * (2 * count + 1) + i];
    for (int q = 0; q < count; ++q) {
      value[q] = sum[2 * q] / sum[2 * count];
      derivative[q] = sum[2 * q + 1] / sum[2 * count];
    }
  }
};

// F, its derivative and a bound on the error of F at one parameter over every point, from every step-th point
// (on this thread). Along a stretch of grid points over which each point's mass comes from the same formula
// (same piece and shape: no band end or sigma bound crosses the threshold in between) the mass is smooth in mu,
// and the sum over the stretch is its trapezoid sum over every step-th point with the Euler-Maclaurin
// correction of the ends, (f(a) + f(b))/2 - (step^2 - 1)/12 (f'(b) - f'(a)) with f' from the first three
// points at each end; what is left falls as step^4. The error bound compares that sum with the one over every
// second of those points, whose error is 16 times larger; a stretch whose bound exceeds fine_stretch_error of the
// mass is halved (near a threshold that bends fast in mu, as that of arithmetic_mean close to mu = s). The points
// between two nodes where the formula changes are summed one by one, and so are stretches of fewer than four
// steps; so is everything when the points are few.
struct FineSum {
  double value = 0.0, slope = 0.0, error = 0.0;
};

FineSum fine_sum(const std::vector<WeightedPoint>& points, const ClosedForm& form, Quantity quantity, double s,
                 double log_limit, std::size_t step, double total) {
  FineSum out;
  const double log_s = log_threshold(quantity, s);
  const auto at = [&](std::size_t j, double& slope, int& piece) {
    return point_below<true>(points[j], form, quantity, s, log_s, log_limit, slope, piece);
  };
  const auto add_one = [&](std::size_t j) {
    double slope = 0.0;
    int piece = 0;
    out.value += at(j, slope, piece);
    out.slope += slope;
  };
  const std::size_t n = points.size();
  if (step < 3 || n < 8 * step) {
    for (std::size_t j = 0; j < n; ++j) add_one(j);
    out.value /= total, out.slope /= total;
    return out;
  }
  const std::size_t nodes = (n - 1) / step + 1;
  thread_local std::vector<double> f, g;
  thread_local std::vector<long> code;
  f.resize(nodes), g.resize(nodes), code.resize(nodes);
  for (std::size_t i = 0; i < nodes; ++i) {
    int piece = 0;
    f[i] = at(i * step, g[i], piece);
    code[i] = static_cast<long>(piece) + 64L * points[i * step].shape;
  }
  // Whether the mass is smooth from node i to node i + 1.
  const auto smooth = [&](std::size_t i) {
    return code[i] == code[i + 1] &&
           points[(i + 1) * step].grid_index - points[i * step].grid_index == static_cast<int>(step);
  };
  const double h = static_cast<double>(step);
  // The corrected trapezoid sum of v over nodes a to b every `every` nodes, with end derivatives da and db.
  const auto stretch = [&](const std::vector<double>& v, std::size_t a, std::size_t b, std::size_t every, double da,
                           double db) {
    double sum = 0.0;
    for (std::size_t i = a; i <= b; i += every) sum += v[i];
    const double width = h * static_cast<double>(every);
    return width * (sum - 0.5 * (v[a] + v[b])) + 0.5 * (v[a] + v[b]) - (width * width - 1.0) / 12.0 * (db - da);
  };
  // Every point from node a to node b, the nodes from their values.
  const auto every_point = [&](std::size_t a, std::size_t b) {
    for (std::size_t i = a; i <= b; ++i) {
      out.value += f[i], out.slope += g[i];
      if (i < b)
        for (std::size_t j = i * step + 1; j < (i + 1) * step; ++j) add_one(j);
    }
  };
  // The derivatives of f and g in the grid index at node i, from it and the next two points (direction 1) or the
  // previous two (direction -1).
  const auto derivatives = [&](std::size_t i, int direction, double& df, double& dg) {
    double f1 = 0.0, f2 = 0.0, g1 = 0.0, g2 = 0.0;
    int piece = 0;
    const std::size_t j = i * step;
    f1 = at(direction > 0 ? j + 1 : j - 1, g1, piece);
    f2 = at(direction > 0 ? j + 2 : j - 2, g2, piece);
    df = direction * 0.5 * (-3.0 * f[i] + 4.0 * f1 - f2);
    dg = direction * 0.5 * (-3.0 * g[i] + 4.0 * g1 - g2);
  };
  // A smooth stretch from node a to node b, halved until each part's error bound is within its share; the node
  // where two parts meet is in both, and taken off once.
  const double share = fine_stretch_error * total;
  struct Part {
    std::size_t a, b;
    double fa, ga;  // the derivatives at node a
  };
  thread_local std::vector<Part> parts;
  const auto smooth_sum = [&](std::size_t a0, std::size_t b0) {
    parts.clear();
    if (b0 - a0 < 4) return every_point(a0, b0);
    Part first{a0, b0, 0.0, 0.0};
    derivatives(a0, 1, first.fa, first.ga);
    parts.push_back(first);
    while (!parts.empty()) {
      const Part part = parts.back();
      parts.pop_back();
      const std::size_t a = part.a, b = part.b;
      if (b - a < 4) {
        every_point(a, b);
        continue;
      }
      double fb = 0.0, gb = 0.0, fe = 0.0, ge = 0.0;
      derivatives(b, -1, fb, gb);
      // The error bound over an even number of steps from a, to node e.
      const std::size_t e = a + (b - a) / 2 * 2;
      if (e == b) fe = fb;
      else derivatives(e, -1, fe, ge);
      const double bound = std::fabs(stretch(f, a, e, 1, part.fa, fe) - stretch(f, a, e, 2, part.fa, fe)) / 15.0;
      if (bound <= share) {
        out.value += stretch(f, a, b, 1, part.fa, fb);
        out.slope += stretch(g, a, b, 1, part.ga, gb);
        out.error += bound;
        continue;
      }
      const std::size_t mid = (a + b) / 2;
      Part second{mid, b, 0.0, 0.0};
      derivatives(mid, 1, second.fa, second.ga);
      out.value -= f[mid], out.slope -= g[mid];
      parts.push_back(second);
      parts.push_back(Part{a, mid, part.fa, part.ga});
    }
  };
  std::size_t i = 0;
  while (i < nodes) {
    std::size_t b = i;
    while (b + 1 < nodes && smooth(b)) ++b;
    smooth_sum(i, b);
    // The points up to the next node, where the formula changes.
    if (b + 1 < nodes)
      for (std::size_t j = b * step + 1; j < (b + 1) * step; ++j) add_one(j);
    i = b + 1;
  }
  for (std::size_t j = (nodes - 1) * step + 1; j < n; ++j) add_one(j);
  out.value /= total, out.slope /= total, out.error /= total;
  return out;
}

// The thinned grids of a root search: to scan the range, to locate each root, and (profiles) to settle and check it.
struct SearchGrids {
  Thinned scan, locate, settle, check;
};

// The root of F - level on a thinned grid by Newton's method from s, kept inside [a, b] (what is known of the
// root), bisecting where a step would leave it; to a step below `tolerance` (relative to max(1, |s|)).
double thinned_root(const Sums& cdf, Quantity quantity, double level, const Thinned& grid, double a, double b,
                    double s, double tolerance) {
  for (int k = 0; k < 60; ++k) {
    double value = 0.0, slope = 0.0;
    cdf.thinned(quantity, &s, 1, grid, &value, &slope);
    (value >= level ? b : a) = s;
    double next = slope > 0.0 ? s - (value - level) / slope : NAN;
    if (!(next >= a && next <= b)) next = 0.5 * (a + b);
    const double limit = tolerance * std::max(1.0, std::fabs(s));
    if (std::fabs(next - s) <= limit || b - a <= limit) return next;
    s = next;
  }
  return s;
}

// The parameters s at which the distribution function reaches each level: located by a scan of the range and
// Newton's method on a thinned grid of 256 points. With closed forms each is then settled by Newton steps on the fine
// sums, which stand for the sums over all points to within fine_error. From quadrature profiles (whose pieces are
// not tracked) Newton's method goes on on a grid of 1024 points and the result is checked on one of 8192: a root that
// a Newton step there moves by less than 1e-7 is taken from it (a thinned grid's error falls about as the square of
// its step: that of 8192 points is some sixty times below the two grids' disagreement). Any other root is settled on
// all points by Newton steps kept inside what is known of the root.
void solve(const Sums& cdf, const SearchGrids& grids, Quantity quantity, double lo, double hi,
           double (&roots)[percentile_count]) {
  constexpr int scan = 16;
  double scanned[scan + 1], at[scan + 1], slopes[scan + 1];
  for (int i = 0; i <= scan; ++i) at[i] = lo + (hi - lo) * i / scan;
  for (int i = 0; i <= scan; i += percentile_count)
    cdf.thinned(quantity, at + i, std::min(percentile_count, scan + 1 - i), grids.scan, scanned + i, slopes + i);
  double known_lo[percentile_count], known_hi[percentile_count];
  bool settled[percentile_count] = {};
  for (int q = 0; q < percentile_count; ++q) {
    const double level = percentile_levels[q];
    known_lo[q] = lo;
    known_hi[q] = hi;
    // The thinned sums reach the level at an end of the range: the percentile is that end.
    if (scanned[0] >= level || scanned[scan] < level) {
      roots[q] = scanned[0] >= level ? lo : hi;
      settled[q] = true;
      continue;
    }
    int i = 1;
    while (i < scan && scanned[i] < level) ++i;
    const double a = at[i - 1], b = at[i];
    double s = a + (b - a) * (level - scanned[i - 1]) / (scanned[i] - scanned[i - 1]);
    if (!(s >= a && s <= b)) s = 0.5 * (a + b);
    s = thinned_root(cdf, quantity, level, grids.locate, a, b, s, 1e-6);
    roots[q] = cdf.fine_step > 0 ? std::clamp(s, lo, hi)
                                 : std::clamp(thinned_root(cdf, quantity, level, grids.settle, a, b, s, 1e-12), lo, hi);
  }
  if (cdf.fine_step > 0) {
    // Newton's method on the fine sums, settled by the rule of the passes over all points (below); a percentile
    // whose fine sum cannot vouch for its digits, or that does not settle, is left to those passes.
    bool fine[percentile_count];
    for (int q = 0; q < percentile_count; ++q) fine[q] = !settled[q];
    for (int pass = 0; pass < 8; ++pass) {
      bool any = false;
      for (int q = 0; q < percentile_count; ++q) {
        if (settled[q] || !fine[q]) continue;
        any = true;
        const double level = percentile_levels[q];
        double& s = roots[q];
        const FineSum r = fine_sum(cdf.points, cdf.form, quantity, s, cdf.log_limit, cdf.fine_step, cdf.total);
        if (!(r.error <= fine_error)) {
          fine[q] = false;
          continue;
        }
        (r.value >= level ? known_hi[q] : known_lo[q]) = s;
        double next = r.slope > 0.0 ? s - (r.value - level) / r.slope : NAN;
        if (!(next >= known_lo[q] && next <= known_hi[q])) next = 0.5 * (known_lo[q] + known_hi[q]);
        const double tolerance = 1e-5 * std::max(1.0, std::fabs(s));
        settled[q] = (std::fabs(next - s) <= tolerance && std::fabs(r.value - level) <= 1e-5) ||
                     known_hi[q] - known_lo[q] <= tolerance;
        s = next;
      }
      if (!any) break;
    }
  }
  // The check on the largest thinned grid, all percentiles in one pass; when it holds every point, the settling rule
  // of the passes over all points (below) applies to it.
  const bool check_is_all = grids.check.index.size() == cdf.points.size();
  if (cdf.fine_step == 0) {
    double value[percentile_count], slope[percentile_count];
    cdf.thinned(quantity, roots, percentile_count, grids.check, value, slope);
    for (int q = 0; q < percentile_count; ++q) {
      if (settled[q]) continue;
      const double level = percentile_levels[q];
      double& s = roots[q];
      if (check_is_all) (value[q] >= level ? known_hi[q] : known_lo[q]) = s;
      const double next = slope[q] > 0.0 ? s - (value[q] - level) / slope[q] : NAN;
      const double tolerance = (check_is_all ? 1e-5 : 1e-7) * std::max(1.0, std::fabs(s));
      if (std::fabs(next - s) <= tolerance && std::fabs(value[q] - level) <= 1e-5 && next >= known_lo[q] &&
          next <= known_hi[q]) {
        s = next;
        settled[q] = true;
      }
    }
  }
  // Newton's method on all points, every unsettled percentile in the same pass; where it would leave what is known
  // of the root (a distribution function that rises in steps, as when the sigma bounds all but coincide),
  // bisection.
  for (int pass = 0; pass < 40; ++pass) {
    int open[percentile_count], count = 0;
    double at_open[percentile_count], value[percentile_count], slope[percentile_count];
    for (int q = 0; q < percentile_count; ++q)
      if (!settled[q]) at_open[count] = roots[q], open[count++] = q;
    if (count == 0) break;
    cdf.all(quantity, at_open, count, value, slope);
    for (int i = 0; i < count; ++i) {
      const int q = open[i];
      const double level = percentile_levels[q];
      double& s = roots[q];
      (value[i] >= level ? known_hi[q] : known_lo[q]) = s;
      double next = slope[i] > 0.0 ? s - (value[i] - level) / slope[i] : NAN;
      if (!(next >= known_lo[q] && next <= known_hi[q])) next = 0.5 * (known_lo[q] + known_hi[q]);
      // A step this small from a point this close to the level leaves the root within about its square (Newton's
      // method converges quadratically), some 1e-10: the next pass would change nothing that matters. (The distance
      // to the level guards against a slope that only a step of the function makes steep.)
      const double tolerance = 1e-5 * std::max(1.0, std::fabs(s));
      settled[q] = (std::fabs(next - s) <= tolerance && std::fabs(value[i] - level) <= 1e-5) ||
                   known_hi[q] - known_lo[q] <= tolerance;
      s = next;
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

// The percentiles from the points, each with its mass already on the run's common scale, in grid order.
Estimates percentiles(const BandSettings& settings, std::vector<WeightedPoint>& points, const ClosedForm& form,
                      const BandOptions& options) {
  Estimates e;
  double largest = 0.0, total = 0.0;
  for (const WeightedPoint& p : points) largest = std::max(largest, p.total), total += p.total;

  // geometric_mean: the smallest grid value whose cumulative probability reaches the level.
  for (int q = 0; q < percentile_count; ++q) {
    double cumulative = 0.0;
    std::size_t j = 0;
    for (; j + 1 < points.size(); ++j) {
      cumulative += points[j].total;
      if (cumulative >= percentile_levels[q] * total) break;
    }
    e.value[geometric_mean][q] = std::exp(points[j].mu);
  }

  std::erase_if(points, [&](const WeightedPoint& p) {
    return !(p.total >= negligible_point * largest) || (p.kind == CurveKind::profile && p.panel_count == 0);
  });
  double mu_lo = INFINITY, mu_hi = -INFINITY;
  for (const WeightedPoint& p : points) mu_lo = std::min(mu_lo, p.mu), mu_hi = std::max(mu_hi, p.mu);
  const double sigma_lo = settings.sigma_bounds[0], sigma_hi = settings.sigma_bounds[1];
  Sums sums{points, form, std::log(settings.limit), thread_count(options)};
  const bool closed = !points.empty() && points.front().kind != CurveKind::profile;
  if (closed) {
    for (WeightedPoint& p : points) p.shape = shape_code(p), sums.total += p.total;
    sums.fine_step = std::max<std::size_t>(1, (points.size() - 1) / fine_nodes);
  }
  const SearchGrids grids{thinned_grid(points.size(), 256), thinned_grid(points.size(), 256),
                          thinned_grid(points.size(), 1024), thinned_grid(points.size(), 8192)};
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
    solve(sums, grids, range.quantity, range.lo, range.hi, roots);
    for (int q = 0; q < percentile_count; ++q)
      e.value[range.quantity][q] = range.quantity == exceedance_percent ? exceedance(roots[q]) : std::exp(roots[q]);
  }
  return e;
}

// Fills in a point's weighted masses from V at its band ends and ln of the point's whole mass on the grid's scale
// (before the weights), once `top` is known.
void weigh(WeightedPoint& p, const double (&v)[bands + 1], double log_mass, const double (&weights)[bands],
           double top) {
  const double scale = std::exp(log_mass - top) / (v[bands] - v[0]);
  p.below[0] = 0.0;
  for (int k = 0; k < bands; ++k) {
    const double w = weights[k];
    p.cut[k] = v[k];
    p.factor[k] = w > 0.0 ? w * scale : 0.0;
    p.below[k + 1] = p.below[k] + p.factor[k] * (v[k + 1] - v[k]);
  }
  p.total = p.below[bands];
}

}  // namespace

Estimates marker_estimates() {
  Estimates e;
  for (auto& row : e.value)
    for (double& v : row) v = -1.0;
  return e;
}

Estimates posterior_estimates(const BandSettings& settings, const PosteriorGrid& grid, const BandOptions& options) {
  double log_weight[bands];  // ln of each positive weight
  for (int k = 0; k < bands; ++k) log_weight[k] = settings.band_prior[k] > 0.0 ? std::log(settings.band_prior[k]) : 0.0;
  double top = -INFINITY;
  for (const PosteriorPoint& point : grid.points)
    for (int k = 0; k < bands; ++k)
      if (settings.band_prior[k] > 0.0) top = std::max(top, point.log_masses[k] + log_weight[k]);

  std::vector<WeightedPoint> points;
  points.reserve(grid.points.size());
  for (const PosteriorPoint& point : grid.points) {
    WeightedPoint p;
    p.grid_index = static_cast<int>(&point - grid.points.data());
    p.mu = point.mu;
    p.band_sigma = point.band_sigma;
    p.panels = point.panels.data();
    p.panel_count = point.panels.size();
    p.coefficients = point.coefficients.data();
    p.profile_total = point.profile_total;
    p.below[0] = 0.0;
    for (int k = 0; k < bands; ++k) {
      const double w = settings.band_prior[k];
      const double mass = w > 0.0 ? std::exp(point.log_masses[k] + log_weight[k] - top) : 0.0;
      p.factor[k] = w > 0.0 && mass > 0.0 ? std::exp(point.log_scale + log_weight[k] - top) : 0.0;
      p.cut[k] = profile_cumulative(p, point.band_sigma[k], nullptr);
      p.below[k + 1] = p.below[k] + mass;
    }
    p.total = p.below[bands];
    points.push_back(p);
  }
  return percentiles(settings, points, ClosedForm{}, options);
}

std::optional<Estimates> closed_form_estimates(const BandSettings& settings, std::span<const double> y,
                                               const BandOptions& options) {
  std::vector<double> mu, s;
  grid_sums(settings, y, mu, s);
  const BreakpointBasis basis = breakpoint_basis(settings);
  ClosedForm form;
  form.n = static_cast<double>(y.size());
  form.a = (form.n - 1.0) * 0.5;
  form.log_gamma_a = form.a > 0.0 ? distributions::log_gamma_fn(form.a) : 0.0;
  const double sigma_lo = settings.sigma_bounds[0], sigma_hi = settings.sigma_bounds[1];
  if (form.a == 0.0) {
    // One value: E1 over the t each point can reach.
    double t_lo = INFINITY, t_hi = 0.0;
    for (double v : s)
      if (v > 0.0)
        t_lo = std::min(t_lo, 0.5 * v / (sigma_hi * sigma_hi)), t_hi = std::max(t_hi, 0.5 * v / (sigma_lo * sigma_lo));
    if (t_hi > 0.0) form.e1 = e1_table(std::log(t_lo), std::log(t_hi));
  }
  // Two or more values: tables of ln P over the t of the points read through P (their largest t at most a) and of ln Q
  // over the others', each at most `span` units of ln t wide, and ln Q's no further than where Q leaves the doubles.
  const auto kind_of = [&](double half_squares) {
    return half_squares / (sigma_lo * sigma_lo) <= form.a ? CurveKind::gamma_lower : CurveKind::gamma_upper;
  };
  if (form.a > 0.0 && form.a <= max_table_shape) {
    double range[2][2] = {{INFINITY, -INFINITY}, {INFINITY, -INFINITY}};  // [lower, upper][lo, hi] of ln t
    double squares[2][2] = {{INFINITY, -INFINITY}, {INFINITY, -INFINITY}};  // the same of S
    for (double v : s) {
      if (!(v > 0.0)) continue;
      double(&r)[2] = squares[kind_of(0.5 * v) == CurveKind::gamma_lower ? 0 : 1];
      r[0] = std::min(r[0], v);
      r[1] = std::max(r[1], v);
    }
    for (int side = 0; side < 2; ++side) {
      if (!(squares[side][0] <= squares[side][1])) continue;
      range[side][0] = std::log(0.5 * squares[side][0] / (sigma_hi * sigma_hi));
      range[side][1] = std::log(0.5 * squares[side][1] / (sigma_lo * sigma_lo));
    }
    constexpr double span = 48.0;
    const double zero_q = std::log(form.a + 40.0 * std::sqrt(form.a) + 800.0);  // Q(a, t) < e^-745 beyond
    form.upper_reaches_zero = range[1][1] > zero_q;
    range[1][1] = std::min(range[1][1], zero_q);
    const int threads = thread_count(options);
    for (int side = 0; side < 2; ++side) {
      double(&r)[2] = range[side];
      if (!(r[0] <= r[1])) continue;
      (side == 0 ? form.lower : form.upper) = gamma_table(form.a, side == 1, std::max(r[0], r[1] - span), r[1], threads);
    }
    if (form.upper.polynomials.empty()) form.upper_reaches_zero = false;
    if (form.upper_reaches_zero) form.upper_zero_t = std::exp(form.upper.s_hi);
  }
  const double upper_t_reach = form.a + 40.0 * std::sqrt(form.a) + 800.0;  // Q(a, t) < e^-745 beyond
  // Whether a table covers a point's range of ln t, from s_lo at the upper sigma bound to s_hi at the lower.
  const double log_sigma_lo = std::log(sigma_lo), log_sigma_hi = std::log(sigma_hi);
  const auto tabled = [&](CurveKind kind, double s_lo, double s_hi) {
    const GammaTable& table = kind == CurveKind::gamma_lower ? form.lower : form.upper;
    if (table.polynomials.empty()) return false;
    return s_lo >= table.s_lo && (s_hi <= table.s_hi || (kind == CurveKind::gamma_upper && form.upper_reaches_zero));
  };

  // Each point's V at its band ends and ln of its mass; the rounding of V must leave the mass its digits.
  constexpr double accepted_error = 1e-8;
  std::vector<WeightedPoint> points(grid_points);
  std::vector<double> log_masses(grid_points), values(static_cast<std::size_t>(grid_points) * (bands + 1));
  std::vector<char> unusable(grid_points, 0);  // 1: the mass lacks digits; 2: it is lost
  const auto prepare = [&](int j) {
    WeightedPoint& p = points[j];
    p.grid_index = j;
    p.mu = mu[j];
    p.half_squares = 0.5 * s[j];
    p.log_half_squares = std::log(p.half_squares);
    // The band ends in sigma: where the 95th percentile e^(mu + z95 sigma) crosses each interior band bound,
    // clamped between the sigma bounds.
    p.band_sigma[0] = sigma_lo;
    p.band_sigma[bands] = sigma_hi;
    for (int k = 1; k < bands; ++k)
      p.band_sigma[k] = std::min(std::max((basis.log_interior[k - 1] - mu[j]) / z95, p.band_sigma[k - 1]), sigma_hi);
    double log_factor = 0.0, scale_error = 1e-13;
    if (s[j] == 0.0) {
      p.kind = form.a > 0.0 ? CurveKind::power : CurveKind::logarithm;
      log_factor = form.a > 0.0 ? -distributions::log_gamma_fn(form.a + 1.0) : 0.0;
    } else if (form.a == 0.0) {
      p.kind = CurveKind::exponential_integral;
      p.log_offset = log_e1(form.e1, p.half_squares / (sigma_hi * sigma_hi));
      scale_error = 1e-9;
    } else {
      p.kind = kind_of(p.half_squares);
      log_factor = -form.a * p.log_half_squares;
      const double t_hi = p.half_squares / (sigma_lo * sigma_lo);
      if (tabled(p.kind, p.log_half_squares - 2.0 * log_sigma_hi, p.log_half_squares - 2.0 * log_sigma_lo)) {
        p.kind = p.kind == CurveKind::gamma_lower ? CurveKind::gamma_lower_table : CurveKind::gamma_upper_table;
        scale_error = gamma_table_error(std::min(t_hi, upper_t_reach));
      }
    }
    double* v = values.data() + static_cast<std::size_t>(j) * (bands + 1);
    double size = 0.0;
    // V at each band end; one at a sigma bound is V there.
    const auto evaluate = [&] {
      v[0] = curve(p, form, sigma_lo, log_sigma_lo, nullptr);
      v[bands] = curve(p, form, sigma_hi, log_sigma_hi, nullptr);
      size = std::max(std::fabs(v[0]), std::fabs(v[bands]));
      for (int k = 1; k < bands; ++k) {
        const double sigma = p.band_sigma[k];
        v[k] = sigma == sigma_lo ? v[0] : sigma == sigma_hi ? v[bands] : curve(p, form, sigma, NAN, nullptr);
        size = std::max(size, std::fabs(v[k]));
      }
    };
    evaluate();
    // A point whose mass the table's rounding could spoil: P or Q computed directly instead.
    if ((p.kind == CurveKind::gamma_lower_table || p.kind == CurveKind::gamma_upper_table) &&
        !(scale_error * size <= accepted_error * (v[bands] - v[0]))) {
      p.kind = p.kind == CurveKind::gamma_lower_table ? CurveKind::gamma_lower : CurveKind::gamma_upper;
      scale_error = 1e-13;
      evaluate();
    }
    const double whole = v[bands] - v[0];
    log_masses[j] = -INFINITY;  // no mass at all within the double range: a point that cannot matter
    if (whole == 0.0 && size == 0.0) return;
    if (!(whole > 0.0) || !std::isfinite(whole)) {
      unusable[j] = 2;  // its mass is lost: whether it matters cannot be told
      return;
    }
    log_masses[j] = log_factor + std::log(whole) + (p.kind == CurveKind::exponential_integral ? p.log_offset : 0.0);
    if (scale_error * size > accepted_error * whole) unusable[j] = 1;  // too few digits, if the point matters
  };
  constexpr int prepare_chunk = 1024;
  run_chunks((grid_points + prepare_chunk - 1) / prepare_chunk, thread_count(options), [&](std::size_t c) {
    const int end = std::min<int>(grid_points, static_cast<int>((c + 1) * prepare_chunk));
    for (int j = static_cast<int>(c) * prepare_chunk; j < end; ++j) prepare(j);
  });
  double top = -INFINITY, top_weight = 0.0, least_weight = INFINITY;
  for (int j = 0; j < grid_points; ++j) top = std::max(top, log_masses[j]);
  if (!std::isfinite(top)) return std::nullopt;
  for (double w : settings.band_prior)
    if (w > 0.0) top_weight = std::max(top_weight, w), least_weight = std::min(least_weight, w);
  // A point whose mass lacks digits spoils the closed form only if the estimates could read it; else it is left out.
  const double matters = top + std::log(negligible_point) - std::log(top_weight / least_weight);
  for (int j = 0; j < grid_points; ++j) {
    if (!unusable[j]) continue;
    if (unusable[j] == 2 || !(log_masses[j] < matters)) return std::nullopt;
    log_masses[j] = -INFINITY;
  }
  for (int j = 0; j < grid_points; ++j) {
    double v[bands + 1];
    std::copy_n(values.data() + static_cast<std::size_t>(j) * (bands + 1), bands + 1, v);
    if (log_masses[j] == -INFINITY) {
      points[j].total = 0.0;
      continue;
    }
    weigh(points[j], v, log_masses[j], settings.band_prior, top);
  }
  double weighted = 0.0;
  for (const WeightedPoint& p : points) weighted = std::max(weighted, p.total);
  if (!(weighted > 0.0) || !std::isfinite(weighted)) return std::nullopt;
  return percentiles(settings, points, form, options);
}

}  // namespace vantor

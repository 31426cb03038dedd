// One grid point's likelihood in sigma with results below detection limits: peak, band masses, cumulative profile.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <span>

#include "distributions/log_scale.h"
#include "quadrature/internal/gauss_kronrod_constants.h"
#include "vantor/internal/sigma_profile.h"

namespace vantor {

namespace {

constexpr double log_sqrt_two_pi = 0.91893853320467274178;

// ln Phi(z) and the hazard h(z) = phi(z) / Phi(z), the slope of ln Phi. Beyond z = -30 the hazard comes from the
// asymptotic series of the tail, where e^(-z^2/2) / Phi(z) would lose digits to the size of z^2.
void log_cdf_and_hazard(double z, double& log_cdf, double& hazard) {
  log_cdf = distributions::log_normal_cdf(z);
  if (z > -30.0) {
    hazard = std::exp(-0.5 * z * z - log_cdf - log_sqrt_two_pi);
  } else {
    const double x = -z, x2 = 1.0 / (x * x);
    hazard = x / (1.0 - x2 * (1.0 - 3.0 * x2 * (1.0 - 5.0 * x2 * (1.0 - 7.0 * x2))));
  }
}

// ln Phi and its slope, the hazard, at steps of 1/128 over [-38, 9], for cubic Hermite interpolation between them:
// within about 1e-11 of ln Phi there and several times cheaper than computing it, which the likelihood does for
// every limit at every point of every panel. Outside that range ln Phi is computed.
struct LogCdfTable {
  static constexpr double lo = -38.0, hi = 9.0, steps_per_unit = 128.0;
  static constexpr int size = static_cast<int>((hi - lo) * steps_per_unit) + 1;
  double value[size], slope[size];
  LogCdfTable() {
    for (int i = 0; i < size; ++i) log_cdf_and_hazard(lo + i / steps_per_unit, value[i], slope[i]);
  }
};

const LogCdfTable& log_cdf_table() {
  static const LogCdfTable table;
  return table;
}

// ln Phi(z), and its slope when `hazard` is given, from the table or computed beyond it.
double log_cdf(double z, double* hazard = nullptr) {
  const LogCdfTable& table = log_cdf_table();
  if (!(z > LogCdfTable::lo && z < LogCdfTable::hi)) {
    double value = 0.0, slope = 0.0;
    log_cdf_and_hazard(z, value, slope);
    if (hazard) *hazard = slope;
    return value;
  }
  const double x = (z - LogCdfTable::lo) * LogCdfTable::steps_per_unit;
  const int i = static_cast<int>(x);
  const double t = x - i, step = 1.0 / LogCdfTable::steps_per_unit;
  const double v0 = table.value[i], v1 = table.value[i + 1];
  const double m0 = step * table.slope[i], m1 = step * table.slope[i + 1];
  const double c2 = 3.0 * (v1 - v0) - 2.0 * m0 - m1, c3 = 2.0 * (v0 - v1) + m0 + m1;
  if (hazard) *hazard = (m0 + t * (2.0 * c2 + t * 3.0 * c3)) * LogCdfTable::steps_per_unit;
  return v0 + t * (m0 + t * (c2 + t * c3));
}

// The slope psi(u) and curvature psi'(u) of ln L(u) = n_d ln u - S_d u^2 / 2 + sum c ln Phi(d u), u = 1/sigma,
// d = ln limit - mu. ln L is concave, so psi decreases.
void slope_and_curvature(const PointLikelihood& p, double u, double& slope, double& curvature) {
  slope = p.detected / u - p.squares * u;
  curvature = -p.detected / (u * u) - p.squares;
  for (std::size_t k = 0; k < p.limit_count; ++k) {
    const double d = p.limits[k].log_limit - p.mu, c = p.limits[k].count;
    double hazard = 0.0;
    log_cdf(d * u, &hazard);
    slope += c * d * hazard;
    curvature -= c * d * d * hazard * (d * u + hazard);
  }
}

// The 21-point Kronrod rule with its 10-point Gauss rule, as the project's integrator uses it.
using quadrature::gauss_weights;
using quadrature::kronrod_nodes;
using quadrature::kronrod_weights;

// A piece of a band's sigma interval with its integral of g, the error estimate of the rule and g at the rule's
// points: f[2k] at c - h x_k, f[2k+1] at c + h x_k, f[20] at the centre c.
struct Panel {
  double a, b;
  double result = 0.0, error = 0.0;
  int band = 0;
  double f[21] = {};
};

// The rule's points on [-1, 1] in the order of Panel::f.
double rule_point(int i) { return i == 20 ? 0.0 : (i % 2 == 0 ? -kronrod_nodes[i / 2] : kronrod_nodes[i / 2]); }

// P_0(t) .. P_(count-1)(t), the Legendre polynomials, by their three-term recurrence.
void legendre(double t, double* p, int count) {
  p[0] = 1.0;
  if (count > 1) p[1] = t;
  for (int k = 2; k < count; ++k) p[k] = ((2 * k - 1) * t * p[k - 1] - (k - 1) * p[k - 2]) / k;
}

// The matrix that takes g at the 21 rule points to the Legendre coefficients of the polynomial through them: the
// inverse of [P_k(t_i)], by Gauss-Jordan elimination with partial pivoting, formed once.
struct LegendreFit {
  double m[21][21];
  // by_point[i][k] = m[k][i], with a zero column for an even count: the fit runs over the points with every
  // coefficient at once.
  double by_point[21][22] = {};
  LegendreFit() {
    double a[21][42] = {};
    for (int i = 0; i < 21; ++i) {
      legendre(rule_point(i), a[i], 21);
      a[i][21 + i] = 1.0;
    }
    for (int col = 0; col < 21; ++col) {
      int pivot = col;
      for (int r = col + 1; r < 21; ++r)
        if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
      for (int k = 0; k < 42; ++k) std::swap(a[col][k], a[pivot][k]);
      const double d = a[col][col];
      for (int k = 0; k < 42; ++k) a[col][k] /= d;
      for (int r = 0; r < 21; ++r) {
        if (r == col) continue;
        const double factor = a[r][col];
        for (int k = 0; k < 42; ++k) a[r][k] -= factor * a[col][k];
      }
    }
    for (int i = 0; i < 21; ++i)
      for (int k = 0; k < 21; ++k) m[i][k] = a[i][21 + k];
    for (int i = 0; i < 21; ++i)
      for (int k = 0; k < 21; ++k) by_point[i][k] = m[k][i];
  }
};

const LegendreFit& legendre_fit() {
  static const LegendreFit fit;
  return fit;
}

// g = f e^-scale, counted.
struct ScaledLikelihood {
  const PointLikelihood& point;
  double log_scale;
  long long& evaluations;
  double operator()(double sigma) const {
    ++evaluations;
    return std::exp(log_likelihood(point, sigma) - log_scale);
  }
};

// The rule on [a, b]: the 21-point integral and its error estimate, which scales the difference from the
// embedded 10-point rule by the variation of g over the panel (the estimate of the project's integrator).
void apply_rule(const ScaledLikelihood& g, Panel& panel) {
  const double c = 0.5 * (panel.a + panel.b), h = 0.5 * (panel.b - panel.a);
  double* f = panel.f;
  for (int k = 0; k < 10; ++k) {
    f[2 * k] = g(c - h * kronrod_nodes[k]);
    f[2 * k + 1] = g(c + h * kronrod_nodes[k]);
  }
  f[20] = g(c);
  double kronrod = kronrod_weights[10] * f[20], gauss = 0.0, absolute = std::fabs(kronrod);
  for (int k = 0; k < 10; ++k) {
    const double pair = f[2 * k] + f[2 * k + 1];
    kronrod += kronrod_weights[k] * pair;
    absolute += kronrod_weights[k] * (std::fabs(f[2 * k]) + std::fabs(f[2 * k + 1]));
    if (k % 2 == 1) gauss += gauss_weights[k / 2] * pair;
  }
  const double mean = 0.5 * kronrod;
  double variation = kronrod_weights[10] * std::fabs(f[20] - mean);
  for (int k = 0; k < 10; ++k)
    variation += kronrod_weights[k] * (std::fabs(f[2 * k] - mean) + std::fabs(f[2 * k + 1] - mean));
  panel.result = kronrod * h;
  double error = std::fabs((kronrod - gauss) * h);
  const double spread = variation * std::fabs(h);
  if (spread != 0.0 && error != 0.0) {
    const double ratio = std::min(1.0, 200.0 * error / spread);
    error = spread * (ratio * std::sqrt(ratio));  // ratio^1.5, as the integrator scales it, without the cost of pow
  }
  panel.error = std::max(error, 50.0 * 2.220446049250313e-16 * absolute * std::fabs(h));
}

// Relative tolerances of a panel's error: of the point's whole mass, or of its band's own (for bands far in a tail).
constexpr double whole_tolerance = 1e-7;
constexpr double band_tolerance = 1e-7;
// Legendre coefficients of a profile panel below this share of the point's largest are left out.
constexpr double negligible_coefficient = 1e-11;
// Panels a point may be split into before the rest is accepted as it stands.
constexpr std::size_t max_panels = 2000;
// Panels whose unimodality bound stays below this share of the peak region's mass are left out.
constexpr double negligible_share = 1e-18;
// Where the first panels end on either side of the peak, in widths. For the band masses alone a panel may span the
// peak (the error estimate splits it when it must); the profile's polynomials need panels of a few widths.
constexpr double mass_splits[] = {6.0, 20.0};
constexpr double profile_splits[] = {6.0, 20.0};

}  // namespace

double log_likelihood(const PointLikelihood& p, double sigma) {
  if (sigma == 0.0) {
    if (p.squares > 0.0) return -INFINITY;
    double total = 0.0;
    for (std::size_t k = 0; k < p.limit_count; ++k) {
      const double d = p.limits[k].log_limit - p.mu;
      if (d < 0.0) return -INFINITY;
      if (d == 0.0) total += p.limits[k].count * -0.69314718055994530942;
    }
    return p.detected > 0.0 ? INFINITY : total;
  }
  double value = -p.detected * std::log(sigma) - 0.5 * p.squares / (sigma * sigma);
  for (std::size_t k = 0; k < p.limit_count; ++k)
    value += p.limits[k].count * log_cdf((p.limits[k].log_limit - p.mu) / sigma);
  return value;
}

bool unbounded_at_zero(const PointLikelihood& p) {
  if (p.detected == 0.0 || p.squares > 0.0) return false;
  for (std::size_t k = 0; k < p.limit_count; ++k)
    if (p.limits[k].log_limit < p.mu) return false;
  return true;
}

Peak find_peak(const PointLikelihood& p, double sigma_lo, double sigma_hi) {
  assert(sigma_lo >= 0.0 && sigma_lo < sigma_hi);
  Peak peak;
  const double u_lo = 1.0 / sigma_hi, u_hi = sigma_lo > 0.0 ? 1.0 / sigma_lo : INFINITY;
  double slope, curvature;
  // A peak at an end: the width is how far f falls by a factor e, by the slope or the curvature.
  const auto at_end = [&](double sigma) {
    peak.sigma = sigma;
    peak.log_value = log_likelihood(p, sigma);
    peak.width = sigma * sigma / std::max(std::fabs(slope), std::sqrt(-curvature));
    if (!(peak.width > 0.0) || !std::isfinite(peak.width)) peak.width = (sigma_hi - sigma_lo) / 8.0;
    peak.width = std::min(peak.width, sigma_hi - sigma_lo);
    return peak;
  };
  slope_and_curvature(p, u_lo, slope, curvature);
  if (slope <= 0.0) return at_end(sigma_hi);
  double a = u_lo, b = u_hi;
  if (std::isfinite(u_hi)) {
    slope_and_curvature(p, u_hi, slope, curvature);
    if (slope >= 0.0) return at_end(sigma_lo);
  } else {
    // sigma_lo = 0: look for a u where the slope turns negative; where none is, f is largest at sigma = 0.
    b = 2.0 * u_lo;
    for (;; b *= 2.0) {
      slope_and_curvature(p, b, slope, curvature);
      if (slope < 0.0) break;
      a = b;
      if (b > 1e300) {
        peak.sigma = 0.0;
        peak.log_value = log_likelihood(p, 0.0);
        peak.width = (sigma_hi - sigma_lo) / 8.0;
        return peak;
      }
    }
  }
  // Newton's method on the slope, kept within the bracket [a, b] (slope(a) > 0 > slope(b)), from a start that
  // depends on this point alone, so that the peak does not depend on the order in which points are computed.
  double u = p.detected > 0.0 && p.squares > 0.0 ? std::sqrt(p.detected / p.squares) : 0.5 * (a + b);
  if (!(u > a && u < b)) u = 0.5 * (a + b);
  for (int i = 0; i < 200; ++i) {
    slope_and_curvature(p, u, slope, curvature);
    if (slope > 0.0)
      a = u;
    else if (slope < 0.0)
      b = u;
    else
      break;
    double next = u - slope / curvature;
    if (!(next > a && next < b)) next = 0.5 * (a + b);
    if (std::fabs(next - u) <= 1e-13 * u || b - a <= 1e-13 * b) {
      u = next;
      break;
    }
    u = next;
  }
  slope_and_curvature(p, u, slope, curvature);
  peak.sigma = std::clamp(1.0 / u, sigma_lo, sigma_hi);
  peak.log_value = log_likelihood(p, peak.sigma);
  peak.width = std::min(peak.sigma * peak.sigma / std::sqrt(-curvature), sigma_hi - sigma_lo);
  if (!(peak.width > 0.0)) peak.width = (sigma_hi - sigma_lo) / 8.0;
  return peak;
}

void band_sigmas(const BreakpointBasis& basis, double mu, Breakpoints& sigma) {
  Breakpoints v;
  band_precisions(basis, mu, v);
  const double lo = basis.sigma_bounds[0], hi = basis.sigma_bounds[1];
  // v(7-k) = 1/sigma(k)^2: sigma(1) is the lower bound and sigma(6) the upper, the others clamped between them.
  sigma[0] = lo;
  sigma[bands] = hi;
  for (int k = 1; k < bands; ++k) sigma[k] = std::clamp(1.0 / std::sqrt(v[bands - k]), sigma[k - 1], hi);
}

void integrate_profile(const PointLikelihood& p, const Peak& peak, const Breakpoints& band_sigma, double sigma_lo,
                       double sigma_hi, const double (&weights)[bands], bool keep_panels, SigmaProfile& out) {
  out.peak = peak;
  out.panels.clear();
  out.profile_total = 0.0;
  out.log_masses.fill(-INFINITY);
  // f vanishes at every sigma (a limit so far below mu that ln Phi leaves the double range): no mass at all.
  if (!(peak.log_value > -INFINITY)) return;
  const ScaledLikelihood g{p, peak.log_value, out.evaluations};

  // The first panels: each band's interval, cut at multiples of the width around the peak (and at the peak for
  // the profile).
  const std::span<const double> splits = keep_panels ? std::span<const double>(profile_splits) : mass_splits;
  double cuts[2 * std::size(profile_splits) + 1];
  int cut_count = 0;
  for (auto it = splits.rbegin(); it != splits.rend(); ++it) cuts[cut_count++] = peak.sigma - *it * peak.width;
  if (keep_panels) cuts[cut_count++] = peak.sigma;
  for (double m : splits) cuts[cut_count++] = peak.sigma + m * peak.width;
  std::vector<Panel> panels;
  panels.reserve(bands * (cut_count + 1));
  for (int band = 0; band < bands; ++band) {
    const double lo = std::max(band_sigma[band], sigma_lo), hi = std::min(band_sigma[band + 1], sigma_hi);
    if (!(lo < hi)) continue;
    double start = lo;
    for (int k = 0; k < cut_count; ++k) {
      if (cuts[k] > start && cuts[k] < hi) {
        panels.push_back({start, cuts[k], 0.0, 0.0, band, {}});
        start = cuts[k];
      }
    }
    panels.push_back({start, hi, 0.0, 0.0, band, {}});
  }

  // g at the ends of the first panels: a panel beside the peak holds at most g at its end nearer the peak times
  // its width (f is unimodal), which leaves out the far tails of a narrow peak.
  std::vector<double> end_values(panels.size() + 1);
  for (std::size_t k = 0; k <= panels.size(); ++k) {
    const double s = k < panels.size() ? panels[k].a : panels.back().b;
    end_values[k] = g(s);
  }
  const double peak_mass = peak.width;  // g is 1 at the peak
  std::vector<double> bounds(panels.size(), INFINITY);
  double band_bound[bands] = {};
  bool band_kept[bands] = {};
  for (std::size_t k = 0; k < panels.size(); ++k) {
    const Panel& panel = panels[k];
    if (panel.b <= peak.sigma)
      bounds[k] = end_values[k + 1] * (panel.b - panel.a);
    else if (panel.a >= peak.sigma)
      bounds[k] = end_values[k] * (panel.b - panel.a);
    band_bound[panel.band] += bounds[k];
    if (!(bounds[k] < negligible_share * peak_mass)) band_kept[panel.band] = true;
  }
  std::vector<Panel> work;
  work.reserve(2 * panels.size() + 8);
  double kept_weighted = 0.0;
  for (std::size_t k = 0; k < panels.size(); ++k) {
    if (!band_kept[panels[k].band] || bounds[k] < negligible_share * peak_mass) continue;
    apply_rule(g, panels[k]);
    kept_weighted += weights[panels[k].band] * panels[k].result;
    work.push_back(panels[k]);
  }
  // A band whose every panel is negligible is still computed when its weight could make it count in the weighted
  // column (the weights may be 0 on the bands that hold the mass).
  for (std::size_t k = 0; k < panels.size(); ++k) {
    const int band = panels[k].band;
    if (band_kept[band] || !(weights[band] * band_bound[band] >= negligible_share * kept_weighted)) continue;
    apply_rule(g, panels[k]);
    work.push_back(panels[k]);
  }

  // Split the panels whose error exceeds the tolerance until none does.
  double band_sum[bands] = {}, whole = 0.0;
  for (const Panel& panel : work) band_sum[panel.band] += panel.result;
  for (double v : band_sum) whole += v;
  std::vector<Panel> done;
  done.reserve(2 * panels.size() + 8);
  while (!work.empty()) {
    Panel panel = work.back();
    work.pop_back();
    const double allowed = std::max(whole_tolerance * whole, band_tolerance * band_sum[panel.band]);
    const double mid = 0.5 * (panel.a + panel.b);
    if (panel.error <= allowed || !(mid > panel.a && mid < panel.b) || done.size() + work.size() >= max_panels) {
      if (panel.error > allowed) ++out.unconverged;
      done.push_back(panel);
      continue;
    }
    Panel left{panel.a, mid, 0.0, 0.0, panel.band, {}}, right{mid, panel.b, 0.0, 0.0, panel.band, {}};
    apply_rule(g, left);
    apply_rule(g, right);
    const double change = left.result + right.result - panel.result;
    band_sum[panel.band] += change;
    whole += change;
    work.push_back(left);
    work.push_back(right);
  }

  std::sort(done.begin(), done.end(), [](const Panel& x, const Panel& y) { return x.a < y.a; });
  double sums[bands] = {};
  for (const Panel& panel : done) sums[panel.band] += panel.result;
  for (int band = 0; band < bands; ++band)
    if (sums[band] > 0.0) out.log_masses[band] = peak.log_value + std::log(sums[band]);
  if (!keep_panels) return;

  // The cumulative profile: each panel with the integral below it; left-out panels add nothing.
  const LegendreFit& fit = legendre_fit();
  std::vector<double> c(done.size() * (profile_degree + 1));
  double largest = 0.0;
  for (std::size_t p = 0; p < done.size(); ++p) {
    double* panel_c = c.data() + p * (profile_degree + 1);
    // Each c_k sums over the points in their order, as a product with the matrix would; the loop over k inside
    // leaves the additions independent of one another.
    double sum[22] = {};
    for (int i = 0; i < 21; ++i) {
      const double value = done[p].f[i];
      for (int k = 0; k < 22; ++k) sum[k] += fit.by_point[i][k] * value;
    }
    for (int k = 0; k <= profile_degree; ++k) {
      panel_c[k] = sum[k];
      largest = std::max(largest, std::fabs(sum[k]));
    }
  }
  // Trailing coefficients below 1e-11 of the point's largest change its profile by less than 1e-10 of its mass.
  std::vector<int> degrees(done.size());
  std::size_t count = 0;
  for (std::size_t p = 0; p < done.size(); ++p) {
    const double* panel_c = c.data() + p * (profile_degree + 1);
    int degree = profile_degree;
    while (degree > 1 && !(std::fabs(panel_c[degree]) > negligible_coefficient * largest)) --degree;
    degrees[p] = degree;
    count += degree + 1;
  }
  out.panels.reserve(done.size());
  out.coefficients.clear();
  out.coefficients.reserve(count);
  double below = 0.0;
  for (std::size_t p = 0; p < done.size(); ++p) {
    ProfilePanel kept;
    kept.a = done[p].a;
    kept.b = done[p].b;
    kept.below = below;
    kept.first = static_cast<std::uint32_t>(out.coefficients.size());
    kept.degree = static_cast<std::uint32_t>(degrees[p]);
    const double* panel_c = c.data() + p * (profile_degree + 1);
    out.coefficients.insert(out.coefficients.end(), panel_c, panel_c + degrees[p] + 1);
    out.panels.push_back(kept);
    below += done[p].result;
  }
  out.profile_total = below;
}

// The recurrence of the Legendre polynomials, P_k = a_k t P_(k-1) - b_k P_(k-2), and the divisors of their integrals,
// as products: cumulative_at runs for every point at every threshold of the estimates' sums.
struct LegendreConstants {
  double a[profile_degree + 2], b[profile_degree + 2], inverse_odd[profile_degree + 1];
  constexpr LegendreConstants() : a(), b(), inverse_odd() {
    for (int k = 2; k <= profile_degree + 1; ++k) a[k] = (2.0 * k - 1.0) / k, b[k] = (k - 1.0) / k;
    for (int k = 0; k <= profile_degree; ++k) inverse_odd[k] = 1.0 / (2 * k + 1);
  }
};
constexpr LegendreConstants legendre_constants;

double cumulative_at(const ProfilePanel& panel, const double* coefficients, double next_below, double sigma,
                     double* density) {
  if (density) *density = 0.0;
  if (!(sigma > panel.a)) return panel.below;
  if (!(sigma < panel.b)) return next_below;
  const double h = 0.5 * (panel.b - panel.a), t = (sigma - (panel.a + h)) / h;
  // The integral from -1 to t of sum c_k P_k: c_0 (t + 1) + sum over k >= 1 of c_k (P_(k+1)(t) - P_(k-1)(t)) / (2k +
  // 1), with the density sum c_k P_k alongside.
  const LegendreConstants& lc = legendre_constants;
  const double* c = coefficients + panel.first;
  const int degree = static_cast<int>(panel.degree);
  double previous = 1.0, current = t;  // P_(k-1), P_k
  double integral = c[0] * (t + 1.0), value = c[0] + c[1] * t;
  for (int k = 1; k <= degree; ++k) {
    const double next = lc.a[k + 1] * t * current - lc.b[k + 1] * previous;  // P_(k+1)
    integral += c[k] * (next - previous) * lc.inverse_odd[k];
    if (k + 1 <= degree) value += c[k + 1] * next;
    previous = current;
    current = next;
  }
  if (density) *density = std::max(value, 0.0);
  return std::clamp(panel.below + h * integral, panel.below, next_below);
}

}  // namespace vantor

// One grid point's likelihood in sigma with results below detection limits: peak, band masses, cumulative profile.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <span>

#include "distributions/log_scale.h"
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

// The slope psi(u) and curvature psi'(u) of ln L(u) = n_d ln u - S_d u^2 / 2 + sum c ln Phi(d u), u = 1/sigma,
// d = ln limit - mu. ln L is concave, so psi decreases.
void slope_and_curvature(const PointLikelihood& p, double u, double& slope, double& curvature) {
  slope = p.detected / u - p.squares * u;
  curvature = -p.detected / (u * u) - p.squares;
  for (std::size_t k = 0; k < p.limit_count; ++k) {
    const double d = p.limits[k].log_limit - p.mu, c = p.limits[k].count;
    double log_cdf, hazard;
    log_cdf_and_hazard(d * u, log_cdf, hazard);
    slope += c * d * hazard;
    curvature -= c * d * d * hazard * (d * u + hazard);
  }
}

// The 21-point Kronrod rule with its 10-point Gauss rule: abscissae on [-1, 1] (decreasing; the odd-numbered
// ones from 1 are the Gauss points) and weights, as the project's integrator uses them.
constexpr double kronrod_x[11] = {0.995657163025808080735527280689003,
                                  0.973906528517171720077964012084452,
                                  0.930157491355708226001207180059508,
                                  0.865063366688984510732096688423493,
                                  0.780817726586416897063717578345042,
                                  0.679409568299024406234327365114874,
                                  0.562757134668604683339000099272694,
                                  0.433395394129247190799265943165784,
                                  0.294392862701460198131126603103866,
                                  0.148874338981631210884826001129720,
                                  0.0};
constexpr double kronrod_w[11] = {
    0.011694638867371874278064396062192, 0.032558162307964727478818972459390, 0.054755896574351996031381300244580,
    0.075039674810919952767043140916190, 0.093125454583697605535065465083366, 0.109387158802297641899210590325805,
    0.123491976262065851077208814357640, 0.134709217311473325928054001771707, 0.142775938577060080797094273138717,
    0.147739104901338491374841515972068, 0.149445554002916905664936468389821};
constexpr double gauss_w[5] = {0.066671344308688137593568809893332, 0.149451349150580593145776339657697,
                               0.219086362515982043995534934228163, 0.269266719309996355091226921569469,
                               0.295524224714752870173892994651338};

// A piece of a band's sigma interval with its integral of g, the error estimate of the rule and g at the rule's
// points: f[2k] at c - h x_k, f[2k+1] at c + h x_k, f[20] at the centre c.
struct Panel {
  double a, b;
  double result = 0.0, error = 0.0;
  int band = 0;
  double f[21] = {};
};

// The rule's points on [-1, 1] in the order of Panel::f.
double rule_point(int i) { return i == 20 ? 0.0 : (i % 2 == 0 ? -kronrod_x[i / 2] : kronrod_x[i / 2]); }

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
    f[2 * k] = g(c - h * kronrod_x[k]);
    f[2 * k + 1] = g(c + h * kronrod_x[k]);
  }
  f[20] = g(c);
  double kronrod = kronrod_w[10] * f[20], gauss = 0.0, absolute = std::fabs(kronrod);
  for (int k = 0; k < 10; ++k) {
    const double pair = f[2 * k] + f[2 * k + 1];
    kronrod += kronrod_w[k] * pair;
    absolute += kronrod_w[k] * (std::fabs(f[2 * k]) + std::fabs(f[2 * k + 1]));
    if (k % 2 == 1) gauss += gauss_w[k / 2] * pair;
  }
  const double mean = 0.5 * kronrod;
  double variation = kronrod_w[10] * std::fabs(f[20] - mean);
  for (int k = 0; k < 10; ++k)
    variation += kronrod_w[k] * (std::fabs(f[2 * k] - mean) + std::fabs(f[2 * k + 1] - mean));
  panel.result = kronrod * h;
  double error = std::fabs((kronrod - gauss) * h);
  const double spread = variation * std::fabs(h);
  if (spread != 0.0 && error != 0.0) error = spread * std::min(1.0, std::pow(200.0 * error / spread, 1.5));
  panel.error = std::max(error, 50.0 * 2.220446049250313e-16 * absolute * std::fabs(h));
}

// Relative tolerances of a panel's error: of the point's whole mass, or of its band's own (for bands far in a tail).
constexpr double whole_tolerance = 1e-8;
constexpr double band_tolerance = 1e-8;
// Panels a point may be split into before the rest is accepted as it stands.
constexpr std::size_t max_panels = 2000;
// Panels whose unimodality bound stays below this share of the peak region's mass are left out.
constexpr double negligible_share = 1e-18;
// Where the first panels end on either side of the peak, in widths. For the band masses alone a panel may span the
// peak (the error estimate splits it when it must); the profile's polynomials need panels of a few widths.
constexpr double mass_splits[] = {6.0, 20.0};
constexpr double profile_splits[] = {2.5, 6.0, 20.0};

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
    value += p.limits[k].count * distributions::log_normal_cdf((p.limits[k].log_limit - p.mu) / sigma);
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
  out.log_masses.fill(-INFINITY);
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
  double below = 0.0;
  for (const Panel& panel : done) {
    ProfilePanel kept;
    kept.a = panel.a;
    kept.b = panel.b;
    kept.below = below;
    for (int k = 0; k <= profile_degree; ++k) {
      double c = 0.0;
      for (int i = 0; i < 21; ++i) c += fit.m[k][i] * panel.f[i];
      kept.coefficients[k] = c;
    }
    out.panels.push_back(kept);
    below += panel.result;
  }
  ProfilePanel end;
  end.a = end.b = sigma_hi;
  end.below = below;
  out.panels.push_back(end);
}

double cumulative_at(const ProfilePanel& panel, double next_below, double sigma, double* density) {
  if (density) *density = 0.0;
  if (!(sigma > panel.a)) return panel.below;
  if (!(sigma < panel.b)) return next_below;
  const double h = 0.5 * (panel.b - panel.a), t = (sigma - (panel.a + h)) / h;
  // The integral from -1 to t of sum c_k P_k: c_0 (t + 1) + sum over k >= 1 of c_k (P_(k+1)(t) - P_(k-1)(t)) / (2k +
  // 1).
  double p[profile_degree + 2];
  legendre(t, p, profile_degree + 2);
  double integral = panel.coefficients[0] * (t + 1.0);
  for (int k = 1; k <= profile_degree; ++k) integral += panel.coefficients[k] * (p[k + 1] - p[k - 1]) / (2 * k + 1);
  if (density) {
    double value = 0.0;
    for (int k = 0; k <= profile_degree; ++k) value += panel.coefficients[k] * p[k];
    *density = std::max(value, 0.0);
  }
  return std::clamp(panel.below + h * integral, panel.below, next_below);
}

}  // namespace vantor

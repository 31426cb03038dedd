// ln of the integral of t^(a-1) e^-t over [lo, hi]: the method chosen by where the interval lies against the mode.
#include <cassert>
#include <cmath>

#include "distributions/internal/gamma_integral_methods.h"
#include "distributions/internal/log_scale_support.h"
#include "distributions/log_scale.h"

namespace distributions {

namespace {

using namespace detail;

// A difference of two tails is used only when the smaller is at most 7/8 of the larger, so that it loses at
// most three bits; closer tails mean a narrow interval, integrated directly.
constexpr double narrow_gap = 0.13353139262452257;  // ln(8/7)
constexpr double least_middle_share = 1.0 / 8.0;

// ln K of the tail x^a e^-x K on x's own side of the mode a (upper: x >= a).
double tail_factor(double a, double x, bool upper) {
  if (a >= expansion_min_a) {
    const double dev = log_deviation(x, a);
    if (dev <= expansion_max_dev) return tail_expansion(a, dev, upper);
  }
  return upper ? upper_tail_fraction(a, x) : lower_tail_series(a, x);
}

// ln(x^a e^-x).
double log_scale(double a, double x) { return a * std::log(x) - x; }

// ln(far^a e^-far) - ln(near^a e^-near) with near between far and the mode: within a factor 2 it is written as
// (a - near) d - a (d - ln(1 + d)), d = far/near - 1, two terms of one sign.
double scale_difference(double a, double far, double near) {
  const double r = far / near;
  if (r >= 0.5 && r <= 2.0) {
    const double d = (far - near) / near;
    return (a - near) * d - a * log_deviation(far, near);
  }
  return a * log_ratio(far, near) - (far - near);
}

// The integral over [lo, hi] on one side of the mode: hi <= a (lower) or lo >= a (upper), as the difference of
// the tails at its ends taken from the side where they are small, or directly when that would cancel.
double one_side(double a, double lo, double hi, bool upper) {
  const double near = upper ? lo : hi;
  const double far = upper ? hi : lo;
  const double k_near = tail_factor(a, near, upper);
  if (far == (upper ? INFINITY : 0.0)) return log_scale(a, near) + k_near;
  const double gap = scale_difference(a, far, near) + (tail_factor(a, far, upper) - k_near);
  if (gap > -narrow_gap) return narrow_interval_quadrature(a, lo, hi);
  return log_scale(a, near) + k_near + log1m_exp(gap);
}

// ln(tail at x / Gamma(a)) for a >= 1, with the large terms of ln x^a e^-x and ln Gamma(a) cancelled by hand:
// -a (x/a - 1 - ln(x/a)) + ln(a / (2 pi))/2 - (the Stirling rest of ln Gamma(a)) + ln K.
double normalized_tail(double a, double x, bool upper, double rest) {
  constexpr double log_two_pi = 1.8378770664093454836;
  return -a * log_deviation(x, a) + 0.5 * (std::log(a) - log_two_pi) - rest + tail_factor(a, x, upper);
}

// lo < a < hi, a >= 1: Gamma(a) less both tails, or the two sides of the mode apart when the interval holds
// too small a share of Gamma(a) for that.
double across_mode(double a, double lo, double hi) {
  const double rest = stirling_rest(a);
  const double p = lo > 0.0 ? std::exp(normalized_tail(a, lo, false, rest)) : 0.0;
  const double q = hi < INFINITY ? std::exp(normalized_tail(a, hi, true, rest)) : 0.0;
  if (1.0 - (p + q) >= least_middle_share) return log_gamma_fn(a) + std::log1p(-(p + q));
  return log_add(one_side(a, lo, a, false), one_side(a, a, hi, true));
}

}  // namespace

double log_gamma_integral(double a, double lo, double hi) {
  if (!(a >= 0.0 && lo >= 0.0 && hi >= lo)) return NAN;  // also every NaN
  if (lo == hi) return -INFINITY;
  if (a == 0.0 && lo == 0.0) return INFINITY;
  if (a < 1.0) {
    // The mode lies below 1; up to small_argument_limit the power series serves every interval, beyond it the
    // upper tails.
    if (hi <= small_argument_limit) return small_argument_series(a, lo, hi);
    if (lo < small_argument_limit) {
      return log_add(small_argument_series(a, lo, small_argument_limit), one_side(a, small_argument_limit, hi, true));
    }
    return one_side(a, lo, hi, true);
  }
  if (hi <= a) return one_side(a, lo, hi, false);
  if (lo >= a) return one_side(a, lo, hi, true);
  return across_mode(a, lo, hi);
}

}  // namespace distributions

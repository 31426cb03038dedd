// Power series and continued fraction for the tails of the gamma integral, and the power series over [lo, hi].
#include <cassert>
#include <cfloat>
#include <cmath>

#include "distributions/internal/gamma_integral_methods.h"
#include "distributions/internal/log_scale_support.h"

namespace distributions::detail {

namespace {

// The series stop at a relative term size of 2^-55; every argument the loops are given ends far sooner than
// the caps (the slowest, x near a just below the expansion's least a, takes about 70 terms).
constexpr double term_tolerance = DBL_EPSILON / 8.0;
constexpr int max_terms = 1000;

}  // namespace

double lower_tail_series(double a, double x) {
  assert(a > 0.0 && x > 0.0 && x <= a);
  // Terms fall at least by x/(a + k) < 1; the sum after the leading 1 goes to log1p.
  double term = 1.0;
  double rest = 0.0;
  for (int k = 1; k <= max_terms; ++k) {
    term *= x / (a + k);
    rest += term;
    if (term <= term_tolerance * rest) return std::log1p(rest) - std::log(a);
  }
  assert(false && "lower tail series did not converge");
  return std::log1p(rest) - std::log(a);
}

double upper_tail_fraction(double a, double x) {
  assert(x >= a && x >= 1.0);
  // K = 1/(b0 + c1/(b1 + c2/(b2 + ...))) with b_k = x + 2k + 1 - a and c_k = -k (k - a); Lentz's method
  // carries the ratios of successive convergents, with a tiny floor in place of a zero denominator.
  constexpr double tiny = 1e-300;
  double b = x + 1.0 - a;
  double c = 1.0 / tiny;
  double d = 1.0 / b;
  double k_value = d;
  for (int k = 1; k <= max_terms; ++k) {
    const double ck = -k * (k - a);
    b += 2.0;
    d = ck * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + ck / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double step = d * c;
    k_value *= step;
    // The step is a rounded product: 2^-51 is the nearest to 1 it can be relied on to come.
    if (std::fabs(step - 1.0) <= 2.0 * DBL_EPSILON) return std::log(k_value);
  }
  assert(false && "upper tail fraction did not converge");
  return std::log(k_value);
}

double small_argument_series(double a, double lo, double hi) {
  assert(a >= 0.0 && a < 1.0 && lo >= 0.0 && lo < hi && hi <= small_argument_limit && (a > 0.0 || lo > 0.0));
  // integral = B + sum over k >= 1 of (-1)^k (hi^(a+k) - lo^(a+k)) / (k! (a + k)), B = (hi^a - lo^a)/a.
  // The integral is at least e^-hi B, so the alternating sum is at most 1 - e^-2 of B and forming B - sum
  // loses under three bits. Everything is taken relative to hi^a, which keeps each quantity within the double
  // range for any a and lo; B itself is held as a log (it exceeds that range for a near 0 and lo = 0).
  double log_b;
  double diff;       // (hi^(a+k) - lo^(a+k)) / hi^a, from k = 0
  double lo_power;   // lo^(a+k) / hi^a, from k = 0
  double b_inverse;  // hi^a / B
  if (lo == 0.0) {
    log_b = a * std::log(hi) - std::log(a);
    diff = 1.0;
    lo_power = 0.0;
    b_inverse = a;
  } else {
    const double lr = log_ratio(hi, lo);
    const double y = a * lr;
    // (1 - (lo/hi)^a)/a, which tends to ln(hi/lo) as a goes to 0; the short series also covers a subnormal
    // a, where the product a * lr has lost its digits.
    const double shrink = std::exp(-y);
    const double b_rel = std::fabs(y) < 1e-5 ? lr * (1.0 - 0.5 * y * (1.0 - y / 3.0)) : -std::expm1(-y) / a;
    log_b = a * std::log(hi) + std::log(b_rel);
    diff = a * b_rel;
    lo_power = shrink;
    b_inverse = 1.0 / b_rel;
  }
  const double width = hi - lo;
  double sum = 0.0;
  double factorial = 1.0;
  double sign = -1.0;
  for (int k = 1; k <= max_terms; ++k) {
    // hi^(a+k) - lo^(a+k) = hi (hi^(a+k-1) - lo^(a+k-1)) + lo^(a+k-1) (hi - lo): two positive parts.
    diff = hi * diff + lo_power * width;
    lo_power *= lo;
    factorial *= k;
    const double term = diff / (factorial * (a + k)) * b_inverse;
    sum += sign * term;
    sign = -sign;
    if (term <= term_tolerance) return log_b + std::log1p(sum);
  }
  assert(false && "small-argument series did not converge");
  return log_b + std::log1p(sum);
}

}  // namespace distributions::detail

// Sums and differences of quantities held as logarithms, and logarithms of ratios near 1.
#include "distributions/internal/log_scale_support.h"

#include <cassert>
#include <cfloat>
#include <cmath>
#include <utility>

namespace distributions::detail {

double log1m_exp(double d) {
  assert(!(d > 0.0));
  // Above -ln 2, e^d is near 1 and expm1 keeps the difference; below, 1 - e^d is near 1 and log1p keeps it.
  return d > -M_LN2 ? std::log(-std::expm1(d)) : std::log1p(-std::exp(d));
}

double log_add(double x, double y) {
  if (x < y) std::swap(x, y);
  if (y == -INFINITY) return x;
  return x + std::log1p(std::exp(y - x));
}

double log_ratio(double x, double y) {
  const double r = x / y;
  // Within a factor 2, x - y is exact (Sterbenz), so log1p keeps every digit of a ratio near 1.
  if (r >= 0.5 && r <= 2.0) return std::log1p((x - y) / y);
  if (r >= DBL_MIN && r <= DBL_MAX) return std::log(r);
  return std::log(x) - std::log(y);
}

double log_deviation(double x, double y) {
  const double d = (x - y) / y;
  if (std::fabs(d) > 0.25) return d - log_ratio(x, y);
  // With r = d/(2 + d), ln(1 + d) = 2 atanh(r) and d - 2r = d^2/(2 + d), so
  // d - ln(1 + d) = d^2/(2 + d) - 2 r^3 (1/3 + r^2/5 + r^4/7 + ...), both parts of one sign for d < 0 and the
  // second a sixth of the first at most for d > 0; |r| <= 1/7 needs ten terms of the odd series.
  const double r = d / (2.0 + d);
  const double r2 = r * r;
  double s = 0.0;
  for (int k = 10; k >= 1; --k) s = s * r2 + 1.0 / (2 * k + 1);
  return d * d / (2.0 + d) - 2.0 * r * r2 * s;
}

}  // namespace distributions::detail

// Series, finite sums and continued fraction of the incomplete gamma ratio.
#include <algorithm>
#include <array>
#include <cmath>

#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_functions.h"
#include "distributions/internal/gamma_ratio.h"
#include "distributions/internal/gamma_ratio_methods.h"
#include "distributions/internal/machine_constants.h"
#include "textio/one_based.h"

namespace distributions::detail {

namespace {

// Room for the first terms of a series, kept so that they can be added back smallest first.
using first_terms = std::array<double, 20>;

}  // namespace

ratio_result small_x_series(double a, double x, const ratio_level& lv) {
  double an = 3.0;
  double c = x;
  double sum = x / (a + 3.0);
  const double tol = 3.0 * lv.acc / (a + 1.0);
  double t;
  int count = 0;
  do {
    if (++count > max_iterations) return iteration_cap_reached;
    an = an + 1.0;
    c = -c * (x / an);
    t = c / (a + an);
    sum = sum + t;
  } while (std::fabs(t) > tol);
  const double j = a * x * ((sum / 6.0 - 0.5 / (a + 2.0)) * x + 1.0 / (a + 1.0));
  const double z = a * std::log(x);
  const double h = gamma1_fn(a);
  const double g = 1.0 + h;
  const bool form_b = (x < 0.25 && z > -0.13394) || (x >= 0.25 && a < x / 2.59);
  if (!form_b) {
    const double w = std::exp(z);
    const double ans = w * g * complement(j);
    return {ans, complement(ans), ratio_path::small_x_direct};
  }
  // x^a is near 1 here, so Q is formed from expm1(a ln x) without subtracting from 1.
  const double v = expm1_fn(z);
  const double w = 0.5 + (0.5 + v);
  const double qans = (w * j - v) * g - h;
  if (qans < 0.0) return {1.0, 0.0, ratio_path::small_x_complement};
  return {complement(qans), qans, ratio_path::small_x_complement};
}

ratio_result series_p(double a, double x, double r, const ratio_level& lv) {
  first_terms storage{};
  const auto wk = textio::one_based(storage);
  double apn = a + 1.0;
  double t = x / apn;
  wk(1) = t;
  int n = 2;
  for (; n <= 20; ++n) {
    apn = apn + 1.0;
    t = t * (x / apn);
    if (t <= 1e-3) break;
    wk(n) = t;
  }
  if (n > 20) n = 20;
  double sum = t;
  const double tol = 0.5 * lv.acc;
  int count = 0;
  do {
    if (++count > max_iterations) return iteration_cap_reached;
    apn = apn + 1.0;
    t = t * (x / apn);
    sum = sum + t;
  } while (t > tol);
  for (int m = n - 1; m >= 1; --m) sum = sum + wk(m);
  const double ans = (r / a) * (1.0 + sum);
  return {ans, complement(ans), ratio_path::series_p};
}

ratio_result asymptotic_q(double a, double x, double r, const ratio_level& lv) {
  first_terms storage{};
  const auto wk = textio::one_based(storage);
  double amn = a - 1.0;
  double t = amn / x;
  wk(1) = t;
  int n = 2;
  for (; n <= 20; ++n) {
    amn = amn - 1.0;
    t = t * (amn / x);
    if (std::fabs(t) <= 1e-3) break;
    wk(n) = t;
  }
  if (n > 20) n = 20;
  double sum = t;
  int count = 0;
  while (std::fabs(t) > lv.acc) {
    if (++count > max_iterations) return iteration_cap_reached;
    amn = amn - 1.0;
    t = t * (amn / x);
    sum = sum + t;
  }
  for (int m = n - 1; m >= 1; --m) sum = sum + wk(m);
  const double qans = (r / x) * (1.0 + sum);
  return {complement(qans), qans, ratio_path::asymptotic_q};
}

ratio_result continued_fraction_q(double a, double x, double r, const ratio_level& lv) {
  const double tol = std::max(5.0 * machine_real(1), lv.acc);
  double a2nm1 = 1.0;
  double a2n = 1.0;
  double b2nm1 = x;
  double b2n = x + (1.0 - a);
  double c = 1.0;
  double am0;
  double an0;
  int count = 0;
  do {
    if (++count > max_iterations) return iteration_cap_reached;
    a2nm1 = x * a2n + c * a2nm1;
    b2nm1 = x * b2n + c * b2nm1;
    am0 = a2nm1 / b2nm1;
    c = c + 1.0;
    const double cma = c - a;
    a2n = a2nm1 + cma * a2n;
    b2n = b2nm1 + cma * b2n;
    an0 = a2n / b2n;
  } while (!(std::fabs(an0 - am0) < tol * an0));
  const double qans = r * an0;
  return {complement(qans), qans, ratio_path::continued_fraction};
}

ratio_result finite_sum_q(double x, int i, bool half) {
  double sum;
  double t;
  int n;
  double c;
  if (!half) {
    sum = std::exp(-x);
    t = sum;
    n = 1;
    c = 0.0;
  } else {
    const double rtx = std::sqrt(x);
    sum = erfc_fn(0, rtx);
    t = std::exp(-x) / (rtpi * rtx);
    n = 0;
    c = -0.5;
  }
  while (n != i) {
    n = n + 1;
    c = c + 1.0;
    t = (x * t) / c;
    sum = sum + t;
  }
  return {complement(sum), sum, half ? ratio_path::half_integer_sum : ratio_path::whole_sum};
}

}  // namespace distributions::detail

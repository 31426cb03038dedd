// Incomplete gamma ratio: argument checks, accuracy level and the choice of method from a and x.
#include "distributions/internal/gamma_ratio.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_functions.h"
#include "distributions/internal/gamma_ratio_methods.h"
#include "distributions/internal/machine_constants.h"
#include "textio/one_based.h"

namespace distributions {

namespace {

using detail::complement;
using detail::ratio_branch;
using detail::ratio_level;
using detail::ratio_path;
using detail::ratio_result;
using detail::rt2pin;

constexpr double alog10 = 2.30258509299405;  // ln 10

// Constants of the three accuracy levels: acc0, big, e00, x00.
struct level_constants {
  double acc0;
  double big;
  double e00;
  double x00;
};
constexpr std::array<level_constants, 3> levels = {{
    {5e-15, 20.0, 0.00025, 31.0},
    {5e-07, 14.0, 0.025, 17.0},
    {0.0005, 10.0, 0.14, 9.7},
}};

// The accuracy level selected by ind: 0 gives level 1, 1 gives level 2, anything else level 3.
ratio_level level_of(int ind) {
  const int level = ind == 0 ? 1 : (ind == 1 ? 2 : 3);
  const level_constants& k = textio::one_based(levels)(level);
  return {level, std::max(k.acc0, machine_real(1)), k.big, k.e00, k.x00};
}

// Result of the error return: ans = 2 flags it, qans is left to the caller's value.
constexpr ratio_result error_result = {2.0, 0.0, ratio_path::error_return};

// P and Q when one of them is negligible: 0 and 1 for x <= a, 1 and 0 beyond.
ratio_result limit_values(double a, double x) {
  if (x <= a) return {0.0, 1.0, ratio_path::limit_values};
  return {1.0, 0.0, ratio_path::limit_values};
}

// Choice among the series, the continued fraction and the asymptotic expansion once the scale
// factor r (the size of the leading term) is known.
ratio_result dispatch_on_scale(double a, double x, double r, const ratio_level& lv) {
  if (r == 0.0) return limit_values(a, x);
  if (x <= std::max(a, alog10)) return detail::series_p(a, x, r, lv);
  if (x < lv.x0) return detail::continued_fraction_q(a, x, r, lv);
  return detail::asymptotic_q(a, x, r, lv);
}

// a < 1.
ratio_result small_a(double a, double x, const ratio_level& lv) {
  if (a == 0.5) {
    const double rtx = std::sqrt(x);
    if (x < 0.25) {
      const double ans = erf_fn(rtx);
      return {ans, complement(ans), ratio_path::half_erf};
    }
    const double qans = erfc_fn(0, rtx);
    return {complement(qans), qans, ratio_path::half_erfc};
  }
  if (x < 1.1) return detail::small_x_series(a, x, lv);
  const double t1 = a * std::log(x) - x;
  const double u = a * std::exp(t1);
  if (u == 0.0) {
    return {1.0, 0.0, ratio_path::limit_values};
  }
  const double r = u * (1.0 + gamma1_fn(a));
  return detail::continued_fraction_q(a, x, r, lv);
}

// 1 <= a < big.
ratio_result moderate_a(double a, double x, const ratio_level& lv) {
  if (a <= x && x < lv.x0) {
    const double twoa = a + a;
    const int m = static_cast<int>(twoa);
    if (twoa == m) {
      const int i = m / 2;
      return detail::finite_sum_q(x, i, a != i);
    }
  }
  const double t1 = a * std::log(x) - x;
  const double r = std::exp(t1) / gamma_fn(a);
  return dispatch_on_scale(a, x, r, lv);
}

// a >= big.
ratio_result large_a(double a, double x, const ratio_level& lv) {
  const double e = machine_real(1);
  const double l = x / a;
  if (l == 0.0) {
    return {0.0, 1.0, ratio_path::limit_values};
  }
  const double s = complement(l);
  const double z = logdev_fn(l);
  if (z >= 700.0 / a) {
    if (std::fabs(s) <= 2.0 * e) return error_result;
    return limit_values(a, x);
  }
  const double y = a * z;
  const double rta = std::sqrt(a);
  if (std::fabs(s) <= lv.e0 / rta) {
    if (a * e * e > 3.28e-3) return error_result;
    return detail::temme_near_one(a, l, z, y, lv);
  }
  if (std::fabs(s) <= 0.4) {
    if (std::fabs(s) <= 2.0 * e && a * e * e > 3.28e-3) return error_result;
    return detail::temme_general(a, l, s, z, y, lv);
  }
  double t = 1.0 / a;
  t = t * t;
  const double t1 = (((0.75 * t - 1.0) * t + 3.5) * t - 105.0) / (a * 1260.0) - y;
  const double r = rt2pin * rta * std::exp(t1);
  return dispatch_on_scale(a, x, r, lv);
}

// Checks and method choice; branch receives the branch on a that was taken.
ratio_result choose(double a, double x, int ind, ratio_branch& branch) {
  branch = ratio_branch::none;
  // NaN, or both infinite: no value can be given.
  if (std::isnan(a) || std::isnan(x) || (std::isinf(a) && std::isinf(x))) return error_result;
  if (a < 0.0 || x < 0.0 || (a == 0.0 && x == 0.0)) return error_result;
  // One argument infinite (the other finite) lies at a limit, as does a zero argument. The
  // arguments themselves are tested: their product also underflows to 0 for tiny nonzero
  // a and x (a = x = 1e-300), where P is close to 1, not 0.
  if (std::isinf(a) || std::isinf(x) || a == 0.0 || x == 0.0) return limit_values(a, x);
  const ratio_level lv = level_of(ind);
  if (a < 1.0) {
    branch = ratio_branch::small_a;
    return small_a(a, x, lv);
  }
  if (a < lv.big) {
    branch = ratio_branch::moderate_a;
    return moderate_a(a, x, lv);
  }
  branch = ratio_branch::large_a;
  return large_a(a, x, lv);
}

}  // namespace

void gamma_ratio(double a, double x, double& ans, double& qans, int ind) {
  ratio_branch branch;
  const ratio_result res = choose(a, x, ind, branch);
  if (res.path == ratio_path::error_return) {
    ans = 2.0;
    return;
  }
  ans = res.ans;
  qans = res.qans;
}

gamma_ratio_trace gamma_ratio_traced(double a, double x, int ind) {
  gamma_ratio_trace trace{2.0, 0.0, ratio_path::error_return, ratio_branch::none};
  const ratio_result res = choose(a, x, ind, trace.branch);
  trace.path = res.path;
  if (res.path != ratio_path::error_return) {
    trace.ans = res.ans;
    trace.qans = res.qans;
  }
  return trace;
}

}  // namespace distributions

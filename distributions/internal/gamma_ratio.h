// Regularized incomplete gamma ratios P(a, x) and Q(a, x) at three accuracy levels.
#pragma once

namespace distributions {

// P(a, x) into ans and Q(a, x) into qans for a >= 0, x >= 0. ind = 0 asks for the highest
// accuracy level, 1 for the middle one, anything else for the lowest. On the error return
// (a < 0, x < 0, a = x = 0, a or x NaN, both infinite, or P and Q not separable in double
// precision) ans = 2.0 and qans keeps the caller's value.
void gamma_ratio(double a, double x, double& ans, double& qans, int ind);

namespace detail {

// Method by which a call of gamma_ratio produced its result.
enum class ratio_path {
  error_return,           // ans = 2.0, qans untouched
  limit_values,           // ans, qans are 0 and 1 in some order, without a series
  half_erf,               // a = 0.5, x < 0.25: erf of sqrt(x)
  half_erfc,              // a = 0.5, x >= 0.25: erfc of sqrt(x)
  small_x_direct,         // a < 1, x < 1.1: series for P scaled by x^a
  small_x_complement,     // a < 1, x < 1.1: the same series, Q formed without cancellation
  whole_sum,              // finite sum for Q, whole a
  half_integer_sum,       // finite sum for Q, half-integer a
  series_p,               // series for P
  continued_fraction,     // continued fraction for Q
  asymptotic_q,           // asymptotic expansion for Q
  temme_general_long,     // Temme's expansion, level 1, long polynomials
  temme_general_short,    // Temme's expansion, level 1, |s| <= 0.001, short polynomials
  temme_general_coarse,   // Temme's expansion, levels 2 and 3
  temme_near_one,         // Temme's expansion for x/a in the narrow band around 1, level 1
  temme_near_one_coarse,  // the same, levels 2 and 3
};

// Branch on a that a call took before choosing its method.
enum class ratio_branch {
  none,        // returned before choosing by a (argument checks)
  small_a,     // a < 1
  moderate_a,  // 1 <= a < big
  large_a,     // a >= big
};

}  // namespace detail

// gamma_ratio with the route it took, so that tests can show that each method is reached.
struct gamma_ratio_trace {
  double ans;   // P(a, x), 2.0 on the error return
  double qans;  // Q(a, x); on the error return the value the caller's variable would keep (0 here)
  detail::ratio_path path;
  detail::ratio_branch branch;
};

// The same computation as gamma_ratio, same bits, with its path and branch.
gamma_ratio_trace gamma_ratio_traced(double a, double x, int ind);

}  // namespace distributions

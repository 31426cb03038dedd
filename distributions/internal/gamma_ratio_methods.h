// Internal interface between the incomplete gamma ratio's method choice and its methods.
#pragma once

#include "distributions/internal/gamma_ratio.h"

namespace distributions::detail {

// Constants of one accuracy level of gamma_ratio.
struct ratio_level {
  int level;   // 1 (highest accuracy), 2 or 3
  double acc;  // target relative accuracy, never below the relative spacing at 1
  double big;  // a at and above which the large-a methods are used
  double e0;   // half-width (times sqrt(a)) of the band of x/a around 1 for Temme near 1
  double x0;   // x at and above which the asymptotic expansion replaces the continued fraction
};

// P and Q written by a method, with the method that produced them; the path is the error
// return when a loop reached its iteration cap.
struct ratio_result {
  double ans;
  double qans;
  ratio_path path;
};

// What a method returns when its loop reached the iteration cap.
inline constexpr ratio_result iteration_cap_reached = {0.0, 0.0, ratio_path::error_return};

// Iteration cap of the continued fraction and of the open-ended series. Every finite argument
// that reaches them ends far sooner; the cap bounds the work for any argument whatsoever.
constexpr int max_iterations = 10000;

inline constexpr double rt2pin = 0.398942280401433;  // 1/sqrt(2 pi)
inline constexpr double rtpi = 1.77245385090552;     // sqrt(pi)

// 0.5 + (0.5 - v): the complement of a probability, in the order that keeps its last bits.
inline double complement(double v) { return 0.5 + (0.5 - v); }

// a < 1, x < 1.1: series for P(a, x)/x^a, with Q formed directly where P is near 1.
ratio_result small_x_series(double a, double x, const ratio_level& lv);

// Series for P given the scale r = x^a e^-x / Gamma(a) (or its large-a equivalent).
ratio_result series_p(double a, double x, double r, const ratio_level& lv);

// Asymptotic expansion for Q in powers of 1/x given the scale r.
ratio_result asymptotic_q(double a, double x, double r, const ratio_level& lv);

// Continued fraction for Q given the scale r.
ratio_result continued_fraction_q(double a, double x, double r, const ratio_level& lv);

// Finite sum for Q when a is whole (half = false) or half-integer (half = true); i = floor(a).
ratio_result finite_sum_q(double x, int i, bool half);

// Temme's expansion for a >= big; l = x/a, s = 1 - l, z = l - 1 - ln l, y = a z.
ratio_result temme_general(double a, double l, double s, double z, double y, const ratio_level& lv);
ratio_result temme_near_one(double a, double l, double z, double y, const ratio_level& lv);

}  // namespace distributions::detail

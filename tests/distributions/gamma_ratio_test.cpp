// Incomplete gamma ratio: accuracy per method against the reference table, method coverage, edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>

#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_ratio.h"
#include "reference_data.h"

namespace {

using distributions::gamma_ratio;
using distributions::detail::ratio_branch;
using distributions::detail::ratio_path;
using distributions_test::read_reference;
using distributions_test::relative_error;

const char* path_name(ratio_path p) {
  switch (p) {
    case ratio_path::error_return:
      return "error return";
    case ratio_path::limit_values:
      return "limit values";
    case ratio_path::half_erf:
      return "a=0.5 erf";
    case ratio_path::half_erfc:
      return "a=0.5 erfc";
    case ratio_path::small_x_direct:
      return "small-x series, P form";
    case ratio_path::small_x_complement:
      return "small-x series, Q form";
    case ratio_path::whole_sum:
      return "finite sum, whole a";
    case ratio_path::half_integer_sum:
      return "finite sum, half-integer a";
    case ratio_path::series_p:
      return "series for P";
    case ratio_path::continued_fraction:
      return "continued fraction";
    case ratio_path::asymptotic_q:
      return "asymptotic expansion";
    case ratio_path::temme_general_long:
      return "Temme general, long";
    case ratio_path::temme_general_short:
      return "Temme general, short";
    case ratio_path::temme_general_coarse:
      return "Temme general, levels 2/3";
    case ratio_path::temme_near_one:
      return "Temme near 1";
    case ratio_path::temme_near_one_coarse:
      return "Temme near 1, levels 2/3";
  }
  return "?";
}

const char* branch_name(ratio_branch b) {
  switch (b) {
    case ratio_branch::none:
      return "checks";
    case ratio_branch::small_a:
      return "a<1";
    case ratio_branch::moderate_a:
      return "1<=a<big";
    case ratio_branch::large_a:
      return "a>=big";
  }
  return "?";
}

// Worst relative error seen on one (branch, method) pair and where.
struct worst_case {
  double error = 0.0;  // worst relative error of the smaller of P and Q
  double a = 0.0;
  double x = 0.0;
  int count = 0;    // points that took this method
  int flushed = 0;  // points whose value below 1e-295 was returned as 0
  int above = 0;    // points whose error exceeds the flat target
};

using path_key = std::pair<ratio_branch, ratio_path>;

// Error the problem itself allows: moving x by half a unit in the last place moves ln Q (or
// ln P) by about |x - a| units of that size, and a value exp(t) carries the rounding of t.
double conditioning(double a, double x, double ref) {
  return (std::fabs(x - a) + std::fabs(std::log(ref))) * DBL_EPSILON;
}

// Runs the whole reference table at accuracy selector ind. The error of a point is that of the
// smaller of P and Q, measured where the reference value is a normal number, and must stay
// within target, or within twice the problem's own conditioning where that is larger. Values
// below 1e-295 may be returned as 0 (the scale factor underflows); reference values that are
// not normal numbers must come out below 1e-290. Returns the worst case per method.
std::map<path_key, worst_case> sweep(int ind, double target) {
  std::map<path_key, worst_case> worst;
  for (const auto& row : read_reference("gamma_ratio.txt", false)) {
    const double a = row.values[0];
    const double x = row.values[1];
    const double p_ref = row.values[2];
    const double q_ref = row.values[3];
    const distributions::gamma_ratio_trace traced = distributions::gamma_ratio_traced(a, x, ind);
    double p = -1.0;
    double q = -1.0;
    gamma_ratio(a, x, p, q, ind);
    // The traced entry point must be the same computation, bit for bit.
    EXPECT_TRUE(traced.ans == p && traced.qans == q) << "a=" << a << " x=" << x;
    const path_key key{traced.branch, traced.path};
    EXPECT_NE(key.second, ratio_path::error_return) << "a=" << a << " x=" << x;
    const bool p_smaller = p_ref <= q_ref;
    const double ref = p_smaller ? p_ref : q_ref;
    const double got = p_smaller ? p : q;
    worst_case& w = worst[key];
    ++w.count;
    if (ref >= DBL_MIN && !(got == 0.0 && ref < 1e-295)) {
      const double err = relative_error(got, ref);
      // Temme's expansion is truncated after the u^7 term; at its smallest a and widest
      // |s| that truncation alone reaches 1.3e-13 (computed exactly from the same terms).
      const bool temme_edge = key.second == ratio_path::temme_general_long && a < 25.0;
      const double flat = temme_edge ? std::max(target, 2e-13) : target;
      const double bound = std::max(flat, 2.0 * conditioning(a, x, ref));
      EXPECT_LE(err, bound) << "a=" << a << " x=" << x << " " << path_name(key.second);
      if (err > target) ++w.above;
      if (err > w.error) {
        w.error = err;
        w.a = a;
        w.x = x;
      }
    } else if (ref >= DBL_MIN) {
      ++w.flushed;
    } else {
      EXPECT_LE(got, 1e-290) << "a=" << a << " x=" << x;
    }
    if (ind == 0) {
      EXPECT_NEAR(p + q, 1.0, 4 * DBL_EPSILON) << "a=" << a << " x=" << x;
    }
  }
  return worst;
}

void print_worst(const char* title, const std::map<path_key, worst_case>& worst) {
  std::printf("%s\n", title);
  for (const auto& [key, w] : worst) {
    std::printf("  %-9s %-27s points %4d flushed %3d above-target %3d worst %.2e at a=%.17g x=%.17g\n",
                branch_name(key.first), path_name(key.second), w.count, w.flushed, w.above, w.error, w.a, w.x);
  }
}

std::set<ratio_path> paths_of(const std::map<path_key, worst_case>& worst) {
  std::set<ratio_path> seen;
  for (const auto& entry : worst) seen.insert(entry.first.second);
  return seen;
}

TEST(GammaRatioAccuracy, HighestLevelMeetsTargetOnEveryMethod) {
  const auto worst = sweep(0, 1e-13);
  print_worst("gamma_ratio level 1, relative error of min(P, Q):", worst);
  // every level-1 method appears in the table, so a wrong coefficient anywhere shows up
  const std::set<ratio_path> seen = paths_of(worst);
  for (ratio_path p :
       {ratio_path::limit_values, ratio_path::half_erf, ratio_path::half_erfc, ratio_path::small_x_direct,
        ratio_path::small_x_complement, ratio_path::whole_sum, ratio_path::half_integer_sum, ratio_path::series_p,
        ratio_path::continued_fraction, ratio_path::asymptotic_q, ratio_path::temme_general_long,
        ratio_path::temme_general_short, ratio_path::temme_near_one}) {
    EXPECT_TRUE(seen.count(p)) << "not reached: " << path_name(p);
  }
  // the scale-factor methods are reached from each branch that uses them
  for (path_key key : {path_key{ratio_branch::small_a, ratio_path::continued_fraction},
                       path_key{ratio_branch::moderate_a, ratio_path::series_p},
                       path_key{ratio_branch::moderate_a, ratio_path::continued_fraction},
                       path_key{ratio_branch::moderate_a, ratio_path::asymptotic_q},
                       path_key{ratio_branch::large_a, ratio_path::series_p},
                       path_key{ratio_branch::large_a, ratio_path::continued_fraction},
                       path_key{ratio_branch::large_a, ratio_path::asymptotic_q}}) {
    EXPECT_TRUE(worst.count(key)) << "not reached: " << branch_name(key.first) << " " << path_name(key.second);
  }
}

TEST(GammaRatioAccuracy, LowerLevelsStayNearTheirTargets) {
  // levels 2 and 3 aim at 5e-7 and 5e-4 and use their own Temme terms
  for (auto [ind, target] : {std::pair{1, 1e-5}, {2, 1e-2}}) {
    const auto worst = sweep(ind, target);
    print_worst(ind == 1 ? "gamma_ratio level 2:" : "gamma_ratio level 3:", worst);
    const std::set<ratio_path> seen = paths_of(worst);
    EXPECT_TRUE(seen.count(ratio_path::temme_general_coarse)) << ind;
    EXPECT_TRUE(seen.count(ratio_path::temme_near_one_coarse)) << ind;
  }
}

TEST(GammaRatio, ErrorReturnSetsTwoAndLeavesQansUntouched) {
  for (auto [a, x] : {std::pair{-1.0, 1.0}, {1.0, -1.0}, {0.0, 0.0}, {-0.5, 0.0}}) {
    double ans = 0.25;
    double qans = 0.75;
    gamma_ratio(a, x, ans, qans, 0);
    EXPECT_EQ(ans, 2.0) << a << " " << x;
    EXPECT_EQ(qans, 0.75);
  }
}

TEST(GammaRatio, ZeroShapeOrZeroPointGiveTheLimits) {
  double ans, qans;
  gamma_ratio(0.0, 3.0, ans, qans, 0);
  EXPECT_EQ(ans, 1.0);
  EXPECT_EQ(qans, 0.0);
  gamma_ratio(2.0, 0.0, ans, qans, 0);
  EXPECT_EQ(ans, 0.0);
  EXPECT_EQ(qans, 1.0);
}

TEST(GammaRatio, HalfShapeIsErfOfRoot) {
  for (double x : {0.01, 0.2, 0.2499, 0.25, 1.0, 9.0}) {
    double ans, qans;
    gamma_ratio(0.5, x, ans, qans, 0);
    EXPECT_NEAR(ans, distributions::erf_fn(std::sqrt(x)), 2e-16) << x;
    EXPECT_EQ(distributions::gamma_ratio_traced(0.5, x, 0).path,
              x < 0.25 ? ratio_path::half_erf : ratio_path::half_erfc);
  }
}

TEST(GammaRatio, FiniteSumsForWholeAndHalfIntegerShapes) {
  double ans, qans;
  gamma_ratio(3.0, 5.0, ans, qans, 0);
  EXPECT_EQ(distributions::gamma_ratio_traced(3.0, 5.0, 0).path, ratio_path::whole_sum);
  EXPECT_NEAR(qans, std::exp(-5.0) * (1 + 5 + 12.5), 1e-16);
  gamma_ratio(2.5, 5.0, ans, qans, 0);
  EXPECT_EQ(distributions::gamma_ratio_traced(2.5, 5.0, 0).path, ratio_path::half_integer_sum);
  EXPECT_NEAR(qans, 0.07523524614651218, 5e-16);  // Q(2.5, 5), from erfc(sqrt 5)
}

TEST(GammaRatio, TemmeNearOneAndGeneral) {
  double ans, qans;
  gamma_ratio(25.0, 25.0, ans, qans, 0);
  EXPECT_EQ(distributions::gamma_ratio_traced(25.0, 25.0, 0).path, ratio_path::temme_near_one);
  EXPECT_NEAR(ans, 0.5266015314436506, 1e-15);  // P(25, 25)
  gamma_ratio(25.0, 30.0, ans, qans, 0);
  EXPECT_EQ(distributions::gamma_ratio_traced(25.0, 30.0, 0).path, ratio_path::temme_general_long);
}

TEST(GammaRatio, IndistinguishablePAndQForHugeShapeGiveErrorReturn) {
  for (double a : {1e29, 1e30, 1e300}) {
    double ans = 0.0;
    double qans = 0.5;
    gamma_ratio(a, a, ans, qans, 0);
    EXPECT_EQ(ans, 2.0) << a;
    EXPECT_EQ(qans, 0.5);
  }
}

TEST(GammaRatio, HugeShapeFarFromXGivesLimits) {
  double ans, qans;
  gamma_ratio(1e6, 5e5, ans, qans, 0);
  EXPECT_EQ(ans, 0.0);
  EXPECT_EQ(qans, 1.0);
  gamma_ratio(1e6, 2e6, ans, qans, 0);
  EXPECT_EQ(ans, 1.0);
  EXPECT_EQ(qans, 0.0);
  gamma_ratio(1e100, 1e-250, ans, qans, 0);  // x/a underflows to 0
  EXPECT_EQ(ans, 0.0);
  EXPECT_EQ(qans, 1.0);
}

TEST(GammaRatio, NonFiniteArgumentsEndWithErrorOrLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int ind : {0, 1, 2}) {
    for (auto [a, x] :
         {std::pair{nan, 1.0}, {1.0, nan}, {nan, nan}, {inf, inf}, {-inf, 1.0}, {1.0, -inf}, {nan, inf}}) {
      double ans = 0.0;
      double qans = 0.5;
      gamma_ratio(a, x, ans, qans, ind);
      EXPECT_EQ(ans, 2.0) << a << " " << x;
      EXPECT_EQ(qans, 0.5);
    }
    for (double a : {0.0, 0.3, 0.5, 3.0, 25.0, 1e10}) {
      double ans, qans;
      gamma_ratio(a, inf, ans, qans, ind);
      EXPECT_EQ(ans, 1.0) << a;
      EXPECT_EQ(qans, 0.0);
    }
    for (double x : {0.0, 0.3, 1e300}) {
      double ans, qans;
      gamma_ratio(inf, x, ans, qans, ind);
      EXPECT_EQ(ans, 0.0) << x;
      EXPECT_EQ(qans, 1.0);
    }
  }
}

}  // namespace

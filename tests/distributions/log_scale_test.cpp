// Log-scale gamma integral, ln Gamma, ln Phi and the normal quantile: accuracy against the reference table, edge
// values, and no jump where a function switches from one method to another.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "distributions/log_scale.h"
#include "reference_data.h"

namespace {

using namespace distributions;
using distributions_test::read_reference;

// Size of the terms of ln(t^a e^-t) at the point of [lo, hi] where it is largest, or of the result if larger.
// The last-bit rounding of ln t alone moves a ln t by about 2^-53 of it, and the result is held to 2^-53 of its
// own size, so beyond 1e-12 the accuracy asked of log_gamma_integral is a few units of 2^-52 times this.
double integral_scale(double a, double lo, double hi, double value) {
  double t = std::clamp(a, lo, hi);
  if (t == 0.0) t = lo;
  return std::max({std::fabs(value), std::fabs(a * std::log(t)) + t, 1.0});
}

double integral_tolerance(double a, double lo, double hi, double value) {
  return 1e-12 + 4.0 * DBL_EPSILON * integral_scale(a, lo, hi, value);
}

// Worst ratio of error to tolerance per row name, printed so that a run shows the margin of each region.
struct tally {
  std::map<std::string, double> worst;
  std::map<std::string, int> count;
  void add(const std::string& name, double ratio) {
    ++count[name];
    worst[name] = std::max(worst[name], ratio);
  }
  void print(const char* title) const {
    std::printf("%s: worst error / tolerance per region\n", title);
    for (const auto& [name, ratio] : worst)
      std::printf("  %-20s rows %3d  %.3f\n", name.c_str(), count.at(name), ratio);
  }
};

// Rows of log_scale.txt whose name starts with prefix; at least one is expected.
std::vector<distributions_test::reference_row> rows_of(const std::string& prefix) {
  std::vector<distributions_test::reference_row> out;
  for (const auto& row : read_reference("log_scale.txt", true)) {
    if (row.name.rfind(prefix, 0) == 0) out.push_back(row);
  }
  EXPECT_FALSE(out.empty()) << prefix;
  return out;
}

TEST(LogScaleAccuracy, GammaIntegralMatchesReference) {
  tally t;
  for (const auto& row : rows_of("integral/")) {
    const double a = row.values[0], lo = row.values[1], hi = row.values[2], ref = row.values[3];
    const double got = log_gamma_integral(a, lo, hi);
    const double tol = integral_tolerance(a, lo, hi, ref);
    EXPECT_LE(std::fabs(got - ref), tol) << row.name << " a=" << a << " lo=" << lo << " hi=" << hi << " got " << got
                                         << " want " << ref;
    t.add(row.name, std::fabs(got - ref) / tol);
  }
  t.print("log_gamma_integral");
}

TEST(LogScaleAccuracy, LogGammaMatchesReference) {
  tally t;
  for (const auto& row : rows_of("lgamma")) {
    const double a = row.values[0], ref = row.values[1];
    const double tol = 1e-14 * std::max(1.0, std::fabs(ref));
    const double got = log_gamma_fn(a);
    if (std::isinf(ref)) {  // ln Gamma beyond the largest double near the top of the range
      EXPECT_EQ(got, ref) << "a=" << a;
      continue;
    }
    EXPECT_LE(std::fabs(got - ref), tol) << "a=" << a << " got " << got << " want " << ref;
    t.add(a < 10.0 ? "below 10" : "Stirling", std::fabs(got - ref) / tol);
  }
  t.print("log_gamma_fn");
}

TEST(LogScaleAccuracy, LogNormalCdfMatchesReference) {
  // Relative error of Phi below 1e-14: an absolute error of ln Phi below 1e-14 where Phi is small, or two units
  // of 2^-52 in ln Phi itself where that is the coarser (ln Phi below -22.5); a relative error of ln Phi below
  // 1e-14 where Phi is near 1, down to the subnormal values of ln Phi, where only their own spacing counts.
  tally t;
  for (const auto& row : rows_of("lncdf")) {
    const double z = row.values[0], ref = row.values[1];
    const double got = log_normal_cdf(z);
    double tol;
    const char* region;
    if (z <= 0.0) {
      tol = std::max(1e-14, 2.0 * DBL_EPSILON * std::fabs(ref));
      region = "lower half";
    } else {
      tol = std::max(1e-14 * std::fabs(ref), 4.0 * DBL_TRUE_MIN);
      region = "upper half";
    }
    EXPECT_LE(std::fabs(got - ref), tol) << "z=" << z << " got " << got << " want " << ref;
    t.add(region, std::fabs(got - ref) / tol);
  }
  t.print("log_normal_cdf");
}

TEST(LogScaleAccuracy, NormalQuantileMatchesReference) {
  tally t;
  for (const auto& row : rows_of("quantile")) {
    const double p = row.values[0], ref = row.values[1];
    const double got = normal_quantile(p);
    const double tol = std::max(1e-14 * std::fabs(ref), 1e-15 * std::min(1.0, 10.0 * std::fabs(ref)));
    EXPECT_LE(std::fabs(got - ref), tol) << "p=" << p << " got " << got << " want " << ref;
    t.add(p < 0.25 || p > 0.75 ? "tails" : "centre", std::fabs(got - ref) / tol);
  }
  t.print("normal_quantile");
}

TEST(LogScaleEdges, LimitsAndInvalidArguments) {
  EXPECT_EQ(log_gamma_integral(2.0, 3.0, 3.0), -INFINITY);
  EXPECT_EQ(log_gamma_integral(0.0, 1.0, 1.0), -INFINITY);
  EXPECT_EQ(log_gamma_integral(2.0, INFINITY, INFINITY), -INFINITY);
  EXPECT_EQ(log_gamma_integral(0.0, 0.0, 1.0), INFINITY);  // the integral of e^-t / t from 0 diverges
  EXPECT_EQ(log_gamma_integral(2.5, 0.0, INFINITY), log_gamma_fn(2.5));
  EXPECT_NEAR(log_gamma_integral(0.5, 0.0, INFINITY), 0.5 * std::log(M_PI), 1e-15);
  for (const auto& [a, lo, hi] : std::vector<std::array<double, 3>>{
           {-1.0, 0.0, 1.0}, {NAN, 0.0, 1.0}, {1.0, NAN, 1.0}, {1.0, 0.0, NAN}, {1.0, -1.0, 1.0}, {1.0, 2.0, 1.0}}) {
    EXPECT_TRUE(std::isnan(log_gamma_integral(a, lo, hi))) << a << " " << lo << " " << hi;
  }
  EXPECT_EQ(log_gamma_fn(1.0), 0.0);
  EXPECT_EQ(log_gamma_fn(2.0), 0.0);
  EXPECT_EQ(log_gamma_fn(0.0), INFINITY);
  EXPECT_EQ(log_gamma_fn(INFINITY), INFINITY);
  EXPECT_TRUE(std::isnan(log_gamma_fn(-0.5)));
  EXPECT_TRUE(std::isnan(log_gamma_fn(NAN)));
  EXPECT_EQ(log_normal_cdf(-INFINITY), -INFINITY);
  EXPECT_EQ(log_normal_cdf(INFINITY), 0.0);
  EXPECT_TRUE(std::isnan(log_normal_cdf(NAN)));
  EXPECT_NEAR(log_normal_cdf(0.0), -M_LN2, 1e-16);
  EXPECT_TRUE(std::isfinite(log_normal_cdf(-1e154)));
  EXPECT_EQ(normal_quantile(0.0), -INFINITY);
  EXPECT_EQ(normal_quantile(1.0), INFINITY);
  EXPECT_EQ(normal_quantile(0.5), 0.0);
  for (double p : {static_cast<double>(NAN), -1e-300, 1.5}) EXPECT_TRUE(std::isnan(normal_quantile(p))) << p;
  // p and 1 - p both exact: the upper half mirrors the lower
  for (double p : {0x1p-40, 0.01, 0.3, 0.49}) EXPECT_EQ(normal_quantile(1.0 - p), -normal_quantile(p)) << p;
}

// The integral is additive over adjacent intervals and grows with the interval. Over a grid of shapes and ends
// from 1e-300 to infinity, where the pieces and the whole reach different methods, every value is a number,
// the three logs agree, and widening an interval never lowers its log.
TEST(LogScaleEdges, GammaIntegralIsAdditiveAndMonotone) {
  for (double a : {0.0, 1e-300, 0.5, 1.0, 2.5, 49.5, 50.0, 1e3, 5e5}) {
    std::vector<double> ends = {0.0, 1e-300, 1e-10, 0.5, 1.0, 2.0, 1e10, 1e300, INFINITY};
    for (double f : {0.25, 0.9, 0.999, 1.0, 1.001, 1.2, 3.0}) ends.push_back(a * f);
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    if (a == 0.0) ends.erase(ends.begin());  // no integral from 0 at a = 0
    for (std::size_t i = 0; i < ends.size(); ++i) {
      double previous = -INFINITY;
      for (std::size_t k = i + 1; k < ends.size(); ++k) {
        const double lo = ends[i], hi = ends[k];
        const double whole = log_gamma_integral(a, lo, hi);
        ASSERT_FALSE(std::isnan(whole)) << a << " " << lo << " " << hi;
        EXPECT_GE(whole, previous) << a << " " << lo << " " << hi;
        previous = whole;
        for (std::size_t j = i + 1; j < k; ++j) {
          const double left = log_gamma_integral(a, lo, ends[j]);
          const double right = log_gamma_integral(a, ends[j], hi);
          const double sum = std::max(left, right) + std::log1p(std::exp(-std::fabs(left - right)));
          EXPECT_NEAR(sum, whole, 2.0 * integral_tolerance(a, lo, hi, whole))
              << "a=" << a << " " << lo << " | " << ends[j] << " | " << hi;
        }
      }
    }
  }
}

// Largest |F(x_(k+1)) - 2 F(x_k) + F(x_(k-1))| over x_k = x (1 + k h), k = -20..20: a jump where F switches
// method at x shows whole in one of these, smooth change only as F'' (x h)^2, far below the rounding at h = 1e-10.
double largest_kink(const std::function<double(double)>& f, double x, double h = 1e-10) {
  std::vector<double> v;
  for (int k = -20; k <= 20; ++k) v.push_back(f(x * (1.0 + k * h)));
  double worst = 0.0;
  for (std::size_t k = 1; k + 1 < v.size(); ++k) worst = std::max(worst, std::fabs(v[k + 1] - 2.0 * v[k] + v[k - 1]));
  return worst;
}

struct switch_case {
  const char* what;
  std::function<double(double)> f;
  double at;
  double limit;
};

TEST(LogScaleSwitches, NoJumpWhereTheMethodChanges) {
  // Limits: a few units of rounding of the values swept, far below the accuracy asked of them.
  const auto integral_limit = [](double a, double x, double value) {
    return 1e-13 + 8.0 * DBL_EPSILON * integral_scale(a, x, x, value);
  };
  std::vector<switch_case> cases = {
      {"a across 1, interval across t = 2", [](double a) { return log_gamma_integral(a, 0.5, 3.0); }, 1.0, 1e-13},
      {"a across 1, interval below 1", [](double a) { return log_gamma_integral(a, 0.0, 0.7); }, 1.0, 1e-13},
      {"a across 1, interval from 1.5 to 2", [](double a) { return log_gamma_integral(a, 1.5, 2.0); }, 1.0, 1e-13},
      {"hi across 2 for a < 1", [](double h) { return log_gamma_integral(0.5, 0.2, h); }, 2.0, 1e-13},
      {"hi across 2 for a = 0", [](double h) { return log_gamma_integral(0.0, 0.2, h); }, 2.0, 1e-13},
      {"lo across 2 for a < 1", [](double l) { return log_gamma_integral(0.3, l, 4.0); }, 2.0, 1e-13},
      {"hi across the mode", [](double h) { return log_gamma_integral(3.0, 1.5, h); }, 3.0, 1e-13},
      {"lo across the mode", [](double l) { return log_gamma_integral(3.0, l, 6.0); }, 3.0, 1e-13},
      {"hi across the mode, large a", [](double h) { return log_gamma_integral(400.0, 300.0, h); }, 400.0,
       integral_limit(400.0, 400.0, 2000.0)},
      {"a across the expansion's least a, below the mode", [](double a) { return log_gamma_integral(a, 0.0, 0.9 * a); },
       50.0, integral_limit(50.0, 50.0, 150.0)},
      {"a across the expansion's least a, above the mode",
       [](double a) { return log_gamma_integral(a, 1.1 * a, INFINITY); }, 50.0, integral_limit(50.0, 55.0, 150.0)},
      {"lower edge of the expansion", [](double x) { return log_gamma_integral(60.0, 0.0, x); },
       60.0 * 0.30170956268433601, integral_limit(60.0, 60.0, 200.0)},
      {"upper edge of the expansion", [](double x) { return log_gamma_integral(60.0, x, INFINITY); },
       60.0 * 2.3576766739458991, integral_limit(60.0, 141.5, 200.0)},
      {"upper edge of the expansion, a = 1e4", [](double x) { return log_gamma_integral(1e4, x, INFINITY); },
       1e4 * 2.3576766739458991, integral_limit(1e4, 2.36e4, 1e5)},
      {"series switch of x/a - 1 - ln(x/a) at x = 3a/4", [](double x) { return log_gamma_integral(100.0, 0.0, x); },
       75.0, integral_limit(100.0, 75.0, 400.0)},
      {"series switch of x/a - 1 - ln(x/a) at x = 5a/4",
       [](double x) { return log_gamma_integral(100.0, x, INFINITY); }, 125.0, integral_limit(100.0, 125.0, 400.0)},
      {"far end at twice the near end", [](double h) { return log_gamma_integral(4.0, 6.0, h); }, 12.0, 1e-13},
      {"far end at half the near end", [](double l) { return log_gamma_integral(40.0, l, 30.0); }, 15.0,
       integral_limit(40.0, 30.0, 100.0)},
      {"ln Gamma at 0.5", log_gamma_fn, 0.5, 1e-15},
      {"ln Gamma at 1.5", log_gamma_fn, 1.5, 1e-15},
      {"ln Gamma at 2.5", log_gamma_fn, 2.5, 1e-15},
      {"ln Gamma at 10", log_gamma_fn, 10.0, 1e-14},
      {"ln Phi at -1/sqrt(2)", log_normal_cdf, -M_SQRT1_2, 4e-15},
      {"ln Phi at 1/sqrt(2)", log_normal_cdf, M_SQRT1_2, 1e-15},
      {"quantile at 1/4", normal_quantile, 0.25, 1e-15},
      {"quantile at 3/4", normal_quantile, 0.75, 1e-15},
  };
  for (const auto& c : cases) {
    const double kink = largest_kink(c.f, c.at);
    std::printf("  %-50s %.2e (limit %.1e)\n", c.what, kink, c.limit);
    EXPECT_LE(kink, c.limit) << c.what;
  }
}

}  // namespace

// Tests that the 21-point rule and its embedded 10-point rule integrate polynomials of their degrees exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "quadrature/internal/error_state.h"
#include "quadrature/internal/gauss_kronrod_rule.h"

using namespace quadrature;

namespace {

// The integrand (x + shift)^power; every test sets both through use_integrand, so no test
// depends on what another left behind.
int power = 0;
double shift = 0.0;

double shifted_power(const double& x) { return std::pow(x + shift, power); }

// Exact integral of (x + shift)^k over [-1, 1].
double exact_integral(int k) { return (std::pow(1.0 + shift, k + 1) - std::pow(shift - 1.0, k + 1)) / (k + 1); }

// Selects (x + s)^k as the integrand; s = 0.25 makes every power of x appear.
void use_integrand(int k, double s) {
  power = k;
  shift = s;
}

struct RuleOutput {
  double res, err, rabs, rasc;
};

// Applies the rule on [-1, 1] under a level of its own, as the library does.
RuleOutput apply_rule(int k, double s = 0.25) {
  use_integrand(k, s);
  RuleOutput out{};
  E1PSH("RULE_TEST");
  DQRULE(shifted_power, -1.0, 1.0, out.res, out.err, out.rabs, out.rasc);
  E1POP("RULE_TEST");
  return out;
}

const double eps = std::numeric_limits<double>::epsilon();

}  // namespace

TEST(GaussKronrodRule, TwentyOnePointSumIsExactUpToDegree31) {
  for (int k = 0; k <= 31; ++k) {
    const RuleOutput out = apply_rule(k);
    EXPECT_NEAR(out.res, exact_integral(k), 64 * eps * out.rabs) << "degree " << k;
  }
  // First degree beyond the rule; x^32 itself, so the error is not hidden by the
  // size of the lower terms.
  const RuleOutput out = apply_rule(32, 0.0);
  EXPECT_GT(std::fabs(out.res - exact_integral(32)), 1e4 * eps * out.rabs);
}

// The raw error estimate is the difference of the two sums; while both are exact it
// is rounding only, and the reported estimate falls back to its floor 50 eps |F|.
TEST(GaussKronrodRule, TenPointSumIsExactUpToDegree19) {
  for (int k = 0; k <= 19; ++k) {
    const RuleOutput out = apply_rule(k);
    EXPECT_EQ(out.err, 50 * eps * out.rabs) << "degree " << k;
  }
  const RuleOutput out = apply_rule(20);
  EXPECT_GT(out.err, 1e6 * 50 * eps * out.rabs);
}

TEST(GaussKronrodRule, EstimatesScaleWithTheIntervalLengthAndStayNonNegative) {
  use_integrand(3, 0.25);
  double res, err, rabs, rasc, rres, rerr, rrabs, rrasc;
  E1PSH("RULE_TEST");
  DQRULE(shifted_power, 0.0, 2.0, res, err, rabs, rasc);
  DQRULE(shifted_power, 2.0, 0.0, rres, rerr, rrabs, rrasc);
  E1POP("RULE_TEST");
  EXPECT_DOUBLE_EQ(res, (std::pow(2.25, 4) - std::pow(0.25, 4)) / 4);
  EXPECT_EQ(rres, -res);
  EXPECT_EQ(rerr, err);
  EXPECT_EQ(rrabs, rabs);
  EXPECT_EQ(rrasc, rasc);
  EXPECT_GE(rerr, 0.0);
}

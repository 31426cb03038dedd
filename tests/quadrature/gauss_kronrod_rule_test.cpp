// Tests that the 21-point rule and its embedded 10-point rule integrate polynomials of their degrees exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "console_text.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/gauss_kronrod_rule.h"
#include "quadrature/internal/machine_constants.h"

using namespace quadrature;

namespace {

// The integrand (x + shift)^power, carried by the object itself.
struct ShiftedPower {
  int power;
  double shift;
  double operator()(const double& x) const { return std::pow(x + shift, power); }
  // Exact integral over [-1, 1].
  double exact() const { return (std::pow(1.0 + shift, power + 1) - std::pow(shift - 1.0, power + 1)) / (power + 1); }
};

struct RuleOutput {
  double res, err, rabs, rasc;
};

// Applies the rule to F on [A, B] under a level of its own, as the library does, with the
// constants the kernel passes.
RuleOutput apply_rule(const ShiftedPower& f, double a = -1.0, double b = 1.0) {
  Context ctx;
  double epsmch = 0.0, uflow = 0.0;
  RuleOutput out{};
  EXPECT_EQ(DMACH(ctx, 4, epsmch), Flow::go_on);
  EXPECT_EQ(DMACH(ctx, 1, uflow), Flow::go_on);
  EXPECT_EQ(E1PSH(ctx, "RULE_TEST"), Flow::go_on);
  EXPECT_EQ(DQRULE(ctx, f, a, b, epsmch, uflow, out.res, out.err, out.rabs, out.rasc), Flow::go_on);
  EXPECT_EQ(E1POP(ctx, "RULE_TEST"), Flow::go_on);
  EXPECT_EQ(ctx.printed, "");
  return out;
}

const double eps = std::numeric_limits<double>::epsilon();

}  // namespace

// s = 0.25 makes every power of x appear.
TEST(GaussKronrodRule, TwentyOnePointSumIsExactUpToDegree31) {
  for (int k = 0; k <= 31; ++k) {
    const ShiftedPower f{k, 0.25};
    const RuleOutput out = apply_rule(f);
    EXPECT_NEAR(out.res, f.exact(), 64 * eps * out.rabs) << "degree " << k;
  }
  // First degree beyond the rule; x^32 itself, so the error is not hidden by the
  // size of the lower terms.
  const ShiftedPower f{32, 0.0};
  const RuleOutput out = apply_rule(f);
  EXPECT_GT(std::fabs(out.res - f.exact()), 1e4 * eps * out.rabs);
}

// The raw error estimate is the difference of the two sums; while both are exact it
// is rounding only, and the reported estimate falls back to its floor 50 eps |F|.
TEST(GaussKronrodRule, TenPointSumIsExactUpToDegree19) {
  for (int k = 0; k <= 19; ++k) {
    const RuleOutput out = apply_rule({k, 0.25});
    EXPECT_EQ(out.err, 50 * eps * out.rabs) << "degree " << k;
  }
  const RuleOutput out = apply_rule({20, 0.25});
  EXPECT_GT(out.err, 1e6 * 50 * eps * out.rabs);
}

TEST(GaussKronrodRule, EstimatesScaleWithTheIntervalLengthAndStayNonNegative) {
  const ShiftedPower f{3, 0.25};
  const RuleOutput forward = apply_rule(f, 0.0, 2.0);
  const RuleOutput backward = apply_rule(f, 2.0, 0.0);
  EXPECT_DOUBLE_EQ(forward.res, (std::pow(2.25, 4) - std::pow(0.25, 4)) / 4);
  EXPECT_EQ(backward.res, -forward.res);
  EXPECT_EQ(backward.err, forward.err);
  EXPECT_EQ(backward.rabs, forward.rabs);
  EXPECT_EQ(backward.rasc, forward.rasc);
  EXPECT_GE(backward.err, 0.0);
}

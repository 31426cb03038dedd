// Gamma, chi-square and normal distribution functions: accuracy, regions and limits.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "distributions/cdf.h"
#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_ratio.h"
#include "reference_data.h"

namespace {

using namespace distributions;
using distributions_test::read_reference;
using distributions_test::relative_error;

TEST(CdfNormal, MatchesReferenceOnBothTails) {
  double worst = 0.0;
  double worst_x = 0.0;
  for (const auto& row : read_reference("functions.txt", true)) {
    if (row.name != "normal" && row.name != "normal_c") continue;
    const double x = row.values[0];
    const double ref = row.values[1];
    double result, ccum;
    cdf_normal(x, result, ccum);
    const double got = row.name == "normal" ? result : ccum;
    if (ref < DBL_MIN) {
      EXPECT_EQ(got, 0.0) << x;  // flushed to zero
      continue;
    }
    const double err = relative_error(got, ref);
    EXPECT_LE(err, 1e-14) << row.name << " " << x;
    if (err > worst) {
      worst = err;
      worst_x = x;
    }
  }
  std::printf("cdf_normal worst relative error %.2e at arg=%.17g\n", worst, worst_x);
}

TEST(CdfNormal, ExactCentreSymmetryAndLimits) {
  double r, c;
  cdf_normal(0.0, r, c);
  EXPECT_EQ(r, 0.5);
  EXPECT_EQ(c, 0.5);
  cdf_normal(1e-300, r, c);
  EXPECT_EQ(r, 0.5);
  EXPECT_EQ(c, 0.5);
  for (double x :
       {0.3, 0.66291, std::nextafter(0.66291, 1.0), 2.0, 5.656854248, std::nextafter(5.656854248, 6.0), 9.0, 30.0}) {
    double r1, c1, r2, c2;
    cdf_normal(x, r1, c1);
    cdf_normal(-x, r2, c2);
    EXPECT_EQ(r1, c2) << x;
    EXPECT_EQ(c1, r2) << x;
  }
  cdf_normal(40.0, r, c);
  EXPECT_EQ(r, 1.0);
  EXPECT_EQ(c, 0.0);
  cdf_normal(-40.0, r, c);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(c, 1.0);
  const double inf = std::numeric_limits<double>::infinity();
  cdf_normal(inf, r, c);
  EXPECT_EQ(r, 1.0);
  EXPECT_EQ(c, 0.0);
  cdf_normal(-inf, r, c);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(c, 1.0);
}

TEST(CdfGamma, NonPositivePointGivesZeroOneWhateverTheShape) {
  for (double a : {-1.0, 0.0, 0.5, 3.0}) {
    for (double x : {0.0, -2.0}) {
      double cum = 7.0, ccum = 7.0;
      cdf_gamma(x, a, cum, ccum);
      EXPECT_EQ(cum, 0.0);
      EXPECT_EQ(ccum, 1.0);
    }
  }
}

TEST(CdfGamma, InvalidShapeFlagsTwoAndZeroShapeIsCertain) {
  double cum = 0.0, ccum = 0.125;
  cdf_gamma(1.0, -1.0, cum, ccum);
  EXPECT_EQ(cum, 2.0);
  EXPECT_EQ(ccum, 0.125);
  cdf_chisq(1.0, -3.0, cum, ccum);
  EXPECT_EQ(cum, 2.0);
  EXPECT_EQ(ccum, 0.125);
  cdf_gamma(1.0, 0.0, cum, ccum);
  EXPECT_EQ(cum, 1.0);
  EXPECT_EQ(ccum, 0.0);
}

TEST(CdfGamma, TakesPointFirstAndPassesTheHighestLevelThrough) {
  for (auto [x, a] : {std::pair{0.5, 2.5}, {12.0, 14.5}, {40.0, 149.5}, {3.0, 0.2}}) {
    double cum, ccum, p, q;
    cdf_gamma(x, a, cum, ccum);
    gamma_ratio(a, x, p, q, 0);
    EXPECT_EQ(cum, p) << x << " " << a;
    EXPECT_EQ(ccum, q) << x << " " << a;
  }
  double cum, ccum;
  cdf_gamma(1.0, 3.0, cum, ccum);  // P(3, 1) = 1 - e^-1 (1 + 1 + 1/2)
  EXPECT_NEAR(cum, 0.08030139707139415, 1e-16);
}

TEST(CdfChisq, ClosedFormsForOneAndTwoDegrees) {
  for (double x : {0.01, 0.5, 1.0, 3.0, 10.0, 50.0}) {
    double cum, ccum;
    cdf_chisq(x, 2.0, cum, ccum);
    EXPECT_NEAR(ccum / std::exp(-x / 2), 1.0, 1e-14) << x;
    EXPECT_NEAR(cum, -std::expm1(-x / 2), 1e-15) << x;
    cdf_chisq(x, 1.0, cum, ccum);
    EXPECT_NEAR(cum, erf_fn(std::sqrt(x / 2)), 2e-16) << x;
  }
}

}  // namespace

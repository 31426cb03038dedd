// The chi-square normality test: class counts, degrees of freedom, markers and the guarded degenerate cases.
#include "vantor/normality_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "distributions/cdf.h"

namespace {

double upper_chisq(double x, double df) {
  double cum = 0.0, ccum = 0.0;
  distributions::cdf_chisq(x, df, cum, ccum);
  return ccum;
}

TEST(NormalityTest, TooFewValuesGiveMarkers) {
  const double y[1] = {0.5};
  for (std::size_t n : {1, 0}) {
    double statistic = 0.0, pvalue = 0.0;
    vantor::normality_test(std::span(y, n), statistic, pvalue);
    EXPECT_EQ(statistic, -9.0);
    EXPECT_EQ(pvalue, -9.0);
  }
}

TEST(NormalityTest, TwoDifferentValuesFallInTheOuterOfThreeClasses) {
  const double y[2] = {0.1, 0.9};
  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(y, statistic, pvalue);
  EXPECT_DOUBLE_EQ(statistic, 1.0);
  EXPECT_EQ(pvalue, 0.0);  // zero degrees of freedom
}

// Evenly spread values: one per quantile cell, so the statistic follows from
// the class count alone and the p-value reveals the degrees of freedom.
void expect_classes(std::int32_t n, std::int32_t k) {
  std::vector<double> y(n);
  for (std::int32_t i = 0; i < n; ++i) y[i] = std::sin(1.0 + i * 2.399963);  // well mixed, no ties
  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(y, statistic, pvalue);
  EXPECT_EQ(pvalue, upper_chisq(statistic, k - 3)) << "n = " << n;
  if (k != 4) {
    EXPECT_NE(pvalue, upper_chisq(statistic, k - 4)) << "n = " << n;
  }
}

TEST(NormalityTest, ClassCountUsesTheSinglePrecisionExponent) {
  expect_classes(3, 4);
  expect_classes(10, 6);
  expect_classes(32, 9);  // 8 with an exponent of exactly 0.4
  expect_classes(100, 13);
}

TEST(NormalityTest, AValueWithPhiOfOneCountsInTheTopClass) {
  std::vector<double> y(100, 0.0);
  y[99] = 1.0;  // z = 9.9: Phi rounds to 1
  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(y, statistic, pvalue);
  const double e = 100.0 / 13;
  double sum = 0.0;
  for (int c = 1; c <= 13; ++c) {
    const double count = c == 6 ? 99 : (c == 13 ? 1 : 0);
    sum = sum + (count - e) * (count - e);
  }
  EXPECT_EQ(statistic, sum / e);
  EXPECT_EQ(pvalue, upper_chisq(statistic, 10));
}

TEST(NormalityTest, EqualValuesCannotBeTested) {
  const std::vector<double> y(5, 0.7);
  double statistic = 0.0, pvalue = 0.0;
  vantor::normality_test(y, statistic, pvalue);
  EXPECT_EQ(statistic, -9.0);
  EXPECT_EQ(pvalue, -9.0);
}

}  // namespace

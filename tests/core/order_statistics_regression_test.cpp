// Regression on order statistics against an independent high-precision computation (make_reference.py).
#include "core/order_statistics_regression.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double zero_substitute = 1.0000000116860974e-07;

struct Case {
  std::string name;
  std::vector<double> detected;  // measured values, 0 allowed
  std::vector<double> limits;    // the X of every entry <X
  double intercept;
  double slope;
  std::vector<std::vector<double>> imputed;  // per distinct limit, ascending: the values in rank order
  std::vector<std::size_t> above;            // per distinct limit: imputed values above it
};

void expect_close(double got, double want, const std::string& what) {
  EXPECT_LE(std::fabs(got - want), 1e-12 * std::fabs(want)) << what << ": got " << got << " want " << want;
}

// The entries of a case as the regression takes them, interleaved so that no order is given away.
core::OrderStatisticsFit fit_case(const std::vector<double>& detected, const std::vector<double>& limits) {
  std::vector<double> logs;
  std::vector<std::uint8_t> kinds;
  for (std::size_t k = 0; k < std::max(detected.size(), limits.size()); ++k) {
    if (k < limits.size()) {
      logs.push_back(std::log(limits[limits.size() - 1 - k]));
      kinds.push_back(core::below_limit);
    }
    if (k < detected.size()) {
      const double y = detected[k];
      logs.push_back(std::log(y == 0.0 ? zero_substitute : y));
      kinds.push_back(y == 0.0 ? core::detected_zero : core::detected);
    }
  }
  return core::fit_order_statistics(logs.data(), kinds.data(), logs.size());
}

TEST(OrderStatisticsRegression, MatchesTheHighPrecisionReference) {
  const Case cases[] = {
      // Two limits; a zero; a tie; a detected value equal to a limit (it counts at or above that limit).
      {"two limits",
       {0.3, 0.7, 0.7, 1.0, 1.2, 2.5, 0.9, 4.1, 0.0},
       {0.5, 0.5, 1.0, 1.0, 1.0},
       -3.3979120909040674,
       4.6158338194952574,
       {{2.1027196608532537e-4, 0.0020351767556765904},
        {4.768646180349801e-4, 0.0061715935891863681, 0.05058309268679028}},
       {0, 0}},
      // A limit below the zero's substitute 1e-7: the zero still ranks below it.
      {"zero below a tiny limit",
       {0.0, 3e-9, 1e-8, 5e-8, 2e-7},
       {1e-9, 1e-9},
       -17.42065966631294,
       0.42179785579352659,
       {{1.7327714480139875e-8, 2.141068659656043e-8}},
       {2}},
      // The fitted line passes above the limit within the limit's plotting positions; no cap is applied.
      {"imputed above the limit",
       {0.9, 0.95, 1.1, 50.0, 1000.0},
       std::vector<double>(10, 1.0),
       0.34390607410976371,
       2.6402026422777206,
       {{0.030208327911139324, 0.086770410224008696, 0.18066848760202473, 0.32951446849362864, 0.56164818261071264,
         0.92400126109852641, 1.4979162538821416, 2.433260369099208, 4.0297640861928504, 6.9596828351191998}},
       {4}},
  };
  for (const Case& c : cases) {
    const core::OrderStatisticsFit fit = fit_case(c.detected, c.limits);
    ASSERT_TRUE(fit.defined) << c.name;
    EXPECT_EQ(fit.detected, c.detected.size()) << c.name;
    expect_close(fit.intercept, c.intercept, c.name + " intercept");
    expect_close(fit.slope, c.slope, c.name + " slope");
    ASSERT_EQ(fit.limits.size(), c.imputed.size()) << c.name;
    for (std::size_t j = 0; j < c.imputed.size(); ++j) {
      const core::LimitImputation& limit = fit.limits[j];
      ASSERT_EQ(limit.count, c.imputed[j].size()) << c.name;
      ASSERT_EQ(limit.log_values.size(), c.imputed[j].size()) << c.name;
      for (std::size_t r = 0; r < limit.count; ++r)
        expect_close(std::exp(limit.log_values[r]), c.imputed[j][r], c.name + " limit " + std::to_string(j + 1));
      EXPECT_EQ(limit.above_limit, c.above[j]) << c.name << " limit " << j + 1;
    }
  }
}

TEST(OrderStatisticsRegression, FewerThanTwoDifferentDetectedValuesGiveNoFit) {
  const struct {
    std::vector<double> detected;
    std::vector<double> limits;
    std::size_t distinct;
  } cases[] = {
      {{}, {0.5, 0.2, 0.5}, 0},
      {{0.7, 0.7, 0.7}, {0.5}, 1},
      {{0.0, 0.0}, {0.5, 1.0}, 1},
  };
  for (const auto& c : cases) {
    const core::OrderStatisticsFit fit = fit_case(c.detected, c.limits);
    EXPECT_FALSE(fit.defined);
    EXPECT_EQ(fit.distinct_detected, c.distinct);
    std::size_t entries = 0;
    for (const core::LimitImputation& limit : fit.limits) {
      EXPECT_TRUE(limit.log_values.empty());  // nothing is imputed without a fit
      entries += limit.count;
    }
    EXPECT_EQ(entries, c.limits.size());
  }
}

// The plotting positions reported for a plot, entry by entry in the order given, computed by hand from the
// strata: without limits r/(n+1); with two entries <1 among 0.3, 2 and 3, pe_1 = 2/5.
TEST(OrderStatisticsRegression, PlottingPositionsFollowTheEntries) {
  const struct {
    std::vector<double> values;
    std::vector<std::uint8_t> kinds;
    std::vector<double> positions;
  } cases[] = {
      {{3.0, 1.0, 2.0}, {core::detected, core::detected, core::detected}, {0.75, 0.25, 0.5}},
      {{1.0, 3.0, 0.3, 1.0, 2.0},
       {core::below_limit, core::detected, core::detected, core::below_limit, core::detected},
       {0.2, 0.6 + 0.4 * 2 / 3, 0.3, 0.4, 0.6 + 0.4 / 3}},
  };
  for (const auto& c : cases) {
    std::vector<double> logs;
    for (double v : c.values) logs.push_back(std::log(v));
    const std::vector<double> got = core::plotting_positions(logs.data(), c.kinds.data(), logs.size());
    ASSERT_EQ(got.size(), c.positions.size());
    for (std::size_t i = 0; i < got.size(); ++i) expect_close(got[i], c.positions[i], "entry " + std::to_string(i));
  }
}

}  // namespace

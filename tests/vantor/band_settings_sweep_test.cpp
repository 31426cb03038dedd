// The band computation through the core interface over settings a user could type: never a stop, never a
// number that is not a probability, the same bits on any number of threads, and an early end on request.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/analysis.h"
#include "tests/vantor/test_values.h"

namespace {

// Random settings and values of the kind that reach the program: counts of 1 to 30, limits from 0.001 to
// 1000, geometric-mean bounds anywhere from 1e-4 to 1e6 in either order, lower geometric-standard-deviation
// bounds from 1.0001, weights with some zeros, values near or far from the bounds.
struct SweepCase {
  std::vector<double> log_values;
  core::Settings settings;
};

core::Settings equal_weights(double limit, double gm1, double gm2, double gsd1, double gsd2) {
  return vantor_test::settings_for(limit, gm1, gm2, gsd1, gsd2, vantor_test::equal_weights);
}

core::BandOptions on_threads(int threads) {
  core::BandOptions options;
  options.threads = threads;
  return options;
}

double log_uniform(std::mt19937_64& random, double low, double high) {
  std::uniform_real_distribution<double> u(std::log(low), std::log(high));
  return std::exp(u(random));
}

SweepCase sweep_case(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  SweepCase c;
  core::Settings& s = c.settings;
  s.limit = log_uniform(random, 1e-3, 1e3);
  s.gm_bounds[0] = log_uniform(random, 1e-4, 1e6);
  s.gm_bounds[1] = log_uniform(random, 1e-4, 1e6);
  s.gsd_bounds[0] = 1.0 + log_uniform(random, 1e-4, 3.0);
  s.gsd_bounds[1] = s.gsd_bounds[0] * (1.0 + log_uniform(random, 1e-3, 100.0));
  for (double& w : s.band_prior) w = unit(random) < 0.3 ? 0.0 : unit(random);
  const int n = 1 + static_cast<int>(unit(random) * 30);
  const double centre = std::log(log_uniform(random, 1e-3, 1e4));
  const double spread = std::log(log_uniform(random, 1.01, 5.0));
  std::normal_distribution<double> normal(centre, spread);
  for (int i = 0; i < n; ++i) c.log_values.push_back(normal(random));
  return c;
}

TEST(BandSettingsSweep, EverySettingGivesProbabilitiesOrSaysWhyNot) {
  std::mt19937_64 random(20261209);
  int computed = 0, refused_settings = 0, refused_data = 0;
  for (int i = 0; i < 300; ++i) {
    const SweepCase c = sweep_case(random);
    const std::size_t n = c.log_values.size();
    if (core::check_settings(c.settings, n)) {
      ++refused_settings;
      continue;
    }
    const core::BandRun run = core::band_probabilities(c.log_values, c.settings);
    ASSERT_NE(run.outcome, core::BandRun::Outcome::stopped) << "case " << i << ", n = " << n;
    if (run.outcome == core::BandRun::Outcome::refused) {
      EXPECT_FALSE(core::data_refusal(c.settings, run).rule.empty());
      ++refused_data;
      continue;
    }
    ++computed;
    double sum_flat = 0.0, sum_weighted = 0.0;
    for (int k = 0; k < 5; ++k) {
      const double flat = run.probabilities.likelihood[k], weighted = run.probabilities.posterior[k];
      ASSERT_TRUE(flat >= 0.0 && flat <= 1.0 && weighted >= 0.0 && weighted <= 1.0)
          << "case " << i << ", n = " << n << ", band " << k + 1 << ": " << flat << ", " << weighted;
      sum_flat += flat;
      sum_weighted += weighted;
    }
    EXPECT_NEAR(sum_flat, 1.0, 1e-12) << "case " << i;
    EXPECT_NEAR(sum_weighted, 1.0, 1e-12) << "case " << i;
  }
  // The sweep reaches the refusals and, mostly, probabilities, so it keeps testing what it claims to.
  EXPECT_GT(computed, 200) << refused_settings << " refused settings, " << refused_data << " refused data";
  EXPECT_GT(refused_data, 0);
}

TEST(BandSettingsSweep, OneValueGivesTheSameBitsAndTextOnAnyNumberOfThreads) {
  // The first prints thousands of WARNING blocks; the second has integrals the integrator gives up on.
  for (const auto& s : {equal_weights(1.0, 0.001, 10.0, 1.01, 10.0), equal_weights(1.0, 0.001, 10.0, 1.05, 1.06)}) {
    const std::vector<double> value = {std::log(0.42)};
    const core::BandRun serial = core::band_probabilities(value, s, on_threads(1));
    ASSERT_EQ(serial.outcome, core::BandRun::Outcome::computed);
    EXPECT_GT(serial.integrals_warned + serial.integrals_unfinished, 0);
    for (int threads : {3}) {
      const core::BandRun run = core::band_probabilities(value, s, on_threads(threads));
      EXPECT_EQ(run.printed, serial.printed) << threads << " threads";
      EXPECT_EQ(run.integrals_warned, serial.integrals_warned);
      EXPECT_EQ(run.integrals_unfinished, serial.integrals_unfinished);
      EXPECT_EQ(run.masses_missed, serial.masses_missed);
      for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(run.probabilities.likelihood[k], serial.probabilities.likelihood[k]) << threads << " threads";
        EXPECT_EQ(run.probabilities.posterior[k], serial.probabilities.posterior[k]) << threads << " threads";
      }
    }
  }
}

TEST(BandSettingsSweep, AHostCanEndAOneValueRunEarly) {
  int asked = 0;
  core::BandOptions options = on_threads(2);
  options.interrupted = [&] { return ++asked > 3; };
  const core::BandRun run =
      core::band_probabilities(std::vector<double>{0.0}, equal_weights(1.0, 0.001, 10.0, 1.5, 3.0), options);
  EXPECT_EQ(run.outcome, core::BandRun::Outcome::interrupted);
  EXPECT_EQ(asked, 4);
}

}  // namespace

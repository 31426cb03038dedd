// Band posteriors computed in-process: exact grid sums, clamping, degenerate grids,
// and agreement with an independent high-precision reference.
#include "vantor/band_posterior.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "distributions/cdf.h"
#include "tests/support/reference_table.h"
#include "textio/fixed_width_writer.h"
#include "tests/vantor/test_values.h"
#include "textio/one_based.h"
#include "vantor/internal/grid_sums.h"

namespace {

using vantor::BandProbabilities;
using vantor::BandSettings;
using vantor_test::formula_values;

constexpr double reference_prior[5] = {0.1, 0.2, 0.3, 0.25, 0.15};
constexpr double equal_prior[5] = {1.0, 1.0, 1.0, 1.0, 1.0};

BandSettings settings_for(double limit, double gm1, double gm2, double gsd1, double gsd2,
                          const double (&prior)[5] = reference_prior) {
  BandSettings s;
  s.limit = limit;
  s.mu_bounds[0] = std::log(gm1);
  s.mu_bounds[1] = std::log(gm2);
  s.sigma_bounds[0] = std::log(gsd1);
  s.sigma_bounds[1] = std::log(gsd2);
  for (int k = 0; k < 5; ++k) s.band_prior[k] = prior[k];
  return s;
}

// S(j) summed one value at a time, the order every form of the grid sums must reproduce.
std::vector<double> plain_sums(const std::vector<double>& y, const std::vector<double>& mu, std::size_t count) {
  std::vector<double> s(count, 0.0);
  for (std::size_t j = 0; j < count; ++j)
    for (double v : y) s[j] = s[j] + (v - mu[j]) * (v - mu[j]);
  return s;
}

TEST(BandGrid, GridSumsEqualThePlainLoopBitForBitOnAnyNumberOfThreads) {
  const BandSettings s = settings_for(4.0, 0.3, 5.0, 1.1, 5.0);
  const double h = (s.mu_bounds[1] - s.mu_bounds[0]) / 29999;
  for (int n : {1, 2, 3, 4, 5, 7, 8, 31, 130, 1001}) {
    const std::vector<double> y = formula_values(n);
    std::vector<double> mu, reference;
    for (int workers : {1, 2, 3, 7}) {  // the grid is not a whole number of chunks
      std::vector<double> sums;
      vantor::grid_sums(s, y, mu, sums, workers);
      ASSERT_EQ(sums.size(), 30000u);
      if (reference.empty()) {
        for (int j = 1; j <= 30000; ++j) ASSERT_EQ(mu[j - 1], (j - 1) * h + s.mu_bounds[0]);
        reference = plain_sums(y, mu, mu.size());
      }
      for (int j = 0; j < 30000; ++j)
        ASSERT_EQ(sums[j], reference[j]) << "n = " << n << ", j = " << j << ", " << workers;
    }
    // Both kernels, on a stretch that leaves a partial group of lanes.
    for (auto kernel : {vantor::add_squares_plain, vantor::add_squares_vector}) {
      std::vector<double> sums(1003, 0.0);
      kernel(y.data(), y.size(), mu.data(), sums.data(), sums.size());
      const std::vector<double> expected = plain_sums(y, mu, sums.size());
      for (std::size_t j = 0; j < sums.size(); ++j) ASSERT_EQ(sums[j], expected[j]) << "n = " << n << ", j = " << j;
    }
  }
}

TEST(BandGrid, BreakpointsAreClampedIntoTheSigmaRange) {
  // At mu = 0, R = exp(mu + z sigma)/limit spans about 0.154 .. 0.312: only the
  // 0.1 .. 0.5 band keeps a width; the fractions outside collapse onto its ends.
  BandSettings s = settings_for(10.0, 1.0, 1.0, 1.3, 2.0);
  vantor::Breakpoints storage;
  const double r = 0.5;
  vantor::band_breakpoints(vantor::breakpoint_basis(s), 0.0, r, storage);
  const auto t = textio::one_based(storage);
  EXPECT_EQ(t(1), t(2));
  EXPECT_EQ(t(2), t(3));
  EXPECT_LT(t(3), t(4));
  EXPECT_EQ(t(4), t(5));
  EXPECT_EQ(t(5), t(6));
  const double sigma_low = std::log(1.3), sigma_high = std::log(2.0);
  EXPECT_NEAR(t(6), 1.0 / (sigma_low * sigma_low) / r, 1e-12);
  EXPECT_NEAR(t(1), 1.0 / (sigma_high * sigma_high) / r, 1e-12);
}

TEST(BandGrid, DescendingSigmaBoundsFollowTheThreeStagesLiterally) {
  // q(1) = 0.3 > q(6) = 0.02: stage three first lifts 0.01 and 0.1 to q(1), then
  // moves every breakpoint above q(6), q(1) included, down to q(6).
  BandSettings s = settings_for(1.0, 1.0, 1.0, 1.0, 1.0);
  s.sigma_bounds[0] = std::log(0.3) / vantor::z95;
  s.sigma_bounds[1] = std::log(0.02) / vantor::z95;
  vantor::Breakpoints t;
  vantor::band_breakpoints(vantor::breakpoint_basis(s), 0.0, 1.0, t);
  for (double v : t) EXPECT_EQ(v, t[0]);
}

TEST(BandPosterior, EqualMuBoundsGiveTheResultOfOneGridPoint) {
  const std::vector<double> y = {0.1, 0.5, 0.9};
  const BandSettings s = settings_for(5.0, 1.7, 1.7, 1.2, 8.0);
  const BandProbabilities all = vantor::band_posterior_many(s, y).probabilities;
  std::vector<double> mu, sums;
  vantor::grid_sums(s, y, mu, sums);
  vantor::Breakpoints t;
  double mass[5] = {}, total = 0.0;
  vantor::band_breakpoints(vantor::breakpoint_basis(s), mu[0], 2.0 / sums[0], t);
  for (int i = 0; i < 5; ++i) {  // the interval [t(i+1), t(i+2)] is band 5 - i
    double lo = 0.0, hi = 0.0, ccum = 0.0;
    distributions::cdf_gamma(t[i], 1.0, lo, ccum);
    distributions::cdf_gamma(t[i + 1], 1.0, hi, ccum);
    mass[4 - i] = hi - lo;
  }
  for (double m : mass) total += m;
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(all.likelihood[k], mass[k] / total, 1e-12) << k + 1;
}

// The printed probability, as the result file shows it.
double printed(double v) { return std::stod(textio::fixed_field(v, 11, 7)); }

struct ReferenceCase {
  const char* name;
  std::vector<double> values;
  BandSettings settings;
};

// The reference probabilities by case name: L(1..5), then W(1..5).
std::map<std::string, std::vector<double>> load_reference() {
  std::map<std::string, std::vector<double>> table;
  for (auto& row : test_support::read_reference_table(REFERENCE_DIR "/band_reference.txt", true))
    table[row.name] = std::move(row.values);
  return table;
}

void expect_matches_reference(const ReferenceCase& c, const std::vector<double>& ref) {
  const vantor::BandRun run = c.values.size() == 1 ? vantor::band_posterior_one(c.settings, c.values)
                                                   : vantor::band_posterior_many(c.settings, c.values);
  ASSERT_EQ(run.outcome, vantor::BandRun::Outcome::computed) << c.name;
  const BandProbabilities& got = run.probabilities;
  ASSERT_EQ(ref.size(), 10u) << c.name;
  double sum_l = 0.0, sum_w = 0.0;
  for (int k = 0; k < 5; ++k) {
    ASSERT_TRUE(std::isfinite(got.likelihood[k]) && std::isfinite(got.posterior[k])) << c.name;
    EXPECT_NEAR(printed(got.likelihood[k]), ref[k], 2e-7) << c.name << " L" << k + 1;
    EXPECT_NEAR(printed(got.posterior[k]), ref[5 + k], 2e-7) << c.name << " W" << k + 1;
    sum_l += got.likelihood[k];
    sum_w += got.posterior[k];
  }
  EXPECT_NEAR(sum_l, 1.0, 1e-14) << c.name;
  EXPECT_NEAR(sum_w, 1.0, 1e-14) << c.name;
}

TEST(BandPosterior, AgreesWithTheHighPrecisionReference) {
  const auto reference = load_reference();
  const ReferenceCase cases[] = {
      {"one", {0.3}, settings_for(5.0, 0.5, 20.0, 1.2, 8.0)},
      {"two", {0.1, 0.9}, settings_for(10.0, 0.2, 30.0, 1.05, 12.0)},
      {"six", {-0.5, 0.2, 0.4, 1.1, 0.8, 0.05}, settings_for(3.0, 0.1, 10.0, 1.1, 6.0)},
      {"thirty", formula_values(30), settings_for(4.0, 0.3, 5.0, 1.1, 5.0)},
      // One value 0.42: integrals the integrator gives up on, masses it misses, results it cannot bring
      // within its tolerance, and a grid with a single point of mass.
      {"gsd_1.05_1.06", {std::log(0.42)}, settings_for(1.0, 0.001, 10.0, 1.05, 1.06, equal_prior)},
      {"gsd_1.005_10", {std::log(0.42)}, settings_for(1.0, 0.001, 10.0, 1.005, 10.0, equal_prior)},
      {"gsd_1.002_10", {std::log(0.42)}, settings_for(1.0, 0.001, 10.0, 1.002, 10.0, equal_prior)},
      {"gsd_1.0000001_1.0001", {std::log(0.42)}, settings_for(1.0, 0.001, 10.0, 1.0000001, 1.0001, equal_prior)},
      // Every value equal to the first grid value: S = 0 there, whose masses are their limit.
      {"s_zero_one", {0.0}, settings_for(5.0, 1.0, 2.0, 1.05, 2.0, equal_prior)},
      {"s_zero_two", {0.0, 0.0}, settings_for(5.0, 1.0, 2.0, 1.05, 2.0, equal_prior)},
  };
  for (const ReferenceCase& c : cases) {
    ASSERT_TRUE(reference.count(c.name)) << c.name;
    expect_matches_reference(c, reference.at(c.name));
  }
}

TEST(BandPosterior, ManyValuesStayFiniteWhereThePlainFactorUnderflows) {
  const auto reference = load_reference();
  for (int n : {400, 5000, 100000}) {
    const std::string name = "n" + std::to_string(n);
    ASSERT_TRUE(reference.count(name)) << name;
    expect_matches_reference({name.c_str(), formula_values(n), settings_for(4.0, 0.3, 5.0, 1.1, 5.0)},
                             reference.at(name));
  }
}

}  // namespace

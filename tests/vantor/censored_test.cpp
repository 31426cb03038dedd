// Results below detection limits and the estimates: the quadrature path against the exact one, the same bits on
// any number of threads, and vantor's files, notes and warnings end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "tests/support/program_runner.h"
#include "tests/support/reference_table.h"
#include "tests/vantor/test_values.h"
#include "vantor/band_posterior.h"
#include "vantor/censored_values.h"
#include "distributions/cdf.h"
#include "distributions/log_scale.h"
#include "vantor/estimates.h"
#include "vantor/internal/gamma_table.h"
#include "vantor/internal/posterior_grid.h"

namespace {

using test_support::crlf_lines;
using test_support::read_file;
using test_support::run_program;
using test_support::ScratchDir;
using test_support::write_file;
using vantor_test::formula_values;
using vantor_test::settings_for;

// The quadrature that values below a limit need, run on detected values only, against the exact computation:
// a strong check of both.
TEST(CensoredBands, QuadratureAgreesWithTheExactComputationOnDetectedValues) {
  struct Case {
    std::vector<double> values;
    core::Settings settings;
  };
  const Case cases[] = {
      {{0.3}, settings_for(5.0, 0.5, 20.0, 1.2, 8.0)},
      {{0.1, 0.9}, settings_for(10.0, 0.2, 30.0, 1.05, 12.0)},
      {{-0.5, 0.2, 0.4, 1.1, 0.8, 0.05}, settings_for(3.0, 0.1, 10.0, 1.1, 6.0)},
      {formula_values(30), settings_for(4.0, 0.3, 5.0, 1.1, 5.0)},
      {formula_values(400), settings_for(4.0, 0.3, 5.0, 1.1, 5.0)},
      {{0.0, 0.0}, settings_for(5.0, 1.0, 2.0, 1.05, 2.0)},  // S = 0 at the first grid point
  };
  for (const Case& c : cases) {
    const core::BandRun exact = core::band_probabilities(c.values, c.settings);
    const vantor::BandRun quadrature =
        vantor::band_posterior_censored(vantor::band_settings(c.settings), vantor::group_entries(c.values, {}));
    ASSERT_EQ(exact.outcome, core::BandRun::Outcome::computed);
    ASSERT_EQ(quadrature.outcome, core::BandRun::Outcome::computed);
    EXPECT_EQ(quadrature.panels_unconverged, 0);
    for (int k = 0; k < 5; ++k) {
      EXPECT_NEAR(quadrature.probabilities.likelihood[k], exact.probabilities.likelihood[k], 2e-7)
          << "n = " << c.values.size() << ", band " << k + 1;
      EXPECT_NEAR(quadrature.probabilities.posterior[k], exact.probabilities.posterior[k], 2e-7)
          << "n = " << c.values.size() << ", band " << k + 1;
    }
  }
}

// A data set of the high-precision reference (make_censored_reference.py): log values, which of them are ln of a
// detection limit, and the settings.
struct ReferenceCase {
  const char* name;
  std::vector<double> values;
  std::vector<std::uint8_t> below;
  core::Settings settings;
};

// formula_values(30) with every third entry replaced by one of three limits.
ReferenceCase thirty_with_limits() {
  ReferenceCase c{"c30_10", formula_values(30), std::vector<std::uint8_t>(30, 0),
                  settings_for(4.0, 0.3, 5.0, 1.1, 5.0)};
  for (int i = 3; i <= 30; i += 3) {
    const double limits[3] = {-0.9, -0.5, -0.2};
    c.values[i - 1] = limits[(i / 3) % 3];
    c.below[i - 1] = 1;
  }
  return c;
}

const std::vector<ReferenceCase>& reference_cases() {
  static const std::vector<ReferenceCase> cases = {
      {"c6_2", {-0.5, 0.2, -0.2, 1.1, 0.8, 0.1}, {0, 0, 1, 0, 0, 1}, settings_for(3.0, 0.1, 10.0, 1.1, 6.0)},
      thirty_with_limits(),
      {"all_below", {-1.0, -1.0, -2.0, -1.0, -3.0}, {1, 1, 1, 1, 1}, settings_for(0.5, 0.001, 10.0, 1.5, 8.0)},
      {"one_detected", {-1.2, -2.0, -2.0}, {0, 1, 1}, settings_for(0.5, 0.001, 10.0, 1.5, 8.0)},
      // Every detected value equals the grid value 0, sigma may reach 0 and a limit lies just below: a finite mass
      // whose likelihood peaks near sigma = 0.001.
      {"near_infinite", {0.0, 0.0, 0.0, -0.001}, {0, 0, 0, 1}, settings_for(5.0, 1.0, 2.0, 1.0, 2.0)},
      {"six", {-0.5, 0.2, 0.4, 1.1, 0.8, 0.05}, {}, settings_for(3.0, 0.1, 10.0, 1.1, 6.0)},
      {"one", {0.3}, {}, settings_for(5.0, 0.5, 20.0, 1.2, 8.0)},
  };
  return cases;
}

// The reference rows by name: "case" holds L(1..5), W(1..5); "case.quantity" the five percentiles.
const std::map<std::string, std::vector<double>>& censored_reference() {
  static const std::map<std::string, std::vector<double>> table = [] {
    std::map<std::string, std::vector<double>> rows;
    for (auto& row : test_support::read_reference_table(REFERENCE_DIR "/censored_reference.txt", true))
      rows[row.name] = std::move(row.values);
    return rows;
  }();
  return table;
}

TEST(CensoredBands, AgreeWithTheHighPrecisionReference) {
  const auto& reference = censored_reference();
  for (const ReferenceCase& c : reference_cases()) {
    if (c.below.empty()) continue;  // the exact computation's own reference covers these
    ASSERT_TRUE(reference.count(c.name)) << c.name;
    const std::vector<double>& ref = reference.at(c.name);
    const core::BandRun run = core::band_probabilities(c.values, c.below, c.settings);
    ASSERT_EQ(run.outcome, core::BandRun::Outcome::computed) << c.name;
    EXPECT_EQ(run.panels_unconverged, 0) << c.name;
    for (int k = 0; k < 5; ++k) {
      EXPECT_NEAR(run.probabilities.likelihood[k], ref[k], 2e-7) << c.name << " L" << k + 1;
      EXPECT_NEAR(run.probabilities.posterior[k], ref[5 + k], 2e-7) << c.name << " W" << k + 1;
    }
  }
}

// Every percentile within 1e-3 of the reference, by the path vantor takes and, for detected values only, also from
// the quadrature's profiles, which serve where the closed form would lose digits.
TEST(Estimates, AgreeWithTheHighPrecisionReference) {
  const auto& reference = censored_reference();
  int compared = 0;
  for (const ReferenceCase& c : reference_cases()) {
    if (!reference.count(std::string(c.name) + ".geometric_mean")) continue;
    std::vector<std::pair<const char*, vantor::Estimates>> paths;
    const core::BandAnalysis analysis = core::band_analysis(c.values, c.below, c.settings, true);
    ASSERT_TRUE(analysis.estimates_computed) << c.name;
    paths.emplace_back("as vantor computes them", analysis.estimates);
    if (c.below.empty()) {
      const vantor::BandSettings band = vantor::band_settings(c.settings);
      vantor::PosteriorGrid grid;
      const vantor::BandRun run = vantor::band_posterior_censored(band, vantor::group_entries(c.values, {}), {}, &grid);
      ASSERT_EQ(run.outcome, vantor::BandRun::Outcome::computed) << c.name;
      paths.emplace_back("from the quadrature's profiles", vantor::posterior_estimates(band, grid));
    }
    for (const auto& [path, estimates] : paths) {
      for (int q = 0; q < vantor::quantity_count; ++q) {
        const std::string row = std::string(c.name) + "." + vantor::quantity_names[q];
        ASSERT_TRUE(reference.count(row)) << row;
        for (int p = 0; p < vantor::percentile_count; ++p) {
          const double expected = reference.at(row)[p];
          EXPECT_NEAR(estimates.value[q][p], expected, 1e-3 * std::fabs(expected) + 1e-9)
              << row << " " << vantor::percentile_names[p] << ", " << path;
        }
      }
      ++compared;
    }
  }
  EXPECT_EQ(compared, 5);
}

// The closed form's table of ln P and ln Q against the direct computation (its logarithm where P or Q leaves the
// doubles) between the nodes, for shapes from that of two values to the largest tabled, far into both tails; its
// slope against the gamma density (within 1e-8 of the slope of ln V + t, and 1e-13); the same nodes on any number of
// threads.
TEST(Estimates, GammaTableKeepsItsStatedError) {
  for (const double a : {0.5, 1.0, 2.5, 14.5, 149.5, 4999.5}) {
    const double log_gamma_a = distributions::log_gamma_fn(a);
    for (const bool upper : {false, true}) {
      const double s_lo = std::log(a) - std::min(30.0, 300.0 / std::sqrt(a)), s_hi = upper ? std::log(a + 40.0 * std::sqrt(a) + 800.0) : std::log(a);
      const vantor::GammaTable table = vantor::gamma_table(a, upper, s_lo, s_hi, 2);
      ASSERT_TRUE(table.covers(s_lo) && table.covers(s_hi)) << a;
      EXPECT_EQ(vantor::gamma_table(a, upper, s_lo, s_hi, 1).polynomials, table.polynomials) << a;
      for (int i = 0; i <= 4000; ++i) {
        const double s = s_lo + (s_hi - s_lo) * (i + 0.37) / 4001.0, t = std::exp(s);
        double slope = 0.0, p = 0.0, q = 0.0;
        const double log_v = vantor::gamma_table_value(table, s, slope) - t;
        distributions::cdf_gamma(t, a, p, q);
        const double v = upper ? q : p;
        const double log_density = a * s - t - log_gamma_a;  // ln of t times the gamma density
        if (v >= 1e-290) {
          EXPECT_NEAR(std::exp(log_v), v, vantor::gamma_table_error(t) * v) << a << " " << upper << " " << t;
        } else {
          const double exact = (upper ? distributions::log_gamma_integral(a, t, INFINITY)
                                      : distributions::log_gamma_integral(a, 0.0, t)) -
                               log_gamma_a;
          // Both logarithms rest on the integral's, good to a few units of 2^-52 times its log terms.
          EXPECT_NEAR(log_v, exact, vantor::gamma_table_error(t) + 1e-15 * (a * std::fabs(s) + t))
              << a << " " << upper << " " << t;
        }
        const double log_slope = std::exp(log_density - log_v);  // |d ln V / ds|
        EXPECT_NEAR(std::fabs(slope - t), log_slope, 1e-8 * (log_slope + t) + 1e-13)
            << a << " " << upper << " " << t;
      }
    }
  }
}

TEST(CensoredBands, ProbabilitiesAndEstimatesAreTheSameBitsOnAnyNumberOfThreads) {
  const core::Settings s = settings_for(3.0, 0.1, 10.0, 1.1, 6.0);
  const struct {
    std::vector<double> values;
    std::vector<std::uint8_t> below;
  } cases[] = {
      {{-0.5, 0.2, std::log(0.3), 1.1, 0.8, std::log(0.5), 0.05, std::log(0.3)}, {0, 0, 1, 0, 0, 1, 0, 1}},
      {formula_values(30), {}},  // the closed form of the estimates
      {{0.4}, {}},
  };
  for (const auto& c : cases) {
    core::BandOptions one, three;
    one.threads = 1;
    three.threads = 3;
    const core::BandAnalysis serial = core::band_analysis(c.values, c.below, s, true, one);
    const core::BandAnalysis parallel = core::band_analysis(c.values, c.below, s, true, three);
    ASSERT_TRUE(serial.estimates_computed && parallel.estimates_computed);
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(serial.run.probabilities.likelihood[k], parallel.run.probabilities.likelihood[k]);
      EXPECT_EQ(serial.run.probabilities.posterior[k], parallel.run.probabilities.posterior[k]);
    }
    EXPECT_EQ(core::estimates_file_lines(serial.estimates), core::estimates_file_lines(parallel.estimates))
        << c.values.size();
  }
}

TEST(CensoredBands, InfiniteMassIsRefusedOnlyWithoutALimitBelowMu) {
  const core::Settings s = settings_for(5.0, 1.0, 2.0, 1.0, 2.0);  // sigma = 0 admitted; mu = 0 is a grid value
  const std::vector<double> values = {0.0, 0.0, std::log(3.0)};
  EXPECT_EQ(core::band_probabilities(values, std::vector<std::uint8_t>{0, 0, 1}, s).refusal,
            vantor::DataRefusal::infinite_mass);
  // A limit below mu = 0 keeps every mass finite, and so does a table of limits only.
  const std::vector<double> with_low = {0.0, 0.0, std::log(0.5)};
  EXPECT_EQ(core::band_probabilities(with_low, std::vector<std::uint8_t>{0, 0, 1}, s).outcome,
            core::BandRun::Outcome::computed);
  EXPECT_EQ(core::band_probabilities(values, std::vector<std::uint8_t>{1, 1, 1}, s).outcome,
            core::BandRun::Outcome::computed);
}

struct VantorRun {
  ScratchDir dir;
  test_support::RunResult result;
  VantorRun(const std::string& logy, const std::string& in_bayes, const std::vector<std::string>& args,
            const char* old_estimates = nullptr) {
    write_file(dir.path + "/logy.txt", logy);
    write_file(dir.path + "/in_bayes.txt", in_bayes);
    if (old_estimates) write_file(dir.path + "/out_estimates.txt", old_estimates);
    result = run_program(VANTOR_BIN, dir.path, args);
  }
  std::string file(const char* name) const { return read_file(dir.path + "/" + name); }
  bool has(const char* name) const { return test_support::file_exists(dir.path + "/" + name); }
};

TEST(CensoredVantor, MarkersNotesAndWarningsEndToEnd) {
  const std::string settings = "0.5\n0.001 10\n1.1 8\n1 1 1 1 1\n";
  // Two of six below limits: the -9 markers and why, no warning.
  VantorRun censored("6\n-1.6\n<-2.99573227355399\n-2.4\n-1.9\n<-2.30258509299405\n-2.1\n", settings, {});
  ASSERT_EQ(censored.result.exit_status, 0) << censored.result.err;
  EXPECT_EQ(censored.file("out_pvalue.txt"), crlf_lines({"    -9.000", "    -9.000"}));
  EXPECT_EQ(censored.result.err,
            "vantor: note: out_pvalue.txt holds the -9 markers: the chi-square test of normality is not defined when "
            "results lie below a detection limit (2 of 6 here)\n");
  EXPECT_FALSE(censored.has("out_estimates.txt"));

  const struct {
    std::string logy, in_bayes, err;
  } warnings[] = {
      {"3\n5.3\n5.4\n5.5\n", "0.5\n0.001 10\n1.2 8\n1 1 1 1 1\n",
       "vantor: warning: the values' geometric mean 221.4 lies above the geometric-mean bounds 0.001 to 10; the "
       "probabilities are shaped by that bound (check that the values, the limit and the bounds use the same units, or "
       "widen the bounds in in_bayes.txt)\n"
       "vantor: warning: the values' geometric standard deviation 1.105 lies below the geometric-standard-deviation "
       "bounds 1.2 to 8; the probabilities are shaped by that bound (widen the bounds in in_bayes.txt)\n"},
      {"5\n<-1\n<-1\n<-2\n<-1\n<-3\n", "0.5\n10 0.001\n1.5 8\n1 1 1 1 1\n",
       "vantor: note: out_pvalue.txt holds the -9 markers: the chi-square test of normality is not defined when "
       "results lie below a detection limit (5 of 5 here)\n"
       "vantor: warning: only 0 of 5 results are above a detection limit; the probabilities and estimates are set "
       "mainly by the GM and GSD bounds\n"},
      {"3\n-1.2\n<-2\n<-2\n", "0.5\n0.001 10\n1.5 8\n1 1 1 1 1\n",
       "vantor: note: out_pvalue.txt holds the -9 markers: the chi-square test of normality is not defined when "
       "results lie below a detection limit (2 of 3 here)\n"
       "vantor: warning: only 1 of 3 results is above a detection limit; the probabilities and estimates are set "
       "mainly by the GM and GSD bounds\n"},
  };
  for (const auto& c : warnings) {
    VantorRun run(c.logy, c.in_bayes, {});
    EXPECT_EQ(run.result.exit_status, 0) << c.logy;
    EXPECT_EQ(run.result.err, c.err) << c.logy;
  }
}

TEST(CensoredVantor, EstimatesFileOnlyWithTheOptionAndOnlyFromComputedBands) {
  const std::string settings = "0.5\n0.001 10\n1.1 8\n1 1 1 1 1\n";
  VantorRun none("0\n", settings, {"--estimates"}, "old");
  ASSERT_EQ(none.result.exit_status, 0);
  const std::string minus = ",-1,-1,-1,-1,-1";
  EXPECT_EQ(none.file("out_estimates.txt"),
            crlf_lines({"quantity,q2.5,q50,q70,q95,q97.5", "geometric_mean" + minus, "geometric_sd" + minus,
                        "percentile_95" + minus, "arithmetic_mean" + minus, "exceedance_percent" + minus}));

  VantorRun plain("3\n-1.6\n-2.4\n-1.9\n", settings, {}, "old");
  EXPECT_EQ(plain.file("out_estimates.txt"), "old");
  VantorRun refused("3\n-2.1\n-2.5\n-1.9\n", "0.001\n0.001 10\n1.2 10\n1 0 0 0 0\n", {"--estimates"}, "old");
  EXPECT_EQ(refused.result.exit_status, 2);
  EXPECT_EQ(refused.file("out_estimates.txt"), "old");

  VantorRun with("4\n-1.6\n<-2.3\n-2.4\n-1.9\n", settings, {"--estimates"});
  ASSERT_EQ(with.result.exit_status, 0) << with.result.err;
  const std::string text = with.file("out_estimates.txt");
  ASSERT_EQ(text.substr(0, 33), "quantity,q2.5,q50,q70,q95,q97.5\r\n");
  // Each row ascends, and q50 of percentile_95 lies above q50 of the geometric mean.
  std::vector<std::vector<double>> rows;
  for (std::size_t at = 33; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end - at);
    std::vector<double> row;
    for (std::size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', comma + 1))
      row.push_back(std::stod(line.substr(comma + 1)));
    rows.push_back(row);
    at = end + 2;
  }
  ASSERT_EQ(rows.size(), 5u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 5u);
    for (int q = 1; q < 5; ++q) EXPECT_LE(row[q - 1], row[q]);
  }
  EXPECT_GT(rows[2][1], rows[0][1]);
}

}  // namespace

// vantor run as a program: result files byte for byte, the order of its steps, and every refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/program_runner.h"

namespace {

using test_support::crlf_lines;
using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::ScratchDir;
using test_support::write_file;

const std::string settings = "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n";

// The warning every one-value run gives.
const std::string single_value_warning =
    "vantor: warning: there is a single value, too few to show a spread; the probabilities and estimates are set "
    "mainly by the GM and GSD bounds\n";

// Standard error without the lines that warn of the prior bounds.
std::string without_warnings(const std::string& err) {
  std::string kept;
  for (std::size_t at = 0; at < err.size();) {
    const std::size_t end = std::min(err.find('\n', at), err.size() - 1) + 1;
    if (err.compare(at, 17, "vantor: warning: ") != 0) kept += err.substr(at, end - at);
    at = end;
  }
  return kept;
}

struct VantorRun {
  ScratchDir dir;
  test_support::RunResult result;
  std::string pvalue;
  std::string bayes;

  // logy nullptr: no file.
  VantorRun(const char* logy, const std::string& in_bayes, bool keep_old_results = false) {
    if (logy) write_file(dir.path + "/logy.txt", logy);
    if (!in_bayes.empty()) write_file(dir.path + "/in_bayes.txt", in_bayes);
    if (keep_old_results) {
      write_file(dir.path + "/out_pvalue.txt", "old p-value");
      write_file(dir.path + "/out_bayes.txt", "old bayes");
    }
    result = run_program(VANTOR_BIN, dir.path);
    pvalue = read_file(dir.path + "/out_pvalue.txt");
    bayes = read_file(dir.path + "/out_bayes.txt");
  }
};

// Column `column` (0 prior, 1 likelihood, 2 posterior) of band line `band` (1-based).
double band_field(const std::string& bayes, int band, int column) {
  return std::stod(bayes.substr((band - 1) * 37 + column * 12, 11));
}

TEST(Vantor, NoValuesGiveMinusOneMarkersWithoutReadingTheSettings) {
  VantorRun run("0\n", "");
  ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
  EXPECT_EQ(run.result.out + run.result.err, "");
  EXPECT_EQ(run.pvalue, crlf_lines({"    -1.000", "    -1.000"}));
  const std::string line = " -1.0000000, -1.0000000, -1.0000000";
  EXPECT_EQ(run.bayes, crlf_lines({line, line, line, line, line}));
  EXPECT_FALSE(file_exists(run.dir.path + "/in_bayes.txt"));
}

TEST(Vantor, OneValueGivesTestMarkersAndIntegratedBands) {
  VantorRun run("1\n0.3\n", settings);
  ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
  EXPECT_EQ(run.result.out + run.result.err, single_value_warning);
  EXPECT_EQ(run.pvalue, crlf_lines({"    -9.000", "    -9.000"}));
  ASSERT_EQ(run.bayes.size(), 5u * 37);
  double sum = 0.0;
  for (int k = 1; k <= 5; ++k) sum += band_field(run.bayes, k, 1);
  EXPECT_NEAR(sum, 1.0, 3e-7);
  EXPECT_EQ(run.bayes.substr(0, 37), "  0.1000000,  0.0000000,  0.0000000\r\n");
}

TEST(Vantor, TwoValuesGiveStatisticOneAndPValueZero) {
  VantorRun run("2\n0.1\n0.9\n", settings);
  ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
  EXPECT_EQ(run.pvalue, crlf_lines({"     1.000", "     0.000"}));
}

TEST(Vantor, ReadsOnlyTheFirstNumberOfEachValueLineAndSettingsOverManyLines) {
  VantorRun plain("3\n0.1\n0.5\n0.9\n", settings);
  VantorRun awkward("3 1.0 2.0\n\n0.1 7.0\n0.5,8\r\n0.9\n",
                    "5.0\n0.5\n20.0\n1.2\n8.0 extra\n0.1\n0.2 0.3\n0.25\n0.15\n");
  ASSERT_EQ(awkward.result.exit_status, 0) << awkward.result.err;
  EXPECT_EQ(awkward.pvalue, plain.pvalue);
  EXPECT_EQ(awkward.bayes, plain.bayes);
}

TEST(Vantor, LimitsBeyondEveryBandPutAllMassInTheOuterBand) {
  for (const char* logy : {"1\n0.3\n", "4\n0.1\n0.3\n0.2\n0.6\n"}) {
    VantorRun tiny(logy, "1e-6\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
    ASSERT_EQ(tiny.result.exit_status, 0) << tiny.result.err;
    EXPECT_EQ(tiny.bayes, crlf_lines({"  0.1000000,  0.0000000,  0.0000000", "  0.2000000,  0.0000000,  0.0000000",
                                      "  0.3000000,  0.0000000,  0.0000000", "  0.2500000,  0.0000000,  0.0000000",
                                      "  0.1500000,  1.0000000,  1.0000000"}));
    VantorRun huge(logy, "1e9\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
    ASSERT_EQ(huge.result.exit_status, 0) << huge.result.err;
    EXPECT_EQ(huge.bayes, crlf_lines({"  0.1000000,  1.0000000,  1.0000000", "  0.2000000,  0.0000000,  0.0000000",
                                      "  0.3000000,  0.0000000,  0.0000000", "  0.2500000,  0.0000000,  0.0000000",
                                      "  0.1500000,  0.0000000,  0.0000000"}));
  }
}

TEST(Vantor, AZeroWeightZeroesItsWeightedBandOnly) {
  VantorRun run("3\n0.1\n0.5\n0.9\n", "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.0 0.15\n");
  ASSERT_EQ(run.result.exit_status, 0);
  EXPECT_GT(band_field(run.bayes, 4, 1), 0.01);
  EXPECT_EQ(run.bayes.substr(4 * 37 - 37, 37).substr(24), "  0.0000000\r\n");
}

struct SettingsCase {
  const char* logy;
  const char* in_bayes;
  const char* diagnostic;  // empty: the settings are accepted
};

// Settings whose probabilities would be negative, NaN or meaningless are refused
// after the p-value is written and before the bands are computed; the borderline
// ones that do give meaningful probabilities are still accepted.
TEST(Vantor, SettingsWithoutMeaningfulProbabilitiesAreRefused) {
  const char* three = "3\n-2.1\n-2.5\n-1.9\n";
  const std::string prefix = "vantor: invalid setting ";
  const SettingsCase cases[] = {
      {three, "0.5\n0.001 10\n0.5 10\n1 1 1 1 1\n",
       "gsd_bounds(1) = 0.5 in file in_bayes.txt, unit 140, line 3: a geometric standard deviation is at least 1"},
      {three, "0.5\n0.001 10\n10 1.05\n1 1 1 1 1\n",
       "gsd_bounds = 10, 1.05 in file in_bayes.txt, unit 140, line 3: the bounds must be strictly ascending"},
      {three, "0.5\n0.001 10\n2 2\n1 1 1 1 1\n",
       "gsd_bounds = 2, 2 in file in_bayes.txt, unit 140, line 3: the bounds must be strictly ascending"},
      {three, "0.5\n0.001 10\n10\n1.05\n1 1 1 1 1\n",
       "gsd_bounds = 10, 1.05 in file in_bayes.txt, unit 140, lines 3-4: the bounds must be strictly ascending"},
      {three, "0.5\n0.001 10\n1.2 10\n1 1 -1 1 1\n",
       "band_prior(3) = -1 in file in_bayes.txt, unit 140, line 4: a band weight must not be negative"},
      {three, "0.5\n0.001 10\n1.2 10\n0 0 0 0 0\n",
       "band_prior = 0, 0, 0, 0, 0 in file in_bayes.txt, unit 140, line 4: at least one band weight must be positive"},
      {"1\n-2.1\n", "0.5\n0.001 10\n1 10\n1 1 1 1 1\n",
       "gsd_bounds(1) = 1 in file in_bayes.txt, unit 140, line 3: with a single value the lower bound must be above "
       "1 (a bound of 1 is sigma = 0, where a band reaches to infinity, which the integration cannot take)"},
      // The 95th percentile relative to the limit beyond double range at an end of the grid.
      {"1\n0.3\n", "5\n0.5 20.0\n1.2 1e300\n1 1 1 1 1\n",
       "gsd_bounds(2) = 1e+300 in file in_bayes.txt, unit 140, line 3: at the geometric mean 0.5 and the geometric "
       "standard deviation 1e+300 the 95th percentile relative to the limit lies outside the range of double precision "
       "(about 1e-308 to 1e308); use bounds and a limit that keep it within"},
      {three, "1e-320\n0.001 10\n1.2 10\n1 1 1 1 1\n",
       "limit = 1e-320 in file in_bayes.txt, unit 140, line 1: at the geometric mean 0.001 and the geometric standard "
       "deviation 1.2 the 95th percentile relative to the limit lies outside the range of double precision (about "
       "1e-308 to 1e308); use bounds and a limit that keep it within"},
      // Refused once the data are seen: all probability in band 5, which has no weight; every value at a grid
      // value where sigma = 0 is allowed.
      {three, "0.001\n0.001 10\n1.2 10\n1 0 0 0 0\n",
       "band_prior = 1, 0, 0, 0, 0 in file in_bayes.txt, unit 140, line 4: the weights are 0 on every band that holds "
       "probability (band 5), so the weighted probabilities cannot be formed; give weight to the bands that hold the "
       "probability"},
      {"2\n0\n0\n", "5\n1 2\n1 2\n1 1 1 1 1\n",
       "gsd_bounds(1) = 1 in file in_bayes.txt, unit 140, line 3: every value equals the geometric mean 1 of a grid "
       "point, where a lower bound of 1 (sigma = 0) makes the probability of a band infinite; raise the lower bound "
       "above 1"},
      {"2\n0\n0\n", "5\n1 2\n1.05 2\n1 1 1 1 1\n", ""},
      {three, "0.5\n10 0.001\n1 10\n0 0 0 0 1\n", ""},
      {three, "0.5\n2 2\n1.2 10\n1 1 1 1 1\n", ""},
      {"1\n-2.1\n", "0.5\n0.001 10\n1.2 10\n1 0 1 0 1\n", ""},
  };
  for (const SettingsCase& c : cases) {
    VantorRun run(c.logy, c.in_bayes, true);
    EXPECT_NE(run.pvalue, "old p-value") << c.in_bayes;
    if (*c.diagnostic == '\0') {
      EXPECT_EQ(run.result.exit_status, 0) << c.in_bayes << run.result.err;
      EXPECT_EQ(run.result.out + without_warnings(run.result.err), "");
      EXPECT_EQ(run.bayes.size(), 5u * 37) << c.in_bayes;
      EXPECT_EQ(run.bayes.find("NaN"), std::string::npos) << run.bayes;
    } else {
      EXPECT_EQ(run.result.exit_status, 2) << c.in_bayes;
      EXPECT_EQ(run.result.out, "");
      EXPECT_EQ(run.result.err, prefix + c.diagnostic + "\n");
      EXPECT_EQ(run.bayes, "old bayes");
    }
  }
}

TEST(Vantor, WholePipelineFromAMeasurementTable) {
  ScratchDir dir;
  write_file(dir.path + "/y.txt", "2\n3\n1.1 2.0\n0.9 2.4\n1.4 -1\n");
  write_file(dir.path + "/in_bayes.txt", settings);
  ASSERT_EQ(run_program(CARDEL_BIN, dir.path).exit_status, 0);
  auto result = run_program(VANTOR_BIN, dir.path);
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(read_file(dir.path + "/out_pvalue.txt").size(), 24u);
  const std::string bayes = read_file(dir.path + "/out_bayes.txt");
  ASSERT_EQ(bayes.size(), 5u * 37);
  double sum = 0.0;
  for (int k = 1; k <= 5; ++k) sum += band_field(bayes, k, 2);
  EXPECT_NEAR(sum, 1.0, 3e-7);
}

struct Refusal {
  const char* logy;      // nullptr: no file
  const char* in_bayes;  // empty: no file
  const char* diagnostic;
  bool pvalue_written;
};

TEST(Vantor, BadInputIsRefusedAndLeavesResultsAsTheStepsDefine) {
  const Refusal cases[] = {
      {nullptr, "", "vantor: cannot open input file logy.txt, unit 100: No such file or directory (cardel writes it)\n",
       false},
      {"", "",
       "vantor: end-of-file during read, unit 100, file logy.txt, line 1: the file ends before any data while reading "
       "the number of values\n",
       false},
      {"-2\n1\n2\n", "", "vantor: negative number of values -2 in file logy.txt, unit 100, line 1\n", false},
      {"3\n1\n2\n", "",
       "vantor: end-of-file during read, unit 100, file logy.txt, line 4: the file ends after line 3 while reading "
       "value 3 of 3\n",
       false},
      {"2000000000\n1\n2\n3\n", "",
       "vantor: end-of-file during read, unit 100, file logy.txt, line 5: the file ends after line 4 while reading "
       "value 4 of 2000000000\n",
       false},
      {"2\n1\nx\n", "", "vantor: input conversion error, unit 100, file logy.txt, line 3: \"x\" is not a number\n",
       false},
      {"2\n0.1\n0.9\n", "", "vantor: cannot open input file in_bayes.txt, unit 140: No such file or directory\n", true},
      {"2\n0.1\n0.9\n", "5.0\n0.5 20.0\n1.2\n",
       "vantor: end-of-file during read, unit 140, file in_bayes.txt, line 4: the file ends after line 3 "
       "while reading the two geometric-standard-deviation bounds (1 of 2 values read)\n",
       true},
      {"2\n0.1\n0.9\n", "0\n0.5 20.0\n1.2 8.0\n1 1 1 1 1\n",
       "vantor: invalid setting limit = 0 in file in_bayes.txt, unit 140, line 1: it must be a positive number, since "
       "its "
       "logarithm is taken\n",
       true},
      {"2\n0.1\n0.9\n", "5\n0.5 -20.0\n1.2 8.0\n1 1 1 1 1\n",
       "vantor: invalid setting gm_bounds(2) = -20 in file in_bayes.txt, unit 140, line 2: it must be a positive "
       "number, since "
       "its logarithm is taken\n",
       true},
      {"1\n0.3\n", "5\n0.5 20.0\n0 8.0\n1 1 1 1 1\n",
       "vantor: invalid setting gsd_bounds(1) = 0 in file in_bayes.txt, unit 140, line 3: it must be a positive "
       "number, since "
       "its logarithm is taken\n",
       true},
  };
  for (const Refusal& c : cases) {
    VantorRun run(c.logy, c.in_bayes, true);
    EXPECT_EQ(run.result.exit_status, 2) << c.diagnostic;
    EXPECT_EQ(run.result.err, c.diagnostic);
    EXPECT_EQ(run.pvalue == "old p-value", !c.pvalue_written) << c.diagnostic;
    EXPECT_EQ(run.bayes, "old bayes");
    if (*c.in_bayes == '\0') {
      EXPECT_FALSE(file_exists(run.dir.path + "/in_bayes.txt"));
    }
  }
}

TEST(Vantor, AFailedWriteKeepsTheOldFiles) {
  ScratchDir dir;
  write_file(dir.path + "/logy.txt", "2\n0.1\n0.9\n");
  write_file(dir.path + "/in_bayes.txt", settings);
  write_file(dir.path + "/out_pvalue.txt", "old p-value");
  write_file(dir.path + "/out_bayes.txt", "old bayes");
  // No file may grow at all (the diagnostic cannot reach its capture file either).
  auto result = run_program(VANTOR_BIN, dir.path, "ulimit -f 0;");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(read_file(dir.path + "/out_pvalue.txt"), "old p-value");
  EXPECT_EQ(read_file(dir.path + "/out_bayes.txt"), "old bayes");

  std::filesystem::create_directory(dir.path + "/out_bayes.txt.d");
  std::filesystem::remove(dir.path + "/out_bayes.txt");
  std::filesystem::rename(dir.path + "/out_bayes.txt.d", dir.path + "/out_bayes.txt");
  result = run_program(VANTOR_BIN, dir.path);
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(result.err, "vantor: cannot write file out_bayes.txt, unit 200: Is a directory\n");
  EXPECT_EQ(read_file(dir.path + "/out_pvalue.txt"), crlf_lines({"     1.000", "     0.000"}));
  EXPECT_EQ(test_support::entry_count(dir.path), 4u);
}

// Integrals the integrator cannot finish, or finishes with a WARNING, end in a note, not in a stop: the
// WARNING blocks stay on standard output as a serial run prints them, the FATAL ones are left out.
TEST(Vantor, IntegratorTroubleEndsInNotesNotAStop) {
  const char* one_value = "1\n-0.8675005677047231\n";  // ln 0.42
  VantorRun fatal(one_value, "1\n0.001 10\n1.05 1.06\n1 1 1 1 1\n", true);
  EXPECT_EQ(fatal.result.exit_status, 0) << fatal.result.err;
  EXPECT_EQ(fatal.result.out, "");
  EXPECT_EQ(
      fatal.result.err,
      single_value_warning +
          "vantor: note: 4 of the 150000 band integrals were computed from the exponential integral instead of by "
          "the integrator: 4 ended in a FATAL outcome of the integrator (their messages are left out)\n");
  EXPECT_EQ(fatal.bayes.substr(2 * 37, 2 * 37),
            crlf_lines({"  1.0000000,  0.9450563,  0.9450563", "  1.0000000,  0.0549437,  0.0549437"}));

  VantorRun warned(one_value, "1\n0.001 10\n1.01 10\n1 1 1 1 1\n");
  EXPECT_EQ(warned.result.exit_status, 0) << warned.result.err;
  std::size_t blocks = 0;
  for (std::size_t at = 0; (at = warned.result.out.find("\n *** WARNING  ERROR", at)) != std::string::npos; ++at)
    ++blocks;
  EXPECT_EQ(blocks, 8691u);
  EXPECT_EQ(
      warned.result.err,
      single_value_warning +
          "vantor: note: 8691 of the 150000 band integrals ended with a WARNING (shown above); checked against the "
          "exponential integral, each is within the requested relative tolerance of 1e-5\n");
}

}  // namespace

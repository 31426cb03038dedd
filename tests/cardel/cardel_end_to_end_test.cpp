// cardel run as a program in a fresh directory: exact result files, and every refusal leaving old files intact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/program_runner.h"

namespace {

using test_support::crlf_lines;
using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::ScratchDir;
using test_support::write_file;

struct CardelRun {
  ScratchDir dir;
  test_support::RunResult result;
  std::string seg;
  std::string logy;

  explicit CardelRun(const std::string& table, const std::string& shell_prefix = "") {
    write_file(dir.path + "/y.txt", table);
    run(shell_prefix);
  }
  void run(const std::string& shell_prefix = "") {
    result = run_program(CARDEL_BIN, dir.path, shell_prefix);
    seg = read_file(dir.path + "/out_seg.txt");
    logy = read_file(dir.path + "/logy.txt");
  }
};

const std::string minus_one = "  -1.00000000000000     ";
const std::string limit_advice = "; write results below a detection limit as <limit\n";
const std::string zero_note =
    "cardel: note: 1 zero measurement was replaced by 1e-7 before taking logarithms (the mean and standard "
    "deviation use 0)" +
    limit_advice;

TEST(Cardel, ExampleTableGivesTheDocumentedResults) {
  CardelRun run("3\n4\n1.2 0.8 2.5\n0.9 1.1 3.0\n1.5 0.0 -1\n2.0 0.7 -1\n");
  ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, zero_note);
  EXPECT_EQ(run.seg, crlf_lines({"     18.86", "   1.37000000000000     ", "  0.901911550233417     ",
                                 "  0.261528304994657     ", "   183.933999384400     "}));
  EXPECT_EQ(run.logy, crlf_lines({"          10", "  0.182321556793955     ", " -0.105360515657826     ",
                                  "  0.405465108108164     ", "  0.693147180559945     ", " -0.223143551314210     ",
                                  "  9.531017980432493E-002", "  -16.1180956392722     ", " -0.356674943938732     ",
                                  "  0.916290731874155     ", "   1.09861228866811     "}));
}

TEST(Cardel, TwoGroupsWithMeansOneAndFour) {
  CardelRun run("2\n2\n1 4\n1 4\n");
  ASSERT_EQ(run.result.exit_status, 0);
  EXPECT_EQ(run.seg.substr(0, 12), "     56.65\r\n");
}

TEST(Cardel, ReadsRowsSpreadOverLinesWithExtrasCommasAndDExponents) {
  // The same table as the example, written awkwardly; the results must not change.
  CardelRun awkward(
      "3 groups\r\n\n4 rows\n1.2\n0.8,2.5 99 99\n\t0.9 , 1.1 3.0D0\n1.5D0 0.0 -1 extra\n\n2.0E0 7.0d-1\n-1\n"
      "trailing lines are never read\n");
  CardelRun plain("3\n4\n1.2 0.8 2.5\n0.9 1.1 3.0\n1.5 0.0 -1\n2.0 0.7 -1\n");
  ASSERT_EQ(awkward.result.exit_status, 0) << awkward.result.err;
  EXPECT_EQ(awkward.seg, plain.seg);
  EXPECT_EQ(awkward.logy, plain.logy);
}

TEST(Cardel, EmptyGroupsAreSkippedWithoutGaps) {
  CardelRun run("4\n2\n-1 1 -5 4\n-1 -1 -1 -1\n");
  ASSERT_EQ(run.result.exit_status, 0);
  EXPECT_EQ(run.seg.substr(0, 12), "     56.65\r\n");
  EXPECT_EQ(run.logy, crlf_lines({"           2", "  0.000000000000000E+000", "   1.38629436111989     "}));
}

TEST(Cardel, NoMeasurementsGiveMarkers) {
  for (const char* table : {"2\n0\n", "0\n5\n", "0\n2000000000\n", "2000000000\n0\n", "2\n2\n-1 -1\n-0.5 -3\n"}) {
    CardelRun run(table, test_support::memory_cap(2000));
    ASSERT_EQ(run.result.exit_status, 0) << table << run.result.err;
    EXPECT_EQ(run.seg, crlf_lines({"     -1.00", minus_one, minus_one, minus_one, minus_one})) << table;
    EXPECT_EQ(run.logy, crlf_lines({"           0"})) << table;
  }
}

TEST(Cardel, OneMeasurement) {
  CardelRun run("1\n1\n2.5\n");
  ASSERT_EQ(run.result.exit_status, 0);
  EXPECT_EQ(run.seg, crlf_lines({"      0.00", "   2.50000000000000     ", "  0.000000000000000E+000",
                                 "   2.50000000000000     ", "  0.000000000000000E+000"}));
  CardelRun zero("1\n1\n0\n");
  ASSERT_EQ(zero.result.exit_status, 0);
  EXPECT_EQ(zero.seg, crlf_lines({"      0.00", "  0.000000000000000E+000", "  0.000000000000000E+000",
                                  "  1.000000011686097E-007", "  0.000000000000000E+000"}));
}

TEST(Cardel, AnAllZeroGroupGivesNonFiniteResultsWithoutCrashing) {
  CardelRun run("2\n2\n0 1\n0 2\n");
  ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
  EXPECT_EQ(run.seg.substr(0, 12), "  Infinity\r\n");
}

// Reads one free-form double line.
double line_value(const std::string& text, int line) {
  std::istringstream in(text);
  std::string s;
  for (int i = 0; i <= line; ++i) std::getline(in, s);
  return std::strtod(s.c_str(), nullptr);
}

TEST(Cardel, AConstantTableIsReplacedByRandomValuesNearIt) {
  const std::string table = "3\n4\n2 2 2\n2 2 -1\n2 -1 -1\n2 2 -1\n";
  CardelRun first(table);
  ASSERT_EQ(first.result.exit_status, 0);
  const double fold = line_value(first.seg, 0);
  EXPECT_GT(fold, 1.0);
  EXPECT_LT(fold, 1.2);
  EXPECT_NEAR(line_value(first.seg, 1), 2.0, 0.05);  // mean
  EXPECT_NEAR(line_value(first.seg, 3), 2.0, 0.05);  // geometric mean
  EXPECT_EQ(line_value(first.logy, 0), 8);
  for (int k = 1; k <= 8; ++k) {
    const double v = std::exp(line_value(first.logy, k));
    EXPECT_GT(v, 0.975 * 2.0);
    EXPECT_LT(v, 1.025 * 2.0);
  }
  CardelRun second(table);
  EXPECT_NE(first.logy, second.logy);
}

struct LimitCase {
  const char* table;
  std::string seg;
  std::string logy;
  std::string notes;
};

TEST(Cardel, ResultsBelowADetectionLimitUseValuesImputedByRegressionOnOrderStatistics) {
  const std::string note = "cardel: note: ";
  const std::string imputed =
      " below a detection limit; the results in out_seg.txt use values imputed for them by regression on order "
      "statistics\n";
  const std::string markers = "), so out_seg.txt holds the -1 markers\n";
  const std::string no_fit =
      " below a detection limit; regression on order statistics needs at least 2 different "
      "detected values (the table has ";
  const std::string marker_seg = crlf_lines({"     -1.00", minus_one, minus_one, minus_one, minus_one});
  // The numbers of out_seg.txt agree in every digit shown with tests/core/make_reference.py.
  const LimitCase cases[] = {
      {"3\n5\n0.21 0.08 <0.05\n<0.05 0.15 0.27\n0.34 <0.1 0.09\n0.12 0.46 <0.1\n0.0 -1 0.19\n",
       crlf_lines({"      2.43", "  0.136538509332166     ", "  0.144302783172297     ", "  8.728497832685009E-003",
                   "   109.234579877570     "}),
       crlf_lines({"          14", "  -1.56064774826467     ", " <-2.99573227355399     ", "  -1.07880966137193     ",
                   "  -2.12026353620009     ", "  -16.1180956392722     ", "  -2.52572864430826     ",
                   "  -1.89711998488588     ", " <-2.30258509299405     ", " -0.776528789498996     ",
                   " <-2.99573227355399     ", "  -1.30933331998376     ", "  -2.40794560865187     ",
                   " <-2.30258509299405     ", "  -1.66073120682165     "}),
       zero_note + note + "4 of 14 measurements were" + imputed + note +
           "the table holds both zeros and results below a detection limit; each zero counts as a detected value of "
           "1e-7 (below every limit), not as a result below a limit\n"},
      // The method has no cap: imputed values may exceed their own limit.
      {"2\n5\n0.9 0.95\n<1 1.1\n<1 <1\n50 1000\n<1 -1\n",
       crlf_lines({"  23691.37", "   117.523167445912     ", "   331.324794779238     ", "   2.62430433538595     ",
                   "   16.4280974448235     "}),
       crlf_lines({"           9", " -0.105360515657826     ", " <0.000000000000000E+000", " <0.000000000000000E+000",
                   "   3.91202300542815     ", " <0.000000000000000E+000", " -5.129329438755058E-002",
                   "  9.531017980432493E-002", " <0.000000000000000E+000", "   6.90775527898214     "}),
       note + "4 of 9 measurements were" + imputed + note +
           "2 of 4 values imputed for entries <1 exceed that limit (regression on order statistics is used without "
           "a cap)\n"},
      // Detected values all equal: no fit, and no random replacement either.
      {"2\n2\n2 <1\n2 -1\n", marker_seg,
       crlf_lines({"           3", "  0.693147180559945     ", "  0.693147180559945     ", " <0.000000000000000E+000"}),
       note + "1 of 3 measurements was" + no_fit + "1" + markers},
      {"2\n1\n<3 <5D-1\n", marker_seg,
       crlf_lines({"           2", "  <1.09861228866811     ", "<-0.693147180559945     "}),
       note + "2 of 2 measurements were" + no_fit + "none" + markers},
  };
  for (const LimitCase& c : cases) {
    CardelRun run(c.table);
    ASSERT_EQ(run.result.exit_status, 0) << c.table << run.result.err;
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, c.notes) << c.table;
    EXPECT_EQ(run.seg, c.seg) << c.table;
    EXPECT_EQ(run.logy, c.logy) << c.table;
  }
}

TEST(Cardel, MissingInputIsReportedAndNotCreated) {
  ScratchDir dir;
  auto result = run_program(CARDEL_BIN, dir.path);
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(result.err, "cardel: cannot open input file y.txt, unit 10: No such file or directory\n");
  EXPECT_FALSE(file_exists(dir.path + "/y.txt"));
  EXPECT_FALSE(file_exists(dir.path + "/out_seg.txt"));
  EXPECT_FALSE(file_exists(dir.path + "/logy.txt"));
}

struct Refusal {
  const char* table;
  const char* diagnostic;
};

TEST(Cardel, BadInputIsRefusedAndOldResultsStay) {
  const Refusal cases[] = {
      {"",
       "cardel: end-of-file during read, unit 10, file y.txt, line 1: the file ends before any data while reading "
       "the number of groups\n"},
      {"2\n3\n1 2\n3 4\n",
       "cardel: end-of-file during read, unit 10, file y.txt, line 5: the file ends after line 4 while reading row "
       "3 of 3 (0 of 2 values read)\n"},
      {"2\n2\n1 x\n", "cardel: input conversion error, unit 10, file y.txt, line 3: \"x\" is not a number\n"},
      {"2.0\n2\n", "cardel: input conversion error, unit 10, file y.txt, line 1: \"2.0\" is not a whole number\n"},
      {"1\n2\n1\nNaN\n", "cardel: input conversion error, unit 10, file y.txt, line 4: \"NaN\" is not a number\n"},
      {"2\n1\n1,,2\n",
       "cardel: unsupported input, unit 10, file y.txt, line 3: \"1,,2\": empty values between commas are not "
       "supported\n"},
      {"2\n1\n2*1.0\n",
       "cardel: unsupported input, unit 10, file y.txt, line 3: \"2*1.0\": repeat counts are not supported\n"},
      {"3\n\n-2\n", "cardel: negative number of rows -2 in file y.txt, unit 10, line 3\n"},
      {"-1\n2\n", "cardel: negative number of groups -1 in file y.txt, unit 10, line 1\n"},
      {"50000\n50000\n1 2 3\n",
       "cardel: end-of-file during read, unit 10, file y.txt, line 4: the file ends after line 3 while reading row "
       "1 of 50000 (3 of 50000 values read)\n"},
      {"2147483647\n2147483647\n1\n",
       "cardel: end-of-file during read, unit 10, file y.txt, line 4: the file ends after line 3 while reading row "
       "1 of 2147483647 (1 of 2147483647 values read)\n"},
      {"2\n2\n1 <0.5\n<0 2\n",
       "cardel: input conversion error, unit 10, file y.txt, line 4: \"<0\" is not a detection limit: write <X with "
       "X a positive number, such as <0.05\n"},
      {"2\n1\n1 < 0.05\n",
       "cardel: input conversion error, unit 10, file y.txt, line 3: \"< 0.05\" is not a detection limit: write <X "
       "without a blank after <, such as <0.05\n"},
      {"1\n1\n<1e999\n",
       "cardel: input conversion error, unit 10, file y.txt, line 3: \"<1e999\" is beyond the range of double "
       "precision\n"},
      {"<2\n1\n1 2\n", "cardel: input conversion error, unit 10, file y.txt, line 1: \"<2\" is not a number\n"},
      {"50000\n50000\n<1 2 <3\n",
       "cardel: end-of-file during read, unit 10, file y.txt, line 4: the file ends after line 3 while reading row "
       "1 of 50000 (3 of 50000 values read)\n"},
  };
  for (const Refusal& c : cases) {
    ScratchDir dir;
    write_file(dir.path + "/y.txt", c.table);
    write_file(dir.path + "/out_seg.txt", "old summary");
    write_file(dir.path + "/logy.txt", "old logs");
    auto result = run_program(CARDEL_BIN, dir.path, test_support::memory_cap(2000));
    EXPECT_EQ(result.exit_status, 2) << c.table;
    EXPECT_EQ(result.err, c.diagnostic) << c.table;
    EXPECT_EQ(read_file(dir.path + "/out_seg.txt"), "old summary");
    EXPECT_EQ(read_file(dir.path + "/logy.txt"), "old logs");
  }
}

TEST(Cardel, ATableTooLargeForMemoryIsReportedNotCrashed) {
  if (test_support::memory_cap_unavailable()) GTEST_SKIP() << "address space cannot be capped here";
  std::string table = "2000\n2000\n";
  std::string row;
  for (int j = 0; j < 2000; ++j) row += "1 ";
  for (int i = 0; i < 2000; ++i) table += row + "\n";
  CardelRun run(table, test_support::memory_cap(60));  // the table and its logarithms need 64 MB
  EXPECT_EQ(run.result.exit_status, 2);
  EXPECT_EQ(run.result.err, "cardel: not enough memory for the table of y.txt\n");
  EXPECT_FALSE(file_exists(run.dir.path + "/out_seg.txt"));
}

TEST(Cardel, AFailedWriteKeepsTheOldFile) {
  // A file-size limit of one block: out_seg.txt fits, the large logy.txt does not.
  std::string table = "1\n2000\n";
  for (int i = 1; i <= 2000; ++i) table += std::to_string(i) + "\n";
  CardelRun run(table, "echo old > logy.txt; ulimit -f 1;");
  EXPECT_EQ(run.result.exit_status, 2);
  EXPECT_EQ(run.result.err, "cardel: cannot write file logy.txt, unit 30: File too large\n");
  EXPECT_EQ(run.logy, "old\n");
  EXPECT_EQ(test_support::entry_count(run.dir.path), 3u);  // y.txt, out_seg.txt, logy.txt: no temporary file left

  CardelRun blocked("1\n1\n2\n", "mkdir out_seg.txt;");
  EXPECT_EQ(blocked.result.exit_status, 2);
  EXPECT_EQ(blocked.result.err, "cardel: cannot write file out_seg.txt, unit 20: Is a directory\n");
  EXPECT_FALSE(file_exists(blocked.dir.path + "/logy.txt"));
}

TEST(Cardel, RunningTwiceReplacesBothFilesWithTheSameContents) {
  CardelRun run("2\n2\n1 4\n1 4\n");
  const std::string seg = run.seg, logy = run.logy;
  write_file(run.dir.path + "/out_seg.txt", std::string(5000, 'x'));
  run.run();
  EXPECT_EQ(run.seg, seg);
  EXPECT_EQ(run.logy, logy);
}

struct CommandLineCase {
  std::vector<std::string> args;
  int exit_status;
  std::string out_start;  // standard output begins with this
  std::string err;
  const char* results_in;  // folder that receives the results, nullptr for none
};

TEST(Cardel, CommandLine) {
  const std::string usage = "; usage: cardel [--seed N] [DIR]\n";
  const CommandLineCase cases[] = {
      {{}, 0, "", "", "."},
      {{"sub"}, 0, "", "", "sub"},
      {{"--seed", "5", "sub"}, 0, "", "", "sub"},
      {{"--seed=0"}, 0, "", "", "."},
      {{"--", "-d"}, 0, "", "", "-d"},
      {{"--help"}, 0, "usage: cardel [--seed N] [DIR]\n\nReads the measurement table y.txt", "", nullptr},
      {{"sub", "-h"}, 0, "usage: cardel [--seed N] [DIR]\n", "", nullptr},
      {{"--version"}, 0, "cardel 1.0.0\n", "", nullptr},
      {{"--foo"}, 2, "", "cardel: unknown option '--foo'" + usage, nullptr},
      {{"-d"}, 2, "", "cardel: unknown option '-d'" + usage, nullptr},
      {{"sub", "sub"}, 2, "", "cardel: unexpected second folder 'sub'" + usage, nullptr},
      {{"missing"}, 2, "", "cardel: cannot use folder 'missing': No such file or directory" + usage, nullptr},
      {{"y.txt"}, 2, "", "cardel: cannot use folder 'y.txt': Not a directory" + usage, nullptr},
      {{"sub", "--seed"}, 2, "", "cardel: --seed needs a value" + usage, nullptr},
      {{"--seed", "-1"},
       2,
       "",
       "cardel: bad --seed value '-1' (a whole number from 0 to 18446744073709551615)" + usage,
       nullptr},
      {{"--seed=18446744073709551616"},
       2,
       "",
       "cardel: bad --seed value '18446744073709551616' (a whole number from 0 to 18446744073709551615)" + usage,
       nullptr},
      {{"empty"}, 2, "", "cardel: cannot open input file y.txt, unit 10: No such file or directory\n", nullptr},
  };
  const std::string table = "2\n2\n1 4\n1 4\n";
  for (const CommandLineCase& c : cases) {
    const std::string shown = c.args.empty() ? "(none)" : c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
    ScratchDir dir;
    write_file(dir.path + "/y.txt", table);
    for (const char* sub : {"/sub", "/-d", "/empty"}) std::filesystem::create_directory(dir.path + sub);
    write_file(dir.path + "/sub/y.txt", table);
    write_file(dir.path + "/-d/y.txt", table);
    auto result = run_program(CARDEL_BIN, dir.path, c.args);
    EXPECT_EQ(result.exit_status, c.exit_status) << shown;
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << shown;
    EXPECT_EQ(result.out.empty(), c.out_start.empty()) << shown;
    EXPECT_EQ(result.err, c.err) << shown;
    // Results appear in the chosen folder only; every other folder keeps just what it held.
    for (const std::string folder : {".", "sub", "-d", "empty"}) {
      const bool chosen = c.results_in && folder == c.results_in;
      const std::string path = dir.path + "/" + folder;
      const std::size_t held = folder == "." ? 4 : folder == "empty" ? 0 : 1;  // entries before the run
      EXPECT_EQ(test_support::entry_count(path), held + (chosen ? 2 : 0)) << shown << " in " << folder;
      if (chosen) {
        EXPECT_EQ(read_file(path + "/out_seg.txt").substr(0, 12), "     56.65\r\n") << shown;
      }
    }
  }
  // Standard output that cannot be written is a failure, not a silent success.
  ScratchDir dir;
  const auto full = test_support::run_with_full_output(CARDEL_BIN, dir.path, {"--version"});
  EXPECT_EQ(full.exit_status, 2);
  EXPECT_EQ(full.err, "cardel: cannot write to standard output: No space left on device\n");
  // cardel integrates nothing, so its help lists no exit status 3.
  const auto help = run_program(CARDEL_BIN, dir.path, std::vector<std::string>{"--help"});
  EXPECT_TRUE(
      help.out.ends_with("\nExit status:\n  0  normal run\n"
                         "  2  input or output failure, rejected input, or a bad command line\n"))
      << help.out;
}

TEST(Cardel, EveryRandomReplacementCanBeRepeatedFromItsSeed) {
  CardelRun clock_seeded("2\n3\n5 5\n5 -1\n5 5\n");
  ASSERT_EQ(clock_seeded.result.exit_status, 0);
  const std::string prefix = "cardel: note: all measurements are equal, so they were replaced by random values (seed ";
  ASSERT_EQ(clock_seeded.result.err.substr(0, prefix.size()), prefix);
  const std::string seed =
      clock_seeded.result.err.substr(prefix.size(), clock_seeded.result.err.find(';') - prefix.size());
  EXPECT_EQ(clock_seeded.result.err, prefix + seed + "; --seed " + seed + " repeats this run)\n");

  auto seeded_run = [&](const std::string& s) {
    auto result = run_program(CARDEL_BIN, clock_seeded.dir.path, {"--seed", s});
    EXPECT_EQ(result.err, prefix + s + "; --seed " + s + " repeats this run)\n");
    return read_file(clock_seeded.dir.path + "/out_seg.txt") + read_file(clock_seeded.dir.path + "/logy.txt");
  };
  const std::string first = clock_seeded.seg + clock_seeded.logy;
  EXPECT_EQ(seeded_run(seed), first);
  EXPECT_EQ(seeded_run("18446744073709551615"), seeded_run("18446744073709551615"));
  EXPECT_NE(seeded_run("1"), seeded_run("2"));
}

TEST(Cardel, WarningsNotesAndTextEncodings) {
  const std::string example = "3\n4\n1.2 0.8 2.5\n0.9 1.1 3.0\n1.5 0.0 -1\n2.0 0.7 -1\n";
  const std::string ignored =
      "cardel: warning: line 3 of file y.txt holds more than its read takes (extra columns, "
      "or a decimal comma such as 1,5, which reads as two values); the rest of the line was "
      "ignored";
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("1\r\n1\r\n2\r\n")) utf16 += std::string{c, '\0'};
  const std::tuple<std::string, int, std::string> cases[] = {
      {"\xEF\xBB\xBF" + example, 0, zero_note},
      {"2\n2\n1,5 2,5\n3,5 4,5\n\nend of table\n", 0,
       ignored + ", here and on 1 more line\ncardel: warning: file y.txt has non-blank lines after the last row (line "
                 "6 on); they were ignored\n"},
      {"1\n2\n1 extra\n2\n", 0, ignored + "\n"},
      {"2\n2\n0 0\n0 1\n", 0,
       "cardel: note: 3 zero measurements were replaced by 1e-7 before taking logarithms (the mean and standard "
       "deviation use 0)" +
           limit_advice},
      {"0\n0\n1 2 3\n", 0,
       "cardel: warning: file y.txt has non-blank lines after the number of rows (line 3 on); they were ignored\n"},
      {utf16, 2,
       "cardel: input conversion error, unit 10, file y.txt, line 1: the file is UTF-16 text; save it as plain text "
       "(UTF-8 or ASCII) and run again\n"},
      {utf16.substr(2), 2,
       "cardel: input conversion error, unit 10, file y.txt, line 1: the file holds NUL bytes, as UTF-16 text does; "
       "save it as plain text (UTF-8 or ASCII) and run again\n"},
  };
  for (const auto& [table, status, err] : cases) {
    CardelRun run(table);
    EXPECT_EQ(run.result.exit_status, status) << table;
    EXPECT_EQ(run.result.err, err) << table;
  }
  CardelRun with_mark("\xEF\xBB\xBF" + example), plain(example);
  EXPECT_EQ(with_mark.seg + with_mark.logy, plain.seg + plain.logy);
}

}  // namespace

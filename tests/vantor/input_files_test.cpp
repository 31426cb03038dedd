// vantor's reading of logy.txt with entries below a detection limit, as cardel writes them, and their refusals.
#include "vantor/input_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/program_runner.h"

namespace {

textio::FreeFormReader reader_over(const std::string& text) {
  textio::FreeFormReader reader;
  reader.path = "logy.txt";
  reader.unit = 100;
  reader.text = text;
  return reader;
}

TEST(VantorInput, ReadsTheEntriesCardelWritesBelowADetectionLimit) {
  test_support::ScratchDir dir;
  test_support::write_file(dir.path + "/y.txt", "2\n3\n0.21 <0.05\n<1e-9 0.15\n0 <2.5e3\n");
  ASSERT_EQ(test_support::run_program(CARDEL_BIN, dir.path).exit_status, 0);
  auto reader = reader_over(test_support::read_file(dir.path + "/logy.txt"));
  std::vector<double> values;
  std::vector<std::uint8_t> below;
  ASSERT_EQ(vantor::read_values(reader, values, below), "");
  const std::vector<double> logs = {std::log(0.21), std::log(1e-9), std::log(1.0000000116860974e-07),
                                    std::log(0.05), std::log(0.15), std::log(2.5e3)};
  ASSERT_EQ(values.size(), logs.size());
  for (std::size_t k = 0; k < logs.size(); ++k) EXPECT_NEAR(values[k], logs[k], 1e-14 * std::fabs(logs[k])) << k;
  EXPECT_EQ(below, (std::vector<std::uint8_t>{0, 1, 0, 1, 0, 1}));

  // Without flags, an entry below a limit is refused as before rather than taken for a detected value.
  auto plain = reader_over(test_support::read_file(dir.path + "/logy.txt"));
  EXPECT_EQ(vantor::read_values(plain, values),
            "input conversion error, unit 100, file logy.txt, line 3: \"<-20.7232658369464\" is not a number");
}

TEST(VantorInput, RefusesMalformedEntriesAndEntriesInTheSettings) {
  const std::string at = "input conversion error, unit 100, file logy.txt, line ";
  const std::tuple<std::string, std::string> cases[] = {
      {"2\n1.5\n<x\n", at + "3: \"<x\" is not the logarithm of a detection limit: write <v with v a number, such as "
                            "<-2.99573227355399"},
      {"1\n< -2.9\n",
       at + "2: \"< -2.9\" is not the logarithm of a detection limit: write <v without a blank after <, such as "
            "<-2.99573227355399"},
      {"<2\n1\n2\n", at + "1: \"<2\" is not a number"},
      // The room check reads through entries and fails where the file ends.
      {"1000000\n<1\n<-2\n",
       "end-of-file during read, unit 100, file logy.txt, line 4: the file ends after line 3 while reading value 3 "
       "of 1000000"},
  };
  for (const auto& [text, diagnostic] : cases) {
    auto reader = reader_over(text);
    std::vector<double> values;
    std::vector<std::uint8_t> below;
    EXPECT_EQ(vantor::read_values(reader, values, below), diagnostic) << text;
  }
  textio::FreeFormReader settings = reader_over("<5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
  settings.path = "in_bayes.txt";
  settings.unit = 140;
  vantor::Settings s;
  EXPECT_EQ(vantor::read_settings(settings, s),
            "input conversion error, unit 140, file in_bayes.txt, line 1: \"<5.0\" is not a number");
}

}  // namespace

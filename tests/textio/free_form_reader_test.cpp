// Free-form reading: record boundaries, separators, number forms and every refusal.
#include "textio/free_form_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using textio::ReadStatus;

textio::FreeFormReader reader_over(const std::string& text) {
  textio::FreeFormReader reader;
  reader.path = "in.txt";
  reader.unit = 7;
  reader.text = text;
  return reader;
}

std::vector<double> reals(textio::FreeFormReader& reader, std::size_t n, ReadStatus expected = ReadStatus::ok) {
  std::vector<double> values(n, -99.0);
  EXPECT_EQ(textio::read_reals(reader, values.data(), n), expected);
  return values;
}

TEST(FreeFormReader, EachReadStartsOnANewLineAndIgnoresTheRestOfItsLastLine) {
  auto reader = reader_over("3 1.0 2.0\n1.5 2.5\n\n  \n7\r\n8,9\n");
  std::int32_t n = 0;
  ASSERT_EQ(textio::read_integers(reader, &n, 1), ReadStatus::ok);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(reals(reader, 1), std::vector<double>{1.5});
  EXPECT_EQ(reals(reader, 1), std::vector<double>{7.0});  // blank lines skipped, CR LF accepted
  EXPECT_EQ(reals(reader, 1), std::vector<double>{8.0});
  reals(reader, 1, ReadStatus::end_of_file);
  EXPECT_EQ(reader.error_line, 7);
}

TEST(FreeFormReader, AReadContinuesOntoFollowingLines) {
  auto reader = reader_over("1\n\n2,\n 3 ,4\t5 6\nnext\n");
  EXPECT_EQ(reals(reader, 5), (std::vector<double>{1, 2, 3, 4, 5}));
  EXPECT_EQ(reader.next_line, 5);
}

TEST(FreeFormReader, AcceptsEveryRealForm) {
  auto reader = reader_over("1 -2 +3 .5 4. 2.5E-1 2.5e1 1.0D2 -1.5d-1 1e+3 0 -0\n");
  auto v = reals(reader, 12);
  EXPECT_EQ(v, (std::vector<double>{1, -2, 3, 0.5, 4, 0.25, 25, 100, -0.15, 1000, 0, 0}));
  EXPECT_TRUE(std::signbit(v[11]));
}

TEST(FreeFormReader, ConvertsToTheNearestDouble) {
  auto reader = reader_over("0.1 2.2250738585072014e-308 4.9e-324 1e-400 1.7976931348623157e308\n");
  auto v = reals(reader, 5);
  EXPECT_EQ(v[0], 0.1);
  EXPECT_EQ(v[1], 2.2250738585072014e-308);
  EXPECT_EQ(v[2], 4.9e-324);
  EXPECT_EQ(v[3], 0.0);
  EXPECT_EQ(v[4], 1.7976931348623157e308);
}

TEST(FreeFormReader, RefusesWhatIsNotANumber) {
  for (const char* text : {"NaN", "Infinity", "inf", "abc", "1.2.3", "1e", "e5", "1.0+5", "--1", "+", ".", "0x10",
                           "1e400", "-1e400", "1;"}) {
    auto reader = reader_over(std::string("\n") + text + "\n");
    reals(reader, 1, ReadStatus::conversion_error);
    EXPECT_EQ(reader.error_line, 2) << text;
  }
}

TEST(FreeFormReader, CountsMustBeWholeNumbersInRange) {
  for (const char* text : {"1.5", "2e3", "3.", "2147483648", "-2147483649", "x", "+-1"}) {
    auto reader = reader_over(text);
    std::int32_t n = 0;
    EXPECT_EQ(textio::read_integers(reader, &n, 1), ReadStatus::conversion_error) << text;
  }
  auto reader = reader_over("+2147483647 -2147483648\n");
  std::int32_t n[2] = {};
  ASSERT_EQ(textio::read_integers(reader, n, 2), ReadStatus::ok);
  EXPECT_EQ(n[0], 2147483647);
  EXPECT_EQ(n[1], -2147483647 - 1);
}

TEST(FreeFormReader, RefusesNullValuesRepeatCountsAndEarlySlashes) {
  for (const char* text : {"1,,2", "1, ,2", ",1 2", "\n1,\n,2", "3*1.0 2", "1 2*", "1 / 2", "1/"}) {
    auto reader = reader_over(text);
    reals(reader, 2, ReadStatus::syntax_error);
    EXPECT_EQ(reader.error_line, text[0] == '\n' ? 3 : 1) << text;
  }
  // After the last value of a read the rest of the line is never looked at.
  auto reader = reader_over("1 2 / ,, 3*4\n5\n");
  EXPECT_EQ(reals(reader, 2), (std::vector<double>{1, 2}));
  EXPECT_EQ(reals(reader, 1), std::vector<double>{5});
}

TEST(FreeFormReader, AReadOfNothingConsumesNoLine) {
  auto reader = reader_over("4\n");
  reals(reader, 0);
  EXPECT_EQ(reals(reader, 1), std::vector<double>{4});
}

TEST(FreeFormReader, DiagnosticsNameTheUnitTheFileAndTheLine) {
  auto reader = reader_over("1\n\nfoo\n");
  reals(reader, 1);
  reals(reader, 1, ReadStatus::conversion_error);
  EXPECT_EQ(textio::describe_read_error(reader, ReadStatus::conversion_error),
            "input conversion error, unit 7, file in.txt, line 3: \"foo\" is not a number");
  auto empty = reader_over("");
  reals(empty, 1, ReadStatus::end_of_file);
  EXPECT_EQ(textio::describe_read_error(empty, ReadStatus::end_of_file),
            "end-of-file during read, unit 7, file in.txt, line 1: the file ends before this read has all its values");
  auto slash = reader_over("/");
  reals(slash, 1, ReadStatus::syntax_error);
  EXPECT_EQ(textio::describe_read_error(slash, ReadStatus::syntax_error).substr(0, 50),
            "list-directed I/O syntax error, unit 7, file in.tx");
}

TEST(FreeFormReader, MissingFileIsReportedAndNotCreated) {
  textio::FreeFormReader reader;
  std::string error;
  EXPECT_FALSE(textio::open_input(reader, "/nonexistent-dir-for-test/y.txt", 10, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(textio::open_input(reader, "/", 10, error));
  EXPECT_EQ(error, "Is a directory");
}

}  // namespace

// Free-form reading: record boundaries, separators, number forms and every refusal.
#include "textio/free_form_reader.h"

#include "textio/diagnostics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using textio::ReadStatus;
using namespace std::string_literals;

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

// Reads like a table file: a count of rows, then that many rows of two values each, as `form` allows them.
std::string read_as_table(const std::string& text, textio::FieldForm form = textio::FieldForm::real) {
  auto reader = reader_over(text);
  std::int32_t rows = 0;
  ReadStatus status = textio::read_count(reader, rows, "number of rows");
  if (status == ReadStatus::ok) {
    reader.what = "row";
    status = textio::check_room(reader, rows, 2, form);
  }
  for (std::int32_t i = 1; i <= rows && status == ReadStatus::ok; ++i) {
    reader.what = "row " + std::to_string(i) + " of " + std::to_string(rows);
    double row[2];
    std::uint8_t below[2];
    status = form == textio::FieldForm::real ? textio::read_reals(reader, row, 2)
                                             : textio::read_entries(reader, row, below, 2, form);
  }
  return status == ReadStatus::ok ? "" : textio::describe_read_error(reader, status);
}

TEST(FreeFormReader, DiagnosticsSayWhatWasReadWhereAndWhy) {
  const std::pair<std::string, std::string> cases[] = {
      {"2\n1 2\n3 4\n", ""},
      {"\xEF\xBB\xBF"
       "1\n1 2\n",
       ""},  // a UTF-8 byte-order mark is skipped
      {"",
       "end-of-file during read, unit 7, file in.txt, line 1: the file ends before any data while reading the "
       "number of rows"},
      {"3\n1 2\n3\n\n\n",
       "end-of-file during read, unit 7, file in.txt, line 6: the file ends after line 3 while reading row 2 of 3 "
       "(1 of 2 values read)"},
      // Too short for its count: found without reserving room for the rows.
      {"1000000\n1 2\n3 4 5\n",
       "end-of-file during read, unit 7, file in.txt, line 4: the file ends after line 3 while reading row 3 of "
       "1000000 (0 of 2 values read)"},
      {"1000000\n1 2\nx 4\n", "input conversion error, unit 7, file in.txt, line 3: \"x\" is not a number"},
      {"\n-3\n", "negative number of rows -3 in file in.txt, unit 7, line 2"},
      {"1\n1,,2\n",
       "unsupported input, unit 7, file in.txt, line 2: \"1,,2\": empty values between commas are not "
       "supported"},
      {"1\n3*1.0\n", "unsupported input, unit 7, file in.txt, line 2: \"3*1.0\": repeat counts are not supported"},
      {"1\n1 / 2\n",
       "unsupported input, unit 7, file in.txt, line 2: \"1 / 2\": a slash that ends a read early is "
       "not supported"},
      {"\xFF\xFE"
       "1\0\n\0"s,
       "input conversion error, unit 7, file in.txt, line 1: the file is UTF-16 text; save it "
       "as plain text (UTF-8 or ASCII) and run again"},
      {"1\0\n\0"s,
       "input conversion error, unit 7, file in.txt, line 1: the file holds NUL "
       "bytes, as UTF-16 text does; save it as plain text (UTF-8 or ASCII) and "
       "run again"},
      {"1\n1 foo\n", "input conversion error, unit 7, file in.txt, line 2: \"foo\" is not a number"},
  };
  for (const auto& [text, diagnostic] : cases) EXPECT_EQ(read_as_table(text), diagnostic) << text;
}

TEST(FreeFormReader, EntriesBelowADetectionLimit) {
  using textio::FieldForm;
  const struct {
    const char* text;
    FieldForm form;
    std::vector<double> values;
    std::vector<std::uint8_t> below;
  } accepted[] = {
      {"<0.05 1 <2.5E-1,<1.0D2 -3 0 <4.9e-324\n<+3\n",
       FieldForm::real_or_limit,
       {0.05, 1, 0.25, 100, -3, 0, 4.9e-324, 3},
       {1, 0, 1, 1, 0, 0, 1, 1}},
      {"<-2.99573227355399 <0 <-1e-400 <1e-400 <1e3 -16.1180956392722",
       FieldForm::real_or_log_limit,
       {-2.99573227355399, 0, -0.0, 0, 1000, -16.1180956392722},
       {1, 1, 1, 1, 1, 0}},
  };
  for (const auto& c : accepted) {
    auto reader = reader_over(c.text);
    std::vector<double> values(c.values.size(), -99.0);
    std::vector<std::uint8_t> below(c.values.size(), 9);
    ASSERT_EQ(textio::read_entries(reader, values.data(), below.data(), values.size(), c.form), ReadStatus::ok)
        << textio::describe_read_error(reader, ReadStatus::conversion_error);
    EXPECT_EQ(values, c.values) << c.text;
    EXPECT_EQ(below, c.below) << c.text;
  }

  const std::string at = "input conversion error, unit 7, file in.txt, line 2: ";
  const std::string limit = " is not a detection limit: write <X with X a positive number, such as <0.05";
  const std::string log_limit =
      " is not the logarithm of a detection limit: write <v with v a number, such as "
      "<-2.99573227355399";
  const std::tuple<const char*, FieldForm, std::string> refused[] = {
      {"1\n<\n", FieldForm::real_or_limit, "\"<\"" + limit},
      {"1\n1 <,2\n", FieldForm::real_or_limit, "\"<\"" + limit},
      {"1\n< 0.05 1\n", FieldForm::real_or_limit,
       "\"< 0.05\" is not a detection limit: write <X without a blank after <, such as <0.05"},
      {"1\n<0\n", FieldForm::real_or_limit, "\"<0\"" + limit},
      {"1\n<-0 1\n", FieldForm::real_or_limit, "\"<-0\"" + limit},
      {"1\n<-1 1\n", FieldForm::real_or_limit, "\"<-1\"" + limit},
      {"1\n<inf 1\n", FieldForm::real_or_limit, "\"<inf\"" + limit},
      {"1\n<nan 1\n", FieldForm::real_or_limit, "\"<nan\"" + limit},
      {"1\n<<1 1\n", FieldForm::real_or_limit, "\"<<1\"" + limit},
      {"1\n<1e999 1\n", FieldForm::real_or_limit, "\"<1e999\" is beyond the range of double precision"},
      {"1\n<1e-400 1\n", FieldForm::real_or_limit, "\"<1e-400\" is beyond the range of double precision"},
      {"1\n1 <x\n", FieldForm::real_or_log_limit, "\"<x\"" + log_limit},
      {"1\n<\t-3 1\n", FieldForm::real_or_log_limit,
       "\"<?-3\" is not the logarithm of a detection limit: write <v without a blank after <, such as "
       "<-2.99573227355399"},
      {"1\n<-1e999 1\n", FieldForm::real_or_log_limit, "\"<-1e999\" is beyond the range of double precision"},
      // Where entries are not allowed, "<" is no number at all.
      {"1\n<0.05 1\n", FieldForm::real, "\"<0.05\" is not a number"},
  };
  for (const auto& [text, form, detail] : refused) EXPECT_EQ(read_as_table(text, form), at + detail) << text;
  EXPECT_EQ(read_as_table("<2\n1 2\n", FieldForm::real_or_limit),
            "input conversion error, unit 7, file in.txt, line 1: \"<2\" is not a number");  // counts never take one

  // The room check reads through entries as the rows will, and fails where the file ends, not on the first "<".
  EXPECT_EQ(read_as_table("1000000\n<1 2\n<3 4 5\n", FieldForm::real_or_limit),
            "end-of-file during read, unit 7, file in.txt, line 4: the file ends after line 3 while reading row 3 of "
            "1000000 (0 of 2 values read)");
  EXPECT_EQ(read_as_table("3\n<1 2\n<3 4\n2 <0.1\n", FieldForm::real_or_limit), "");
}

TEST(FreeFormReader, WarnsOnceAboutIgnoredTextAndTrailingLines) {
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"2\n1 2\n3 4\n\n", "the last row", ""},
      {"2\n1 2,\n3 4 \r\n", "the last row", ""},  // trailing separators are no values
      {"2\n1,5 2,5\n3 4\n# note\n\n", "the last row",
       "test: warning: line 2 of file in.txt holds more than its read takes (extra columns, or a decimal comma such "
       "as 1,5, which reads as two values); the rest of the line was ignored\n"
       "test: warning: file in.txt has non-blank lines after the last row (line 4 on); they were ignored\n"},
      {"2 rows\n1 2 3\n3 4 5\n", "",
       "test: warning: line 1 of file in.txt holds more than its read takes (extra columns, or a decimal comma such "
       "as 1,5, which reads as two values); the rest of the line was ignored, here and on 2 more lines\n"},
  };
  textio::set_program_name("test");
  for (const auto& [text, after_last, expected] : cases) {
    auto reader = reader_over(text);
    std::int32_t rows = 0;
    double row[2];
    ASSERT_EQ(textio::read_count(reader, rows, "number of rows"), ReadStatus::ok);
    for (std::int32_t i = 0; i < rows; ++i) ASSERT_EQ(textio::read_reals(reader, row, 2), ReadStatus::ok);
    testing::internal::CaptureStderr();
    textio::warn_ignored_input(reader, after_last);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), expected) << text;
  }
}

TEST(FreeFormReader, ConvertsHardCasesCorrectlyRoundedInAnyLocale) {
  const std::pair<const char*, double> cases[] = {
      {"2.2250738585072011e-308", 2.2250738585072011e-308},  // just below the smallest normal
      {"2.4703282292062328e-324", 4.9406564584124654e-324},  // just above half the smallest subnormal
      {"2.4703282292062327e-324", 0.0},                      // just below it
      {"-1d-400", -0.0},
      {"9007199254740993", 9007199254740992.0},  // halfway, to even
      {"1e23", 1e23},
      {"0.30000000000000004441", 0.30000000000000004},
      {"1.7976931348623158e308", 1.7976931348623157e308},
      {"7.2057594037927933e16", 72057594037927936.0},
  };
  for (const char* locale : {"C", "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;  // a comma-decimal locale may not be installed
    for (const auto& [text, expected] : cases) {
      auto reader = reader_over(text);
      double v = 1.0;
      ASSERT_EQ(textio::read_reals(reader, &v, 1), ReadStatus::ok) << text << " in " << locale;
      EXPECT_EQ(v, expected) << text << " in " << locale;
      EXPECT_EQ(std::signbit(v), std::signbit(expected)) << text;
    }
  }
}

TEST(FreeFormReader, FailuresToOpenAreWholeDiagnosticsAndCreateNothing) {
  textio::FreeFormReader reader;
  std::string message;
  EXPECT_FALSE(textio::open_input(reader, "/nonexistent-dir-for-test/y.txt", 10, message, "cardel writes it"));
  EXPECT_EQ(message,
            "cannot open input file /nonexistent-dir-for-test/y.txt, unit 10: No such file or directory (cardel "
            "writes it)");
  EXPECT_FALSE(textio::open_input(reader, "/", 10, message, "not shown"));
  EXPECT_EQ(message, "cannot open input file /, unit 10: Is a directory");
  EXPECT_FALSE(textio::open_input(reader, "/proc/self/mem", 10, message));
  EXPECT_EQ(message, "cannot read input file /proc/self/mem, unit 10: Input/output error");
}

}  // namespace

// Tests of the message block layout (first line, 64-character continuation lines, forced breaks) and of UMACH/IMACH.
#include <gtest/gtest.h>

#include <string>

#include "console_text.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/message_printing.h"
#include "quadrature/internal/unit_constants.h"

using namespace quadrature;

namespace {

// Output of one immediate WARNING with TEXT issued by routine NAME at level 2.
std::string shown(const std::string& name, const std::string& text) {
  Context ctx;
  EXPECT_EQ(E1PSH(ctx, name), Flow::go_on);
  EXPECT_EQ(E1MES(ctx, WARNING_IMMEDIATE, 1, text), Flow::go_on);
  EXPECT_EQ(E1POP(ctx, name), Flow::go_on);
  return ctx.printed;
}

}  // namespace

TEST(MessageLayout, TextThatFitsGivesOneLineAfterTheEmptyLine) {
  // Header " 1 from T" leaves 50 characters, ".  " included.
  const std::string text = std::string(47, 'a');
  EXPECT_EQ(shown("T", text), "\n *** WARNING  ERROR 1 from T.  " + text + "\n");
}

TEST(MessageLayout, FirstLineBreaksBeforeTheLastBlankWithinItsRoom) {
  // Positions 1..50 of the message fit; the blank at 51 is beyond the room.
  const std::string text = std::string(10, 'a') + " " + std::string(36, 'b') + " " + std::string(5, 'c');
  EXPECT_EQ(shown("T", text), "\n *** WARNING  ERROR 1 from T.  " + std::string(10, 'a') + "\n ***          " +
                                  std::string(36, 'b') + " " + std::string(5, 'c') + "\n");
}

TEST(MessageLayout, LongWordIsCutAtSixtyFourCharacters) {
  const std::string text = "Start " + std::string(100, 'x');
  EXPECT_EQ(shown("T", text), "\n *** WARNING  ERROR 1 from T.  Start\n ***          " + std::string(64, 'x') +
                                  "\n ***          " + std::string(36, 'x') + "\n");
}

TEST(MessageLayout, SkippedLeadingBlankLeavesSixtyThreeCharacters) {
  // Blanks at message positions 50 and 51: the first line ends at 49, the second
  // starts with a blank that is skipped inside its 64-position window.
  const std::string text = std::string(46, 'a') + "  " + std::string(100, 'x');
  EXPECT_EQ(shown("T", text), "\n *** WARNING  ERROR 1 from T.  " + std::string(46, 'a') + "\n ***          " +
                                  std::string(63, 'x') + "\n ***          " + std::string(37, 'x') + "\n");
}

TEST(MessageLayout, ContinuationLineKeepsTheBlankThatEndsIt) {
  const std::string words = "one two three four five six seven eight nine ten eleven twelve thirteen";
  EXPECT_EQ(shown("T", std::string(46, 'a') + " " + words),
            "\n *** WARNING  ERROR 1 from T.  " + std::string(46, 'a') +
                "\n ***          one two three four five six seven eight nine ten eleven twelve \n"
                " ***          thirteen\n");
}

TEST(MessageLayout, PercentSlashForcesBreaksAndIsNeverPrinted) {
  EXPECT_EQ(shown("T", "First part%/second  part%/ third"),
            "\n *** WARNING  ERROR 1 from T.  First part\n"
            " ***          second  part\n"
            " ***           third\n");
  // A blank opening the first continuation line is kept once the text has a "%/".
  EXPECT_EQ(shown("T", std::string(46, 'a') + "  b%/c"),
            "\n *** WARNING  ERROR 1 from T.  " + std::string(46, 'a') + "\n ***           b\n ***          c\n");
}

TEST(MessageLayout, LowerCaseInitialBeforeUpperCaseIsShownInUpperCase) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "dQOUTER"));
  GOES_ON(E1PSH(ctx, "xyINNER"));
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 12, "Named."));
  GOES_ON(E1POP(ctx, "xyINNER"));
  GOES_ON(E1POP(ctx, "dQOUTER"));
  EXPECT_EQ(ctx.printed, "\n *** WARNING  ERROR 12 from xyINNER.  Named.\n" + traceback_heading +
                             "     xyINNER                              6          12    (Called internally)\n"
                             "     DQOUTER                              0           0\n"
                             "     USER                                 0           0\n");
}

TEST(MessageLayout, SecondShowPrintsNothing) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  GOES_ON(E1MES(ctx, WARNING, 1, "Once."));
  E1SHOW(ctx);
  E1SHOW(ctx);
  GOES_ON(E1MES(ctx, 0, 0, ""));
  GOES_ON(E1POP(ctx, "T"));
  EXPECT_EQ(ctx.printed, "\n *** WARNING  ERROR 1 from T.  Once.\n");
}

TEST(UnitConstants, UnitsReadAndSetPerContext) {
  Context ctx;
  int unit = 0;
  GOES_ON(UMACH(ctx, 1, unit));
  EXPECT_EQ(unit, 5);
  GOES_ON(UMACH(ctx, 2, unit));
  EXPECT_EQ(unit, 6);
  GOES_ON(UMACH(ctx, 3, unit));
  EXPECT_EQ(unit, 6);
  int other = 9;
  GOES_ON(UMACH(ctx, -1, other));
  GOES_ON(UMACH(ctx, 1, unit));
  EXPECT_EQ(unit, 9);
  Context fresh;
  GOES_ON(UMACH(fresh, 1, unit));
  EXPECT_EQ(unit, 5);
}

TEST(UnitConstants, BadUnitIndexStops) {
  for (int n : {-4, 0, 2147483647}) {
    Context ctx;
    int unit = 0;
    EXPECT_EQ(UMACH(ctx, n, unit), Flow::stopped);
    EXPECT_EQ(ctx.printed,
              "\n *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
              " ***          value of the index variable must be\n"
              " ***          1, 2, or 3.  IABS(N) = " +
                  std::string(n == -4  ? "     4"
                              : n == 0 ? "     0"
                                       : "2147483647") +
                  ".\n\n");
  }
}

TEST(IntegerConstants, BadIndexStops) {
  for (int n : {0, 13, -123456}) {
    Context bad;
    int value = 7;
    EXPECT_EQ(IMACH(bad, n, value), Flow::stopped);
    EXPECT_EQ(value, 7);
    char line[64];
    std::snprintf(line, sizeof line, " ***          N = %6d.\n", n);
    EXPECT_EQ(bad.printed, std::string("\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
                                       " ***          must be between 1 and 12 inclusive.\n") +
                               line + "\n");
  }
}

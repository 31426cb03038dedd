// Tests of the error-state stack: error travel on pop, deferred printing, stops, placeholders, value store.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "console_text.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/error_state_data.h"

using namespace quadrature;

namespace {

// Error type of the current level (IOPT 0) or of the routine last popped (IOPT 1).
int type_of(Context& ctx, int iopt) {
  int type = -99;
  EXPECT_EQ(N1RTY(ctx, iopt, type), Flow::go_on);
  return type;
}

// Routine name of stack level LEVEL in the deep-stack test: L02 .. L51.
std::string level_name(int level) { return (level < 10 ? "L0" : "L") + std::to_string(level); }

}  // namespace

TEST(ErrorStack, FortyNineNestedPushesSucceedAndTheNextStopsShowing50) {
  Context ctx;
  for (int level = 2; level <= 50; ++level) GOES_ON(E1PSH(ctx, level_name(level)));
  EXPECT_EQ(type_of(ctx, 0), 0);
  EXPECT_EQ(E1PSH(ctx, "L51"), Flow::stopped);
  std::string expected =
      "\n"
      " *** TERMINAL ERROR 1 from L50.  Error condition in E1PSH.  Push would cause\n"
      " ***          stack level to exceed 50. \n" +
      traceback_heading + traceback_row("L50", 5, 1, true);
  for (int level = 49; level >= 3; --level) expected += traceback_row(level_name(level), 0, 0, true);
  expected += traceback_row("L02", 0, 0, false) + traceback_row("USER", 0, 0, false);
  EXPECT_EQ(ctx.printed, expected);
}

TEST(ErrorStack, WarningTwoLevelsDownIsPrintedOnceUnderTheOuterRoutineWithTheDeepCode) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "OUTER"));
  GOES_ON(E1PSH(ctx, "INNER"));
  E1VALI(ctx, 1, 42);
  GOES_ON(E1MES(ctx, WARNING, 9, "Deep value %(I1)."));
  GOES_ON(E1POP(ctx, "INNER"));
  ctx.printed += "inner popped\n";
  GOES_ON(E1POP(ctx, "OUTER"));
  EXPECT_EQ(ctx.printed,
            "inner popped\n"
            "\n"
            " *** WARNING  ERROR 9 from OUTER.  Deep value 42.\n");
  EXPECT_EQ(type_of(ctx, 1), 3);
  EXPECT_EQ(type_of(ctx, 0), 3);
}

// The stop comes before the pop: the stopping routine stays on the stack.
TEST(ErrorStack, FatalTwoLevelsDownStopsAtTheOuterPopOnly) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "OUTER"));
  GOES_ON(E1PSH(ctx, "INNER"));
  GOES_ON(E1MES(ctx, FATAL, 4, "Cannot go on."));
  GOES_ON(E1POP(ctx, "INNER"));
  ctx.printed += "inner popped\n";
  EXPECT_EQ(E1POP(ctx, "OUTER"), Flow::stopped);
  EXPECT_EQ(ctx.printed, "inner popped\n\n *** FATAL    ERROR 4 from OUTER.  Cannot go on.\n");
  EXPECT_TRUE(ctx.stopped);
  EXPECT_EQ(ctx.errors.level, 2);
}

TEST(ErrorStack, TerminalIsPrintedAtOnceAndStopsAtTheIssuingRoutinesPop) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "OUTER"));
  GOES_ON(E1PSH(ctx, "INNER"));
  GOES_ON(E1MES(ctx, TERMINAL, 2, "Bad argument."));
  ctx.printed += "still running\n";
  EXPECT_EQ(E1POP(ctx, "INNER"), Flow::stopped);
  EXPECT_EQ(ctx.printed, "\n *** TERMINAL ERROR 2 from INNER.  Bad argument.\n" + traceback_heading +
                             traceback_row("INNER", 5, 2, true) + traceback_row("OUTER", 0, 0, false) +
                             traceback_row("USER", 0, 0, false) + "still running\n");
}

TEST(ErrorStack, NoteStaysBehindAlertTravelsSilently) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "A"));
  GOES_ON(E1MES(ctx, NOTE, 4, "A note."));
  GOES_ON(E1POP(ctx, "A"));
  EXPECT_EQ(type_of(ctx, 1), 1);
  EXPECT_EQ(type_of(ctx, 0), 0);
  GOES_ON(E1PSH(ctx, "B"));
  GOES_ON(E1MES(ctx, ALERT, 5, "An alert."));
  GOES_ON(E1POP(ctx, "B"));
  EXPECT_EQ(type_of(ctx, 1), 2);
  EXPECT_EQ(type_of(ctx, 0), 2);
  EXPECT_EQ(ctx.printed, "");
}

TEST(ErrorStack, ImmediateWarningPrintsAtOnceAndNeverStops) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "A"));
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 3, "Six."));
  ctx.printed += "printed before pop\n";
  GOES_ON(E1POP(ctx, "A"));
  EXPECT_EQ(ctx.printed, "\n *** WARNING  ERROR 3 from A.  Six.\nprinted before pop\n");
  EXPECT_EQ(type_of(ctx, 1), 6);
}

TEST(ErrorStack, ImmediateFatalPrintsAtOnceAndStopsWhenControlReturnsToUserCode) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "OUTER"));
  GOES_ON(E1PSH(ctx, "INNER"));
  GOES_ON(E1MES(ctx, FATAL_IMMEDIATE, 3, "Seven."));
  GOES_ON(E1POP(ctx, "INNER"));
  ctx.printed += "inner popped\n";
  EXPECT_EQ(E1POP(ctx, "OUTER"), Flow::stopped);
  EXPECT_EQ(ctx.printed, "\n *** FATAL    ERROR 3 from INNER.  Seven.\n" + traceback_heading +
                             traceback_row("INNER", 7, 3, true) + traceback_row("OUTER", 0, 0, false) +
                             traceback_row("USER", 0, 0, false) + "inner popped\n");
}

// The inner routine reports from level 3, so its traceback follows; the type has
// already travelled to the outer level when the message is printed.
TEST(ErrorStack, UserFlagMakesTheCallerCountAsUserCode) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "OUTER"));
  GOES_ON(E1USR(ctx, "ON"));
  GOES_ON(E1PSH(ctx, "INNER"));
  GOES_ON(E1MES(ctx, WARNING, 2, "Printed at the inner pop."));
  GOES_ON(E1POP(ctx, "INNER"));
  ctx.printed += "inner popped\n";
  GOES_ON(E1USR(ctx, "off"));
  GOES_ON(E1POP(ctx, "OUTER"));  // the message was printed and cleared already
  EXPECT_EQ(ctx.printed, "\n *** WARNING  ERROR 2 from INNER.  Printed at the inner pop.\n" + traceback_heading +
                             traceback_row("INNER", 3, 2, false) + traceback_row("OUTER", 3, 2, false) +
                             traceback_row("USER", 0, 0, false) + "inner popped\n");
  EXPECT_EQ(type_of(ctx, 1), 3);
}

TEST(ErrorStack, PopWithAnotherNameStopsNamingBoth) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "ALPHA"));
  GOES_ON(E1POP(ctx, "ALPHA   "));  // trailing blanks are ignored
  GOES_ON(E1PSH(ctx, "ALPHA"));
  EXPECT_EQ(E1POP(ctx, "BETA"), Flow::stopped);
  EXPECT_EQ(ctx.printed,
            "\n *** TERMINAL ERROR 2 from ALPHA.  Error condition in E1POP.  BETA does not\n"
            " ***          match the name ALPHA in the stack.\n");
}

TEST(ErrorStack, PopOfTheUserLevelStops) {
  Context ctx;
  EXPECT_EQ(E1POP(ctx, "X"), Flow::stopped);
  EXPECT_EQ(ctx.printed,
            "\n *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from\n"
            " ***          X because stack is empty.\n");
}

TEST(ErrorStack, BadUserSwitchStopsAtTheCallersPop) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  GOES_ON(E1USR(ctx, "On"));
  ctx.printed += "still running\n";
  EXPECT_EQ(E1POP(ctx, "T"), Flow::stopped);
  EXPECT_EQ(ctx.printed,
            "\n *** TERMINAL ERROR 1 from T.  Invalid value for SWITCH in call to E1USR. \n"
            " ***          SWITCH must be set to 'ON' or 'OFF'.  SWITCH = 'On' \n"
            "still running\n");
}

TEST(ErrorStack, BadOptionOfN1rtyStopsAtOnce) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  int type = -7;
  EXPECT_EQ(N1RTY(ctx, 2, type), Flow::stopped);
  EXPECT_EQ(type, -7);
  EXPECT_EQ(ctx.printed, "\n *** TERMINAL ERROR 1 from T.  The argument passed to N1RTY must be 0 or 1.\n");
}

TEST(ErrorMessage, IllegalTypeIsPrintedWithTheLevelsTypeAndStops) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  EXPECT_EQ(E1MES(ctx, 8, 1, "Never shown."), Flow::stopped);
  EXPECT_EQ(ctx.printed,
            "\n *** UNKNOWN  ERROR 0 from T.  Error from E1MES.  Illegal error type\n"
            " ***          specified.\n");
}

TEST(ErrorMessage, TypeZeroCodeZeroClearsTheErrorAndTheMessage) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  GOES_ON(E1MES(ctx, WARNING, 4, "Forgotten."));
  GOES_ON(E1MES(ctx, 0, 0, ""));
  EXPECT_EQ(type_of(ctx, 0), 0);
  GOES_ON(E1POP(ctx, "T"));
  GOES_ON(E1PSH(ctx, "T"));
  GOES_ON(E1MES(ctx, -1, -1, " "));  // nothing to print either
  GOES_ON(E1MES(ctx, TERMINAL, -1, " "));
  EXPECT_EQ(type_of(ctx, 0), 5);
  EXPECT_EQ(E1POP(ctx, "T"), Flow::stopped);
  EXPECT_EQ(ctx.printed, "");
}

TEST(ErrorMessage, TerminalWithBlankTextPrintsThePendingMessageUnderTheOldCode) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  GOES_ON(E1MES(ctx, WARNING, 4, "Pending text."));
  GOES_ON(E1MES(ctx, TERMINAL, -1, " "));
  EXPECT_EQ(E1POP(ctx, "T"), Flow::stopped);
  EXPECT_EQ(ctx.printed, "\n *** TERMINAL ERROR 4 from T.  Pending text.\n");
}

TEST(ErrorMessage, PlaceholderRules) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  E1VALI(ctx, 1, -5);
  E1VALI(ctx, 1, 99);  // the first value stored under a placeholder wins
  E1VALL(ctx, 3, "txt   ");
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 1, "a %(i1) b %(I2) c %(I0) d %(l3) e %(I1"));
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 2, "again %(I1)"));  // values are forgotten after each message
  GOES_ON(E1POP(ctx, "T"));
  EXPECT_EQ(ctx.printed,
            "\n *** WARNING  ERROR 1 from T.  a -5 b %(I2) c %(I0) d txt e %(I1\n"
            "\n *** WARNING  ERROR 2 from T.  again %(I1)\n");
}

TEST(ErrorMessage, ValueTexts) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  E1VALD(ctx, 1, 1.0e-10);
  E1VALD(ctx, 2, -0.5);
  E1VALD(ctx, 3, 0.0);
  E1VALD(ctx, 4, 1.0e300);
  E1VALD(ctx, 5, -2.5e-300);
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 1, "%(D1)%/%(D2)%/%(D3)%/%(D4)%/%(D5)"));
  E1VALL(ctx, 1, "    ");
  E1VALL(ctx, -2, "ab  ");
  E1VALL(ctx, 3, "");
  E1VALI(ctx, 4, std::numeric_limits<int>::min());
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 2, "[%(L1)][%(L2)][%(L3)][%(I4)]"));
  GOES_ON(E1POP(ctx, "T"));
  EXPECT_EQ(ctx.printed,
            "\n *** WARNING  ERROR 1 from T.  1.000000000000000D-10\n"
            " ***          -5.000000000000000D-01\n"
            " ***          0.000000000000000D+00\n"
            " ***          1.000000000000000D+300\n"
            " ***          -2.500000000000000D-300\n"
            "\n *** WARNING  ERROR 2 from T.  [ ][ab  ][ ][-2147483648]\n");
}

TEST(ErrorMessage, DoubleValueTextIsTheFixedExponentLayoutForEveryKindOfDouble) {
  // Expected texts as the formatter printed them before it became locale-independent:
  // ties at the 16th digit, subnormals, signed zero, three-digit exponents, the extremes.
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0x0p+0, "0.000000000000000D+00"},
      {-0x0p+0, "-0.000000000000000D+00"},
      {0x1.b7cdfd9d7bdbbp-34, "1.000000000000000D-10"},
      {-0x1p-1, "-5.000000000000000D-01"},
      {0x1p+0, "1.000000000000000D+00"},
      {-0x1.0624dd2f1a9fcp-10, "-1.000000000000000D-03"},
      {0x1.999999999999ap-4, "1.000000000000000D-01"},
      {0x1.5555555555555p-2, "3.333333333333333D-01"},
      {0x1.edd2f1a9fbe77p+6, "1.234560000000000D+02"},
      {0x1p-24, "5.960464477539062D-08"},
      {-0x1p-24, "-5.960464477539062D-08"},
      {0x1.7e43c8800759cp+996, "1.000000000000000D+300"},
      {-0x1.56e1fc2f8f359p-997, "-1.000000000000000D-300"},
      {0x1.249ad2594c37dp+332, "1.000000000000000D+100"},
      {0x1.bff2ee48e053p-333, "1.000000000000000D-100"},
      {0x1.d42aea2879f2ep+328, "1.000000000000000D+99"},
      {0x0.0000000000001p-1022, "4.940656458412465D-324"},
      {0x0.0000000000003p-1022, "1.482196937523740D-323"},
      {-0x0.0000000000001p-1022, "-4.940656458412465D-324"},
      {0x0.fffffffffffffp-1022, "2.225073858507201D-308"},
      {0x1p-1022, "2.225073858507201D-308"},
      {0x1.fffffffffffffp+1023, "1.797693134862316D+308"},
      {-0x1.fffffffffffffp+1023, "-1.797693134862316D+308"},
      {0x1.52d02c7e14af6p+76, "9.999999999999999D+22"},
      {0x0.0000000000007p-1022, "3.458459520888726D-323"},
      {0x1.a36e2eb1c432dp-16, "2.500000000000000D-05"},
      {0x1.fffffffffffffp-1, "9.999999999999999D-01"},
      {0x1.a36e2eb1c432cp-14, "9.999999999999999D-05"},
      {0x1.fffffffffffffp+329, "2.187250724783012D+99"},
      {0x1.fffffffffffffp-330, "9.143899130258199D-100"},
      {0x1.fe185d2f54b67p+78, "6.022140857000000D+23"},
      {-0x1.5bf0a8b145769p+1, "-2.718281828459045D+00"},
      {0x1.fffffffffffffp+3, "1.600000000000000D+01"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::infinity(), "Infinity"},
      {-std::numeric_limits<double>::infinity(), "-Infinity"},
  };
  Context ctx;
  for (const auto& c : cases) {
    E1VALD(ctx, 1, c.value);
    const StoredValue* v = find_value(ctx, 'D', 1);
    ASSERT_NE(v, nullptr) << c.text;
    EXPECT_EQ(std::string(ctx.errors.value_text + v->offset, static_cast<std::size_t>(v->length)), c.text);
    clear_value_store(ctx);
  }
}

TEST(ErrorMessage, FullValueStoreDropsValuesSilently) {
  Context ctx;
  GOES_ON(E1PSH(ctx, "T"));
  // Empty store counts as 1: 1 + 291 + 8 = 300 fits, 292 does not.
  E1VALL(ctx, 1, std::string(292, 'a'));
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 1, "%(L1)"));
  E1VALL(ctx, 1, std::string(200, 'a'));  // charged 4 + 3 + 1 + 200 = 208
  E1VALL(ctx, 2, std::string(85, 'b'));   // 208 + 85 + 8 > 300: dropped
  E1VALL(ctx, 3, std::string(84, 'c'));   // 208 + 84 + 8 = 300: kept
  GOES_ON(E1MES(ctx, WARNING_IMMEDIATE, 2, "%(L2)|%(L3)"));
  GOES_ON(E1POP(ctx, "T"));
  EXPECT_EQ(ctx.printed,
            "\n *** WARNING  ERROR 1 from T.  %(L1)\n"
            // No blank after the lead: the first line breaks inside ".  ".
            "\n *** WARNING  ERROR 2 from T. \n"
            " ***          %(L2)|" +
                std::string(58, 'c') +
                "\n"
                " ***          " +
                std::string(26, 'c') + "\n");
}

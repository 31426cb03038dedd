// Tests of the error-state stack: error travel on pop, deferred printing, stops, placeholders, value store.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <limits>
#include <string>

#include "child_process.h"
#include "console_text.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/error_state_data.h"

using namespace quadrature;

TEST(ErrorStack, FortyNineNestedPushesSucceedAndTheNextStopsShowing50) {
  const ChildRun run = run_in_child([] {
    char name[8];
    for (int level = 2; level <= 50; ++level) {
      std::snprintf(name, sizeof name, "L%02d", level);
      E1PSH(name);
    }
    std::printf("level 50 reached, type %d\n", N1RTY(0));
    E1PSH("L51");
  });
  std::string expected =
      "level 50 reached, type 0\n"
      "\n"
      " *** TERMINAL ERROR 1 from L50.  Error condition in E1PSH.  Push would cause\n"
      " ***          stack level to exceed 50. \n" +
      traceback_heading + traceback_row("L50", 5, 1, true);
  for (int level = 49; level >= 3; --level) {
    char name[8];
    std::snprintf(name, sizeof name, "L%02d", level);
    expected += traceback_row(name, 0, 0, true);
  }
  expected += traceback_row("L02", 0, 0, false) + traceback_row("USER", 0, 0, false);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, expected);
}

TEST(ErrorStack, WarningTwoLevelsDownIsPrintedOnceUnderTheOuterRoutineWithTheDeepCode) {
  const ChildRun run = run_in_child([] {
    E1PSH("OUTER");
    E1PSH("INNER");
    E1VALI(1, 42);
    E1MES(WARNING, 9, "Deep value %(I1).");
    E1POP("INNER");
    std::printf("inner popped\n");
    E1POP("OUTER");
    std::printf("after: %d %d\n", N1RTY(1), N1RTY(0));
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "inner popped\n"
            "\n"
            " *** WARNING  ERROR 9 from OUTER.  Deep value 42.\n"
            "after: 3 3\n");
}

TEST(ErrorStack, FatalTwoLevelsDownStopsAtTheOuterPopOnly) {
  const ChildRun run = run_in_child([] {
    E1PSH("OUTER");
    E1PSH("INNER");
    E1MES(FATAL, 4, "Cannot go on.");
    E1POP("INNER");
    std::printf("inner popped\n");
    E1POP("OUTER");
    std::printf("not reached\n");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "inner popped\n\n *** FATAL    ERROR 4 from OUTER.  Cannot go on.\n");
}

TEST(ErrorStack, TerminalIsPrintedAtOnceAndStopsAtTheIssuingRoutinesPop) {
  const ChildRun run = run_in_child([] {
    E1PSH("OUTER");
    E1PSH("INNER");
    E1MES(TERMINAL, 2, "Bad argument.");
    std::printf("still running\n");
    E1POP("INNER");
    std::printf("not reached\n");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "\n *** TERMINAL ERROR 2 from INNER.  Bad argument.\n" + traceback_heading +
                            traceback_row("INNER", 5, 2, true) + traceback_row("OUTER", 0, 0, false) +
                            traceback_row("USER", 0, 0, false) + "still running\n");
}

TEST(ErrorStack, NoteStaysBehindAlertTravelsSilently) {
  const ChildRun run = run_in_child([] {
    E1PSH("A");
    E1MES(NOTE, 4, "A note.");
    E1POP("A");
    std::printf("note: popped %d, caller %d\n", N1RTY(1), N1RTY(0));
    E1PSH("B");
    E1MES(ALERT, 5, "An alert.");
    E1POP("B");
    std::printf("alert: popped %d, caller %d\n", N1RTY(1), N1RTY(0));
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "note: popped 1, caller 0\nalert: popped 2, caller 2\n");
}

TEST(ErrorStack, ImmediateWarningPrintsAtOnceAndNeverStops) {
  const ChildRun run = run_in_child([] {
    E1PSH("A");
    E1MES(WARNING_IMMEDIATE, 3, "Six.");
    std::printf("printed before pop\n");
    E1POP("A");
    std::printf("continues: %d\n", N1RTY(1));
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "\n *** WARNING  ERROR 3 from A.  Six.\nprinted before pop\ncontinues: 6\n");
}

TEST(ErrorStack, ImmediateFatalPrintsAtOnceAndStopsWhenControlReturnsToUserCode) {
  const ChildRun run = run_in_child([] {
    E1PSH("OUTER");
    E1PSH("INNER");
    E1MES(FATAL_IMMEDIATE, 3, "Seven.");
    E1POP("INNER");
    std::printf("inner popped\n");
    E1POP("OUTER");
    std::printf("not reached\n");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "\n *** FATAL    ERROR 3 from INNER.  Seven.\n" + traceback_heading +
                            traceback_row("INNER", 7, 3, true) + traceback_row("OUTER", 0, 0, false) +
                            traceback_row("USER", 0, 0, false) + "inner popped\n");
}

// The inner routine reports from level 3, so its traceback follows; the type has
// already travelled to the outer level when the message is printed.
TEST(ErrorStack, UserFlagMakesTheCallerCountAsUserCode) {
  const ChildRun run = run_in_child([] {
    E1PSH("OUTER");
    E1USR("ON");
    E1PSH("INNER");
    E1MES(WARNING, 2, "Printed at the inner pop.");
    E1POP("INNER");
    std::printf("inner popped\n");
    E1USR("off");
    E1POP("OUTER");  // the message was printed and cleared already
    std::printf("outer popped: %d\n", N1RTY(1));
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "\n *** WARNING  ERROR 2 from INNER.  Printed at the inner pop.\n" + traceback_heading +
                            traceback_row("INNER", 3, 2, false) + traceback_row("OUTER", 3, 2, false) +
                            traceback_row("USER", 0, 0, false) + "inner popped\nouter popped: 3\n");
}

TEST(ErrorStack, PopWithAnotherNameStopsNamingBoth) {
  const ChildRun run = run_in_child([] {
    E1PSH("ALPHA");
    E1POP("ALPHA   ");  // trailing blanks are ignored
    E1PSH("ALPHA");
    E1POP("BETA");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n *** TERMINAL ERROR 2 from ALPHA.  Error condition in E1POP.  BETA does not\n"
            " ***          match the name ALPHA in the stack.\n");
}

TEST(ErrorStack, PopOfTheUserLevelStops) {
  const ChildRun run = run_in_child([] { E1POP("X"); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from\n"
            " ***          X because stack is empty.\n");
}

TEST(ErrorStack, BadUserSwitchStopsAtTheCallersPop) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1USR("On");
    std::printf("still running\n");
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n *** TERMINAL ERROR 1 from T.  Invalid value for SWITCH in call to E1USR. \n"
            " ***          SWITCH must be set to 'ON' or 'OFF'.  SWITCH = 'On' \n"
            "still running\n");
}

TEST(ErrorStack, BadOptionOfN1rtyStopsAtOnce) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    N1RTY(2);
    std::printf("not reached\n");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "\n *** TERMINAL ERROR 1 from T.  The argument passed to N1RTY must be 0 or 1.\n");
}

TEST(ErrorMessage, IllegalTypeIsPrintedWithTheLevelsTypeAndStops) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1MES(8, 1, "Never shown.");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n *** UNKNOWN  ERROR 0 from T.  Error from E1MES.  Illegal error type\n"
            " ***          specified.\n");
}

TEST(ErrorMessage, TypeZeroCodeZeroClearsTheErrorAndTheMessage) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1MES(WARNING, 4, "Forgotten.");
    E1MES(0, 0, "");
    std::printf("type %d\n", N1RTY(0));
    E1POP("T");
    E1PSH("T");
    E1MES(-1, -1, " ");  // nothing to print either
    E1MES(TERMINAL, -1, " ");
    std::printf("type %d\n", N1RTY(0));
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "type 0\ntype 5\n");
}

TEST(ErrorMessage, TerminalWithBlankTextPrintsThePendingMessageUnderTheOldCode) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1MES(WARNING, 4, "Pending text.");
    E1MES(TERMINAL, -1, " ");
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, "\n *** TERMINAL ERROR 4 from T.  Pending text.\n");
}

TEST(ErrorMessage, PlaceholderRules) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1VALI(1, -5);
    E1VALI(1, 99);  // the first value stored under a placeholder wins
    E1VALL(3, "txt   ");
    E1MES(WARNING_IMMEDIATE, 1, "a %(i1) b %(I2) c %(I0) d %(l3) e %(I1");
    E1MES(WARNING_IMMEDIATE, 2, "again %(I1)");  // values are forgotten after each message
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n *** WARNING  ERROR 1 from T.  a -5 b %(I2) c %(I0) d txt e %(I1\n"
            "\n *** WARNING  ERROR 2 from T.  again %(I1)\n");
}

TEST(ErrorMessage, ValueTexts) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    E1VALD(1, 1.0e-10);
    E1VALD(2, -0.5);
    E1VALD(3, 0.0);
    E1VALD(4, 1.0e300);
    E1VALD(5, -2.5e-300);
    E1MES(WARNING_IMMEDIATE, 1, "%(D1)%/%(D2)%/%(D3)%/%(D4)%/%(D5)");
    E1VALL(1, "    ");
    E1VALL(-2, "ab  ");
    E1VALL(3, "");
    E1MES(WARNING_IMMEDIATE, 2, "[%(L1)][%(L2)][%(L3)]");
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n *** WARNING  ERROR 1 from T.  1.000000000000000D-10\n"
            " ***          -5.000000000000000D-01\n"
            " ***          0.000000000000000D+00\n"
            " ***          1.000000000000000D+300\n"
            " ***          -2.500000000000000D-300\n"
            "\n *** WARNING  ERROR 2 from T.  [ ][ab  ][ ]\n");
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
  for (const auto& c : cases) {
    E1VALD(1, c.value);
    const StoredValue* v = find_value('D', 1);
    ASSERT_NE(v, nullptr) << c.text;
    EXPECT_EQ(std::string(the_error_state.value_text + v->offset, static_cast<std::size_t>(v->length)), c.text);
    clear_value_store();
  }
}

TEST(ErrorMessage, FullValueStoreDropsValuesSilently) {
  const ChildRun run = run_in_child([] {
    E1PSH("T");
    // Empty store counts as 1: 1 + 291 + 8 = 300 fits, 292 does not.
    E1VALL(1, std::string(292, 'a'));
    E1MES(WARNING_IMMEDIATE, 1, "%(L1)");
    E1VALL(1, std::string(200, 'a'));  // charged 4 + 3 + 1 + 200 = 208
    E1VALL(2, std::string(85, 'b'));   // 208 + 85 + 8 > 300: dropped
    E1VALL(3, std::string(84, 'c'));   // 208 + 84 + 8 = 300: kept
    E1MES(WARNING_IMMEDIATE, 2, "%(L2)|%(L3)");
    E1POP("T");
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n *** WARNING  ERROR 1 from T.  %(L1)\n"
            // No blank after the lead: the first line breaks inside ".  ".
            "\n *** WARNING  ERROR 2 from T. \n"
            " ***          %(L2)|" +
                std::string(58, 'c') +
                "\n"
                " ***          " +
                std::string(26, 'c') + "\n");
}

TEST(StopOfTheRun, SaysOnStandardErrorWhyTheRunEndedAndFailsWhenTheMessageIsLost) {
  struct Case {
    bool output_to_full_device;  // standard output on a device that refuses every write
    int exit_status;
    std::string errors;
  } cases[] = {
      {false, 3, stop_line},
      {true, 2, "program: cannot write to standard output: No space left on device\n"},
  };
  for (const Case& c : cases) {
    const ChildRun run = run_in_child([&c] {
      if (c.output_to_full_device) dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
      E1PSH("T");
      E1MES(TERMINAL, 1, "Stop here.");
      E1POP("T");
    });
    EXPECT_EQ(run.exit_status, c.exit_status) << c.output_to_full_device;
    EXPECT_EQ(run.errors, c.errors) << c.output_to_full_device;
    EXPECT_EQ(run.output, c.output_to_full_device ? "" : "\n *** TERMINAL ERROR 1 from T.  Stop here.\n");
  }
}

// Tests of the error-state stack: error travel on pop, deferred printing, stops, placeholders, value store.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "child_process.h"
#include "quadrature/internal/error_state.h"

using namespace quadrature;

namespace {

// The traceback heading printed under a message reported above level 2.
const std::string traceback_heading =
    "     Here is a traceback of subprogram calls in reverse order:\n"
    "     Routine name                    Error type  Error code\n"
    "     ------------                    ----------  ----------\n";

// One traceback row: name in 32 characters, type and code in 6 each.
std::string traceback_row(const std::string& name, int type, int code, bool internal) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "     %-32s%6d      %6d%s\n", name.c_str(), type, code,
                internal ? "    (Called internally)" : "");
  return buf;
}

}  // namespace

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

// Tests of the adaptive integrator: known integrals, reference bands, evaluation counts, statuses and their messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <limits>
#include <string>

#include "child_process.h"
#include "console_text.h"
#include "quadrature/dqdags.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/machine_constants.h"
#include "reference_values.h"

using namespace quadrature;

namespace {

constexpr double vantor_errrel = 9.999999747378752e-06;  // 1e-5 as a single-precision value

int evaluations = 0;          // integrand calls since the last reset
bool touched_an_end = false;  // an evaluation at A or B of the current call
double end_a = 0.0, end_b = 0.0;

void watch(const double& x) {
  ++evaluations;
  if (x == end_a || x == end_b) touched_an_end = true;
}

double inverse_sqrt(const double& x) {
  watch(x);
  return 1.0 / std::sqrt(x);
}
double log_x(const double& x) {
  watch(x);
  return std::log(x);
}
double power_minus_0_9(const double& x) {
  watch(x);
  return std::pow(x, -0.9);
}
double exp_over_t(const double& t) {
  watch(t);
  return std::exp(-(t * 1.0)) * (1.0 / t);
}
double square(const double& x) {
  watch(x);
  return x * x;
}
// 1 at the ends of [0, 1] only, where the rule never evaluates.
double only_at_ends(const double& x) {
  watch(x);
  return (x == 0.0 || x == 1.0) ? 1.0 : 0.0;
}
double inverse(const double& x) { return 1.0 / x; }
double power_minus_1_5(const double& x) { return std::pow(x, -1.5); }
double power_minus_0_999(const double& x) { return std::pow(x, -0.999); }
double inverse_distance_to_third(const double& x) { return 1.0 / std::fabs(x - 1.0 / 3.0); }
double not_a_number(const double&) { return std::numeric_limits<double>::quiet_NaN(); }
double nan_at_centre(const double& x) { return x == 0.5 ? std::numeric_limits<double>::quiet_NaN() : x; }
double infinite_on_left(const double& x) { return x < 0.3 ? std::numeric_limits<double>::infinity() : x; }
// Reports a WARNING through the error state on its first call, as a library routine
// used inside an integrand would.
double reporting_once(const double& x) {
  static bool reported = false;
  if (!reported) {
    reported = true;
    E1PSH("SUB");
    E1MES(WARNING, 7, "From integrand.");
    E1POP("SUB");
  }
  return x;
}
double printing(const double& x) {
  std::printf("evaluated\n");
  return x;
}

// Deterministic noise of size 1e-6 on 1/sqrt(x): roundoff defeats tight tolerances.
double noisy_inverse_sqrt(const double& x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits *= 0x9E3779B97F4A7C15ull;
  bits ^= bits >> 29;
  bits *= 0xBF58476D1CE4E5B9ull;
  bits ^= bits >> 32;
  const double u = static_cast<double>(bits >> 11) / 9007199254740992.0 - 0.5;
  return 1.0 / std::sqrt(x) + 1e-6 * u;
}

// One DQ2AGS call with its own workspace and everything it returns.
struct Outcome {
  double result = 0.0, esterr = 0.0;
  int ncalls = -1, nintv = -1;
  int evaluations = 0;
  bool touched_an_end = false;
  int error_type = -1;  // N1RTY(1) after the call
};

Outcome integrate(Integrand f, double a, double b, double errabs, double errrel, int maxsub = 500) {
  static double lefts[2000], rights[2000], areas[2000], errs[2000];
  static int order[2000];
  evaluations = 0;
  touched_an_end = false;
  end_a = a;
  end_b = b;
  Outcome out;
  DQ2AGS(f, a, b, errabs, errrel, out.result, out.esterr, maxsub, out.ncalls, out.nintv, lefts, rights, areas, errs,
         order);
  out.evaluations = evaluations;
  out.touched_an_end = touched_an_end;
  out.error_type = N1RTY(1);
  return out;
}

// Output and status of a DQDAGS call in a process of its own; prints RESULT if it returns.
ChildRun dqdags_in_child(Integrand f, double a, double b, double errabs, double errrel) {
  return run_in_child([=] {
    double result, esterr;
    DQDAGS(f, a, b, errabs, errrel, result, esterr);
    std::printf("returned %.17g, type %d\n", result, N1RTY(1));
  });
}

}  // namespace

TEST(Integrals, EndpointSingularitiesConvergeThroughExtrapolation) {
  struct Case {
    Integrand f;
    double exact;
  } cases[] = {{inverse_sqrt, 2.0}, {log_x, -1.0}, {power_minus_0_9, 10.0}};
  for (const Case& c : cases) {
    const Outcome out = integrate(c.f, 0.0, 1.0, 0.0, 1e-10);
    EXPECT_EQ(out.error_type, 0);
    EXPECT_NEAR(out.result, c.exact, out.esterr);
    EXPECT_LE(out.esterr, 1e-10 * std::fabs(c.exact));
    EXPECT_FALSE(out.touched_an_end);
    EXPECT_EQ(out.ncalls, 42 * out.nintv - 21);
    EXPECT_EQ(out.evaluations, out.ncalls);
  }
}

TEST(Integrals, ReversedIntervalChangesOnlyTheSign) {
  const Outcome forward = integrate(power_minus_0_9, 0.0, 1.0, 0.0, 1e-10);
  const Outcome backward = integrate(power_minus_0_9, 1.0, 0.0, 0.0, 1e-10);
  EXPECT_EQ(backward.result, -forward.result);
  EXPECT_EQ(backward.esterr, forward.esterr);
  EXPECT_EQ(backward.ncalls, forward.ncalls);
}

TEST(Integrals, EqualEndsGiveZeroAfterOneRule) {
  const ChildRun run = run_in_child([] {
    const Outcome out = integrate(square, 2.0, 2.0, 0.0, 1e-6);
    std::printf("%g %g %d %d %d\n", out.result, out.esterr, out.ncalls, out.nintv, out.error_type);
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "0 0 21 1 0\n");
}

TEST(Integrals, IntegrandZeroAtAllNodesReturnsAtOnce) {
  const Outcome out = integrate(only_at_ends, 0.0, 1.0, 0.0, 1e-6);
  EXPECT_EQ(out.result, 0.0);
  EXPECT_EQ(out.esterr, 0.0);
  EXPECT_EQ(out.ncalls, 21);
  EXPECT_FALSE(out.touched_an_end);
}

TEST(Integrals, ExpOverTOverBandsMatchesExponentialIntegralDifferences) {
  for (const BandReference& band : band_references) {
    const Outcome out = integrate(exp_over_t, band.a, band.b, 0.0, vantor_errrel);
    EXPECT_EQ(out.error_type, 0) << band.a << " " << band.b;
    EXPECT_LE(std::fabs(out.result - band.value), out.esterr) << band.a << " " << band.b;
    EXPECT_LE(std::fabs(out.result - band.value), vantor_errrel * band.value);
    EXPECT_EQ(out.ncalls, 42 * out.nintv - 21);
    EXPECT_EQ(out.evaluations, out.ncalls);

    double result, esterr;
    DQDAGS(exp_over_t, band.a, band.b, 0.0, vantor_errrel, result, esterr);
    EXPECT_EQ(result, out.result);
    EXPECT_EQ(esterr, out.esterr);
  }
}

TEST(Integrals, ZeroAbsoluteOrZeroRelativeToleranceIsAccepted) {
  EXPECT_EQ(integrate(square, 0.0, 1.0, 0.0, 1e-8).error_type, 0);
  const Outcome out = integrate(square, 0.0, 1.0, 1e-8, 0.0);
  EXPECT_EQ(out.error_type, 0);
  EXPECT_NEAR(out.result, 1.0 / 3.0, 1e-15);
}

TEST(StatusMessages, SubintervalLimitOfDqdagsIsFatal) {
  // 1/x on [0, 1]: the bisected pieces near 0 add equal amounts, which the
  // extrapolation rejects as irregular, so bisection runs into the limit.
  const ChildRun run = dqdags_in_child(inverse, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.errors, stop_line);
  EXPECT_EQ(run.output,
            "\n"
            " *** FATAL    ERROR 1 from DQDAGS.  The maximum number of subintervals\n"
            " ***          allowed MAXSUB = 500 has been reached.  Use DQ2AGS and increase \n"
            " ***          MAXSUB.  Dimension adjustments may be necessary.\n");
}

TEST(StatusMessages, MaxsubOneIsFatalEvenWhenTheFirstRuleIsAccurate) {
  const ChildRun run = run_in_child([] { integrate(square, 0.0, 1.0, 0.0, 1e-5, 1); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** FATAL    ERROR 1 from DQ2AGS.  The maximum number of subintervals\n"
            " ***          allowed MAXSUB = 1 has been reached.  Use DQ2AGS and increase \n"
            " ***          MAXSUB.  Dimension adjustments may be necessary.\n");
}

TEST(StatusMessages, RoundoffWarningIsPrintedOnceAndTheRunGoesOn) {
  const ChildRun run = dqdags_in_child(noisy_inverse_sqrt, 0.0, 1.0, 1.0e-10, 1.0e-8);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n"
            " *** WARNING  ERROR 2 from DQDAGS.  Roundoff error has been detected.  The\n"
            " ***          requested tolerances, ERRABS = 1.000000000000000D-10 and ERRREL \n"
            " ***          = 1.000000000000000D-08, cannot be reached.\n"
            "returned 2.0000000108158464, type 3\n");
}

TEST(StatusMessages, BadIntegrandBehaviourWarningNamesTheWorstInterval) {
  const ChildRun run = dqdags_in_child(inverse_distance_to_third, 0.0, 1.0, 1.0e-10, 1.0e-8);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n"
            " *** WARNING  ERROR 3 from DQDAGS.  Precision is degraded due to too fine a\n"
            " ***          subdivision relative to the requested tolerance.  This may be \n"
            " ***          due to bad integrand behavior in the interval \n"
            " ***          (3.333333333333144D-01,3.333333333333712D-01).  Higher \n"
            " ***          precision may alleviate this problem.\n"
            "returned 69.792912378748298, type 3\n");
}

TEST(StatusMessages, ExtrapolationRoundoffWarning) {
  const ChildRun run = dqdags_in_child(power_minus_0_999, 0.0, 0.5, 0.0, 1.0e-12);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n"
            " *** WARNING  ERROR 4 from DQDAGS.  Roundoff error has been detected in the\n"
            " ***          extrapolation table.  The requested tolerances, ERRABS = \n"
            " ***          0.000000000000000D+00 and ERRREL = 1.000000000000000D-12 cannot \n"
            " ***          be reached.\n"
            "returned 999.30709299014165, type 3\n");
}

TEST(StatusMessages, DivergentIntegralIsFatal) {
  const ChildRun run = dqdags_in_child(power_minus_1_5, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** FATAL    ERROR 5 from DQDAGS.  Integral is probably divergent or slowly\n"
            " ***          convergent.\n");
}

TEST(StatusMessages, NonFiniteIntegrandEndsWithAStatusNeverSilently) {
  const std::string limit_message =
      "\n"
      " *** FATAL    ERROR 1 from DQDAGS.  The maximum number of subintervals\n"
      " ***          allowed MAXSUB = 500 has been reached.  Use DQ2AGS and increase \n"
      " ***          MAXSUB.  Dimension adjustments may be necessary.\n";
  ChildRun run = dqdags_in_child(not_a_number, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, limit_message);
  // An infinite first approximation must not pass its own infinite tolerance.
  run = dqdags_in_child(infinite_on_left, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, limit_message);
  run = dqdags_in_child(nan_at_centre, 0.0, 1.0, 1.0e-10, 1.0e-8);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "\n"
            " *** WARNING  ERROR 2 from DQDAGS.  Roundoff error has been detected.  The\n"
            " ***          requested tolerances, ERRABS = 1.000000000000000D-10 and ERRREL \n"
            " ***          = 1.000000000000000D-08, cannot be reached.\n"
            "returned 0.5, type 3\n");
}

TEST(StatusMessages, RoutinesCalledFromTheIntegrandReportAsIfCalledByTheUser) {
  const ChildRun run = dqdags_in_child(reporting_once, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "\n *** WARNING  ERROR 7 from SUB.  From integrand.\n" + traceback_heading +
                            "     SUB                                  3           7\n"
                            "     DQ2AGS                               3           7    (Called internally)\n"
                            "     DQDAGS                               0           0\n"
                            "     USER                                 0           0\n"
                            "returned 0.5, type 3\n");
}

TEST(ArgumentErrors, NegativeRelativeToleranceThroughDqdagsShowsTheTraceback) {
  const ChildRun run = dqdags_in_child(square, 0.0, 1.0, 0.0, -0.001);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 3 from DQ2AGS.  The relative error desired ERRREL =\n"
            " ***          -1.000000000000000D-03.  It must be at least zero.\n" +
                traceback_heading +
                "     DQ2AGS                               5           3    (Called internally)\n"
                "     DQDAGS                               0           0\n"
                "     USER                                 0           0\n");
}

TEST(ArgumentErrors, BothTolerancesNegativePrintTwoMessagesAndComputeNothing) {
  const ChildRun run = run_in_child([] { integrate(printing, 0.0, 1.0, -1.0, -0.001); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 2 from DQ2AGS.  The absolute error desired ERRABS =\n"
            " ***          -1.000000000000000D+00.  It must be at least zero.\n"
            "\n"
            " *** TERMINAL ERROR 3 from DQ2AGS.  The relative error desired ERRREL =\n"
            " ***          -1.000000000000000D-03.  It must be at least zero.\n");
}

TEST(ArgumentErrors, OtherRefusedArguments) {
  ChildRun run = run_in_child([] { integrate(printing, 0.0, 1.0, 0.0, 0.0); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 4 from DQ2AGS.  The error tolerance arguments ERRABS and\n"
            " ***          ERRREL are both equal to zero.  At least one of them must be \n"
            " ***          greater than zero.\n");
  run = run_in_child([] { integrate(printing, 0.0, 1.0, 0.0, 1.0); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 5 from DQ2AGS.  The relative error desired ERRREL =\n"
            " ***          1.000000000000000D+00.  When ERRREL is greater than or equal to \n"
            " ***          one, zero can always be returned as an answer.\n");
  run = run_in_child([] { integrate(printing, 0.0, 1.0, 0.0, 1e-5, 0); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 1 from DQ2AGS.  The maximum number of subintervals MAXSUB\n"
            " ***          = 0.  It must be at least 1.\n");
}

TEST(MachineConstants, TableAndBadIndex) {
  EXPECT_EQ(DMACH(1), std::numeric_limits<double>::min());
  EXPECT_EQ(DMACH(2), std::numeric_limits<double>::max());
  EXPECT_EQ(DMACH(3), std::ldexp(1.0, -53));
  EXPECT_EQ(DMACH(4), std::ldexp(1.0, -52));
  EXPECT_EQ(DMACH(5), 0.3010299956639812);
  EXPECT_TRUE(std::isnan(DMACH(6)));
  EXPECT_EQ(DMACH(7), std::numeric_limits<double>::infinity());
  EXPECT_EQ(DMACH(8), -std::numeric_limits<double>::infinity());
  const ChildRun run = run_in_child([] { DMACH(9); });
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output,
            "\n"
            " *** TERMINAL ERROR 5 from DMACH.  The argument must be between 1 and 8\n"
            " ***          inclusive. N = 9\n");
}

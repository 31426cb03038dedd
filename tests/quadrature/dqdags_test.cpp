// Tests of the adaptive integrator: known integrals, reference bands, evaluation counts, statuses and their messages,
// stops inside the integrand, contexts in threads and a context reset.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "console_text.h"
#include "quadrature/dqdags.h"
#include "quadrature/internal/error_state.h"
#include "quadrature/internal/machine_constants.h"
#include "quadrature/internal/unit_constants.h"
#include "reference_values.h"

using namespace quadrature;

namespace {

constexpr double vantor_errrel = 9.999999747378752e-06;  // 1e-5 as a single-precision value

double inverse_sqrt(const double& x) { return 1.0 / std::sqrt(x); }
double log_x(const double& x) { return std::log(x); }
double power_minus_0_9(const double& x) { return std::pow(x, -0.9); }
double exp_over_t(const double& t) { return std::exp(-(t * 1.0)) * (1.0 / t); }
double square(const double& x) { return x * x; }
// 1 at the ends of [0, 1] only, where the rule never evaluates.
double only_at_ends(const double& x) { return (x == 0.0 || x == 1.0) ? 1.0 : 0.0; }
double inverse(const double& x) { return 1.0 / x; }
double power_minus_1_5(const double& x) { return std::pow(x, -1.5); }
double power_minus_0_999(const double& x) { return std::pow(x, -0.999); }
double inverse_distance_to_third(const double& x) { return 1.0 / std::fabs(x - 1.0 / 3.0); }
double not_a_number(const double&) { return std::numeric_limits<double>::quiet_NaN(); }
double nan_at_centre(const double& x) { return x == 0.5 ? std::numeric_limits<double>::quiet_NaN() : x; }
double infinite_on_left(const double& x) { return x < 0.3 ? std::numeric_limits<double>::infinity() : x; }

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

// An integrand that reports an error of TYPE through the error state on its first call,
// as a library routine used inside an integrand would; it carries its context and counts its calls.
struct ReportingOnce {
  Context* ctx;
  int type;
  mutable int evaluations = 0;
  double operator()(const double& x) const {
    if (evaluations++ == 0) {
      if (E1PSH(*ctx, "SUB") == Flow::go_on && E1MES(*ctx, type, 7, "From integrand.") == Flow::go_on &&
          E1POP(*ctx, "SUB") == Flow::go_on)
        return x;
      return 0.0;  // stopped: the rule notices, whatever is returned
    }
    return x;
  }
};

// One integration and everything it gives back.
struct Outcome {
  Flow flow = Flow::go_on;
  std::string printed;  // what the library printed
  double result = 0.0, esterr = 0.0;
  int ncalls = -1, nintv = -1;  // DQ2AGS only
  int evaluations = 0;
  bool touched_an_end = false;  // an evaluation at A or B
  int error_type = -1;          // N1RTY(1) after a call that went on
};

// F wrapped to count its evaluations and note any at A or B.
template <typename F>
struct Watched {
  const F& f;
  double a, b;
  Outcome& out;
  double operator()(const double& x) const {
    ++out.evaluations;
    if (x == a || x == b) out.touched_an_end = true;
    return f(x);
  }
};

// Fills in what the context holds after a call.
void finish(Context& ctx, Outcome& out) {
  out.printed = ctx.printed;
  if (out.flow == Flow::go_on) {
    EXPECT_EQ(N1RTY(ctx, 1, out.error_type), Flow::go_on);
  }
}

// One DQ2AGS call on a fresh context with a workspace of MAXSUB entries.
template <typename F>
Outcome integrate(const F& f, double a, double b, double errabs, double errrel, int maxsub = 500) {
  const std::size_t room = maxsub > 0 ? static_cast<std::size_t>(maxsub) : 1;
  std::vector<double> lefts(room), rights(room), areas(room), errs(room);
  std::vector<int> order(room);
  Context ctx;
  Outcome out;
  const Watched<F> watched{f, a, b, out};
  out.flow = DQ2AGS(ctx, watched, a, b, errabs, errrel, out.result, out.esterr, maxsub, out.ncalls, out.nintv,
                    lefts.data(), rights.data(), areas.data(), errs.data(), order.data());
  finish(ctx, out);
  return out;
}

// One DQDAGS call on a fresh context.
template <typename F>
Outcome integrate_dqdags(const F& f, double a, double b, double errabs, double errrel) {
  Context ctx;
  Outcome out;
  const Watched<F> watched{f, a, b, out};
  out.flow = DQDAGS(ctx, watched, a, b, errabs, errrel, out.result, out.esterr);
  finish(ctx, out);
  return out;
}

// The shortest text that reads back as X, so that equal texts mean equal bits.
std::string exact_text(double x) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

// The message of a FATAL stop at the subinterval limit of DQDAGS.
const std::string dqdags_limit_message =
    "\n"
    " *** FATAL    ERROR 1 from DQDAGS.  The maximum number of subintervals\n"
    " ***          allowed MAXSUB = 500 has been reached.  Use DQ2AGS and increase \n"
    " ***          MAXSUB.  Dimension adjustments may be necessary.\n";

}  // namespace

TEST(Integrals, EndpointSingularitiesConvergeThroughExtrapolation) {
  struct Case {
    Integrand::Function f;
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
  const Outcome out = integrate(square, 2.0, 2.0, 0.0, 1e-6);
  EXPECT_EQ(out.flow, Flow::go_on);
  EXPECT_EQ(out.printed, "");
  EXPECT_EQ(out.result, 0.0);
  EXPECT_EQ(out.esterr, 0.0);
  EXPECT_EQ(out.ncalls, 21);
  EXPECT_EQ(out.nintv, 1);
  EXPECT_EQ(out.error_type, 0);
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

    // A plain function and an object give the same bits through DQDAGS as through DQ2AGS.
    Context ctx;
    double result, esterr;
    GOES_ON(DQDAGS(ctx, exp_over_t, band.a, band.b, 0.0, vantor_errrel, result, esterr));
    EXPECT_EQ(result, out.result);
    EXPECT_EQ(esterr, out.esterr);
    const auto object = [](const double& t) { return exp_over_t(t); };
    GOES_ON(DQDAGS(ctx, object, band.a, band.b, 0.0, vantor_errrel, result, esterr));
    EXPECT_EQ(result, out.result);
    EXPECT_EQ(esterr, out.esterr);
    EXPECT_EQ(ctx.printed, "");
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
  const Outcome out = integrate_dqdags(inverse, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.printed, dqdags_limit_message);
}

TEST(StatusMessages, MaxsubOneIsFatalEvenWhenTheFirstRuleIsAccurate) {
  const Outcome out = integrate(square, 0.0, 1.0, 0.0, 1e-5, 1);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.printed,
            "\n"
            " *** FATAL    ERROR 1 from DQ2AGS.  The maximum number of subintervals\n"
            " ***          allowed MAXSUB = 1 has been reached.  Use DQ2AGS and increase \n"
            " ***          MAXSUB.  Dimension adjustments may be necessary.\n");
}

// Each warning is printed once, when DQDAGS returns, and the run goes on with type 3.
TEST(StatusMessages, WarningsArePrintedOnceAndTheRunGoesOn) {
  struct Case {
    Integrand::Function f;
    double b, errabs, errrel;
    std::string printed;
    double result;
  } cases[] = {
      {noisy_inverse_sqrt, 1.0, 1.0e-10, 1.0e-8,
       "\n"
       " *** WARNING  ERROR 2 from DQDAGS.  Roundoff error has been detected.  The\n"
       " ***          requested tolerances, ERRABS = 1.000000000000000D-10 and ERRREL \n"
       " ***          = 1.000000000000000D-08, cannot be reached.\n",
       2.0000000108158464},
      {inverse_distance_to_third, 1.0, 1.0e-10, 1.0e-8,
       "\n"
       " *** WARNING  ERROR 3 from DQDAGS.  Precision is degraded due to too fine a\n"
       " ***          subdivision relative to the requested tolerance.  This may be \n"
       " ***          due to bad integrand behavior in the interval \n"
       " ***          (3.333333333333144D-01,3.333333333333712D-01).  Higher \n"
       " ***          precision may alleviate this problem.\n",
       69.792912378748298},
      {power_minus_0_999, 0.5, 0.0, 1.0e-12,
       "\n"
       " *** WARNING  ERROR 4 from DQDAGS.  Roundoff error has been detected in the\n"
       " ***          extrapolation table.  The requested tolerances, ERRABS = \n"
       " ***          0.000000000000000D+00 and ERRREL = 1.000000000000000D-12 cannot \n"
       " ***          be reached.\n",
       999.30709299014165},
  };
  for (const Case& c : cases) {
    const Outcome out = integrate_dqdags(c.f, 0.0, c.b, c.errabs, c.errrel);
    EXPECT_EQ(out.flow, Flow::go_on) << c.result;
    EXPECT_EQ(out.printed, c.printed);
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.error_type, 3) << c.result;
  }
}

TEST(StatusMessages, DivergentIntegralIsFatal) {
  const Outcome out = integrate_dqdags(power_minus_1_5, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.printed,
            "\n"
            " *** FATAL    ERROR 5 from DQDAGS.  Integral is probably divergent or slowly\n"
            " ***          convergent.\n");
}

TEST(StatusMessages, NonFiniteIntegrandEndsWithAStatusNeverSilently) {
  Outcome out = integrate_dqdags(not_a_number, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.printed, dqdags_limit_message);
  // An infinite first approximation must not pass its own infinite tolerance.
  out = integrate_dqdags(infinite_on_left, 0.0, 1.0, 0.0, 1e-5);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.printed, dqdags_limit_message);
  out = integrate_dqdags(nan_at_centre, 0.0, 1.0, 1.0e-10, 1.0e-8);
  EXPECT_EQ(out.flow, Flow::go_on);
  EXPECT_EQ(out.printed,
            "\n"
            " *** WARNING  ERROR 2 from DQDAGS.  Roundoff error has been detected.  The\n"
            " ***          requested tolerances, ERRABS = 1.000000000000000D-10 and ERRREL \n"
            " ***          = 1.000000000000000D-08, cannot be reached.\n");
  EXPECT_EQ(out.result, 0.5);
  EXPECT_EQ(out.error_type, 3);
}

// A WARNING from inside the integrand travels out with the integration; a FATAL one stops
// at its own pop, and no evaluation, message or pop of the integrator follows.
TEST(StatusMessages, RoutinesCalledFromTheIntegrandReportAsIfCalledByTheUser) {
  for (const int type : {WARNING, FATAL}) {
    Context ctx;
    const ReportingOnce f{&ctx, type};
    double result = 0.0, esterr = 0.0;
    const Flow flow = DQDAGS(ctx, f, 0.0, 1.0, 0.0, 1e-5, result, esterr);
    const std::string t = std::to_string(type);
    EXPECT_EQ(ctx.printed, "\n *** " + std::string(type == WARNING ? "WARNING " : "FATAL   ") +
                               " ERROR 7 from SUB.  From integrand.\n" + traceback_heading +
                               "     SUB                                  " + t + "           7\n" +
                               "     DQ2AGS                               " + t +
                               "           7    (Called internally)\n"
                               "     DQDAGS                               0           0\n"
                               "     USER                                 0           0\n");
    if (type == WARNING) {
      EXPECT_EQ(flow, Flow::go_on);
      EXPECT_EQ(result, 0.5);
      int popped = 0;
      GOES_ON(N1RTY(ctx, 1, popped));
      EXPECT_EQ(popped, 3);
    } else {
      EXPECT_EQ(flow, Flow::stopped);
      EXPECT_TRUE(ctx.stopped);
      EXPECT_EQ(f.evaluations, 1);
      EXPECT_EQ(ctx.errors.level, 4);  // SUB stopped before its pop; nothing was popped after it
    }
  }
}

TEST(ArgumentErrors, NegativeRelativeToleranceThroughDqdagsShowsTheTraceback) {
  const Outcome out = integrate_dqdags(square, 0.0, 1.0, 0.0, -0.001);
  EXPECT_EQ(out.flow, Flow::stopped);
  EXPECT_EQ(out.evaluations, 0);
  EXPECT_EQ(out.printed,
            "\n"
            " *** TERMINAL ERROR 3 from DQ2AGS.  The relative error desired ERRREL =\n"
            " ***          -1.000000000000000D-03.  It must be at least zero.\n" +
                traceback_heading +
                "     DQ2AGS                               5           3    (Called internally)\n"
                "     DQDAGS                               0           0\n"
                "     USER                                 0           0\n");
}

// Every refused argument prints its TERMINAL message at once; the stop follows at the pop and nothing is computed.
TEST(ArgumentErrors, RefusedArgumentsStopBeforeAnyEvaluation) {
  struct Case {
    double errabs, errrel;
    int maxsub;
    std::string printed;
  } cases[] = {
      {-1.0, -0.001, 500,
       "\n"
       " *** TERMINAL ERROR 2 from DQ2AGS.  The absolute error desired ERRABS =\n"
       " ***          -1.000000000000000D+00.  It must be at least zero.\n"
       "\n"
       " *** TERMINAL ERROR 3 from DQ2AGS.  The relative error desired ERRREL =\n"
       " ***          -1.000000000000000D-03.  It must be at least zero.\n"},
      {0.0, 0.0, 500,
       "\n"
       " *** TERMINAL ERROR 4 from DQ2AGS.  The error tolerance arguments ERRABS and\n"
       " ***          ERRREL are both equal to zero.  At least one of them must be \n"
       " ***          greater than zero.\n"},
      {0.0, 1.0, 500,
       "\n"
       " *** TERMINAL ERROR 5 from DQ2AGS.  The relative error desired ERRREL =\n"
       " ***          1.000000000000000D+00.  When ERRREL is greater than or equal to \n"
       " ***          one, zero can always be returned as an answer.\n"},
      {0.0, 1e-5, 0,
       "\n"
       " *** TERMINAL ERROR 1 from DQ2AGS.  The maximum number of subintervals MAXSUB\n"
       " ***          = 0.  It must be at least 1.\n"},
  };
  for (const Case& c : cases) {
    const Outcome out = integrate(square, 0.0, 1.0, c.errabs, c.errrel, c.maxsub);
    EXPECT_EQ(out.flow, Flow::stopped) << c.printed;
    EXPECT_EQ(out.printed, c.printed);
    EXPECT_EQ(out.evaluations, 0) << c.printed;
    EXPECT_EQ(out.ncalls, -1) << c.printed;  // the outputs keep their values
  }
}

TEST(MachineConstants, TableAndBadIndex) {
  Context ctx;
  const double expected[8] = {std::numeric_limits<double>::min(),
                              std::numeric_limits<double>::max(),
                              std::ldexp(1.0, -53),
                              std::ldexp(1.0, -52),
                              0.3010299956639812,
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
  for (int n = 1; n <= 8; ++n) {
    double value = 0.0;
    GOES_ON(DMACH(ctx, n, value));
    if (n == 6) {
      EXPECT_TRUE(std::isnan(value));
    } else {
      EXPECT_EQ(value, expected[n - 1]) << n;
    }
  }
  double value = 0.0;
  EXPECT_EQ(DMACH(ctx, 9, value), Flow::stopped);
  EXPECT_EQ(ctx.printed,
            "\n"
            " *** TERMINAL ERROR 5 from DMACH.  The argument must be between 1 and 8\n"
            " ***          inclusive. N = 9\n");
}

// Contexts share nothing: two threads, each with its own, integrate the same list at the same time
// and get the bits and the printed text of a serial run.
TEST(Contexts, TwoThreadsIntegrateAtOnceAsOneDoesAlone) {
  struct Run {
    std::vector<double> results;
    std::string printed;
  };
  const auto run = [] {
    Run r;
    Context ctx;
    for (int repeat = 0; repeat < 200; ++repeat) {
      for (const BandReference& band : band_references) {
        double result = 0.0, esterr = 0.0;
        EXPECT_EQ(DQDAGS(ctx, exp_over_t, band.a, band.b, 0.0, vantor_errrel, result, esterr), Flow::go_on);
        r.results.insert(r.results.end(), {result, esterr});
      }
      double result = 0.0, esterr = 0.0;  // one warning per round, so that the texts can mix if anything is shared
      EXPECT_EQ(DQDAGS(ctx, noisy_inverse_sqrt, 0.0, 1.0, 1.0e-10, 1.0e-8, result, esterr), Flow::go_on);
      r.results.insert(r.results.end(), {result, esterr});
    }
    r.printed = ctx.printed;
    return r;
  };
  const Run serial = run();
  Run first, second;
  std::thread a([&] { first = run(); });
  std::thread b([&] { second = run(); });
  a.join();
  b.join();
  for (const Run* r : {&first, &second}) {
    ASSERT_EQ(r->results.size(), serial.results.size());
    for (std::size_t i = 0; i < serial.results.size(); ++i) EXPECT_EQ(r->results[i], serial.results[i]) << i;
    EXPECT_EQ(r->printed, serial.printed);
  }
}

// A context that stopped deep in the stack, with the user flag set on the way and a unit
// changed, is as new once reset: the same calls print the same text and give the same bits.
TEST(Contexts, AResetContextBehavesAsNew) {
  const auto exercise = [](Context& ctx) {
    std::string seen;
    int unit = 0;
    EXPECT_EQ(UMACH(ctx, 1, unit), Flow::go_on);
    seen += "unit " + std::to_string(unit) + "\n";
    const ReportingOnce f{&ctx, WARNING};
    double result = 0.0, esterr = 0.0;
    EXPECT_EQ(DQDAGS(ctx, f, 0.0, 1.0, 0.0, 1e-5, result, esterr), Flow::go_on);
    EXPECT_EQ(DQDAGS(ctx, power_minus_0_999, 0.0, 0.5, 0.0, 1.0e-12, result, esterr), Flow::go_on);
    seen += exact_text(result) + " " + exact_text(esterr) + "\n";
    return seen + ctx.printed;
  };
  Context fresh;
  const std::string expected = exercise(fresh);

  Context ctx;
  int unit = 9;
  GOES_ON(UMACH(ctx, -1, unit));
  const ReportingOnce fatal{&ctx, FATAL};
  double result = 0.0, esterr = 0.0;
  ASSERT_EQ(DQDAGS(ctx, fatal, 0.0, 1.0, 0.0, 1e-5, result, esterr), Flow::stopped);
  ctx = Context{};
  EXPECT_FALSE(ctx.stopped);
  EXPECT_EQ(ctx.printed, "");
  EXPECT_EQ(exercise(ctx), expected);
}

// The globally adaptive integration kernel with extrapolation (DQCORE).
#include "quadrature/internal/adaptive_kernel.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "quadrature/internal/epsilon_extrapolation.h"
#include "quadrature/internal/gauss_kronrod_rule.h"
#include "quadrature/internal/machine_constants.h"
#include "quadrature/internal/subinterval_order.h"
#include "textio/one_based.h"

namespace quadrature {

namespace {

// An error estimate meets the bound only when it is finite: an infinite or NaN
// estimate (from an integrand that returns infinities) must never pass as accurate,
// even against a bound that is itself infinite.
bool meets(double error, double bound) { return error <= bound && std::isfinite(error); }

// Completion states while the kernel runs. Each state above roundoff is one higher than the
// STATUS it ends as: the extrapolation's roundoff is told apart from the plain roundoff until
// the finish, and every run that reaches the main loop lowers its state by one at the end.
enum class KernelState {
  running = 0,                 // no failure so far; ends as 0
  subinterval_limit = 1,       // MAXSUB subintervals in use; ends as 1
  roundoff = 2,                // the roundoff counters tripped; ends as 2
  extrapolation_roundoff = 3,  // roundoff in the extrapolation table (set at the finish); ends as 2
  interval_too_small = 4,      // a subinterval too small to bisect; ends as 3
  extrapolation_stalls = 5,    // the extrapolation keeps failing to improve; ends as 4
  divergent = 6,               // the result is far from the plain total; ends as 5
};

// STATUS reported for a state at the end of a run that went through the main loop.
int lowered_status(KernelState state) {
  const int s = static_cast<int>(state);
  return s > 2 ? s - 1 : s;
}

// STATUS when the tolerances are refused before any work.
constexpr int status_tolerances_refused = 6;

// How a run finishes once its loop (or its first approximation) has ended.
enum class Finish {
  keep_result,    // the result as it stands: the first approximation, or the extrapolated one
  choose_result,  // pick the extrapolated result or the plain total, test for divergence
  plain_total,    // the sum of the subinterval areas, with the summed error
};

// Working values of one kernel run, shared by its steps.
struct KernelRun {
  // The call: context, integrand, interval, tolerances, limit and workspace.
  Context& ctx;
  Integrand f;
  double a, b, errabs, errrel;
  int maxsub;
  double* errs_storage;  // ERRS and ORDER as DQSORT takes them
  int* order_storage;
  textio::OneBased<double> lefts, rights, areas, errs;
  textio::OneBased<int> order;
  double epsmch, uflow, oflow;

  // Outcome so far.
  KernelState state = KernelState::running;
  Finish finish = Finish::keep_result;
  int last = 0;         // subintervals in use, returned as NINTV
  double result = 0.0;  // first approximation, then the best extrapolated value
  double err = 0.0;     // error estimate of result, returned as ESTERR
  int xround = 0;       // 3 once roundoff shows in the extrapolation table
  double absint = 0.0;  // integral of |F| from the first approximation
  double asc0 = 0.0;    // integral of |F - mean| from the first approximation
  double tol = 0.0;     // requested bound on the plain total's error
  double area = 0.0;    // running total of the subinterval areas
  double esum = 0.0;    // running total of their error estimates
  double corr = 0.0;    // error total at the last accepted extrapolation
  int sgn = 1;          // -1 when |F| cancels noticeably over [A, B]

  // Bisection: the subinterval to split next and its rank among the largest errors.
  int kmax = 1;
  double emax = 0.0;
  int nrank = 1;
  int r1 = 0, r2 = 0, r3 = 0;  // roundoff counters

  // Extrapolation: the table of totals and the notion of a small interval.
  double etab_storage[extrapolation_table_size] = {};
  double last3[3] = {};
  int netab = 2;
  int nx = 0;
  int nfail = 0;
  bool extrap_on = false;
  bool no_extrap = false;
  double hsmall = 0.0;  // intervals up to this length count as small
  double elarge = 0.0;  // error total over the large intervals
  double xtol = 0.0;    // bound on the extrapolated result's error
};

// The halves of the latest bisection that the extrapolation bookkeeping needs.
struct Bisection {
  double width;  // length of the bisected subinterval's first half
  double eprev;  // error of the subinterval before it was bisected
  double err12;  // summed error of the two halves
};

// Clears the outputs and the first workspace entry; false when both tolerances are negative.
bool setup(KernelRun& k) {
  k.lefts(1) = k.a;
  k.rights(1) = k.b;
  k.areas(1) = 0.0;
  k.errs(1) = 0.0;
  return !(k.errabs < 0.0 && k.errrel < 0.0);
}

// Applies the rule to the whole interval; SUBDIVIDE tells whether the result needs subdividing.
Flow first_approximation(KernelRun& k, bool& subdivide) {
  if (DQRULE(k.ctx, k.f, k.a, k.b, k.epsmch, k.uflow, k.result, k.err, k.absint, k.asc0) == Flow::stopped)
    return Flow::stopped;
  k.tol = std::max(k.errabs, k.errrel * std::fabs(k.result));
  k.last = 1;
  k.areas(1) = k.result;
  k.errs(1) = k.err;
  k.order(1) = 1;
  if (k.err <= 100.0 * k.epsmch * k.absint && k.err > k.tol) k.state = KernelState::roundoff;
  if (k.maxsub == 1) k.state = KernelState::subinterval_limit;
  k.area = k.result;
  k.esum = k.err;
  subdivide = !(k.state != KernelState::running || (meets(k.err, k.tol) && k.err != k.asc0) || k.err == 0.0);
  return Flow::go_on;
}

// Starts the table of totals with the first approximation and the bisection with its interval.
void start_subdivision(KernelRun& k) {
  textio::one_based(k.etab_storage)(1) = k.result;
  k.emax = k.err;
  k.err = k.oflow;
  k.sgn = std::fabs(k.result) >= (1.0 - 50.0 * k.epsmch) * k.absint ? 1 : -1;
  k.finish = Finish::choose_result;
}

// Bisects subinterval kmax into kmax and last, updates the totals, the roundoff
// counters and the state, and re-ranks the subintervals by error; SPLIT receives the halves.
Flow bisect_largest(KernelRun& k, Bisection& split) {
  const double a1 = k.lefts(k.kmax);
  const double b1 = 0.5 * (k.lefts(k.kmax) + k.rights(k.kmax));
  const double a2 = b1;
  const double b2 = k.rights(k.kmax);
  const double eprev = k.emax;
  double area1, error1, rabs1, asc1, area2, error2, rabs2, asc2;
  if (DQRULE(k.ctx, k.f, a1, b1, k.epsmch, k.uflow, area1, error1, rabs1, asc1) == Flow::stopped) return Flow::stopped;
  if (DQRULE(k.ctx, k.f, a2, b2, k.epsmch, k.uflow, area2, error2, rabs2, asc2) == Flow::stopped) return Flow::stopped;
  const double area12 = area1 + area2;
  const double err12 = error1 + error2;
  k.esum = k.esum + err12 - k.emax;
  k.area = k.area + area12 - k.areas(k.kmax);

  if (asc1 != error1 && asc2 != error2) {
    if (std::fabs(k.areas(k.kmax) - area12) <= 1.0e-5 * std::fabs(area12) && err12 >= 0.99 * k.emax) {
      if (k.extrap_on)
        ++k.r2;
      else
        ++k.r1;
    }
    if (k.last > 10 && err12 > k.emax) ++k.r3;
  }
  k.areas(k.kmax) = area1;
  k.areas(k.last) = area2;
  k.tol = std::max(k.errabs, k.errrel * std::fabs(k.area));

  if (k.r1 + k.r2 >= 10 || k.r3 >= 20) k.state = KernelState::roundoff;
  if (k.r2 >= 5) k.xround = 3;
  if (k.last == k.maxsub) k.state = KernelState::subinterval_limit;
  if (std::max(std::fabs(a1), std::fabs(b2)) <= (1.0 + 1000.0 * k.epsmch) * (std::fabs(a2) + 1000.0 * k.uflow))
    k.state = KernelState::interval_too_small;

  if (error2 > error1) {
    k.lefts(k.kmax) = a2;
    k.lefts(k.last) = a1;
    k.rights(k.last) = b1;
    k.areas(k.kmax) = area2;
    k.areas(k.last) = area1;
    k.errs(k.kmax) = error2;
    k.errs(k.last) = error1;
  } else {
    k.lefts(k.last) = a2;
    k.rights(k.kmax) = b1;
    k.rights(k.last) = b2;
    k.errs(k.kmax) = error1;
    k.errs(k.last) = error2;
  }
  DQSORT(k.maxsub, k.last, k.kmax, k.emax, k.errs_storage, k.order_storage, k.nrank);
  split = {std::fabs(b1 - a1), eprev, err12};
  return Flow::go_on;
}

// After the first bisection: what counts as a small interval, and the second total.
void start_extrapolation(KernelRun& k) {
  k.hsmall = std::fabs(k.b - k.a) * 0.375;
  k.elarge = k.esum;
  k.xtol = k.tol;
  textio::one_based(k.etab_storage)(2) = k.area;
}

// Keeps the error total over the large intervals; true while a large interval should be
// bisected before the next extrapolation, with kmax then pointing at it.
bool large_interval_first(KernelRun& k, const Bisection& split) {
  k.elarge = k.elarge - split.eprev;
  if (split.width > k.hsmall) k.elarge = k.elarge + split.err12;
  if (!k.extrap_on) {
    if (std::fabs(k.rights(k.kmax) - k.lefts(k.kmax)) > k.hsmall) return true;
    k.extrap_on = true;
    k.nrank = 2;
  }
  if (k.xround != 3 && k.elarge > k.xtol) {
    const int jtop = k.last > 2 + k.maxsub / 2 ? k.maxsub + 3 - k.last : k.last;
    for (int pass = jtop - k.nrank + 1; pass > 0; --pass) {
      k.kmax = k.order(k.nrank);
      k.emax = k.errs(k.kmax);
      if (std::fabs(k.rights(k.kmax) - k.lefts(k.kmax)) > k.hsmall) return true;
      ++k.nrank;
    }
  }
  return false;
}

// Extrapolates the sequence of totals and keeps the result when its error is smaller;
// true when the loop ends (accurate enough, or the extrapolation stalls). Otherwise
// bisection restarts from the largest interval with a finer notion of small.
bool extrapolate(KernelRun& k) {
  const auto etab = textio::one_based(k.etab_storage);
  // The extrapolation cuts a full table back itself, except when it returns at convergence:
  // then the oldest entry goes here, so that the table never holds more than its limit.
  if (k.netab == extrapolation_table_limit) {
    for (int i = 1; i < k.netab; ++i) etab(i) = etab(i + 1);
    --k.netab;
  }
  ++k.netab;
  assert(k.netab >= 3 && k.netab <= extrapolation_table_limit);
  etab(k.netab) = k.area;
  double xres, xerr;
  DQEXTR(k.netab, k.etab_storage, xres, xerr, k.last3, k.nx, k.epsmch, k.oflow);
  ++k.nfail;
  if (k.nfail > 5 && k.err < 0.001 * k.esum) k.state = KernelState::extrapolation_stalls;
  if (xerr < k.err) {
    k.nfail = 0;
    k.err = xerr;
    k.result = xres;
    k.corr = k.elarge;
    k.xtol = std::max(k.errabs, k.errrel * std::fabs(xres));
    if (meets(k.err, k.xtol)) return true;
  }
  if (k.netab == 1) k.no_extrap = true;
  if (k.state == KernelState::extrapolation_stalls) return true;
  k.kmax = k.order(1);
  k.emax = k.errs(k.kmax);
  k.nrank = 1;
  k.extrap_on = false;
  k.hsmall = k.hsmall * 0.5;
  k.elarge = k.esum;
  return false;
}

// Keeps the extrapolated result unless the plain total has the smaller relative error, and
// marks the run divergent when the result is far from the plain total.
void choose_result(KernelRun& k) {
  bool divergence_test = false;
  k.finish = Finish::keep_result;
  if (k.err == k.oflow) {
    k.finish = Finish::plain_total;
  } else if (k.state == KernelState::running && k.xround == 0) {
    divergence_test = true;
  } else {
    if (k.xround == 3) k.err = k.err + k.corr;
    if (k.state == KernelState::running) k.state = KernelState::extrapolation_roundoff;
    if (k.result != 0.0 && k.area != 0.0) {
      if (k.err / std::fabs(k.result) > k.esum / std::fabs(k.area))
        k.finish = Finish::plain_total;
      else
        divergence_test = true;
    } else if (k.err > k.esum) {
      k.finish = Finish::plain_total;
    } else if (k.area != 0.0) {
      divergence_test = true;
    }
  }
  if (divergence_test && !(k.sgn == -1 && std::max(std::fabs(k.result), std::fabs(k.area)) <= 0.01 * k.absint)) {
    if (k.esum > std::fabs(k.area) || k.result / k.area < 0.01 || k.result / k.area > 100.0)
      k.state = KernelState::divergent;
  }
}

// The plain total of the subinterval areas, summed in index order, with the summed error.
void take_plain_total(KernelRun& k) {
  k.result = 0.0;
  for (int i = 1; i <= k.last; ++i) k.result += k.areas(i);
  k.err = k.esum;
}

}  // namespace

// Bisects the subinterval with the largest error until the summed error meets the
// tolerance; once only small intervals carry large errors, extrapolates the sequence
// of totals with the epsilon algorithm. Roundoff counters and the finishing tests
// turn failures into STATUS.
Flow DQCORE(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, int MAXSUB, double& RESULT,
            double& ESTERR, int& NCALLS, int& STATUS, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS,
            int* ORDER, int& NINTV) {
  assert(MAXSUB >= 1);
  double epsmch, uflow, oflow;
  if (DMACH(ctx, 4, epsmch) == Flow::stopped || DMACH(ctx, 1, uflow) == Flow::stopped ||
      DMACH(ctx, 2, oflow) == Flow::stopped)
    return Flow::stopped;
  KernelRun k{.ctx = ctx,
              .f = F,
              .a = A,
              .b = B,
              .errabs = ERRABS,
              .errrel = ERRREL,
              .maxsub = MAXSUB,
              .errs_storage = ERRS,
              .order_storage = ORDER,
              .lefts = {LEFTS, MAXSUB},
              .rights = {RIGHTS, MAXSUB},
              .areas = {AREAS, MAXSUB},
              .errs = {ERRS, MAXSUB},
              .order = {ORDER, MAXSUB},
              .epsmch = epsmch,
              .uflow = uflow,
              .oflow = oflow};
  NCALLS = 0;
  RESULT = 0.0;
  if (!setup(k)) {
    STATUS = status_tolerances_refused;
    ESTERR = 0.0;
    NINTV = 0;
    return Flow::go_on;
  }

  bool subdivide = false;
  if (first_approximation(k, subdivide) == Flow::stopped) return Flow::stopped;
  if (subdivide) {
    start_subdivision(k);
    for (k.last = 2; k.last <= MAXSUB; ++k.last) {
      Bisection split;
      if (bisect_largest(k, split) == Flow::stopped) return Flow::stopped;
      if (meets(k.esum, k.tol)) {
        k.finish = Finish::plain_total;
        break;
      }
      if (k.state != KernelState::running) break;
      if (k.last == 2) {
        start_extrapolation(k);
        continue;
      }
      if (k.no_extrap || large_interval_first(k, split)) continue;
      if (extrapolate(k)) break;
    }
    if (k.last > MAXSUB) k.last = MAXSUB;  // the loop ran to its end
  }

  if (k.finish == Finish::choose_result) choose_result(k);
  if (k.finish == Finish::plain_total) take_plain_total(k);
  // Every run that entered the main loop lowers its state; one that stopped after the
  // first approximation can only be running, at the limit or in roundoff, which keep their numbers.
  RESULT = k.result;
  STATUS = lowered_status(k.state);
  NCALLS = 42 * k.last - 21;
  NINTV = k.last;
  ESTERR = k.err;
  return Flow::go_on;
}

}  // namespace quadrature

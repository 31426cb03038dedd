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

}  // namespace

// Bisects the subinterval with the largest error until the summed error meets the
// tolerance; once only small intervals carry large errors, extrapolates the sequence
// of totals with the epsilon algorithm. Roundoff counters and the finishing tests
// turn failures into STATUS.
void DQCORE(Integrand F, double A, double B, double ERRABS, double ERRREL, int MAXSUB, double& RESULT, double& ESTERR,
            int& NCALLS, int& STATUS, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS, int* ORDER,
            int& NINTV) {
  const double epsmch = DMACH(4);
  const double uflow = DMACH(1);
  const double oflow = DMACH(2);
  assert(MAXSUB >= 1);
  const auto lefts = textio::OneBased<double>{LEFTS, MAXSUB};
  const auto rights = textio::OneBased<double>{RIGHTS, MAXSUB};
  const auto areas = textio::OneBased<double>{AREAS, MAXSUB};
  const auto errs = textio::OneBased<double>{ERRS, MAXSUB};
  const auto order = textio::OneBased<int>{ORDER, MAXSUB};

  KernelState state = KernelState::running;
  NCALLS = 0;
  int LAST = 0;
  RESULT = 0.0;
  double err = 0.0;  // error estimate returned as ESTERR
  lefts(1) = A;
  rights(1) = B;
  areas(1) = 0.0;
  errs(1) = 0.0;
  if (ERRABS < 0.0 && ERRREL < 0.0) {
    STATUS = status_tolerances_refused;
    ESTERR = 0.0;
    NINTV = 0;
    return;
  }

  // First approximation over the whole interval.
  int xround = 0;  // 3 once roundoff shows in the extrapolation table
  double absint = 0.0;
  double asc0 = 0.0;
  DQRULE(F, A, B, RESULT, err, absint, asc0);
  double tol = std::max(ERRABS, ERRREL * std::fabs(RESULT));
  LAST = 1;
  areas(1) = RESULT;
  errs(1) = err;
  order(1) = 1;
  if (err <= 100.0 * epsmch * absint && err > tol) state = KernelState::roundoff;
  if (MAXSUB == 1) state = KernelState::subinterval_limit;

  double area = RESULT;  // running total of the subinterval areas
  double esum = err;     // running total of their error estimates
  double corr = 0.0;     // error total at the last accepted extrapolation
  int sgn = 1;
  Finish finish = Finish::keep_result;

  if (!(state != KernelState::running || (meets(err, tol) && err != asc0) || err == 0.0)) {
    double etab_storage[extrapolation_table_size] = {};
    const auto etab = textio::one_based(etab_storage);
    double last3[3] = {};
    etab(1) = RESULT;
    double emax = err;
    int kmax = 1;
    err = oflow;
    int nrank = 1;
    int nx = 0;
    int netab = 2;
    int nfail = 0;
    bool extrap_on = false;
    bool no_extrap = false;
    int r1 = 0, r2 = 0, r3 = 0;  // roundoff counters
    double hsmall = 0.0;         // intervals up to this length count as small
    double elarge = 0.0;         // error total over the large intervals
    double xtol = 0.0;
    sgn = std::fabs(RESULT) >= (1.0 - 50.0 * epsmch) * absint ? 1 : -1;
    finish = Finish::choose_result;

    for (LAST = 2; LAST <= MAXSUB; ++LAST) {
      // Bisect the subinterval with the largest error.
      const double a1 = lefts(kmax);
      const double b1 = 0.5 * (lefts(kmax) + rights(kmax));
      const double a2 = b1;
      const double b2 = rights(kmax);
      const double eprev = emax;
      double area1, error1, rabs1, asc1, area2, error2, rabs2, asc2;
      DQRULE(F, a1, b1, area1, error1, rabs1, asc1);
      DQRULE(F, a2, b2, area2, error2, rabs2, asc2);
      const double area12 = area1 + area2;
      const double err12 = error1 + error2;
      esum = esum + err12 - emax;
      area = area + area12 - areas(kmax);

      if (asc1 != error1 && asc2 != error2) {
        if (std::fabs(areas(kmax) - area12) <= 1.0e-5 * std::fabs(area12) && err12 >= 0.99 * emax) {
          if (extrap_on)
            ++r2;
          else
            ++r1;
        }
        if (LAST > 10 && err12 > emax) ++r3;
      }
      areas(kmax) = area1;
      areas(LAST) = area2;
      tol = std::max(ERRABS, ERRREL * std::fabs(area));

      if (r1 + r2 >= 10 || r3 >= 20) state = KernelState::roundoff;
      if (r2 >= 5) xround = 3;
      if (LAST == MAXSUB) state = KernelState::subinterval_limit;
      if (std::max(std::fabs(a1), std::fabs(b2)) <= (1.0 + 1000.0 * epsmch) * (std::fabs(a2) + 1000.0 * uflow))
        state = KernelState::interval_too_small;

      if (error2 > error1) {
        lefts(kmax) = a2;
        lefts(LAST) = a1;
        rights(LAST) = b1;
        areas(kmax) = area2;
        areas(LAST) = area1;
        errs(kmax) = error2;
        errs(LAST) = error1;
      } else {
        lefts(LAST) = a2;
        rights(kmax) = b1;
        rights(LAST) = b2;
        errs(kmax) = error1;
        errs(LAST) = error2;
      }
      DQSORT(MAXSUB, LAST, kmax, emax, ERRS, ORDER, nrank);

      if (meets(esum, tol)) {
        finish = Finish::plain_total;
        break;
      }
      if (state != KernelState::running) break;
      if (LAST == 2) {
        hsmall = std::fabs(B - A) * 0.375;
        elarge = esum;
        xtol = tol;
        etab(2) = area;
        continue;
      }
      if (no_extrap) continue;
      elarge = elarge - eprev;
      if (std::fabs(b1 - a1) > hsmall) elarge = elarge + err12;
      if (!extrap_on) {
        if (std::fabs(rights(kmax) - lefts(kmax)) > hsmall) continue;
        extrap_on = true;
        nrank = 2;
      }
      if (xround != 3 && elarge > xtol) {
        // Bisect a large interval first while one still carries a large error.
        const int jtop = LAST > 2 + MAXSUB / 2 ? MAXSUB + 3 - LAST : LAST;
        bool large_found = false;
        for (int pass = jtop - nrank + 1; pass > 0; --pass) {
          kmax = order(nrank);
          emax = errs(kmax);
          if (std::fabs(rights(kmax) - lefts(kmax)) > hsmall) {
            large_found = true;
            break;
          }
          ++nrank;
        }
        if (large_found) continue;
      }

      // Extrapolate the sequence of totals. The extrapolation cuts a full table back
      // itself, except when it returns at convergence: then the oldest entry goes here,
      // so that the table never holds more than its limit.
      if (netab == extrapolation_table_limit) {
        for (int k = 1; k < netab; ++k) etab(k) = etab(k + 1);
        --netab;
      }
      ++netab;
      assert(netab >= 3 && netab <= extrapolation_table_limit);
      etab(netab) = area;
      double xres, xerr;
      DQEXTR(netab, etab_storage, xres, xerr, last3, nx);
      ++nfail;
      if (nfail > 5 && err < 0.001 * esum) state = KernelState::extrapolation_stalls;
      if (xerr < err) {
        nfail = 0;
        err = xerr;
        RESULT = xres;
        corr = elarge;
        xtol = std::max(ERRABS, ERRREL * std::fabs(xres));
        if (meets(err, xtol)) break;
      }
      if (netab == 1) no_extrap = true;
      if (state == KernelState::extrapolation_stalls) break;
      // Back to bisecting the largest interval, with a finer notion of small.
      kmax = order(1);
      emax = errs(kmax);
      nrank = 1;
      extrap_on = false;
      hsmall = hsmall * 0.5;
      elarge = esum;
    }
    if (LAST > MAXSUB) LAST = MAXSUB;  // the loop ran to its end
  }

  if (finish == Finish::choose_result) {
    // Keep the extrapolated result unless the plain total has the smaller relative error.
    bool divergence_test = false;
    finish = Finish::keep_result;
    if (err == oflow) {
      finish = Finish::plain_total;
    } else if (state == KernelState::running && xround == 0) {
      divergence_test = true;
    } else {
      if (xround == 3) err = err + corr;
      if (state == KernelState::running) state = KernelState::extrapolation_roundoff;
      if (RESULT != 0.0 && area != 0.0) {
        if (err / std::fabs(RESULT) > esum / std::fabs(area))
          finish = Finish::plain_total;
        else
          divergence_test = true;
      } else if (err > esum) {
        finish = Finish::plain_total;
      } else if (area != 0.0) {
        divergence_test = true;
      }
    }
    // A result far from the plain total means the integral diverges.
    if (divergence_test && !(sgn == -1 && std::max(std::fabs(RESULT), std::fabs(area)) <= 0.01 * absint)) {
      if (esum > std::fabs(area) || RESULT / area < 0.01 || RESULT / area > 100.0) state = KernelState::divergent;
    }
  }
  if (finish == Finish::plain_total) {
    RESULT = 0.0;
    for (int k = 1; k <= LAST; ++k) RESULT += areas(k);
    err = esum;
  }
  // Every run that entered the main loop lowers its state; one that stopped after the
  // first approximation can only be running, at the limit or in roundoff, which keep their numbers.
  STATUS = lowered_status(state);
  NCALLS = 42 * LAST - 21;
  NINTV = LAST;
  ESTERR = err;
}

}  // namespace quadrature

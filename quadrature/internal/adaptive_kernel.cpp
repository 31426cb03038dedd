// The globally adaptive integration kernel with extrapolation (DQCORE).
#include "quadrature/internal/adaptive_kernel.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "quadrature/internal/epsilon_extrapolation.h"
#include "quadrature/internal/gauss_kronrod_rule.h"
#include "quadrature/internal/machine_constants.h"
#include "quadrature/internal/subinterval_order.h"

namespace quadrature {

namespace {

// An error estimate meets the bound only when it is finite: an infinite or NaN
// estimate (from an integrand that returns infinities) must never pass as accurate,
// even against a bound that is itself infinite.
bool meets(double error, double bound) { return error <= bound && std::isfinite(error); }

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
  auto lefts = [&](int k) -> double& {
    assert(k >= 1 && k <= MAXSUB);
    return LEFTS[k - 1];
  };
  auto rights = [&](int k) -> double& {
    assert(k >= 1 && k <= MAXSUB);
    return RIGHTS[k - 1];
  };
  auto areas = [&](int k) -> double& {
    assert(k >= 1 && k <= MAXSUB);
    return AREAS[k - 1];
  };
  auto errs = [&](int k) -> double& {
    assert(k >= 1 && k <= MAXSUB);
    return ERRS[k - 1];
  };
  auto order = [&](int i) -> int& {
    assert(i >= 1 && i <= MAXSUB);
    return ORDER[i - 1];
  };

  STATUS = 0;
  NCALLS = 0;
  int LAST = 0;
  RESULT = 0.0;
  double err = 0.0;  // error estimate returned as ESTERR
  lefts(1) = A;
  rights(1) = B;
  areas(1) = 0.0;
  errs(1) = 0.0;
  if (ERRABS < 0.0 && ERRREL < 0.0) {
    STATUS = 6;
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
  if (err <= 100.0 * epsmch * absint && err > tol) STATUS = 2;
  if (MAXSUB == 1) STATUS = 1;

  double area = RESULT;  // running total of the subinterval areas
  double esum = err;     // running total of their error estimates
  double corr = 0.0;     // error total at the last accepted extrapolation
  int sgn = 1;
  enum class Finish { F1, F2, F4 } finish = Finish::F4;

  if (!(STATUS != 0 || (meets(err, tol) && err != asc0) || err == 0.0)) {
    // Two spare entries past the 52 in use: a table longer than the limit is
    // not reachable, but if it were, a build without asserts would still
    // write inside this storage.
    double etab[extrapolation_table_size + 2] = {};
    double last3[3] = {};
    etab[0] = RESULT;
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
    finish = Finish::F1;

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

      if (r1 + r2 >= 10 || r3 >= 20) STATUS = 2;
      if (r2 >= 5) xround = 3;
      if (LAST == MAXSUB) STATUS = 1;
      // The interval is too small to split any further.
      if (std::max(std::fabs(a1), std::fabs(b2)) <= (1.0 + 1000.0 * epsmch) * (std::fabs(a2) + 1000.0 * uflow))
        STATUS = 4;

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
        finish = Finish::F2;
        break;
      }
      if (STATUS != 0) break;
      if (LAST == 2) {
        hsmall = std::fabs(B - A) * 0.375;
        elarge = esum;
        xtol = tol;
        etab[1] = area;
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

      // Extrapolate the sequence of totals.
      ++netab;
      assert(netab >= 1 && netab <= extrapolation_table_size);
      etab[netab - 1] = area;
      double xres, xerr;
      DQEXTR(netab, etab, xres, xerr, last3, nx);
      ++nfail;
      if (nfail > 5 && err < 0.001 * esum) STATUS = 5;
      if (xerr < err) {
        nfail = 0;
        err = xerr;
        RESULT = xres;
        corr = elarge;
        xtol = std::max(ERRABS, ERRREL * std::fabs(xres));
        if (meets(err, xtol)) break;
      }
      if (netab == 1) no_extrap = true;
      if (STATUS == 5) break;
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

  bool decrement = false;  // whether F3 runs
  if (finish == Finish::F1) {
    // F1: decide between the extrapolated result and the plain sum.
    bool divergence_test = false;
    finish = Finish::F4;
    if (err == oflow) {
      finish = Finish::F2;
    } else if (STATUS + xround == 0) {
      divergence_test = true;
    } else {
      if (xround == 3) err = err + corr;
      if (STATUS == 0) STATUS = 3;
      if (RESULT != 0.0 && area != 0.0) {
        if (err / std::fabs(RESULT) > esum / std::fabs(area))
          finish = Finish::F2;
        else
          divergence_test = true;
      } else if (err > esum) {
        finish = Finish::F2;
      } else if (area == 0.0) {
        decrement = true;
      } else {
        divergence_test = true;
      }
    }
    if (divergence_test) {
      // F1b: a result far from the plain total means the integral diverges.
      decrement = true;
      if (!(sgn == -1 && std::max(std::fabs(RESULT), std::fabs(area)) <= 0.01 * absint)) {
        if (esum > std::fabs(area) || RESULT / area < 0.01 || RESULT / area > 100.0) STATUS = 6;
      }
    }
  }
  if (finish == Finish::F2) {
    RESULT = 0.0;
    for (int k = 1; k <= LAST; ++k) RESULT += areas(k);
    err = esum;
    decrement = true;
  }
  if (decrement && STATUS > 2) STATUS = STATUS - 1;
  NCALLS = 42 * LAST - 21;
  NINTV = LAST;
  ESTERR = err;
}

}  // namespace quadrature

// Keeps the subintervals of the adaptive integrator ordered by decreasing error estimate (DQSORT).
#include "quadrature/internal/subinterval_order.h"

#include <cassert>

#include "textio/one_based.h"

namespace quadrature {

void DQSORT(int LIMIT, int LAST, int& KMAX, double& EMAX, const double* ERRS, int* ORDER, int& NRANK) {
  assert(LAST >= 1 && LAST <= LIMIT);
  const auto err = textio::OneBased<const double>{ERRS, LIMIT};
  const auto order = textio::OneBased<int>{ORDER, LIMIT};

  if (LAST <= 2) {
    order(1) = 1;
    order(2) = 2;
  } else {
    // Move the bisected interval up while its error exceeds the one ranked above it.
    EMAX = err(KMAX);
    if (NRANK > 1) {
      for (int pass = NRANK - 1; pass > 0; --pass) {
        const int s = order(NRANK - 1);
        if (EMAX <= err(s)) break;
        order(NRANK) = s;
        --NRANK;
      }
    }
    // Only the leading jtop entries are kept ordered; fewer once more than half the
    // limit is in use, since the later ones can never be bisected.
    const int jtop = LAST > LIMIT / 2 + 2 ? LIMIT + 3 - LAST : LAST;
    const double emin = err(LAST);
    bool inserted = false;
    for (int i = NRANK + 1; i <= jtop - 1 && !inserted; ++i) {
      const int s = order(i);
      if (EMAX >= err(s)) {
        // KMAX goes here; insert LAST from the bottom of the ordered part.
        order(i - 1) = KMAX;
        int k = jtop - 1;
        bool placed = false;
        for (int j = i; j <= jtop - 1; ++j) {
          const int t = order(k);
          if (emin < err(t)) {
            order(k + 1) = LAST;
            placed = true;
            break;
          }
          order(k + 1) = t;
          --k;
        }
        if (!placed) order(i) = LAST;
        inserted = true;
      } else {
        order(i - 1) = s;
      }
    }
    if (!inserted) {
      order(jtop - 1) = KMAX;
      order(jtop) = LAST;
    }
  }
  KMAX = order(NRANK);
  EMAX = err(KMAX);
}

}  // namespace quadrature

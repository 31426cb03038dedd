// Wynn's epsilon algorithm on the sequence of partial integrals (DQEXTR).
#include "quadrature/internal/epsilon_extrapolation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "textio/one_based.h"

namespace quadrature {

void DQEXTR(int& N, double* ETAB, double& XRES, double& XERR, double* LAST3, int& NX, double EPSMCH, double OFLOW) {
  const auto e = textio::OneBased<double>{ETAB, extrapolation_table_size};
  const auto last3 = textio::OneBased<double>{LAST3, 3};

  assert(N >= 1 && N <= extrapolation_table_limit);
  NX = NX + 1;
  XERR = OFLOW;
  XRES = e(N);
  if (N >= 3) {
    e(N + 2) = e(N);
    const int m = (N - 1) / 2;
    e(N) = OFLOW;
    const int nprev = N;
    int k1 = N;
    bool converged = false;
    for (int i = 1; i <= m; ++i) {
      const int k2 = k1 - 1;
      const int k3 = k1 - 2;
      double res = e(k1 + 2);
      const double e0 = e(k3);
      const double e1 = e(k2);
      const double e2 = res;
      const double d2 = e2 - e1;
      const double err2 = std::fabs(d2);
      const double tol2 = std::max(std::fabs(e2), std::fabs(e1)) * EPSMCH;
      const double d3 = e1 - e0;
      const double err3 = std::fabs(d3);
      const double tol3 = std::max(std::fabs(e1), std::fabs(e0)) * EPSMCH;
      if (err2 <= tol2 && err3 <= tol3) {
        // The sequence has converged to machine accuracy.
        XRES = res;
        XERR = err2 + err3;
        converged = true;
        break;
      }
      const double e3 = e(k1);
      e(k1) = e1;
      const double d1 = e1 - e3;
      const double err1 = std::fabs(d1);
      const double tol1 = std::max(std::fabs(e1), std::fabs(e3)) * EPSMCH;
      if (err1 <= tol1 || err2 <= tol2 || err3 <= tol3) {
        N = 2 * i - 1;
        break;
      }
      const double ss = 1.0 / d1 + 1.0 / d2 - 1.0 / d3;
      if (std::fabs(ss * e1) <= 1.0e-4) {  // irregular behaviour of the sequence
        N = 2 * i - 1;
        break;
      }
      res = e1 + 1.0 / ss;
      e(k1) = res;
      k1 = k1 - 2;
      const double error = err2 + std::fabs(res - e2) + err3;
      if (error <= XERR) {
        XERR = error;
        XRES = res;
      }
    }
    if (!converged) {
      if (N == extrapolation_table_limit) N = extrapolation_table_limit - 1;
      int ib = nprev % 2 == 0 ? 2 : 1;
      for (int r = 0; r <= m; ++r) {
        e(ib) = e(ib + 2);
        ib = ib + 2;
      }
      if (nprev != N) {
        int from = nprev - N + 1;
        for (int i = 1; i <= N; ++i) e(i) = e(from++);
      }
      if (NX < 4) {
        last3(NX) = XRES;
        XERR = OFLOW;
      } else {
        XERR = std::fabs(XRES - last3(3)) + std::fabs(XRES - last3(2)) + std::fabs(XRES - last3(1));
        last3(1) = last3(2);
        last3(2) = last3(3);
        last3(3) = XRES;
      }
    }
  }
  XERR = std::max(XERR, 5.0 * EPSMCH * std::fabs(XRES));
}

}  // namespace quadrature

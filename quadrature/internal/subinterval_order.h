// Keeps the subintervals of the adaptive integrator ordered by decreasing error estimate (DQSORT).
#pragma once

namespace quadrature {

// After subinterval KMAX was bisected into KMAX and LAST, re-inserts both into ORDER
// so that its leading entries (up to LAST, or LIMIT + 3 - LAST once LAST exceeds
// LIMIT/2 + 2) list subintervals by decreasing ERRS; then KMAX becomes the subinterval
// of rank NRANK and EMAX its error. ERRS and ORDER hold LIMIT entries, subinterval k
// at [k - 1].
void DQSORT(int LIMIT, int LAST, int& KMAX, double& EMAX, const double* ERRS, int* ORDER, int& NRANK);

}  // namespace quadrature

// Wynn's epsilon algorithm on the sequence of partial integrals (DQEXTR).
#pragma once

namespace quadrature {

inline constexpr int extrapolation_table_limit = 50;                            // longest sequence the table keeps
inline constexpr int extrapolation_table_size = extrapolation_table_limit + 2;  // plus two working entries

// ETAB(1..N) holds the sequence, N <= extrapolation_table_limit (ETAB[k - 1] is entry k); NX counts the calls made so
// far. Returns in XRES the best extrapolated limit and in XERR its error estimate,
// keeps the last three results in LAST3, and updates N and ETAB for the next call.
// EPSMCH and OFLOW are DMACH(4) and DMACH(2), which the kernel reads once per integration.
void DQEXTR(int& N, double* ETAB, double& XRES, double& XERR, double* LAST3, int& NX, double EPSMCH, double OFLOW);

}  // namespace quadrature

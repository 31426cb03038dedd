// Public entry points of the adaptive integrator: DQDAGS (own workspace) and DQ2AGS (caller's).
#pragma once

namespace quadrature {

// The integrand: receives the abscissa, returns the function value there.
using Integrand = double (*)(const double& x);

// Subinterval limit of DQDAGS.
inline constexpr int dqdags_max_subintervals = 500;

// Integrates F from A to B to max(ERRABS, ERRREL * |integral|) with up to 500
// subintervals; RESULT is the integral, ESTERR an estimate of its absolute error.
// Problems are reported through the error-state stack: WARNINGs are printed when this
// returns, FATAL and TERMINAL errors are printed and end the run (exit status 3).
// Not re-entrant: F must not call the integrator.
void DQDAGS(Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR);

// As DQDAGS with the limit MAXSUB and the workspace supplied by the caller; each of
// LEFTS, RIGHTS, AREAS, ERRS and ORDER has room for MAXSUB entries, subinterval k at
// index k - 1. Also returns the number of integrand evaluations (NCALLS = 42 * NINTV - 21)
// and of subintervals (NINTV). After an argument error nothing is computed and the
// outputs keep their values.
void DQ2AGS(Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR, int MAXSUB,
            int& NCALLS, int& NINTV, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS, int* ORDER);

}  // namespace quadrature

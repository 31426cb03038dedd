// The globally adaptive integration kernel with extrapolation (DQCORE).
#pragma once

#include "quadrature/context.h"
#include "quadrature/integrand.h"

namespace quadrature {

// Integrates F over [A, B] to max(ERRABS, ERRREL * |integral|) with at most MAXSUB
// subintervals. Workspace arrays hold MAXSUB entries each, subinterval k at [k - 1].
// STATUS: 0 done, 1 MAXSUB reached, 2 roundoff, 3 bad integrand behaviour, 4 the
// extrapolation does not converge, 5 probably divergent, 6 tolerances refused.
// Stops at once when an evaluation of F stopped the run.
Flow DQCORE(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, int MAXSUB, double& RESULT,
            double& ESTERR, int& NCALLS, int& STATUS, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS,
            int* ORDER, int& NINTV);

}  // namespace quadrature

// Public entry points of the adaptive integrator: DQDAGS (the context's workspace) and DQ2AGS (caller's).
#pragma once

#include "quadrature/context.h"
#include "quadrature/integrand.h"

namespace quadrature {

// Integrates F from A to B to max(ERRABS, ERRREL * |integral|) with up to 500
// subintervals; RESULT is the integral, ESTERR an estimate of its absolute error.
// Problems are reported through the context's error-state stack: WARNINGs are printed
// (to ctx.printed) when this returns; FATAL and TERMINAL errors are printed and stop
// the run (Flow::stopped). Uses the workspace of CTX, so F may integrate again only
// through DQ2AGS with a workspace of its own, or with another context.
Flow DQDAGS(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT,
            double& ESTERR);

// As DQDAGS with the limit MAXSUB and the workspace supplied by the caller; each of
// LEFTS, RIGHTS, AREAS, ERRS and ORDER has room for MAXSUB entries, subinterval k at
// index k - 1. Also returns the number of integrand evaluations (NCALLS = 42 * NINTV - 21)
// and of subintervals (NINTV). After an argument error nothing is computed and the
// outputs keep their values.
Flow DQ2AGS(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR,
            int MAXSUB, int& NCALLS, int& NINTV, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS,
            int* ORDER);

}  // namespace quadrature

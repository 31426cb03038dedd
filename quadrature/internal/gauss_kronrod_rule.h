// The 21-point Gauss-Kronrod rule with its embedded 10-point Gauss rule on one interval (DQRULE).
#pragma once

#include "quadrature/context.h"
#include "quadrature/integrand.h"

namespace quadrature {

// Applies the rule to F on [A, B]: RES the 21-point integral, ERR its error estimate,
// RABS the integral of |F|, RASC the integral of |F - mean|. Makes 21 evaluations,
// none at A or B, and marks the current level as user code around them. EPSMCH and
// UFLOW are DMACH(4) and DMACH(1), which the caller reads once per integration.
// Stops, leaving the outputs unset, as soon as an evaluation stopped the run (a
// library routine called from F).
Flow DQRULE(Context& ctx, Integrand F, double A, double B, double EPSMCH, double UFLOW, double& RES, double& ERR,
            double& RABS, double& RASC);

}  // namespace quadrature

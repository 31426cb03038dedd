// The 21-point Gauss-Kronrod rule with its embedded 10-point Gauss rule on one interval (DQRULE).
#pragma once

#include "quadrature/dqdags.h"

namespace quadrature {

// Applies the rule to F on [A, B]: RES the 21-point integral, ERR its error estimate,
// RABS the integral of |F|, RASC the integral of |F - mean|. Makes 21 evaluations,
// none at A or B, and marks the current level as user code around them.
void DQRULE(Integrand F, double A, double B, double& RES, double& ERR, double& RABS, double& RASC);

}  // namespace quadrature

// Double-precision machine constants of the quadrature library (DMACH).
#pragma once

#include "quadrature/context.h"

namespace quadrature {

// VALUE receives constant N = 1..8: 1 smallest normalised, 2 largest finite, 3 2^-53,
// 4 2^-52 (the epsilon of the integrator), 5 log10(2), 6 quiet NaN, 7 +infinity,
// 8 -infinity. Any other N is a TERMINAL error that stops the run.
Flow DMACH(Context& ctx, int N, double& VALUE);

}  // namespace quadrature

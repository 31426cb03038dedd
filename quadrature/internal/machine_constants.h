// Double-precision machine constants of the quadrature library (DMACH).
#pragma once

namespace quadrature {

// Constant N = 1..8: 1 smallest normalised, 2 largest finite, 3 2^-53, 4 2^-52 (the
// epsilon of the integrator), 5 log10(2), 6 quiet NaN, 7 +infinity, 8 -infinity.
// Any other N is a TERMINAL error that stops the run.
double DMACH(int N);

}  // namespace quadrature

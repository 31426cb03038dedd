// Double-precision machine constants of the quadrature library (DMACH).
#include "quadrature/internal/machine_constants.h"

#include <limits>

#include "quadrature/internal/error_state.h"

namespace quadrature {

namespace {

// IEEE double constants, index 1..8 (index 0 unused).
constexpr double machine_constants[9] = {
    0.0,
    std::numeric_limits<double>::min(),        // 2.2250738585072014e-308
    std::numeric_limits<double>::max(),        // 1.7976931348623157e+308
    0x1p-53,                                   // smallest relative spacing
    0x1p-52,                                   // largest relative spacing
    0.3010299956639812,                        // log10(2)
    std::numeric_limits<double>::quiet_NaN(),  // bit pattern 7FF8000000000000
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
};

}  // namespace

double DMACH(int N) {
  if (N >= 1 && N <= 8) return machine_constants[N];
  E1PSH("DMACH");
  E1VALI(1, N);
  E1MES(TERMINAL, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)");
  E1POP("DMACH");  // stops the run
  return machine_constants[6];
}

}  // namespace quadrature

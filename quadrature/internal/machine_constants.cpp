// Double-precision machine constants of the quadrature library (DMACH).
#include "quadrature/internal/machine_constants.h"

#include <limits>

#include "quadrature/internal/error_state.h"
#include "textio/one_based.h"

namespace quadrature {

namespace {

// IEEE double constants, numbered 1..8 as DMACH takes them.
constexpr double machine_constants[8] = {
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

Flow DMACH(Context& ctx, int N, double& VALUE) {
  const auto constant = textio::one_based(machine_constants);
  if (N >= 1 && N <= constant.size) {
    VALUE = constant(N);
    return Flow::go_on;
  }
  if (E1PSH(ctx, "DMACH") == Flow::stopped) return Flow::stopped;
  E1VALI(ctx, 1, N);
  if (E1MES(ctx, TERMINAL, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)") == Flow::stopped)
    return Flow::stopped;
  return E1POP(ctx, "DMACH");  // stops the run
}

}  // namespace quadrature

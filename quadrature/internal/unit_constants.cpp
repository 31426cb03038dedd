// Unit numbers (UMACH) and integer machine constants (IMACH) used by the message printing.
#include "quadrature/internal/unit_constants.h"

#include <cstdlib>

#include "quadrature/internal/decimal_text.h"
#include "quadrature/internal/error_state.h"
#include "textio/one_based.h"

namespace quadrature {

namespace {

// Integer constants of IMACH, numbered 1..12.
constexpr int integer_constants[12] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};

}  // namespace

// Returns or sets a unit number; a bad index prints its fixed message and stops the run.
Flow UMACH(Context& ctx, int N, int& NUNIT) {
  const auto unit = textio::one_based(ctx.units);
  const long long magnitude = std::llabs(static_cast<long long>(N));
  if (magnitude >= 1 && magnitude <= unit.size) {
    if (N > 0)
      NUNIT = unit(N);
    else
      unit(-N) = NUNIT;
    return Flow::go_on;
  }
  ctx.printed +=
      "\n *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
      " ***          value of the index variable must be\n"
      " ***          1, 2, or 3.  IABS(N) = " +
      decimal_text(magnitude, 6) + ".\n\n";
  return stop(ctx);
}

// Gives integer constant N; a bad N prints its fixed message and stops the run.
Flow IMACH(Context& ctx, int N, int& VALUE) {
  const auto constant = textio::one_based(integer_constants);
  if (N >= 1 && N <= constant.size) {
    VALUE = constant(N);
    return Flow::go_on;
  }
  ctx.printed +=
      "\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
      " ***          must be between 1 and 12 inclusive.\n"
      " ***          N = " +
      decimal_text(N, 6) + ".\n\n";
  return stop(ctx);
}

}  // namespace quadrature

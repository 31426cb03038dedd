// Unit numbers (UMACH) and integer machine constants (IMACH) used by the message printing.
#include <cstdio>
#include <cstdlib>

#include "quadrature/internal/unit_constants.h"
#include "quadrature/internal/stop_run.h"
#include "textio/one_based.h"

namespace quadrature {

namespace {

int units[3] = {5, 6, 6};  // 1 input, 2 output, 3 error messages; 6 is the console

// Integer constants of IMACH, numbered 1..12.
constexpr int integer_constants[12] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};

}  // namespace

// Returns or sets a unit number; a bad index prints its fixed message and stops the run.
void UMACH(int N, int& NUNIT) {
  const auto unit = textio::one_based(units);
  const long long magnitude = std::llabs(static_cast<long long>(N));
  if (magnitude >= 1 && magnitude <= unit.size) {
    if (N > 0)
      NUNIT = unit(N);
    else
      unit(-N) = NUNIT;
    return;
  }
  std::printf(
      "\n *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
      " ***          value of the index variable must be\n"
      " ***          1, 2, or 3.  IABS(N) = %6lld.\n\n",
      magnitude);
  stop_run();
}

// Returns integer constant N; a bad N prints its fixed message and stops the run.
int IMACH(int N) {
  const auto constant = textio::one_based(integer_constants);
  if (N >= 1 && N <= constant.size) return constant(N);
  std::printf(
      "\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
      " ***          must be between 1 and 12 inclusive.\n"
      " ***          N = %6d.\n\n",
      N);
  stop_run();
}

}  // namespace quadrature

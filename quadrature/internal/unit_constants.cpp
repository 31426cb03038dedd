// Unit numbers (UMACH) and integer machine constants (IMACH) used by the message printing.
#include <cstdio>
#include <cstdlib>

#include "quadrature/internal/unit_constants.h"
#include "quadrature/internal/stop_run.h"

namespace quadrature {

namespace {

int units[4] = {0, 5, 6, 6};  // 1 input, 2 output, 3 error messages; 6 is the console

// Integer constants of IMACH, index 1..12 (index 0 unused).
constexpr int integer_constants[13] = {0, 32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};

}  // namespace

// Returns or sets a unit number; a bad index prints its fixed message and stops the run.
void UMACH(int N, int& NUNIT) {
  const long long magnitude = std::llabs(static_cast<long long>(N));
  if (magnitude >= 1 && magnitude <= 3) {
    if (N > 0)
      NUNIT = units[N];
    else
      units[-N] = NUNIT;
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
  if (N >= 1 && N <= 12) return integer_constants[N];
  std::printf(
      "\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
      " ***          must be between 1 and 12 inclusive.\n"
      " ***          N = %6d.\n\n",
      N);
  stop_run();
}

}  // namespace quadrature

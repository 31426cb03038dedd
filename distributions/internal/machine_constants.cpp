// The machine-constant table and the floating-point limits derived from it.
#include "distributions/internal/machine_constants.h"

#include <array>
#include <cmath>
#include <limits>

#include "textio/one_based.h"

namespace distributions {

namespace {

// Integer and floating-point format description: 32-bit two's-complement integers and
// IEEE 754 single and double precision.
constexpr std::array<int, 10> machine_table = {
    2,           // 1: base of the integer representation
    31,          // 2: number of base digits of an integer
    2147483647,  // 3: largest integer
    2,           // 4: base b of the floating-point representation
    24,          // 5: single precision: significand digits
    -125,        // 6: single precision: smallest exponent
    128,         // 7: single precision: largest exponent
    53,          // 8: double precision: significand digits m
    -1021,       // 9: double precision: smallest exponent emin
    1024,        // 10: double precision: largest exponent emax
};

// b raised to the whole power n by repeated squaring; a negative n squares 1/b instead.
// Exact for the powers of two this library asks for.
constexpr double int_power(double b, int n) {
  if (n < 0) {
    b = 1.0 / b;
    n = -n;
  }
  double result = 1.0;
  while (n > 0) {
    if (n & 1) result *= b;
    n >>= 1;
    if (n > 0) b *= b;
  }
  return result;
}

// The three limits from entries 4 (b), 8 (m), 9 (emin) and 10 (emax), each built in an order
// that never leaves the normal range: relative spacing at 1, smallest normal, largest finite.
constexpr std::array<double, 3> derive_real_limits() {
  const double b = machine_table[3];
  const int m = machine_table[7];
  const int emin = machine_table[8];
  const int emax = machine_table[9];
  const double spacing = int_power(b, 1 - m);
  // b^(emin-1) built from b^(emin+2).
  const double w_min = int_power(b, emin + 2);
  const double binv = 1.0 / b;
  const double smallest = ((w_min * binv) * binv) * binv;
  // (1 - b^-m) * b^emax, built without passing through an overflow.
  double z = int_power(b, m - 1);
  const double w = ((z - 1.0) * b + (b - 1.0)) / (b * z);
  z = int_power(b, emax - 2);
  const double largest = ((w * z) * b) * b;
  return {spacing, smallest, largest};
}

// Computed once, at build time: the hot paths ask for these on every call.
constexpr std::array<double, 3> real_limits = derive_real_limits();
static_assert(real_limits[0] == std::numeric_limits<double>::epsilon());
static_assert(real_limits[1] == std::numeric_limits<double>::min());
static_assert(real_limits[2] == std::numeric_limits<double>::max());

}  // namespace

int machine_int(int i) {
  const auto entry = textio::one_based(machine_table);
  if (i < 1 || i > entry.size) return 0;
  return entry(i);
}

double machine_real(int i) {
  if (i <= 1) return real_limits[0];
  if (i == 2) return real_limits[1];
  return real_limits[2];
}

double exp_limit(int l) {
  const int base = machine_int(4);
  double lnb;
  if (base == 2) {
    lnb = 0.69314718055995;
  } else if (base == 8) {
    lnb = 2.0794415416798;
  } else if (base == 16) {
    lnb = 2.7725887222398;
  } else {
    lnb = std::log(static_cast<double>(base));
  }
  const int k = (l == 0) ? machine_int(10) : machine_int(9) - 1;
  return (static_cast<double>(k) * lnb) * 0.99999;
}

}  // namespace distributions

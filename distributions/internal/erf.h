// Error function and complementary error function (plain and scaled by exp(x*x)).
#pragma once

namespace distributions {

// erf(x).
double erf_fn(double x);

// erfc(x) when ind == 0; exp(x*x)*erfc(x), which stays representable for large x, otherwise.
double erfc_fn(int ind, double x);

}  // namespace distributions

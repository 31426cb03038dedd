// The gamma function and the cancellation-free auxiliary functions the incomplete gamma ratio rests on.
#pragma once

namespace distributions {

// Gamma(a) for real a; 0 at the poles, on overflow, and for |a| >= 1000.
double gamma_fn(double a);

// 1/Gamma(a + 1) - 1, meaningful for -0.5 <= a <= 1.5 and accurate near a = 0 and a = 1.
double gamma1_fn(double a);

// exp(x) - 1, accurate for small |x|.
double expm1_fn(double x);

// x - 1 - ln(x) for x > 0, accurate near x = 1.
double logdev_fn(double x);

}  // namespace distributions

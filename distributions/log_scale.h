// Logarithms of gamma integrals, of the gamma function and of the normal distribution function, and its inverse.
#pragma once

namespace distributions {

// ln of the integral of t^(a-1) e^(-t) dt from lo to hi, for a >= 0 and 0 <= lo <= hi <= +infinity, computed
// without forming the integral itself, so that masses far below the smallest or above the largest double keep
// their logarithm. lo == hi gives -infinity; a == 0 with lo == 0 gives +infinity (the integral diverges there).
// NaN for a NaN argument, a < 0, lo < 0 or hi < lo. Accurate to about 1e-12 in the log, or to a few units of
// 2^-52 times the size of the integrand's log terms (a ln t and t at its largest point) where that is larger.
double log_gamma_integral(double a, double lo, double hi);

// ln Gamma(a) for a > 0 (+infinity for a == 0 and a == +infinity, NaN for a < 0 or NaN); writes no shared state.
double log_gamma_fn(double a);

// ln Phi(z), Phi the standard normal distribution function; -infinity at -infinity, 0 at +infinity.
double log_normal_cdf(double z);

// z with Phi(z) = p; -infinity at p == 0, +infinity at p == 1, NaN for p NaN or outside [0, 1].
double normal_quantile(double p);

}  // namespace distributions

// Methods behind log_gamma_integral: tails of the integral of t^(a-1) e^-t and direct integrals over an interval.
#pragma once

namespace distributions::detail {

// A tail of the integral at x, from 0 to x (lower) or from x to infinity (upper), is written x^a e^-x K; the
// tail functions return ln K. Each is asked only on its own side of the mode t = a of t^a e^-t, where it
// cannot cancel.

// Lower tail for a > 0, 0 < x <= a: the power series K = (1/a) sum x^k / ((a + 1)...(a + k)).
double lower_tail_series(double a, double x);

// Upper tail for x >= a and x >= 1: Legendre's continued fraction, evaluated forward by Lentz's method.
double upper_tail_fraction(double a, double x);

// Either tail for large a with x near a, where the series and the fraction need O(sqrt(a)) terms: the
// integral in the variable z with z^2/2 = t/a - 1 - ln(t/a) is a Gaussian in z times a function with a
// convergent Taylor series, integrated term by term. dev = x/a - 1 - ln(x/a); upper says which side of a x
// lies on.
inline constexpr double expansion_min_a = 50.0;   // a from which the expansion is used
inline constexpr double expansion_max_dev = 0.5;  // and the largest dev (|z| <= 1) at which it is
double tail_expansion(double a, double dev, bool upper);

// ln of the integral over [lo, hi] for 0 <= a < 1 and hi <= 2 (lo may be 0 when a > 0): the power series of
// t^(a-1) e^-t integrated term by term, with the differences hi^(a+k) - lo^(a+k) formed without cancellation.
// Up to 2 it needs at most 25 terms, and from 2 on the continued fraction about 50 at most.
inline constexpr double small_argument_limit = 2.0;
double small_argument_series(double a, double lo, double hi);

// ln of the integral over [lo, hi], 0 < lo < hi < infinity, by 16-point Gauss-Legendre in s = ln(t/lo) on the
// integrand divided by its value at lo. Accurate when ln t^a e^-t changes by little over the interval, which
// holds whenever a difference of tails would lose more than 1/8 of the larger one.
double narrow_interval_quadrature(double a, double lo, double hi);

}  // namespace distributions::detail

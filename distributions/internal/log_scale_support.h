// Helpers shared by the log-scale functions: sums and differences held as logarithms, and logs near 1.
#pragma once

namespace distributions::detail {

// ln(1 - e^d) for d <= 0; accurate both near 0 (where 1 - e^d cancels) and far below it.
double log1m_exp(double d);

// ln(e^x + e^y) without overflow; -infinity terms drop out.
double log_add(double x, double y);

// ln(x / y) for x, y > 0, accurate when x is near y and when x / y leaves the double range.
double log_ratio(double x, double y);

// x/y - 1 - ln(x/y) >= 0 for x, y > 0, accurate near x = y where the terms cancel.
double log_deviation(double x, double y);

// ln Gamma(a) - ((a - 1/2) ln a - a + ln(2 pi)/2) for a >= 1: what Stirling's formula leaves out.
double stirling_rest(double a);

}  // namespace distributions::detail

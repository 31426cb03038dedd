// Gamma, chi-square and standard normal distribution functions, each with its complement.
#pragma once

namespace distributions {

// cum = P(a, x), ccum = Q(a, x) for the gamma distribution with shape a and unit scale.
// x <= 0 gives (0, 1); an invalid shape gives cum = 2.0 with ccum left unwritten.
void cdf_gamma(double x, double a, double& cum, double& ccum);

// cum = P(X <= x), ccum = P(X > x) for X chi-square with df degrees of freedom.
void cdf_chisq(double x, double df, double& cum, double& ccum);

// result = Phi(arg), ccum = 1 - Phi(arg) for the standard normal distribution; a tail below
// the smallest normal number is returned as 0.
void cdf_normal(double arg, double& result, double& ccum);

}  // namespace distributions

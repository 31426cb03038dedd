// Gamma and chi-square distribution functions on top of the incomplete gamma ratio.
#include "distributions/cdf.h"
#include "distributions/internal/gamma_ratio.h"

namespace distributions {

void cdf_gamma(double x, double a, double& cum, double& ccum) {
  if (x <= 0.0) {
    cum = 0.0;
    ccum = 1.0;
    return;
  }
  gamma_ratio(a, x, cum, ccum, 0);
}

void cdf_chisq(double x, double df, double& cum, double& ccum) {
  const double xx = x / 2.0;
  const double a = df / 2.0;
  cdf_gamma(xx, a, cum, ccum);
}

}  // namespace distributions

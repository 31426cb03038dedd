// Standard normal distribution function by rational approximations in three ranges of |arg|.
#include <array>
#include <cmath>
#include <utility>

#include "distributions/cdf.h"
#include "distributions/internal/machine_constants.h"

namespace distributions {

namespace {

// Central range, |arg| <= 0.66291.
constexpr std::array<double, 5> a = {2.2352520354606837, 161.02823106855587, 1067.6894854603709, 18154.98125334356,
                                     0.06568233791820745};
constexpr std::array<double, 4> b = {47.202581904688245, 976.0985517377767, 10260.932208618979, 45507.78933502673};
// Middle range, up to sqrt(32).
constexpr std::array<double, 9> c = {0.39894151208813466, 8.883149794388377,  93.50665613217785,
                                     597.2702763948002,   2494.5375852903726, 6848.190450536283,
                                     11602.65143764735,   9842.714838383978,  1.0765576773720192e-08};
constexpr std::array<double, 8> d = {22.266688044328117, 235.387901782625,  1519.3775994075547, 6485.558298266761,
                                     18615.571640885097, 34900.95272114598, 38912.00328609327,  19685.429676859992};
// Tail range, beyond sqrt(32), in 1/arg^2.
constexpr std::array<double, 6> p = {0.215898534057957,     0.12740116116024736,    0.022235277870649807,
                                     0.0014216191932278934, 2.9112874951168793e-05, 0.023073441764940174};
constexpr std::array<double, 5> q = {1.284260096144911, 0.4682382124808651, 0.06598813786892856, 0.0037823963320275824,
                                     7.297515550839662e-05};
constexpr double sqrpi = 0.3989422804014327;  // 1/sqrt(2 pi)
constexpr double thrsh = 0.66291;
constexpr double root32 = 5.656854248;

// exp(-v*v/2) * factor with the square split at a multiple of 1/1.6, which keeps the rounding
// of v*v out of the exponent.
double gaussian_times(double v, double factor) {
  const double vsq = std::trunc(v * 1.6) / 1.6;
  const double del = (v - vsq) * (v + vsq);
  return std::exp(-vsq * vsq * 0.5) * std::exp(-del * 0.5) * factor;
}

}  // namespace

void cdf_normal(double arg, double& result, double& ccum) {
  const double eps = 0.5 * machine_real(1);
  const double min = machine_real(2);
  const double y = std::fabs(arg);
  if (std::isinf(arg)) {
    result = arg > 0.0 ? 1.0 : 0.0;
    ccum = 1.0 - result;
    return;
  }
  if (y <= thrsh) {
    const double xsq = y > eps ? arg * arg : 0.0;
    double xnum = a[4] * xsq;
    double xden = xsq;
    for (int i = 0; i < 3; ++i) {
      xnum = (xnum + a[i]) * xsq;
      xden = (xden + b[i]) * xsq;
    }
    const double temp = arg * (xnum + a[3]) / (xden + b[3]);
    result = 0.5 + temp;
    ccum = 0.5 - temp;
  } else if (y <= root32) {
    double xnum = c[8] * y;
    double xden = y;
    for (int i = 0; i < 7; ++i) {
      xnum = (xnum + c[i]) * y;
      xden = (xden + d[i]) * y;
    }
    result = (xnum + c[7]) / (xden + d[7]);
    result = gaussian_times(y, result);
    ccum = 1.0 - result;
    if (arg > 0.0) std::swap(result, ccum);
  } else {
    const double xsq = 1.0 / (arg * arg);
    double xnum = p[5] * xsq;
    double xden = xsq;
    for (int i = 0; i < 4; ++i) {
      xnum = (xnum + p[i]) * xsq;
      xden = (xden + q[i]) * xsq;
    }
    result = xsq * (xnum + p[4]) / (xden + q[4]);
    result = (sqrpi - result) / y;
    result = gaussian_times(arg, result);  // the square is split with the signed argument
    ccum = 1.0 - result;
    if (arg > 0.0) std::swap(result, ccum);
  }
  if (result < min) result = 0.0;
  if (ccum < min) ccum = 0.0;
}

}  // namespace distributions

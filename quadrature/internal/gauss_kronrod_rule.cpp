// The 21-point Gauss-Kronrod rule with its embedded 10-point Gauss rule on one interval (DQRULE).
#include "quadrature/internal/gauss_kronrod_rule.h"

#include <algorithm>
#include <cmath>

#include "quadrature/internal/error_state.h"
#include "quadrature/internal/gauss_kronrod_constants.h"

namespace quadrature {

namespace {

// The rule's constants indexed from 1, as the loops below count: xk(1..11), wk(1..11), wg(1..5).
constexpr double xk(int k) { return kronrod_nodes[k - 1]; }
constexpr double wk(int k) { return kronrod_weights[k - 1]; }
constexpr double wg(int j) { return gauss_weights[j - 1]; }

}  // namespace

// Evaluation order: centre, Gauss pairs from the outermost inwards, then the
// Kronrod-only pairs from the outermost inwards, left point first in each pair.
// The current level counts as user code exactly while the integrand runs, so library
// routines called from it report as if called by the user.
Flow DQRULE(Context& ctx, Integrand F, double A, double B, double EPSMCH, double UFLOW, double& RES, double& ERR,
            double& RABS, double& RASC) {
  const double c = (A + B) * 0.5;
  const double h = (B - A) * 0.5;
  double fl[11];  // value left of the centre at xk(j), index 1..10
  double fr[11];  // value right of the centre at xk(j)

  mark_user_code(ctx, true);
  const double fc = F(c);
  if (ctx.stopped) return Flow::stopped;
  mark_user_code(ctx, false);
  double sg = 0.0;
  double sk = wk(11) * fc;
  double sabs = std::fabs(sk);
  for (int j = 1; j <= 5; ++j) {
    const int k = 2 * j;
    const double d = h * xk(k);
    const double xl = c - d;
    const double xr = c + d;
    mark_user_code(ctx, true);
    fl[k] = F(xl);
    if (ctx.stopped) return Flow::stopped;
    fr[k] = F(xr);
    if (ctx.stopped) return Flow::stopped;
    mark_user_code(ctx, false);
    const double pair = fl[k] + fr[k];
    sg += wg(j) * pair;
    sk += wk(k) * pair;
    sabs += wk(k) * (std::fabs(fl[k]) + std::fabs(fr[k]));
  }
  for (int j = 1; j <= 5; ++j) {
    const int k = 2 * j - 1;
    const double d = h * xk(k);
    const double xl = c - d;
    const double xr = c + d;
    mark_user_code(ctx, true);
    fl[k] = F(xl);
    if (ctx.stopped) return Flow::stopped;
    fr[k] = F(xr);
    if (ctx.stopped) return Flow::stopped;
    mark_user_code(ctx, false);
    sk += wk(k) * (fl[k] + fr[k]);
    sabs += wk(k) * (std::fabs(fl[k]) + std::fabs(fr[k]));
  }

  const double mean = sk * 0.5;
  double sasc = wk(11) * std::fabs(fc - mean);
  for (int k = 1; k <= 10; ++k) sasc += wk(k) * (std::fabs(fl[k] - mean) + std::fabs(fr[k] - mean));

  RES = sk * h;
  RABS = sabs * std::fabs(h);
  RASC = sasc * std::fabs(h);
  ERR = std::fabs((sk - sg) * h);
  if (RASC != 0.0 && ERR != 0.0) ERR = RASC * std::min(1.0, std::pow(200.0 * ERR / RASC, 1.5));
  if (RABS > UFLOW / (50.0 * EPSMCH)) ERR = std::max(50.0 * EPSMCH * RABS, ERR);
  return Flow::go_on;
}

}  // namespace quadrature

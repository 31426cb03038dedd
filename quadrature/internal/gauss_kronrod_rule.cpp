// The 21-point Gauss-Kronrod rule with its embedded 10-point Gauss rule on one interval (DQRULE).
#include "quadrature/internal/gauss_kronrod_rule.h"

#include <algorithm>
#include <cmath>

#include "quadrature/internal/error_state.h"

namespace quadrature {

namespace {

// Kronrod abscissae on [-1, 1], decreasing, index 1..11; the even ones 2, 4, ..., 10
// are the 10-point Gauss abscissae, 11 is the centre. Published 21-point Kronrod
// extension of the 10-point Gauss rule, 33 significant digits.
constexpr double xk[12] = {
    0.0,
    0.995657163025808080735527280689003,
    0.973906528517171720077964012084452,
    0.930157491355708226001207180059508,
    0.865063366688984510732096688423493,
    0.780817726586416897063717578345042,
    0.679409568299024406234327365114874,
    0.562757134668604683339000099272694,
    0.433395394129247190799265943165784,
    0.294392862701460198131126603103866,
    0.148874338981631210884826001129720,
    0.0,
};

// Kronrod weights for xk(1..11).
constexpr double wk[12] = {
    0.0,
    0.011694638867371874278064396062192,
    0.032558162307964727478818972459390,
    0.054755896574351996031381300244580,
    0.075039674810919952767043140916190,
    0.093125454583697605535065465083366,
    0.109387158802297641899210590325805,
    0.123491976262065851077208814357640,
    0.134709217311473325928054001771707,
    0.142775938577060080797094273138717,
    0.147739104901338491374841515972068,
    0.149445554002916905664936468389821,
};

// Gauss weights for xk(2), xk(4), ..., xk(10), index 1..5.
constexpr double wg[6] = {
    0.0,
    0.066671344308688137593568809893332,
    0.149451349150580593145776339657697,
    0.219086362515982043995534934228163,
    0.269266719309996355091226921569469,
    0.295524224714752870173892994651338,
};

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
  double sk = wk[11] * fc;
  double sabs = std::fabs(sk);
  for (int j = 1; j <= 5; ++j) {
    const int k = 2 * j;
    const double d = h * xk[k];
    const double xl = c - d;
    const double xr = c + d;
    mark_user_code(ctx, true);
    fl[k] = F(xl);
    if (ctx.stopped) return Flow::stopped;
    fr[k] = F(xr);
    if (ctx.stopped) return Flow::stopped;
    mark_user_code(ctx, false);
    const double pair = fl[k] + fr[k];
    sg += wg[j] * pair;
    sk += wk[k] * pair;
    sabs += wk[k] * (std::fabs(fl[k]) + std::fabs(fr[k]));
  }
  for (int j = 1; j <= 5; ++j) {
    const int k = 2 * j - 1;
    const double d = h * xk[k];
    const double xl = c - d;
    const double xr = c + d;
    mark_user_code(ctx, true);
    fl[k] = F(xl);
    if (ctx.stopped) return Flow::stopped;
    fr[k] = F(xr);
    if (ctx.stopped) return Flow::stopped;
    mark_user_code(ctx, false);
    sk += wk[k] * (fl[k] + fr[k]);
    sabs += wk[k] * (std::fabs(fl[k]) + std::fabs(fr[k]));
  }

  const double mean = sk * 0.5;
  double sasc = wk[11] * std::fabs(fc - mean);
  for (int k = 1; k <= 10; ++k) sasc += wk[k] * (std::fabs(fl[k] - mean) + std::fabs(fr[k] - mean));

  RES = sk * h;
  RABS = sabs * std::fabs(h);
  RASC = sasc * std::fabs(h);
  ERR = std::fabs((sk - sg) * h);
  if (RASC != 0.0 && ERR != 0.0) ERR = RASC * std::min(1.0, std::pow(200.0 * ERR / RASC, 1.5));
  if (RABS > UFLOW / (50.0 * EPSMCH)) ERR = std::max(50.0 * EPSMCH * RABS, ERR);
  return Flow::go_on;
}

}  // namespace quadrature

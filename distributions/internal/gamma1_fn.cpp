// 1/Gamma(a + 1) - 1 on [-0.5, 1.5] by rational forms around a = 0 and a = 1.
#include <array>

#include "distributions/internal/gamma_functions.h"

namespace distributions {

namespace {

// Used for t > 0 (t = a or t = a - 1); index 0 is the constant term.
constexpr std::array<double, 7> p = {0.577215664901533,  -0.409078193005776,   -0.230975380857675,  0.0597275330452234,
                                     0.0076696818164949, -0.00514889771323592, 0.000589597428611429};
constexpr std::array<double, 4> q = {0.427569613095214, 0.158451672430138, 0.0261132021441447,
                                     0.00423244297896961};  // q2..q5
// Used for t < 0; index 0 is the constant term.
constexpr std::array<double, 9> r = {-0.422784335098468,  -0.771330383816272,   -0.244757765222226,
                                     0.118378989872749,   0.000930357293360349, -0.0118290993445146,
                                     0.00223047661158249, 0.000266505979058923, -0.000132674909766242};
constexpr double s1 = 0.273076135303957;
constexpr double s2 = 0.0559398236957378;

}  // namespace

double gamma1_fn(double a) {
  double t = a;
  const double d = a - 0.5;
  if (d > 0.0) t = d - 0.5;
  if (t == 0.0) return 0.0;
  if (t > 0.0) {
    double top = p[6];
    for (int i = 5; i >= 0; --i) top = top * t + p[i];
    const double bot = (((q[3] * t + q[2]) * t + q[1]) * t + q[0]) * t + 1.0;
    const double w = top / bot;
    return d > 0.0 ? (t / a) * ((w - 0.5) - 0.5) : a * w;
  }
  double top = r[8];
  for (int i = 7; i >= 0; --i) top = top * t + r[i];
  const double bot = (s2 * t + s1) * t + 1.0;
  const double w = top / bot;
  return d > 0.0 ? t * w / a : a * ((w + 0.5) + 0.5);
}

}  // namespace distributions

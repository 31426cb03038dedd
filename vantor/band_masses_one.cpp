// The band masses of one grid point for one value: the integral of exp(-t)/t over each band's t-interval.
#include <algorithm>
#include <cmath>

#include "distributions/log_scale.h"
#include "quadrature/dqdags.h"
#include "quadrature/internal/error_state.h"
#include "textio/one_based.h"
#include "vantor/band_posterior.h"
#include "vantor/internal/band_masses.h"

namespace vantor {

namespace {

// exp(-t)/t as an object: the integrator reaches its body, inlined here, in one indirect call
// instead of a call through a function pointer behind its own.
constexpr auto e1_object = [](const double& t) { return e1_integrand(t); };

// The error type the stopped integration left on top of the context's stack: FATAL when DQDAGS stopped on
// its kernel's outcome (the subinterval limit, a divergent integral), TERMINAL on a refused argument.
int stopped_type(quadrature::Context& ctx) {
  int type = 0;
  if (quadrature::N1RTY(ctx, 0, type) != quadrature::Flow::go_on) return quadrature::TERMINAL;
  return type;
}

// The type of the routine just popped from the user's level: WARNING after a call that printed one.
int returned_type(quadrature::Context& ctx) {
  int type = 0;
  if (quadrature::N1RTY(ctx, 1, type) != quadrature::Flow::go_on) return 0;
  return type;
}

}  // namespace

double e1_integrand(const double& t) { return std::exp(-(t * 1.0)) * (1.0 / t); }

quadrature::Flow band_masses_one(quadrature::Context& ctx, const BreakpointBasis& basis, double mu, double s,
                                 BandMasses& P_storage, IntegralTally& tally, std::size_t first_index) {
  const double r = 2.0 / s;
  Breakpoints t_storage;
  band_breakpoints(basis, mu, r, t_storage);
  const auto t = textio::one_based(t_storage);
  const auto P = textio::one_based(P_storage);
  for (int i = 1; i <= bands; ++i) {
    double mass = 0.0;
    if (t(i + 1) != t(i)) {
      const std::size_t printed_before = ctx.printed.size();
      double result = 0.0, esterr = 0.0;
      if (quadrature::DQDAGS(ctx, e1_object, t(i), t(i + 1), 0.0, relative_tolerance, result, esterr) ==
          quadrature::Flow::stopped) {
        if (stopped_type(ctx) != quadrature::FATAL) return quadrature::Flow::stopped;
        // The integrator gave up on an integral that is finite: the exponential integral gives it exactly.
        ctx.printed.resize(printed_before);
        std::string kept = std::move(ctx.printed);
        ctx = quadrature::Context{};
        ctx.printed = std::move(kept);
        result = std::exp(distributions::log_gamma_integral(0.0, t(i), t(i + 1)));
        ++tally.unfinished;
      } else if (returned_type(ctx) == quadrature::WARNING) {
        ++tally.warned;
        const double exact = std::exp(distributions::log_gamma_integral(0.0, t(i), t(i + 1)));
        if (exact > 0.0 && std::isfinite(exact)) {
          const double deviation = std::fabs(result - exact) / exact;
          if (deviation > relative_tolerance) {
            // The integrator could not reach the tolerance and says so; its result is kept when it is
            // within it nonetheless, and replaced when it is not.
            tally.worst_warned = std::max(tally.worst_warned, deviation);
            ++tally.beyond_tolerance;
            result = exact;
          }
        }
      }
      if (result == 0.0) {
        // All 21 points of the rule can miss a mass that sits at the low end of a wide interval.
        const double log_mass = distributions::log_gamma_integral(0.0, t(i), t(i + 1));
        if (log_mass > -INFINITY) tally.zero_results.emplace_back(first_index + (5 - i), log_mass);
      }
      mass = result * 1.0;
    }
    P(6 - i) = mass;
  }
  return quadrature::Flow::go_on;
}

void limit_masses_one(const BreakpointBasis& basis, double mu, BandMasses& P_storage) {
  Breakpoints v_storage;
  band_precisions(basis, mu, v_storage);
  const auto v = textio::one_based(v_storage);
  const auto P = textio::one_based(P_storage);
  for (int i = 1; i <= bands; ++i) P(6 - i) = v(i + 1) == v(i) ? 0.0 : std::log(v(i + 1) / v(i));
}

}  // namespace vantor

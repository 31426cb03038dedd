// The caller's state of the quadrature library: error-state stack, DQDAGS workspace, unit numbers and printed text.
#pragma once

#include <string>

#include "quadrature/internal/error_state_data.h"

namespace quadrature {

// What a library routine tells its caller: go on, or the run is stopped.
// stopped = the library stopped the run; its message is already at the end of ctx.printed. The caller must
// not use the context again before resetting it, e.g. `ctx = Context{}`.
enum class [[nodiscard]] Flow{go_on, stopped};

// Subinterval limit of DQDAGS.
inline constexpr int dqdags_max_subintervals = 500;

// Workspace of DQDAGS: fixed storage in the context, so a call allocates nothing and
// cannot fail for lack of memory.
struct DqdagsWorkspace {
  double lefts[dqdags_max_subintervals];
  double rights[dqdags_max_subintervals];
  double areas[dqdags_max_subintervals];
  double errs[dqdags_max_subintervals];
  int order[dqdags_max_subintervals];
  int ncalls;  // evaluation count of the last call, not passed back
  int nintv;   // subinterval count of the last call, not passed back
};

// Everything the library keeps between calls, owned by the caller: one context per thread, any number of
// threads. A default-constructed context is the library as first created (level 1 is the user).
struct Context {
  // Set where the library stops the run. A stop inside the integrand (a library routine called from it)
  // cannot travel through the integrand's return value, so the rule looks here after every evaluation.
  bool stopped = false;
  ErrorState errors = created_state();
  DqdagsWorkspace workspace{};
  int units[3] = {5, 6, 6};  // UMACH units: 1 input, 2 output, 3 error messages; 6 is the console
  // Every character the library prints, in order, with LF line ends; the caller passes it on (e.g. to
  // standard output) and may clear it at any time.
  std::string printed;
};

}  // namespace quadrature

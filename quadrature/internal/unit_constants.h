// Unit numbers (UMACH) and integer machine constants (IMACH) used by the message printing.
#pragma once

#include "quadrature/context.h"

namespace quadrature {

// N = 1..3: NUNIT receives unit N of the context (1 input = 5, 2 output = 6, 3 error
// messages = 6 as created). N = -1..-3: unit |N| becomes NUNIT. Any other N prints a
// message and stops the run. The library's only output unit is the console, i.e.
// ctx.printed, whatever number the units hold.
Flow UMACH(Context& ctx, int N, int& NUNIT);

// VALUE receives integer machine constant N = 1..12; any other N prints a message and
// stops the run.
Flow IMACH(Context& ctx, int N, int& VALUE);

}  // namespace quadrature

// Unit numbers (UMACH) and integer machine constants (IMACH) used by the message printing.
#pragma once

namespace quadrature {

// N = 1..3: NUNIT receives unit N (1 input = 5, 2 output = 6, 3 error messages = 6).
// N = -1..-3: unit |N| becomes NUNIT. Any other N prints a message and stops the run.
// The library's only output unit is the console: messages go to standard output
// whatever number the units hold.
void UMACH(int N, int& NUNIT);

// Integer machine constant N = 1..12; any other N prints a message and stops the run.
int IMACH(int N);

}  // namespace quadrature

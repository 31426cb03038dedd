// Floating-point and integer format constants that the distribution functions query instead of hard-coding.
#pragma once

namespace distributions {

// Entry i (1..10) of the machine-constant table; 0 for an index outside the table.
int machine_int(int i);

// i <= 1: relative spacing at 1; i == 2: smallest positive normal number; i >= 3: largest finite number.
double machine_real(int i);

// l == 0: largest w with exp(w) finite; otherwise most negative w with exp(w) a positive normal
// number; each shrunk by the factor 0.99999.
double exp_limit(int l);

}  // namespace distributions

// Fixed-width formatting of numbers into text fields of exact width.
//
// Every routine writes exactly the stated number of characters at `out` (no
// terminator) and never fails: a value that does not fit is shown as a field
// of asterisks, a non-finite value as NaN, Infinity or -Infinity (Inf, -Inf in
// narrower fields), right-justified.
#pragma once

#include <string>

namespace textio {

// Width of the free-form double field.
constexpr int free_double_width = 24;

// `value` rounded to `decimals` places, right-justified in `width` characters:
// a minus sign for negatives (also when they round to zero), a 0 before the
// point when the magnitude is below 1 and the field has room for it.
void format_fixed(char* out, double value, int width, int decimals);

// The 24-character free-form double. When 0.1 <= |value| < 1e15, judged after
// rounding to 15 significant digits: the value with 15 significant digits in
// fixed-point form, right-justified in 19 characters, then 5 blanks. Otherwise
// (zero included): one digit, the point, 15 decimals, E, the exponent's sign
// and three exponent digits, right-justified in 24 characters.
void format_free_double(char* out, double value);

// `value` right-justified in `width` characters.
void format_integer(char* out, long long value, int width);

// The same fields as strings, for callers that are not on a hot path.
std::string fixed_field(double value, int width, int decimals);
std::string free_double_field(double value);
std::string integer_field(long long value, int width);

}  // namespace textio

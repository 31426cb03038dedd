// Decimal text of an integer, right-justified in a field, as the library's messages show integers.
#pragma once

#include <cassert>
#include <charconv>
#include <string>

namespace quadrature {

// VALUE in decimal with a minus sign when negative, blank-padded on the left to WIDTH
// characters; a value that needs more characters is shown whole.
inline std::string decimal_text(long long value, int width = 0) {
  char digits[24];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
  assert(r.ec == std::errc());
  const int n = static_cast<int>(r.ptr - digits);
  std::string text(width > n ? static_cast<std::size_t>(width - n) : 0, ' ');
  text.append(digits, static_cast<std::size_t>(n));
  return text;
}

}  // namespace quadrature

// Numbers shown with a fixed count of decimals, the same in every locale.
#pragma once

#include <charconv>
#include <string>

namespace bandreport {

// `value` rounded to `decimals` decimals in fixed form ("3.1", "-0.0", "12"); the
// decimal mark is always a point.
inline std::string fixed_decimals(double value, int decimals) {
  char text[400];  // room for any double in fixed form with a few decimals
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, written.ptr);
}

}  // namespace bandreport

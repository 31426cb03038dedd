// Numbers as text, the same in every locale: with a fixed count of decimals, or in the shortest exact form.
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

// The shortest text that reads back as exactly `value` ("0.05", "1e-07", "-0").
inline std::string shortest_text(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

}  // namespace bandreport

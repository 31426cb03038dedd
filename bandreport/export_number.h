// The numbers of a spreadsheet export: measurements, results below a detection limit, and limits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bandreport {

enum class EntryKind : std::uint8_t { measured, below_limit, missing };

// One entry of a measurement column: a number, a result below the detection limit `value`, or none.
struct Entry {
  double value = -1.0;
  EntryKind kind = EntryKind::missing;
};

// A finite number written [sign] digits [point digits] [e [sign] digits], with at least one digit and blanks
// around it allowed; the point may be a comma when `decimal_comma` is set. None for anything else.
std::optional<double> export_number(std::string_view text, bool decimal_comma);

// A measurement field: empty for a missing result, a number, or <X with X a positive number for a result below
// the detection limit X. None when it is neither.
std::optional<Entry> export_entry(std::string_view text, bool decimal_comma);

}  // namespace bandreport

// The log values vantor reads for a list of measurements: cardel's logarithm, logy.txt's field, vantor's reading.
#include "core/logged_values.h"

#include <charconv>
#include <cmath>

#include "cardel/group_statistics.h"
#include "textio/fixed_width_writer.h"

namespace core {

namespace {

// The double a free-form field holds: its text without the blanks that pad it, in C-locale number syntax.
double read_back(const char (&field)[textio::free_double_width]) {
  const char* first = field;
  const char* last = field + textio::free_double_width;
  while (first != last && *first == ' ') ++first;
  while (last != first && last[-1] == ' ') --last;
  double value = 0.0;
  std::from_chars(first, last, value);
  return value;
}

}  // namespace

std::vector<double> logs_as_read(std::span<const double> measurements, std::span<const std::uint8_t> below) {
  std::vector<double> logs;
  logs.reserve(measurements.size());
  char field[textio::free_double_width];
  for (std::size_t i = 0; i < measurements.size(); ++i) {
    const bool limit = !below.empty() && below[i] != 0;
    const double value = !limit && measurements[i] == 0.0 ? cardel::zero_substitute : measurements[i];
    textio::format_free_double(field, std::log(value));
    logs.push_back(read_back(field));
  }
  return logs;
}

}  // namespace core

// Reading vantor's input files: the values "logy.txt" and the settings "in_bayes.txt".
#include "vantor/input_files.h"

#include <cassert>
#include <cstdint>

#include "vantor/file_units.h"

namespace vantor {

namespace {

std::string open_failure(const std::string& path, int unit, const std::string& reason, const char* hint) {
  return "cannot open input file " + path + ", unit " + std::to_string(unit) + ": " + reason + hint;
}

}  // namespace

std::string read_values(textio::FreeFormReader& reader, std::vector<double>& values) {
  std::int32_t n = 0;
  textio::ReadStatus status = textio::read_integers(reader, &n, 1);
  if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
  if (n < 0)
    return "negative number of values " + std::to_string(n) + " in file " + reader.path + ", unit " +
           std::to_string(reader.unit) + ", line " + std::to_string(reader.next_line - 1);
  if (!textio::can_hold(reader, static_cast<std::uint64_t>(n))) {
    // The file is too short for its count: find where it falls short without reserving memory.
    for (std::int32_t i = 0; i < n; ++i) {
      status = textio::skip_reals(reader, 1);
      if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
    }
    assert(false && "a file too short for its count must fail on the way");
  }
  values.assign(n, 0.0);
  for (double& value : values) {
    status = textio::read_reals(reader, &value, 1);
    if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
  }
  return "";
}

std::string read_settings(textio::FreeFormReader& reader, Settings& s) {
  s.path = reader.path;
  s.unit = reader.unit;
  struct Read {
    double* values;
    std::size_t count;
  };
  const Read reads[settings_reads] = {{&s.limit, 1}, {s.gm_bounds, 2}, {s.gsd_bounds, 2}, {s.band_prior, bands}};
  for (int read = 0; read < settings_reads; ++read) {
    s.first_line[read] = reader.next_line;
    const textio::ReadStatus status = textio::read_reals(reader, reads[read].values, reads[read].count);
    if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
    s.last_line[read] = reader.next_line - 1;
  }
  return "";
}

std::string read_values_file(std::vector<double>& values) {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, values_file, values_unit, error))
    return open_failure(values_file, values_unit, error, " (cardel writes it)");
  return read_values(reader, values);
}

std::string read_settings_file(Settings& settings) {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, settings_file, settings_unit, error))
    return open_failure(settings_file, settings_unit, error, "");
  return read_settings(reader, settings);
}

}  // namespace vantor

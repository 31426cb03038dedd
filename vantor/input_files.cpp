// Reading vantor's input files: the values "logy.txt" and the settings "in_bayes.txt".
#include "vantor/input_files.h"

#include <cstdint>

#include "core/files.h"

namespace vantor {

namespace {

// The count, then one value per read; `below` is null where entries <v are not accepted.
std::string read_counted_values(textio::FreeFormReader& reader, std::vector<double>& values,
                                std::vector<std::uint8_t>* below) {
  const textio::FieldForm form = below ? textio::FieldForm::real_or_log_limit : textio::FieldForm::real;
  std::int32_t n = 0;
  textio::ReadStatus status = textio::read_count(reader, n, "number of values");
  if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
  reader.what = "value";
  status = textio::check_room(reader, static_cast<std::uint64_t>(n), 1, form);
  if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
  values.assign(n, 0.0);
  if (below) below->assign(n, 0);
  for (std::int32_t i = 0; i < n; ++i) {
    status = below ? textio::read_entries(reader, &values[i], &(*below)[i], 1, form)
                   : textio::read_reals(reader, &values[i], 1);
    if (status != textio::ReadStatus::ok) {
      // Named only on failure: building the text for every one of many values would cost more than the read.
      reader.what = "value " + std::to_string(i + 1) + " of " + std::to_string(n);
      return textio::describe_read_error(reader, status);
    }
  }
  return "";
}

// Opens "logy.txt" and reads it as read_counted_values does.
std::string read_file_values(std::vector<double>& values, std::vector<std::uint8_t>* below) {
  textio::FreeFormReader reader;
  std::string failure;
  if (!textio::open_input(reader, core::logs_file, core::logs_read_unit, failure, "cardel writes it")) return failure;
  failure = read_counted_values(reader, values, below);
  if (failure.empty()) textio::warn_ignored_input(reader, values.empty() ? "the count" : "the last value");
  return failure;
}

}  // namespace

std::string read_values(textio::FreeFormReader& reader, std::vector<double>& values) {
  return read_counted_values(reader, values, nullptr);
}

std::string read_values(textio::FreeFormReader& reader, std::vector<double>& values, std::vector<std::uint8_t>& below) {
  return read_counted_values(reader, values, &below);
}

std::string read_settings(textio::FreeFormReader& reader, Settings& s) {
  s.path = reader.path;
  s.unit = reader.unit;
  struct Read {
    double* values;
    std::size_t count;
    const char* what;
  };
  const Read reads[settings_reads] = {{&s.limit, 1, "the limit"},
                                      {s.gm_bounds, 2, "the two geometric-mean bounds"},
                                      {s.gsd_bounds, 2, "the two geometric-standard-deviation bounds"},
                                      {s.band_prior, bands, "the five band weights"}};
  for (int read = 0; read < settings_reads; ++read) {
    s.first_line[read] = reader.next_line;
    reader.what = reads[read].what;
    const textio::ReadStatus status = textio::read_reals(reader, reads[read].values, reads[read].count);
    if (status != textio::ReadStatus::ok) return textio::describe_read_error(reader, status);
    s.last_line[read] = reader.next_line - 1;
  }
  return "";
}

std::string read_values_file(std::vector<double>& values) { return read_file_values(values, nullptr); }

std::string read_values_file(std::vector<double>& values, std::vector<std::uint8_t>& below) {
  return read_file_values(values, &below);
}

std::string read_settings_file(Settings& settings) {
  textio::FreeFormReader reader;
  std::string failure;
  if (!textio::open_input(reader, core::settings_file, core::settings_unit, failure)) return failure;
  failure = read_settings(reader, settings);
  if (failure.empty()) textio::warn_ignored_input(reader, "the five band weights");
  return failure;
}

}  // namespace vantor

// Reading the result files of cardel and vantor back as trimmed field texts.
#include "bandreport/result_files.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sys/stat.h>

#include "bandreport/input_stream.h"
#include "bandreport/text_escape.h"
#include "core/files.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "vantor/input_files.h"

namespace bandreport {

namespace {

// The lines of a text file without their line ends; none when it cannot be read.
// At most `limit` lines are read, so a file longer than it should be costs only the lines wanted.
std::optional<std::vector<std::string>> read_lines(const std::string& path, std::size_t limit) {
  std::ifstream file;
  open_for_reading(file, path);
  if (!file) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < limit && std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (file.bad()) return std::nullopt;
  return lines;
}

// Units are a short text; only the start of a longer file is read.
constexpr std::size_t units_length_limit = 1024;

std::string unreadable(const std::string& name, std::size_t lines) {
  return "bandreport: " + name + " is missing or does not hold " + std::to_string(lines) + " lines";
}

// The fields of one out_bayes.txt line: three comma-separated fields.
bool split_band_line(const std::string& line, std::string fields[3]) {
  std::size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t comma = k < 2 ? line.find(core::band_field_separator, start) : line.size();
    if (comma == std::string::npos) return false;
    fields[k] = trim(std::string_view(line).substr(start, comma - start));
    start = comma + 1;
  }
  return true;
}

}  // namespace

std::optional<double> field_value(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool is_marker(const std::string& text) {
  const std::optional<double> value = field_value(text);
  return value && (*value == -1.0 || *value == -9.0);
}

std::string read_summary_files(const std::string& dir, FolderResults& results) {
  const auto seg = read_lines(dir + "/" + core::summary_file, core::summary_lines);
  if (!seg || seg->size() != core::summary_lines) return unreadable(core::summary_file, core::summary_lines);
  // out_seg.txt holds the fold range first, then the four statistics of all measurements.
  results.summary[fold_range] = trim((*seg)[0]);
  results.summary[arithmetic_mean] = trim((*seg)[1]);
  results.summary[standard_deviation] = trim((*seg)[2]);
  results.summary[geometric_mean] = trim((*seg)[3]);
  results.summary[geometric_sd] = trim((*seg)[4]);
  // logy.txt whole, read as vantor reads it: the count, the values and which of them lie below a detection limit.
  textio::FreeFormReader reader;
  std::string problem;
  if (!textio::open_input(reader, dir + "/" + core::logs_file, core::logs_read_unit, problem))
    return std::string("bandreport: cannot read ") + core::logs_file + ": " + textio::system_message(reader.open_error);
  reader.path = core::logs_file;  // diagnostics name the file as vantor's do
  problem = vantor::read_values(reader, results.log_values, results.below);
  if (!problem.empty()) return "bandreport: " + problem;
  results.n = std::to_string(results.log_values.size());
  results.below_detection = static_cast<std::size_t>(std::count(results.below.begin(), results.below.end(), 1));
  results.has_summary = true;
  return "";
}

std::string read_band_files(const std::string& dir, FolderResults& results) {
  const auto pvalue = read_lines(dir + "/" + core::pvalue_file, core::pvalue_lines);
  if (!pvalue || pvalue->size() != core::pvalue_lines) return unreadable(core::pvalue_file, core::pvalue_lines);
  const auto bayes = read_lines(dir + "/" + core::bayes_file, band_count);
  if (!bayes || bayes->size() != band_count) return unreadable(core::bayes_file, band_count);
  for (int k = 0; k < band_count; ++k) {
    std::string fields[3];
    if (!split_band_line((*bayes)[k], fields))
      return "bandreport: out_bayes.txt line " + std::to_string(k + 1) + " does not hold three fields";
    results.weight[k] = fields[0];
    results.flat[k] = fields[1];
    results.weighted[k] = fields[2];
  }
  results.chi_square = trim((*pvalue)[0]);
  results.p_value = trim((*pvalue)[1]);
  results.has_bands = true;

  // The most probable band: the highest weighted probability, the lowest band on a tie;
  // none when any probability is a marker or not a number.
  results.most_probable_band = 0;
  double best = 0.0;
  for (int k = 0; k < band_count; ++k) {
    const std::optional<double> value = field_value(results.weighted[k]);
    if (!value || *value < 0.0) {
      results.most_probable_band = 0;
      break;
    }
    if (results.most_probable_band == 0 || *value > best) {
      results.most_probable_band = k + 1;
      best = *value;
    }
  }
  return "";
}

std::string read_estimates_file(const std::string& dir, FolderResults& results) {
  constexpr std::size_t lines = 1 + quantity_count;  // the header, then one line per quantity
  const auto file = read_lines(dir + "/" + core::estimates_file, lines);
  if (!file || file->size() != lines) return unreadable(core::estimates_file, lines);
  std::string header = "quantity";
  for (const char* name : vantor::percentile_names) header += std::string(",") + name;
  if (trim((*file)[0]) != header)
    return std::string("bandreport: ") + core::estimates_file + " line 1 is not \"" + header + "\"";
  for (int q = 0; q < quantity_count; ++q) {
    const std::string_view line = trim((*file)[static_cast<std::size_t>(q) + 1]);
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
      const std::size_t comma = std::min(line.find(',', start), line.size());
      fields.emplace_back(trim(line.substr(start, comma - start)));
      if (comma == line.size()) break;
      start = comma + 1;
    }
    const bool complete = std::none_of(fields.begin(), fields.end(), [](const auto& f) { return f.empty(); });
    if (fields.size() != 1 + percentile_count || fields[0] != vantor::quantity_names[q] || !complete)
      return std::string("bandreport: ") + core::estimates_file + " line " + std::to_string(q + 2) + " does not hold " +
             vantor::quantity_names[q] + " and " + std::to_string(percentile_count) + " numbers";
    for (int p = 0; p < percentile_count; ++p) results.estimates[q][p] = fields[static_cast<std::size_t>(p) + 1];
  }
  results.has_estimates = true;
  return "";
}

std::optional<Settings> read_settings(const std::string& dir, std::string& problem) {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, dir + "/" + core::settings_file, core::settings_unit, error)) {
    // Without the file the reports only leave the settings out; a file that is
    // there but cannot be read would make them leave out what vantor used.
    if (reader.open_error != ENOENT)
      problem = std::string("bandreport: cannot read ") + core::settings_file + ": " +
                textio::system_message(reader.open_error);
    return std::nullopt;
  }
  Settings s;
  if (!vantor::read_settings(reader, s).empty()) return std::nullopt;
  return s;
}

std::string read_units(const std::string& dir, std::string& problem) {
  const std::string path = dir + "/" + core::units_file;
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return "";  // not opened when absent, as in most folders
  std::ifstream file;
  open_for_reading(file, path);
  std::string text(units_length_limit, '\0');
  if (file) file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (!file.is_open() || file.bad()) {
    problem = std::string("bandreport: cannot read ") + core::units_file + ": " + textio::system_message(errno);
    return "";
  }
  text.resize(static_cast<std::size_t>(file.gcount()));
  return std::string(trim(text.substr(0, text.find('\n'))));
}

}  // namespace bandreport

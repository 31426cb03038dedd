// The --settings file: read and checked once, then copied into folders, with a segment's own limit put in.
#include "bandreport/settings_file.h"

#include <cassert>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "bandreport/decimal_text.h"
#include "bandreport/input_stream.h"
#include "bandreport/result_files.h"
#include "core/files.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "vantor/input_files.h"

namespace bandreport {

namespace {

// in_bayes.txt is a few short lines; anything near this size is some other file.
constexpr std::size_t settings_size_limit = 1 << 20;

bool separator(char c) { return c == ' ' || c == '\t' || c == ','; }

}  // namespace

std::string read_settings_file(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream file;
  open_for_reading(file, path);
  if (!file) return "bandreport: cannot read " + path + ": " + textio::system_message(errno);
  std::string text(settings_size_limit + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) return "bandreport: cannot read " + path + ": " + textio::system_message(errno);
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > settings_size_limit)
    return "bandreport: " + path + " is too large for a settings file (over " + std::to_string(settings_size_limit) +
           " bytes)";

  textio::FreeFormReader reader;
  reader.path = path;
  reader.unit = core::settings_unit;
  reader.text = text;
  Settings s;
  if (const std::string failure = vantor::read_settings(reader, s); !failure.empty())
    return "bandreport: " + path + " does not hold the settings of " + core::settings_file + ": " + failure;

  lines.clear();
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return "";
}

std::vector<std::string> settings_with_limit(std::vector<std::string> lines, double limit) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    std::size_t start = i == 0 && line.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // after a byte-order mark
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    if (start == line.size()) continue;  // a blank line, which the first read skips
    std::size_t end = start;
    while (end < line.size() && !separator(line[end])) ++end;
    line.replace(start, end - start, shortest_text(limit));
    return lines;
  }
  assert(false && "checked settings always hold a limit");
  return lines;
}

}  // namespace bandreport

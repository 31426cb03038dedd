// Helpers of the bandreport tests: folders of input files, a batch run with arguments, the summary table read back.
#include "tests/bandreport/batch_runner.h"

#include <filesystem>

#include "tests/support/text_lines.h"

namespace bandreport_test {

test_support::RunResult run_bandreport(const std::string& dir, const std::vector<std::string>& args,
                                       const std::string& program) {
  return test_support::run_program(program, dir, args, "SOURCE_DATE_EPOCH=1700000000");
}

void make_folder(const std::string& dir, const std::string& table, const std::string& settings) {
  std::filesystem::create_directories(dir);
  if (!table.empty()) test_support::write_file(dir + "/y.txt", table);
  if (!settings.empty()) test_support::write_file(dir + "/in_bayes.txt", settings);
}

std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        rows.back().back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        rows.back().back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.emplace_back(1);
      ++i;
    } else {
      rows.back().back() += c;
    }
  }
  rows.pop_back();  // after the last line end
  return rows;
}

std::vector<std::string> trimmed_lines(const std::string& path) {
  std::vector<std::string> lines = test_support::split_lines(test_support::read_file(path));
  for (std::string& line : lines) line = test_support::trim(line);
  return lines;
}

std::vector<std::string> band_fields(const std::string& line) {
  std::vector<std::string> fields = parse_csv(line + "\r\n").at(0);
  for (std::string& field : fields) field = test_support::trim(field);
  return fields;
}

}  // namespace bandreport_test

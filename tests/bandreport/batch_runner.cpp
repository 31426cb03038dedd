// Helpers of the bandreport tests: folders of input files, a batch run with arguments, the summary table read back.
#include "tests/bandreport/batch_runner.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "tests/support/program_runner.h"

namespace bandreport_test {

namespace {

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \r\n") - first + 1);
}

}  // namespace

BatchResult run_bandreport(const std::string& dir, const std::vector<std::string>& args, const std::string& program) {
  std::string command = "cd " + shell_quote(dir) + " && SOURCE_DATE_EPOCH=1700000000 " + shell_quote(program);
  for (const std::string& arg : args) command += " " + shell_quote(arg);
  const std::string out = dir + "/.batch-stdout", err = dir + "/.batch-stderr";
  command += " </dev/null >" + shell_quote(out) + " 2>" + shell_quote(err);
  const int status = std::system(command.c_str());
  BatchResult result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.out = test_support::read_file(out);
  result.err = test_support::read_file(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
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
  std::vector<std::string> lines;
  const std::string text = test_support::read_file(path);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(trim(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

}  // namespace bandreport_test

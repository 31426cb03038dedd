// Runs a built program in a fresh scratch directory and reads back what it wrote.
#include "tests/support/program_runner.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/text_lines.h"

namespace test_support {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pipeline-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(path, ignored);
}

namespace {

// Runs the program by the shell, standard output going to `out_target` (a path),
// standard error to a capture file that is read back and removed.
RunResult run_by_shell(const std::string& program, const std::string& dir, const std::vector<std::string>& args,
                       const std::string& shell_prefix, const std::string& out_target) {
  const std::string err = dir + "/.stderr";
  std::string command = "cd " + shell_quoted(dir) + " && " + shell_prefix + " " + shell_quoted(program);
  for (const std::string& arg : args) command += " " + shell_quoted(arg);
  command += " </dev/null >" + shell_quoted(out_target) + " 2>" + shell_quoted(err);
  const int status = std::system(command.c_str());
  RunResult result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  result.err = read_file(err);
  std::filesystem::remove(err);
  return result;
}

}  // namespace

RunResult run_program(const std::string& program, const std::string& dir, const std::string& shell_prefix) {
  return run_program(program, dir, {}, shell_prefix);
}

RunResult run_program(const std::string& program, const std::string& dir, const std::vector<std::string>& args,
                      const std::string& shell_prefix) {
  const std::string out = dir + "/.stdout";
  RunResult result = run_by_shell(program, dir, args, shell_prefix, out);
  result.out = read_file(out);
  std::filesystem::remove(out);
  return result;
}

RunResult run_with_full_output(const std::string& program, const std::string& dir,
                               const std::vector<std::string>& args) {
  return run_by_shell(program, dir, args, "", "/dev/full");
}

std::string find_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

std::size_t entry_count(const std::string& dir) {
  return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{});
}

bool memory_cap_unavailable() {
#ifdef UNDER_ADDRESS_SANITIZER
  return true;
#else
  return false;
#endif
}

std::string memory_cap(int megabytes) {
  return memory_cap_unavailable() ? "" : "ulimit -v " + std::to_string(megabytes * 1024) + ";";
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::map<std::string, std::string> file_tree(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[entry.path().lexically_relative(dir).string()] = read_file(entry.path().string());
  return files;
}

std::string crlf_lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace test_support

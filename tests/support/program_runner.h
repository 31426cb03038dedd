// Runs a built program in a fresh scratch directory and reads back what it wrote.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace test_support {

struct ScratchDir {
  std::string path;  // absolute path of a new empty directory, removed with its contents at destruction
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
};

struct RunResult {
  int exit_status = -1;  // exit code, or 128 + signal number
  std::string out;       // standard output
  std::string err;       // standard error
};

// Runs `program` with no arguments in `dir`; `shell_prefix` (e.g. "ulimit -f 1;")
// is run by the shell first when it is not empty.
RunResult run_program(const std::string& program, const std::string& dir, const std::string& shell_prefix = "");

// Runs `program` with the arguments `args` in `dir`, as above; the captures of
// standard output and error live in `dir` only while it runs.
RunResult run_program(const std::string& program, const std::string& dir, const std::vector<std::string>& args,
                      const std::string& shell_prefix = "");

// Runs `program` with `args` in `dir` as above, but with standard output going to
// a full device (/dev/full), where every write fails for want of space.
RunResult run_with_full_output(const std::string& program, const std::string& dir,
                               const std::vector<std::string>& args);

// The path of the first executable file `name` in a folder of PATH, or empty.
std::string find_on_path(const std::string& name);

// The number of entries in directory `dir` (files left behind show up here).
std::size_t entry_count(const std::string& dir);

// A shell prefix that caps the address space at `megabytes`, or nothing in a
// sanitizer build, whose shadow memory needs far more address space than any cap.
std::string memory_cap(int megabytes);

// True where memory_cap() caps nothing.
bool memory_cap_unavailable();

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Every file under `dir`, in sub-folders too, by its path relative to `dir`, with its bytes.
std::map<std::string, std::string> file_tree(const std::string& dir);

// Joins lines with CR LF after each, as the programs write them.
std::string crlf_lines(std::initializer_list<std::string> lines);

}  // namespace test_support

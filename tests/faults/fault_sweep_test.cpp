// Fails every file-system call the programs make, one at a time, and checks
// that result files are never lost or damaged and every failure is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/program_runner.h"

extern char** environ;

namespace {

using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;
namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;  // name -> contents

// One program run on one set of inputs. Adding a program is one more row.
struct SweepCase {
  std::string label;
  std::string program;
  Files inputs;
  std::vector<std::string> results;  // result files it writes, in order
};

// Names a case in test listings.
void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.label; }

std::string number_lines(int count, double first, double step) {
  std::ostringstream text;
  for (int i = 0; i < count; ++i) text << first + step * ((i * 37) % count) << "\n";
  return text.str();
}

// A table of `groups` x `rows` positive measurements with a missing entry now
// and then; no zeros, which would bring in the random replacement.
std::string table(int groups, int rows) {
  std::ostringstream text;
  text << groups << "\n" << rows << "\n";
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < groups; ++j)
      text << ((i * 7 + j * 3) % 29 == 5 ? -1.0 : 0.1 + ((i * 31 + j * 17) % 97) / 10.0) << ' ';
    text << '\n';
  }
  return text.str();
}

const std::string settings = "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n";

std::vector<SweepCase> sweep_cases() {
  const std::vector<std::string> cardel_results = {"out_seg.txt", "logy.txt"};
  const std::vector<std::string> vantor_results = {"out_pvalue.txt", "out_bayes.txt"};
  return {
      {"cardel_small", CARDEL_BIN, {{"y.txt", table(3, 4)}}, cardel_results},
      {"cardel_large", CARDEL_BIN, {{"y.txt", table(200, 250)}}, cardel_results},
      {"vantor_n30",
       VANTOR_BIN,
       {{"logy.txt", "30\n" + number_lines(30, -1.0, 0.1)}, {"in_bayes.txt", settings}},
       vantor_results},
      {"vantor_n3", VANTOR_BIN, {{"logy.txt", "3\n0.5\n1.25\n-0.75\n"}, {"in_bayes.txt", settings}}, vantor_results},
      {"vantor_n0", VANTOR_BIN, {{"logy.txt", "0\n"}}, vantor_results},
  };
}

const std::vector<std::string> kinds = {"open_write", "open_read",   "open_dir",    "write",  "read",   "fstat",
                                        "fsync",      "close_write", "close_other", "rename", "unlink", "opendir",
                                        "readdir",    "closedir",    "flock",       "access"};
const std::vector<std::string> hard_errors = {"EIO", "ENOSPC", "EDQUOT"};

// Calls whose failure cannot be seen in the result bytes: it must be reported.
const std::set<std::string> must_report = {"fsync", "close_write", "open_dir",  "access",
                                           "write", "rename",      "open_write"};
constexpr int run_timeout_seconds = 10;
constexpr long max_points = 200;  // K values per kind; more calls are sampled evenly

struct Outcome {
  int exit_status = -1;  // exit code, or 128 + signal
  std::string err;
  std::map<std::string, long> counts;  // per kind, and "fired"
};

constexpr uid_t nobody = 65534;

// Runs `program` in `dir`, with the shim preloaded and `fault` settings in its
// environment unless `as_nobody`, which runs it without privileges instead.
Outcome run_in(const std::string& program, const std::string& dir, const std::string& side,
               const std::vector<std::string>& fault, bool as_nobody = false) {
  const std::string err_path = side + "/stderr", count_path = side + "/counts";
  fs::remove(count_path);
  std::vector<std::string> env;
  if (!as_nobody) env = {"LD_PRELOAD=" FAULT_SHIM, "FAULT_COUNT_FILE=" + count_path};
  env.insert(env.end(), fault.begin(), fault.end());
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 && std::strncmp(*e, "FAULT_", 6) != 0) env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY), out = open("/dev/null", O_WRONLY);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    if (as_nobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
      _exit(125);
    alarm(run_timeout_seconds);  // survives exec: a hung run dies of SIGALRM
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome outcome;
  outcome.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.err = read_file(err_path);
  std::istringstream counts(read_file(count_path));
  std::string kind;
  long count = 0;
  while (counts >> kind >> count) outcome.counts[kind] = count;
  return outcome;
}

bool is_temporary(const std::string& name) { return name.find(".tmp") != std::string::npos; }

// Fills `dir` with the inputs and, for a seeded run, old result files and an
// unclaimed leftover temporary file of each; returns what is there.
Files prepare(const std::string& dir, const SweepCase& c, bool seeded) {
  for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
  Files files = c.inputs;
  if (seeded)
    for (const std::string& r : c.results) {
      files[r] = "old " + r + "\r\n";
      files["." + r + ".tmp999999999-0"] = "partial";
    }
  for (const auto& [name, bytes] : files) write_file(dir + "/" + name, bytes);
  return files;
}

Files folder_contents(const std::string& dir) {
  Files files;
  for (const auto& entry : fs::directory_iterator(dir))
    files[entry.path().filename().string()] = read_file(entry.path().string());
  return files;
}

// Every way a run under one fault may end wrongly, or "" when it ended well.
std::string judge(const SweepCase& c, const Files& before, const Files& expected, const Files& after, const Outcome& o,
                  const std::string& kind, const std::string& mode) {
  if (o.exit_status >= 128) return "killed by signal " + std::to_string(o.exit_status - 128);
  if (!o.counts.count("fired") || o.counts.at("fired") != 1)
    return "the fault was never injected: the calls are not the same from run to run";
  for (const auto& [name, bytes] : after) {
    if (c.inputs.count(name)) continue;
    const bool result = std::find(c.results.begin(), c.results.end(), name) != c.results.end();
    if (!result && !before.count(name)) return "left " + name + " behind";
    if (result && bytes != expected.at(name) && (!before.count(name) || bytes != before.at(name)))
      return name + " is neither the old nor the complete new file";
  }
  for (const std::string& r : c.results)
    if (before.count(r) && !after.count(r)) return r + " was lost";
  const bool retried = mode == "short" || mode == "EINTR";
  if (o.exit_status == 0) {
    if (!o.err.empty()) return "exit 0 with a diagnostic: " + o.err;
    for (const std::string& r : c.results)
      if (!after.count(r) || after.at(r) != expected.at(r)) return "exit 0 but " + r + " is not the new file";
    if (!retried && must_report.count(kind)) return "the failure went unreported (exit 0)";
    return "";
  }
  if (o.exit_status != 2) return "exit status " + std::to_string(o.exit_status);
  if (retried) return "an interrupted call or short transfer ended the run: " + o.err;
  if (o.err.empty() || o.err.back() != '\n' || o.err.find('\n') != o.err.size() - 1)
    return "not exactly one diagnostic line: " + o.err;
  for (const auto& [name, bytes] : c.inputs)
    if (o.err.find(" " + name) != std::string::npos) return "";
  for (const std::string& r : c.results)
    if (o.err.find(" " + r) != std::string::npos) return "";
  return "the diagnostic names no file: " + o.err;
}

// The K values to try for a kind called `count` times.
std::vector<long> points(long count) {
  std::vector<long> ks;
  for (long i = 0; i < std::min(count, max_points); ++i)
    ks.push_back(count <= max_points ? i + 1 : 1 + i * (count - 1) / (max_points - 1));
  return ks;
}

class FaultSweep : public testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryFailedCallIsReportedAndLosesNothing) {
  if (std::string(FAULT_SHIM).empty()) GTEST_SKIP() << "no call interposition under the sanitizer runtime";
  const SweepCase& c = GetParam();
  ScratchDir dir, side;
  std::map<std::string, std::map<std::string, int>> tally;  // kind -> outcome -> runs
  int failures = 0;
  for (const bool seeded : {false, true}) {
    // The fault-free run gives the new results and the number of calls of each kind.
    const Files before = prepare(dir.path, c, seeded);
    const Outcome clean = run_in(c.program, dir.path, side.path, {});
    ASSERT_EQ(clean.exit_status, 0) << clean.err;
    const Files expected = folder_contents(dir.path);
    for (const auto& [name, bytes] : expected) ASSERT_FALSE(is_temporary(name)) << name << " left by a clean run";
    // Each result file is forced to the device, and so is its folder entry.
    const long written = static_cast<long>(c.results.size());
    ASSERT_EQ(clean.counts.at("open_dir"), written);
    ASSERT_EQ(clean.counts.at("fsync"), 2 * written);
    for (const std::string& kind : kinds) {
      std::vector<std::string> modes = hard_errors;
      modes.push_back("EINTR");
      if (kind == "write" || kind == "read") modes.push_back("short");
      for (long k : points(clean.counts.at(kind)))
        for (const std::string& mode : modes) {
          const Files start = prepare(dir.path, c, seeded);
          const Outcome o = run_in(c.program, dir.path, side.path,
                                   {"FAULT_KIND=" + kind, "FAULT_AT=" + std::to_string(k), "FAULT_ERRNO=" + mode});
          const std::string wrong = judge(c, start, expected, folder_contents(dir.path), o, kind, mode);
          ++tally[kind][o.exit_status == 0 ? "exit 0" : "exit 2"];
          if (!wrong.empty() && ++failures <= 20)
            ADD_FAILURE() << c.label << (seeded ? " (old files)" : " (no old files)") << ": " << kind << " #" << k
                          << " " << mode << ": " << wrong;
        }
    }
  }
  std::printf("%s runs per kind:", c.label.c_str());
  for (const auto& [kind, outcomes] : tally) {
    std::printf(" %s", kind.c_str());
    for (const auto& [outcome, runs] : outcomes) std::printf(" %d(%s)", runs, outcome.c_str());
  }
  std::printf("\n");
  EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, FaultSweep, testing::ValuesIn(sweep_cases()),
                         [](const testing::TestParamInfo<SweepCase>& info) { return info.param.label; });

// rename replaces a file whatever its own mode, so a result file its owner made
// read-only must be refused explicitly, with the old contents kept.
TEST(ResultFiles, AReadOnlyResultFileIsRefusedAndKept) {
  ScratchDir dir, side;
  // Run unprivileged: a privileged user may write any file and is not refused.
  fs::permissions(dir.path, fs::perms::all);
  fs::permissions(side.path, fs::perms::all);
  write_file(dir.path + "/y.txt", table(3, 4));
  write_file(dir.path + "/out_seg.txt", "old summary\r\n");
  write_file(dir.path + "/logy.txt", "old logs\r\n");
  fs::permissions(dir.path + "/out_seg.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const Files before = folder_contents(dir.path);
  const Outcome o = run_in(CARDEL_BIN, dir.path, side.path, {}, true);
  if (o.exit_status == 125) GTEST_SKIP() << "cannot drop privileges to user " << nobody << " here";
  EXPECT_EQ(o.exit_status, 2);
  EXPECT_EQ(o.err, "cardel: cannot write file out_seg.txt, unit 20: Permission denied\n");
  EXPECT_EQ(folder_contents(dir.path), before);  // nothing replaced, no temporary file left
  EXPECT_EQ(fs::status(dir.path + "/out_seg.txt").permissions() & fs::perms::all, fs::perms(0444));
}

}  // namespace

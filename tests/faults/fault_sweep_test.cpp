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
#include "tests/support/text_lines.h"

extern char** environ;

namespace {

using test_support::file_tree;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::split_lines;
using test_support::write_file;
namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;  // name -> contents

// How a run under a fault may end. A single program stops with exit 2 and one
// diagnostic. A batch may instead mark a folder failed (exit 1) in its summary
// table, and the result files of the programs it starts are never faulted.
enum class Judging { one_program, batch };

// One program run on one set of inputs. Adding a program is one more row.
struct SweepCase {
  std::string label;
  std::string program;
  std::vector<std::string> args;
  Files inputs;                      // names may lie in sub-folders ("a/y.txt")
  std::vector<std::string> results;  // result files written, in order
  Judging judging = Judging::one_program;
  std::vector<std::string> hard_errors = {"EIO", "ENOSPC", "EDQUOT"};
  long max_points = 200;                       // K values per kind; more calls are sampled evenly
  std::vector<bool> seedings = {false, true};  // runs without and with old result files
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

const std::vector<std::string> cardel_results = {"out_seg.txt", "logy.txt"};
const std::vector<std::string> vantor_results = {"out_pvalue.txt", "out_bayes.txt"};
const std::vector<std::string> report_results = {"report.json", "report.html"};

// The inputs and the results of a batch over `folders` ("." for the working folder).
SweepCase batch_case(const std::string& label, const std::vector<std::string>& folders, long max_points,
                     std::vector<bool> seedings) {
  SweepCase c{label, BANDREPORT_BIN, {"--jobs", "1", "--summary", "summary.csv"}, {}, {}, Judging::batch};
  c.hard_errors = {"ENOSPC"};  // handled alike by bandreport: one stands for all, to save time
  c.max_points = max_points;
  c.seedings = std::move(seedings);
  int rows = 4;
  for (const std::string& folder : folders) {
    const std::string prefix = folder == "." ? "" : folder + "/";
    c.args.push_back(folder);
    c.inputs[prefix + "y.txt"] = table(3, rows++);
    c.inputs[prefix + "in_bayes.txt"] = settings;
    for (const auto* files : {&cardel_results, &vantor_results, &report_results})
      for (const std::string& name : *files) c.results.push_back(prefix + name);
    c.results.push_back(prefix + "out_estimates.txt");  // bandreport runs vantor --estimates
  }
  c.results.push_back("summary.csv");
  c.results.push_back("index.html");
  return c;
}

std::vector<SweepCase> sweep_cases() {
  return {
      {"cardel_small", CARDEL_BIN, {}, {{"y.txt", table(3, 4)}}, cardel_results},
      {"cardel_large", CARDEL_BIN, {}, {{"y.txt", table(200, 250)}}, cardel_results},
      {"vantor_n30",
       VANTOR_BIN,
       {},
       {{"logy.txt", "30\n" + number_lines(30, -1.0, 0.1)}, {"in_bayes.txt", settings}},
       vantor_results},
      {"vantor_n3",
       VANTOR_BIN,
       {},
       {{"logy.txt", "3\n0.5\n1.25\n-0.75\n"}, {"in_bayes.txt", settings}},
       vantor_results},
      {"vantor_n0", VANTOR_BIN, {}, {{"logy.txt", "0\n"}}, vantor_results},
      batch_case("bandreport_one", {"."}, 200, {false, true}),
      batch_case("bandreport_two", {"a", "b"}, 6, {true}),
  };
}

const std::vector<std::string> kinds = {"open_write", "open_read",   "open_dir",    "write",  "read",   "fstat",
                                        "fsync",      "close_write", "close_other", "rename", "unlink", "opendir",
                                        "readdir",    "closedir",    "flock",       "access"};

// Calls whose failure cannot be seen in the result bytes: it must be reported.
const std::set<std::string> must_report = {"fsync", "close_write", "open_dir",  "access",
                                           "write", "rename",      "open_write"};
constexpr int run_timeout_seconds = 10;

struct Outcome {
  int exit_status = -1;  // exit code, or 128 + signal
  std::string err;
  std::map<std::string, long> counts;  // per kind, and "fired"
};

constexpr uid_t nobody = 65534;

// Runs `program` in `dir`, with the shim preloaded and `fault` settings in its
// environment unless `as_nobody`, which runs it without privileges instead.
Outcome run_in(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
               const std::string& side, const std::vector<std::string>& fault, bool as_nobody = false) {
  const std::string err_path = side + "/stderr", count_path = side + "/counts";
  fs::remove(count_path);
  // A fixed date keeps the reports of a batch the same from run to run.
  std::vector<std::string> env = {"SOURCE_DATE_EPOCH=0"};
  if (!as_nobody) env.insert(env.end(), {"LD_PRELOAD=" FAULT_SHIM, "FAULT_COUNT_FILE=" + count_path});
  env.insert(env.end(), fault.begin(), fault.end());
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 && std::strncmp(*e, "FAULT_", 6) != 0 &&
        std::strncmp(*e, "SOURCE_DATE_EPOCH=", 18) != 0)
      env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY), out = open("/dev/null", O_WRONLY);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    if (as_nobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
      _exit(125);
    alarm(run_timeout_seconds);  // survives exec: a hung run dies of SIGALRM
    execve(program.c_str(), argv.data(), envp.data());
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
      const fs::path path(r);
      files[r] = "old " + r + "\r\n";
      files[(path.parent_path() / ("." + path.filename().string() + ".tmp999999999-0")).string()] = "partial";
    }
  for (const auto& [name, bytes] : files) {
    fs::create_directories(fs::path(dir + "/" + name).parent_path());
    write_file(dir + "/" + name, bytes);
  }
  return files;
}

// A file of the batch's own that differs from the fault-free one, as after a
// folder failed: complete when all its lines end in CR LF and it has the same
// first and last line as that one (a table: the same header and as many rows).
bool complete(const std::string& bytes, const std::string& expected) {
  const std::vector<std::string> got = split_lines(bytes), want = split_lines(expected);
  if (got.empty() || want.empty() || bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n") return false;
  for (const std::string& line : got)
    if (line.empty() || line.back() != '\r') return false;
  if (expected.starts_with("folder,")) return got.front() == want.front() && got.size() == want.size();
  return got.front() == want.front() && got.back() == want.back();
}

// True when `text` names one of the case's files (as a word: " out_seg.txt").
bool names_a_file(const SweepCase& c, const std::string& text) {
  for (const auto* names : {&c.results, &c.args})
    for (const std::string& name : *names)
      if (text.find(" " + fs::path(name).filename().string()) != std::string::npos) return true;
  for (const auto& [name, bytes] : c.inputs)
    if (text.find(" " + fs::path(name).filename().string()) != std::string::npos) return true;
  return false;
}

// The result files a batch writes itself: not those of the programs it starts.
std::vector<std::string> own_results(const SweepCase& c) {
  if (c.judging == Judging::one_program) return c.results;
  std::vector<std::string> own;
  for (const std::string& r : c.results)
    if (r.ends_with("summary.csv") || r == "index.html" || fs::path(r).filename().string().starts_with("report."))
      own.push_back(r);
  return own;
}

// How a batch that did not end normally ended wrongly, or "" when soundly: exit 1
// with every failed folder's row naming a file, or exit 2 with one diagnostic
// (besides the closing count line) naming the summary, the overview page or a program.
std::string judge_batch_failure(const SweepCase& c, const Files& after, const Outcome& o, const Outcome& clean) {
  const std::vector<std::string> clean_lines = split_lines(clean.err);
  std::vector<std::string> diagnostics;
  for (const std::string& line : split_lines(o.err))
    if (std::find(clean_lines.begin(), clean_lines.end(), line) == clean_lines.end() && !line.ends_with(" failed"))
      diagnostics.push_back(line);
  if (o.exit_status == 2) {
    if (diagnostics.size() != 1) return "not exactly one diagnostic line: " + o.err;
    if (diagnostics[0].find(" summary.csv") == std::string::npos &&
        diagnostics[0].find(" index.html") == std::string::npos &&
        diagnostics[0].find("program cardel") == std::string::npos &&
        diagnostics[0].find("program vantor") == std::string::npos)
      return "the diagnostic names neither the summary, the overview page nor a program: " + o.err;
    return "";
  }
  if (o.exit_status != 1) return "exit status " + std::to_string(o.exit_status);
  if (!diagnostics.empty()) return "exit 1 with a diagnostic: " + o.err;
  int failed_rows = 0;
  for (const std::string& row : split_lines(after.count("summary.csv") ? after.at("summary.csv") : "")) {
    if (row.find(",failed,") == std::string::npos) continue;
    ++failed_rows;
    if (!names_a_file(c, row.substr(row.find(",failed,")))) return "a failed folder names no file: " + row;
  }
  if (failed_rows == 0) return "exit 1 but no folder is marked failed in the summary";
  return "";
}

// Every way a run under one fault may end wrongly, or "" when it ended well.
std::string judge(const SweepCase& c, const Files& before, const Files& expected, const Files& after, const Outcome& o,
                  const Outcome& clean, const std::string& kind, const std::string& mode) {
  if (o.exit_status >= 128) return "killed by signal " + std::to_string(o.exit_status - 128);
  if (!o.counts.count("fired") || o.counts.at("fired") != 1)
    return "the fault was never injected: the calls are not the same from run to run";
  // After a batch failed a folder, its own files may hold that folder's failure instead.
  const std::vector<std::string> own = own_results(c);
  const bool failed_batch = c.judging == Judging::batch && o.exit_status != 0;
  for (const auto& [name, bytes] : after) {
    if (c.inputs.count(name)) continue;
    const bool result = std::find(c.results.begin(), c.results.end(), name) != c.results.end();
    if (!result && !before.count(name)) return "left " + name + " behind";
    const bool may_differ =
        failed_batch && std::find(own.begin(), own.end(), name) != own.end() && complete(bytes, expected.at(name));
    if (result && bytes != expected.at(name) && (!before.count(name) || bytes != before.at(name)) && !may_differ)
      return name + " is neither the old nor a complete new file";
  }
  for (const std::string& r : c.results)
    if (before.count(r) && !after.count(r)) return r + " was lost";
  const bool retried = mode == "short" || mode == "EINTR";
  if (o.exit_status == 0) {
    if (o.err != clean.err) return "exit 0 with a diagnostic: " + o.err;
    for (const std::string& r : c.results)
      if (!after.count(r) || after.at(r) != expected.at(r)) return "exit 0 but " + r + " is not the new file";
    if (!retried && must_report.count(kind)) return "the failure went unreported (exit 0)";
    return "";
  }
  if (retried) return "an interrupted call or short transfer ended the run: " + o.err;
  if (c.judging == Judging::batch) return judge_batch_failure(c, after, o, clean);
  if (o.exit_status != 2) return "exit status " + std::to_string(o.exit_status);
  if (o.err.empty() || o.err.back() != '\n' || o.err.find('\n') != o.err.size() - 1)
    return "not exactly one diagnostic line: " + o.err;
  for (const auto& [name, bytes] : c.inputs)
    if (o.err.find(" " + name) != std::string::npos) return "";
  for (const std::string& r : c.results)
    if (o.err.find(" " + r) != std::string::npos) return "";
  return "the diagnostic names no file: " + o.err;
}

// The K values to try for a kind called `count` times.
std::vector<long> points(long count, long max_points) {
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
  for (const bool seeded : c.seedings) {
    // The fault-free run gives the new results and the number of calls of each kind.
    const Files before = prepare(dir.path, c, seeded);
    const Outcome clean = run_in(c.program, c.args, dir.path, side.path, {});
    ASSERT_EQ(clean.exit_status, 0) << clean.err;
    const Files expected = file_tree(dir.path);
    for (const auto& [name, bytes] : expected) ASSERT_FALSE(is_temporary(name)) << name << " left by a clean run";
    // Each result file is forced to the device, and so is its folder entry;
    // a batch's programs run without faults, and uncounted.
    const long written = static_cast<long>(own_results(c).size());
    ASSERT_EQ(clean.counts.at("open_dir"), written);
    ASSERT_EQ(clean.counts.at("fsync"), 2 * written);
    for (const std::string& kind : kinds) {
      std::vector<std::string> modes = c.hard_errors;
      modes.push_back("EINTR");
      if (kind == "write" || kind == "read") modes.push_back("short");
      for (long k : points(clean.counts.at(kind), c.max_points))
        for (const std::string& mode : modes) {
          const Files start = prepare(dir.path, c, seeded);
          const Outcome o = run_in(c.program, c.args, dir.path, side.path,
                                   {"FAULT_KIND=" + kind, "FAULT_AT=" + std::to_string(k), "FAULT_ERRNO=" + mode});
          const std::string wrong = judge(c, start, expected, file_tree(dir.path), o, clean, kind, mode);
          ++tally[kind]["exit " + std::to_string(o.exit_status)];
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
  const Files before = file_tree(dir.path);
  // The build folder may be closed to other users (a private clone): run a copy they can reach.
  const std::string program = side.path + "/cardel";
  fs::copy_file(CARDEL_BIN, program);
  fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  const Outcome o = run_in(program, {}, dir.path, side.path, {}, true);
  if (o.exit_status == 125) GTEST_SKIP() << "cannot drop privileges to user " << nobody << " here";
  EXPECT_EQ(o.exit_status, 2);
  EXPECT_EQ(o.err, "cardel: cannot write file out_seg.txt, unit 20: Permission denied\n");
  EXPECT_EQ(file_tree(dir.path), before);  // nothing replaced, no temporary file left
  EXPECT_EQ(fs::status(dir.path + "/out_seg.txt").permissions() & fs::perms::all, fs::perms(0444));
}

}  // namespace

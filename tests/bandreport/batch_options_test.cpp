// bandreport over many folders without hand work: folders found below others, settings and units given once,
// a time limit that stops a stuck program with all it started, and the list of failed folders.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/bandreport/batch_runner.h"
#include "tests/support/program_runner.h"
#include "tests/support/text_lines.h"

namespace {

using bandreport_test::make_folder;
using bandreport_test::parse_csv;
using bandreport_test::run_bandreport;
using test_support::file_exists;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

const std::string settings = "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n";
const std::string table = "1\n3\n1.0\n2.5\n0.7\n";

// The first column of each row after the header: the folders in the order run.
std::vector<std::string> summary_names(const std::string& summary) {
  std::vector<std::string> names;
  const auto rows = parse_csv(summary);
  for (std::size_t i = 1; i < rows.size(); ++i) names.push_back(rows[i][0] + " " + rows[i][1]);
  return names;
}

TEST(BandreportOptions, RecursiveSearchSettingsAndUnitsReachEveryFolder) {
  ScratchDir work;
  const std::string own_settings = "2.0\n0.5 20.0\n1.2 8.0\n1 1 1 1 1\n";
  make_folder(work.path + "/root/b", table, own_settings);
  make_folder(work.path + "/root/a/sub", table, "");
  make_folder(work.path + "/root/a-z", table, "");
  make_folder(work.path + "/root/c/d", table, "");
  write_file(work.path + "/root/b/units.txt", "mg/l\r\n");
  std::filesystem::create_directories(work.path + "/root/empty/deeper");
  std::filesystem::create_directories(work.path + "/plain");
  std::filesystem::create_directory_symlink(work.path + "/root/b", work.path + "/root/link");
  write_file(work.path + "/settings.txt", settings);

  const auto result = run_bandreport(
      work.path, {"-r", "--settings", "settings.txt", "--units", "ug/m3", "root", "root/empty", "--summary", "-"});
  EXPECT_EQ(result.exit_status, 1) << result.err;
  // Sorted by path, so a folder's sub-folders come before its siblings that sort after it by name; the link is
  // not followed; a folder with nothing below it fails saying so.
  EXPECT_EQ(summary_names(result.out), (std::vector<std::string>{"root/a/sub ok", "root/a-z ok", "root/b ok",
                                                                 "root/c/d ok", "root/empty failed"}));
  EXPECT_NE(result.out.find("bandreport: no y.txt in this folder or below"), std::string::npos);
  // A folder's own settings and units stay; the others get copies of what was given, which they now record.
  EXPECT_EQ(read_file(work.path + "/root/b/in_bayes.txt"), own_settings);
  EXPECT_EQ(read_file(work.path + "/root/b/units.txt"), "mg/l\r\n");
  const std::string settings_crlf = "5.0\r\n0.5 20.0\r\n1.2 8.0\r\n0.1 0.2 0.3 0.25 0.15\r\n";
  for (const char* folder : {"/root/a/sub", "/root/a-z", "/root/c/d"}) {
    EXPECT_EQ(read_file(work.path + folder + "/in_bayes.txt"), settings_crlf) << folder;
    EXPECT_EQ(read_file(work.path + folder + "/units.txt"), "ug/m3\r\n") << folder;
  }
  EXPECT_FALSE(file_exists(work.path + "/root/in_bayes.txt"));  // no y.txt: not a folder of the pipeline
  EXPECT_EQ(test_support::entry_count(work.path + "/root/empty"), 1u);

  // Without --recursive a folder without y.txt fails and is left as it was, even with settings to give.
  const auto plain = run_bandreport(work.path, {"--settings", "settings.txt", "--summary", "-", "plain"});
  EXPECT_EQ(plain.exit_status, 1);
  EXPECT_NE(plain.out.find("bandreport: no y.txt here; use --recursive to search below"), std::string::npos);
  EXPECT_EQ(test_support::entry_count(work.path + "/plain"), 0u);
}

// Stand-ins: cardel hangs in a folder that asks it to, with a child of its own that holds its output open, or
// after closing its output.
const std::string sleepy_cardel = R"sh(#!/bin/sh
case $(head -n 1 y.txt) in
  hang) sleep 60 & echo $! > sleeper.pid; wait ;;
  silent) exec >/dev/null 2>&1; sleep 60 ;;
esac
cp seg.prepared out_seg.txt && cp logy.prepared logy.txt
)sh";
const std::string quick_vantor = R"sh(#!/bin/sh
cp pvalue.prepared out_pvalue.txt && cp bayes.prepared out_bayes.txt && cp estimates.prepared out_estimates.txt
)sh";

bool process_runs(pid_t pid) {
  if (::kill(pid, 0) != 0) return false;
  const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  return stat.find(") Z") == std::string::npos;  // a killed process not yet reaped runs no more
}

TEST(BandreportOptions, TimeLimitStopsAProgramWithWhatItStartedAndTheOthersGoOn) {
  ScratchDir work;
  const std::string program = bandreport_test::install_stand_ins(work.path + "/bin", sleepy_cardel, quick_vantor);
  const std::vector<std::string> modes = {"fine", "hang", "silent", "also fine"};
  for (const std::string& mode : modes) bandreport_test::make_stand_in_folder(work.path + "/" + mode, mode);
  std::vector<std::string> args = {"--timeout", "0.5", "--jobs", "2", "--summary", "-"};
  args.insert(args.end(), modes.begin(), modes.end());
  const auto start = std::chrono::steady_clock::now();
  const auto result = run_bandreport(work.path, args, program);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed.count(), 20.0);  // the stand-ins would sleep for a minute
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "4 folders, 2 ok, 2 failed\n  hang failed\n  silent failed\n");
  const auto rows = parse_csv(result.out);
  ASSERT_EQ(rows.size(), 5u);
  const std::vector<std::string> statuses = {rows[1][1], rows[2][1], rows[3][1], rows[4][1]};
  EXPECT_EQ(statuses, (std::vector<std::string>{"ok", "failed", "failed", "ok"}));
  for (const int row : {2, 3}) EXPECT_EQ(rows[row][21], "cardel: stopped after the time limit of 0.5 s");

  // The program's own child was stopped with it.
  const std::string pid_text = test_support::trim(read_file(work.path + "/hang/sleeper.pid"));
  ASSERT_FALSE(pid_text.empty());
  const pid_t sleeper = static_cast<pid_t>(std::stol(pid_text));
  bool stopped = false;
  for (int i = 0; i < 50 && !stopped; ++i) {
    stopped = !process_runs(sleeper);
    if (!stopped) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(stopped);
}

TEST(BandreportOptions, TheClosingLinesNameTheFailedFoldersUpToTwenty) {
  ScratchDir work;
  make_folder(work.path + "/good", table, settings);
  std::vector<std::string> args = {"--summary", "-", "good"};
  std::string expected = "25 folders, 2 ok, 23 failed\n";
  for (int i = 1; i <= 23; ++i) {
    const std::string name = "missing " + std::to_string(i);
    args.push_back(name);
    if (i <= 20) expected += "  " + name + " failed\n";
  }
  args.push_back("good");  // the same folder twice is one run and two rows
  expected += "  and 3 more failed\n";
  const auto result = run_bandreport(work.path, args);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, expected);
}

}  // namespace

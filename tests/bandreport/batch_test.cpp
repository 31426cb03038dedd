// bandreport over whole batches: the summary against the result files, failures kept to their folder,
// usage errors running nothing, and results that do not depend on how many folders run at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/bandreport/batch_runner.h"
#include "tests/support/program_runner.h"

namespace {

using bandreport_test::make_folder;
using bandreport_test::parse_csv;
using bandreport_test::run_bandreport;
using bandreport_test::trimmed_lines;
using test_support::file_exists;
using test_support::read_file;
using test_support::ScratchDir;

const std::string settings = "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n";
const std::string example_table = "3\n4\n1.2 0.8 2.5\n0.9 1.1 3.0\n1.5 0.0 -1\n2.0 0.7 -1\n";
const std::string header =
    "folder,status,n,arithmetic_mean,standard_deviation,geometric_mean,geometric_sd,fold_range,chi_square,p_value,"
    "flat_band1,flat_band2,flat_band3,flat_band4,flat_band5,weighted_band1,weighted_band2,weighted_band3,"
    "weighted_band4,weighted_band5,most_probable_band,message";

enum class Reached { nothing, cardel, both };

struct FolderCase {
  std::string name;
  std::string table;     // y.txt, empty for none
  std::string settings;  // in_bayes.txt, empty for none
  bool create = true;    // false: the folder does not exist
  Reached reached;
  std::string message_start;  // of the message column: a failure, or the warnings of a run that succeeded
};

// The summary row `row` must show exactly what the folder's result files hold, and nothing a failed run did not
// produce.
void expect_row_matches_files(const std::vector<std::string>& row, const std::string& dir, const FolderCase& c) {
  ASSERT_EQ(row.size(), 22u) << c.name;
  EXPECT_EQ(row[0], c.name);
  EXPECT_EQ(row[1], c.reached == Reached::both ? "ok" : "failed") << c.name;
  std::vector<std::string> expected(19);  // columns 2 to 20
  if (c.reached != Reached::nothing) {
    const auto seg = trimmed_lines(dir + "/out_seg.txt");
    ASSERT_EQ(seg.size(), 5u) << c.name;
    expected[0] = trimmed_lines(dir + "/logy.txt").at(0);
    for (int i = 0; i < 4; ++i) expected[1 + i] = seg[1 + i];  // means and deviations follow the fold range
    expected[5] = seg[0];
  } else {
    EXPECT_FALSE(file_exists(dir + "/out_seg.txt")) << c.name;
  }
  if (c.reached == Reached::both) {
    const auto pvalue = trimmed_lines(dir + "/out_pvalue.txt");
    const auto bayes = trimmed_lines(dir + "/out_bayes.txt");
    ASSERT_EQ(pvalue.size(), 2u);
    ASSERT_EQ(bayes.size(), 5u);
    expected[6] = pvalue[0];
    expected[7] = pvalue[1];
    double best = -1.0;
    for (int k = 0; k < 5; ++k) {
      const auto fields = bandreport_test::band_fields(bayes[k]);
      for (auto& f : {1, 2}) expected[3 + 5 * f + k] = fields.at(f);
      const double weighted = std::stod(fields.at(2));
      if (weighted > best && weighted >= 0.0) {
        best = weighted;
        expected[18] = std::to_string(k + 1);
      }
    }
  }
  EXPECT_EQ(std::vector<std::string>(row.begin() + 2, row.begin() + 21), expected) << c.name;
  if (c.message_start.empty()) {
    EXPECT_EQ(row[21], "") << c.name;
  } else {
    EXPECT_EQ(row[21].rfind(c.message_start, 0), 0u) << c.name << ": " << row[21];
  }
}

// report.json must agree with the summary row of its folder.
void expect_json_matches_row(const std::vector<std::string>& row, const std::string& dir) {
  const auto report = nlohmann::json::parse(read_file(dir + "/report.json"));
  EXPECT_EQ(report["folder"], row[0]);
  EXPECT_EQ(report["status"], row[1]);
  EXPECT_EQ(report["n"].is_null(), row[2].empty());
  if (!row[2].empty()) {
    EXPECT_EQ(report["n"], std::stoi(row[2]));
  }
  for (int k = 0; k < 5; ++k) {
    const auto& weighted = report["bands"][k]["weighted"];
    EXPECT_EQ(weighted.is_null(), row[15 + k].empty()) << row[0];
    if (!row[15 + k].empty()) {
      EXPECT_EQ(weighted.get<double>(), std::stod(row[15 + k])) << row[0];
    }
  }
  EXPECT_EQ(report["bands"][4]["upper"], nullptr);
  EXPECT_EQ(report["most_probable_band"].is_null(), row[20].empty());
  EXPECT_EQ(report.contains("message"), row[1] == "failed");
}

TEST(Bandreport, SummaryHoldsWhatTheResultFilesHoldAndFailuresStayInTheirFolder) {
  ScratchDir work;
  const std::string zero_note = "cardel: note: 1 zero measurement was replaced by 1e-7";  // a warning, not a failure
  const std::vector<FolderCase> cases = {
      {"example", example_table, settings, true, Reached::both, zero_note},
      {"no values", "2\n1\n-1 -1\n", "", true, Reached::both, ""},  // n = 0 never reads the settings
      {"one value", "1\n1\n2.0\n", settings, true, Reached::both, "vantor: warning: there is a single value"},
      {"three values", "1\n3\n1.0\n2.5\n0.7\n", settings, true, Reached::both, ""},
      {"bad input", "2\n2\n1 x\n", settings, true, Reached::nothing, "cardel: "},
      {"no settings", example_table, "", true, Reached::cardel, "vantor: "},
      {"integrator stops", "1\n1\n1.35\n", "5\n0.5 20.0\n1.2 1e300\n1 1 1 1 1\n", true, Reached::cardel,
       "vantor: invalid setting gsd_bounds(2) = 1e+300 in file in_bayes.txt"},
      {"no table", "", settings, true, Reached::nothing, "bandreport: no y.txt here; use --recursive to search below"},
      {"does not exist", "", "", false, Reached::nothing, "bandreport: "},
      {"a<b>&\"c, d", example_table, settings, true, Reached::both, zero_note},
  };
  std::vector<std::string> names;
  for (const FolderCase& c : cases) {
    if (c.create) make_folder(work.path + "/" + c.name, c.table, c.settings);
    names.push_back(c.name);
  }
  const auto result = run_bandreport(work.path, names);
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_EQ(result.err,
            "10 folders, 5 ok, 5 failed\n  bad input failed\n  no settings failed\n  integrator stops failed\n"
            "  no table failed\n  does not exist failed\n");
  EXPECT_EQ(result.out, "");

  const std::string summary = read_file(work.path + "/summary.csv");
  ASSERT_EQ(summary.substr(0, header.size() + 2), header + "\r\n");
  const auto rows = parse_csv(summary);
  ASSERT_EQ(rows.size(), cases.size() + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string dir = work.path + "/" + cases[i].name;
    expect_row_matches_files(rows[i + 1], dir, cases[i]);
    if (cases[i].create && !cases[i].table.empty()) expect_json_matches_row(rows[i + 1], dir);
  }
  // A folder without y.txt is not one of the pipeline's: nothing is written into it.
  EXPECT_EQ(test_support::entry_count(work.path + "/no table"), 1u);
  EXPECT_FALSE(file_exists(work.path + "/bad input/out_pvalue.txt"));  // vantor does not follow a failed cardel
  EXPECT_EQ(rows[2][20], "");                                          // n = 0: markers, no band

  // Text from folder names reaches the page only escaped.
  const std::string html = read_file(work.path + "/a<b>&\"c, d/report.html");
  EXPECT_NE(html.find("a&lt;b&gt;&amp;&quot;c, d"), std::string::npos);
  EXPECT_EQ(html.find("a<b>"), std::string::npos);
  const std::string failed_html = read_file(work.path + "/no settings/report.html");
  EXPECT_NE(failed_html.find("in_bayes.txt, unit 140"), std::string::npos);
}

TEST(Bandreport, UsageErrorsRunNothing) {
  ScratchDir work;
  make_folder(work.path + "/f", example_table, settings);
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"--jobs", "0", "f"},
      {"--jobs=two", "f"},
      {"--jobs"},
      {"--bogus", "f"},
      {"--summary", "no/such/dir/s.csv", "f"},
      {"--seed", "-1", "f"},
      {"--timeout", "0", "f"},
      {"--timeout=1e9", "f"},
      {"--units", "a\nb", "f"},
      {"--out", "o", "f"},
      {"--data", "d.csv", "--out", "o"},                          // without --settings
      {"--data", "d.csv", "--settings", "f/in_bayes.txt"},        // without --out
      {"--data", "d.csv", "--out", "o", "--settings", "s", "f"},  // with a DIR operand
      {"--data", "d.csv", "--out", "o", "--settings", "s", "--recursive"},
      {"--settings", "no such file", "f"},
  };
  for (const auto& args : refused) {
    const auto result = run_bandreport(work.path, args);
    EXPECT_EQ(result.exit_status, 2) << args.size();
    EXPECT_EQ(result.err.rfind("bandreport: ", 0), 0u) << result.err;
    EXPECT_FALSE(file_exists(work.path + "/summary.csv"));
    EXPECT_FALSE(file_exists(work.path + "/f/out_seg.txt"));
  }
  // Help and version run nothing either; they must reach standard output, and a failure to write them there is
  // reported, not passed over.
  const std::string help_start = "Usage: bandreport [OPTION]... DIR...\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> shown = {
      {{"--version"}, "bandreport 1.0.0\n"}, {{"--help"}, help_start}, {{"-h", "f"}, help_start}};
  for (const auto& [args, out_start] : shown) {
    const auto result = run_bandreport(work.path, args);
    EXPECT_EQ(result.exit_status, 0) << args[0];
    EXPECT_EQ(result.out.substr(0, out_start.size()), out_start) << args[0];
    EXPECT_EQ(result.err, "") << args[0];
    const auto full = test_support::run_with_full_output(BANDREPORT_BIN, work.path, args);
    EXPECT_EQ(full.exit_status, 2) << args[0];
    EXPECT_EQ(full.err, "bandreport: cannot write to standard output: No space left on device\n") << args[0];
  }
  EXPECT_EQ(run_bandreport(work.path, {"-h"}).out, run_bandreport(work.path, {"--help"}).out);
  EXPECT_FALSE(file_exists(work.path + "/summary.csv"));
  EXPECT_FALSE(file_exists(work.path + "/f/out_seg.txt"));
}

// Stand-ins for the two programs, placed beside a copy of bandreport: they copy prepared
// result files and misbehave as the folder's y.txt asks.
const std::string fake_cardel = R"sh(#!/bin/sh
case $(head -n 1 y.txt) in
  crash) kill -SEGV $$ ;;
  warn) echo "cardel: note: first" >&2; echo "cardel: warning: second" >&2 ;;
esac
cp seg.prepared out_seg.txt && cp logy.prepared logy.txt
)sh";
const std::string fake_vantor = R"sh(#!/bin/sh
echo "quadrature chatter on standard output"
if [ "$(head -n 1 y.txt)" = stop ]; then
  printf '\n *** FATAL    ERROR 1 from DQDAGS.  The maximum number\n'
  exit 3
fi
echo "vantor: warning: third" >&2
cp pvalue.prepared out_pvalue.txt && cp bayes.prepared out_bayes.txt
)sh";

TEST(Bandreport, CrashesStopsAndWarningsOfTheProgramsReachTheSummary) {
  ScratchDir work;
  const std::string program = bandreport_test::install_stand_ins(work.path + "/bin", fake_cardel, fake_vantor);
  struct Case {
    std::string mode, status, message;
  };
  const std::vector<Case> cases = {
      {"warn", "ok", "cardel: note: first; cardel: warning: second; vantor: warning: third"},
      {"crash", "failed", "cardel: killed by signal 11 (Segmentation fault)"},
      {"stop", "failed", "vantor: stopped with exit status 3: *** FATAL    ERROR 1 from DQDAGS.  The maximum number"},
  };
  std::vector<std::string> names;
  for (const Case& c : cases) {
    bandreport_test::make_stand_in_folder(work.path + "/" + c.mode, c.mode);
    names.push_back(c.mode);
  }
  names.insert(names.begin(), {"--summary", "-"});
  const auto result = run_bandreport(work.path, names, program);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "3 folders, 1 ok, 2 failed\n  crash failed\n  stop failed\n");
  const auto rows = parse_csv(result.out);  // the summary alone: the programs' standard output never shows
  ASSERT_EQ(rows.size(), 4u) << result.out;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rows[i + 1][1], cases[i].status);
    EXPECT_EQ(rows[i + 1][21], cases[i].message);
    EXPECT_EQ(rows[i + 1][2], cases[i].mode == "crash" ? "" : "4");  // cardel's fields survive a stopped vantor
    EXPECT_EQ(rows[i + 1][20], cases[i].mode == "warn" ? "1" : "");  // a tie goes to the lowest band
  }
  const auto report = nlohmann::json::parse(read_file(work.path + "/warn/report.json"));
  EXPECT_EQ(report["warnings"].size(), 3u);
}

TEST(Bandreport, ResultsDoNotDependOnHowManyFoldersRunAtOnce) {
  ScratchDir one, four;
  std::vector<std::string> names;
  unsigned state = 12345;
  const auto next = [&state] { return state = state * 1103515245u + 12345u, (state >> 8) % 1000; };
  for (int f = 0; f < 16; ++f) {
    const int rows = 3 + static_cast<int>(next() % 10);
    std::string table = "1\n" + std::to_string(rows) + "\n";
    for (int r = 0; r < rows; ++r) table += std::to_string(0.1 + next() / 100.0) + "\n";
    names.push_back("f" + std::to_string(f));
    for (const ScratchDir* dir : {&one, &four})
      make_folder(dir->path + "/" + names.back(), f == 7 ? "1\n2\n1.0\n" : table, f == 11 ? "" : settings);
  }
  const auto sequential = run_bandreport(one.path, [&] {
    auto a = names;
    a.insert(a.begin(), {"--jobs", "1"});
    return a;
  }());
  const auto parallel = run_bandreport(four.path, [&] {
    auto a = names;
    a.insert(a.begin(), "--jobs=4");
    return a;
  }());
  EXPECT_EQ(sequential.exit_status, 1);
  EXPECT_EQ(parallel.exit_status, 1);
  EXPECT_EQ(sequential.err, "16 folders, 14 ok, 2 failed\n  f7 failed\n  f11 failed\n");
  EXPECT_EQ(parallel.err, sequential.err);
  const auto expected = test_support::file_tree(one.path);
  EXPECT_EQ(expected.size(), 1 + 16 * 8 - 4 - 2);  // summary; f7 stops in cardel (4 files), f11 in vantor (6)
  EXPECT_EQ(test_support::file_tree(four.path), expected);
}

}  // namespace

// bandreport over whole batches: the summary against the result files, failures kept to their folder,
// usage errors running nothing, and results that do not depend on how many folders run at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
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
    "weighted_band4,weighted_band5,most_probable_band,message,limit,units,below_detection,p95_median,p95_upper_95,"
    "exceedance_percent_median,probability_above_limit,warnings";
const std::vector<std::string> columns = parse_csv(header + "\r\n").at(0);

std::size_t column(const std::string& name) {
  return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin());
}

// The columns of numbers from the result files, and where report.json holds each of them.
const std::vector<std::pair<std::string, std::string>> json_places = [] {
  std::vector<std::pair<std::string, std::string>> places = {{"n", "/n"}, {"below_detection", "/below_detection"}};
  for (const char* s : {"arithmetic_mean", "standard_deviation", "geometric_mean", "geometric_sd", "fold_range"})
    places.emplace_back(s, std::string("/summary/") + s);
  for (const char* s : {"chi_square", "p_value"}) places.emplace_back(s, std::string("/normality/") + s);
  for (int k = 1; k <= 5; ++k) {
    places.emplace_back("flat_band" + std::to_string(k), "/bands/" + std::to_string(k - 1) + "/flat");
    places.emplace_back("weighted_band" + std::to_string(k), "/bands/" + std::to_string(k - 1) + "/weighted");
  }
  places.emplace_back("p95_median", "/estimates/percentile_95/q50");
  places.emplace_back("p95_upper_95", "/estimates/percentile_95/q95");
  places.emplace_back("exceedance_percent_median", "/estimates/exceedance_percent/q50");
  places.emplace_back("probability_above_limit", "/bands/4/weighted");
  return places;
}();

// Every column of numbers but n and below_detection: all empty when there are no measurements.
const std::vector<std::string> every_result = [] {
  std::vector<std::string> names;
  for (std::size_t i = 2; i < json_places.size(); ++i) names.push_back(json_places[i].first);
  return names;
}();

enum class Reached { nothing, cardel, both };

struct FolderCase {
  std::string name;
  std::string table;     // y.txt, empty for none
  std::string settings;  // in_bayes.txt, empty for none
  bool create = true;    // false: the folder does not exist
  Reached reached;
  std::string message_start;       // of the message column: a failure, the empty fields' reasons, or warnings
  std::vector<std::string> empty;  // columns whose fields the files hold but which are no numbers of the data
  std::string units = "";          // units.txt, empty for none
};

// The fields of the result files in `dir` by the column that shows them, as the files write them.
std::map<std::string, std::string> file_fields(const std::string& dir, Reached reached) {
  std::map<std::string, std::string> fields;
  if (reached == Reached::nothing) return fields;
  const auto seg = trimmed_lines(dir + "/out_seg.txt");
  const auto logy = trimmed_lines(dir + "/logy.txt");
  fields["n"] = logy.at(0);
  fields["below_detection"] =
      std::to_string(std::count_if(logy.begin(), logy.end(), [](auto& l) { return l[0] == '<'; }));
  fields["fold_range"] = seg.at(0);  // then the means and deviations
  for (const char* name : {"arithmetic_mean", "standard_deviation", "geometric_mean", "geometric_sd"})
    fields[name] = seg.at(column(name) - column("arithmetic_mean") + 1);
  if (reached != Reached::both) return fields;
  const auto pvalue = trimmed_lines(dir + "/out_pvalue.txt");
  fields["chi_square"] = pvalue.at(0);
  fields["p_value"] = pvalue.at(1);
  const auto bayes = trimmed_lines(dir + "/out_bayes.txt");
  double best = -1.0;
  for (int k = 0; k < 5; ++k) {
    const auto band = bandreport_test::band_fields(bayes.at(k));
    fields["flat_band" + std::to_string(k + 1)] = band.at(1);
    fields["weighted_band" + std::to_string(k + 1)] = band.at(2);
    if (std::stod(band.at(2)) > best && std::stod(band.at(2)) >= 0.0) {
      best = std::stod(band.at(2));
      fields["most_probable_band"] = std::to_string(k + 1);
    }
  }
  fields["probability_above_limit"] = fields["weighted_band5"];
  const auto estimates = parse_csv(read_file(dir + "/out_estimates.txt"));
  fields["p95_median"] = estimates.at(3).at(2);
  fields["p95_upper_95"] = estimates.at(3).at(4);
  fields["exceedance_percent_median"] = estimates.at(5).at(2);
  return fields;
}

// The summary row `row` must show exactly what the folder's result files hold, the fields that are no numbers of
// the data empty with their reason, numbers without E exponents, and nothing a failed run did not produce.
void expect_row_matches_files(const std::vector<std::string>& row, const std::string& dir, const FolderCase& c) {
  ASSERT_EQ(row.size(), columns.size()) << c.name;
  for (const std::string& cell : row)  // nothing a spreadsheet would take for a formula
    EXPECT_EQ(std::string("=+-@").find(cell.empty() ? ' ' : cell[0]), std::string::npos) << cell;
  EXPECT_EQ(row[0], c.name[0] == '=' ? "'" + c.name : c.name);
  EXPECT_EQ(row[1], c.reached == Reached::both ? "ok" : "failed") << c.name;
  const std::string& message = row[column("message")];
  EXPECT_EQ(c.message_start.empty() ? message : message.substr(0, c.message_start.size()), c.message_start) << c.name;
  const auto fields = file_fields(dir, c.reached);
  EXPECT_EQ(file_exists(dir + "/out_seg.txt"), c.reached != Reached::nothing) << c.name;
  for (std::size_t i = 2; i < columns.size(); ++i) {
    const std::string& name = columns[i];
    if (name == "message" || name == "limit" || name == "units" || name == "warnings") continue;
    const auto field = fields.find(name);
    const std::string& cell = row[i];
    if (field == fields.end()) {
      EXPECT_EQ(cell, "") << c.name << ", " << name;
    } else if (std::find(c.empty.begin(), c.empty.end(), name) != c.empty.end()) {
      EXPECT_EQ(cell, "") << c.name << ", " << name;
      const bool explained = message.find(name) != std::string::npos || message.find("all results") == 0;
      EXPECT_TRUE(explained) << c.name << ", " << name << ": " << message;
    } else if (field->second.find('E') == std::string::npos) {
      EXPECT_EQ(cell, field->second) << c.name << ", " << name;  // as written
    } else {
      EXPECT_EQ(cell.find_first_of("E+"), std::string::npos) << cell;
      EXPECT_EQ(std::stod(cell), std::stod(field->second)) << c.name << ", " << name;
    }
  }
  const bool has_settings = c.create && !c.table.empty() && !c.settings.empty();
  EXPECT_EQ(row[column("limit")], has_settings ? "5" : "") << c.name;
  EXPECT_EQ(row[column("units")], c.units.empty() ? "" : "'" + c.units) << c.name;
}

// report.json must agree with the summary row of its folder, and hold every estimate of out_estimates.txt.
void expect_json_matches_row(const std::vector<std::string>& row, const std::string& dir, const FolderCase& c) {
  const auto report = nlohmann::json::parse(read_file(dir + "/report.json"));
  EXPECT_EQ(report["folder"], c.name);
  EXPECT_EQ(report["status"], row[1]);
  EXPECT_EQ(report["units"], c.units.empty() ? nlohmann::json() : nlohmann::json(c.units));
  for (const auto& [name, place] : json_places) {
    const std::string& cell = row[column(name)];
    const nlohmann::json::json_pointer pointer(place);
    const nlohmann::json value = report.contains(pointer) ? report.at(pointer) : nullptr;  // null on the way: none
    EXPECT_EQ(value.is_null(), cell.empty()) << c.name << ", " << name;
    EXPECT_EQ(value.is_null() ? 0.0 : value.get<double>(), cell.empty() ? 0.0 : std::stod(cell)) << c.name;
  }
  EXPECT_EQ(report["estimates"].is_null(), c.reached != Reached::both) << c.name;
  if (c.reached == Reached::both) {
    const auto estimates = parse_csv(read_file(dir + "/out_estimates.txt"));
    for (std::size_t q = 1; q < estimates.size(); ++q) {
      for (std::size_t p = 1; p < estimates[q].size(); ++p) {
        const auto& value = report["estimates"][estimates[q][0]][estimates[0][p]];
        EXPECT_EQ(value.is_null(), estimates[q][p] == "-1") << c.name;
        EXPECT_EQ(value.is_null() ? -1.0 : value.get<double>(), std::stod(estimates[q][p])) << c.name;
      }
    }
  }
  EXPECT_EQ(report["notes"].empty(), c.empty.empty()) << c.name;
  EXPECT_EQ(report["warnings"].size(), std::stoul(row[column("warnings")])) << c.name;
  EXPECT_EQ(report["bands"][4]["upper"], nullptr);
  EXPECT_EQ(report["most_probable_band"].is_null(), row[20].empty());
  EXPECT_EQ(report.contains("message"), row[1] == "failed");
}

TEST(Bandreport, SummaryHoldsWhatTheResultFilesHoldAndFailuresStayInTheirFolder) {
  ScratchDir work;
  const std::string zero_note = "cardel: note: 1 zero measurement was replaced by 1e-7";  // a warning, not a failure
  const std::string no_spread = "standard_deviation, geometric_sd: a single value has no spread";
  const std::string one_group = "fold_range: a single group has no spread between groups";
  const std::vector<FolderCase> cases = {
      {"example", example_table, settings, true, Reached::both, zero_note, {}},
      {"no values", "2\n1\n-1 -1\n", "", true, Reached::both, "all results: there are no measurements", every_result},
      {"one value", "1\n1\n2.0\n", settings, true, Reached::both, no_spread + "; " + one_group + "; chi_square",
       {"standard_deviation", "geometric_sd", "fold_range", "chi_square", "p_value"}},
      // Small values: out_seg.txt writes them with exponents.
      {"three values", "1\n3\n0.01\n0.025\n0.007\n", settings, true, Reached::both, one_group, {"fold_range"}},
      {"below limits", "3\n4\n0.21 0.08 <0.05\n<0.05 0.15 0.27\n0.34 <0.1 0.09\n0.12 0.46 <0.1\n", settings, true,
       Reached::both, "chi_square, p_value: the normality test is not defined with results below a detection limit",
       {"chi_square", "p_value"}},
      {"bad input", "2\n2\n1 x\n", settings, true, Reached::nothing, "cardel: ", {}},
      {"no settings", example_table, "", true, Reached::cardel, "vantor: ", {}},
      {"integrator stops", "1\n1\n1.35\n", "5\n0.5 20.0\n1.2 1e300\n1 1 1 1 1\n", true, Reached::cardel,
       "vantor: invalid setting gsd_bounds(2) = 1e+300 in file in_bayes.txt",  // then why fields are empty
       {"standard_deviation", "geometric_sd", "fold_range"}},
      {"no table", "", settings, true, Reached::nothing, "bandreport: no y.txt here; use --recursive to search below",
       {}},
      {"does not exist", "", "", false, Reached::nothing, "bandreport: ", {}},
      {"a<b>&\"c, d", example_table, settings, true, Reached::both, zero_note, {}},
      {"=1+1", example_table, settings, true, Reached::both, zero_note, {}, "+mg/m3"},
  };
  std::vector<std::string> names;
  for (const FolderCase& c : cases) {
    if (c.create) make_folder(work.path + "/" + c.name, c.table, c.settings);
    if (!c.units.empty()) test_support::write_file(work.path + "/" + c.name + "/units.txt", c.units + "\n");
    names.push_back(c.name);
  }
  const auto result = run_bandreport(work.path, names);
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_EQ(result.err,
            "12 folders, 7 ok, 5 failed\n  bad input failed\n  no settings failed\n  integrator stops failed\n"
            "  no table failed\n  does not exist failed\n");
  EXPECT_EQ(result.out, "");

  const std::string summary = read_file(work.path + "/summary.csv");
  ASSERT_EQ(summary.substr(0, header.size() + 2), header + "\r\n");
  const auto rows = parse_csv(summary);
  ASSERT_EQ(rows.size(), cases.size() + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string dir = work.path + "/" + cases[i].name;
    expect_row_matches_files(rows[i + 1], dir, cases[i]);
    if (cases[i].create && !cases[i].table.empty()) expect_json_matches_row(rows[i + 1], dir, cases[i]);
  }
  EXPECT_EQ(rows[5][column("below_detection")], "4");
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
cp pvalue.prepared out_pvalue.txt && cp bayes.prepared out_bayes.txt && cp estimates.prepared out_estimates.txt
[ "$(head -n 1 y.txt)" != "bad estimates" ] || sed 's/,5/,/' estimates.prepared > out_estimates.txt
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
      {"bad estimates", "failed", "bandreport: out_estimates.txt line 2 does not hold geometric_mean and 5 numbers"},
  };
  std::vector<std::string> names;
  for (const Case& c : cases) {
    bandreport_test::make_stand_in_folder(work.path + "/" + c.mode, c.mode);
    names.push_back(c.mode);
  }
  names.insert(names.begin(), {"--summary", "-"});
  const auto result = run_bandreport(work.path, names, program);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "4 folders, 1 ok, 3 failed\n  crash failed\n  stop failed\n  bad estimates failed\n");
  const auto rows = parse_csv(result.out);  // the summary alone: the programs' standard output never shows
  ASSERT_EQ(rows.size(), 5u) << result.out;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rows[i + 1][1], cases[i].status);
    EXPECT_EQ(rows[i + 1][21], cases[i].message);
    EXPECT_EQ(rows[i + 1][2], cases[i].mode == "crash" ? "" : "4");  // cardel's fields survive a stopped vantor
    const bool banded = cases[i].mode == "warn" || cases[i].mode == "bad estimates";
    EXPECT_EQ(rows[i + 1][20], banded ? "1" : "");  // a tie goes to the lowest band
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
  // summary and index.html; f7 stops in cardel (4 files), f11 in vantor (6)
  EXPECT_EQ(expected.size(), 2 + 16 * 9 - 5 - 3);
  EXPECT_EQ(test_support::file_tree(four.path), expected);
}

}  // namespace

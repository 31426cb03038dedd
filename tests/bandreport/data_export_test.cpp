// bandreport --data: a spreadsheet export becomes one folder per segment, each as if made and run by hand, and an
// export that is not a table of measurements is refused with nothing created.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/bandreport/batch_runner.h"
#include "tests/support/program_runner.h"

namespace {

using bandreport_test::parse_csv;
using bandreport_test::run_bandreport;
using test_support::file_exists;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

const std::string settings = "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n";
const std::string settings_crlf = "5.0\r\n0.5 20.0\r\n1.2 8.0\r\n0.1 0.2 0.3 0.25 0.15\r\n";
const std::vector<std::string> result_files = {"out_seg.txt", "logy.txt", "out_pvalue.txt", "out_bayes.txt",
                                                "out_estimates.txt"};

struct ExpectedFolder {
  std::string name;      // under the output folder
  std::string segment;   // as the summary shows it
  std::string table;     // y.txt
  std::string settings;  // in_bayes.txt
  std::string units;     // units.txt, empty for none
};

struct Export {
  std::string file;  // name of the export
  std::string text;
  std::vector<std::string> args;  // besides --data, --out and --settings
  std::vector<std::string> cardel_args;
  std::vector<ExpectedFolder> folders;
};

// A comma-separated export with a byte-order mark, CR LF line ends, columns the batch does not read, a quoted
// field holding a line end, a blank spreadsheet row and a missing result; and a semicolon-separated one with
// decimal commas and a segment whose values are all equal (so that only --seed makes its results repeatable).
const std::vector<Export> exports = {
    {"comma.csv",
     "\xEF\xBB\xBF"
     "Date,Segment,Group,Value,Limit,Units,Note\r\n"
     "2024-01-02,North hall,p1,1.2,,,\r\n"
     "2024-01-02,North hall,p2,0.8,,,\"two\r\nlines, quoted\"\r\n"
     "2024-01-03,North hall,p1,2.5,,,\r\n"
     "2024-01-03, North hall ,p3,1.5E-1,,,\r\n"
     "2024-01-04,\"Site A/B: \"\"north\"\"\",,3.1,0.5,mg/m3,\r\n"
     "2024-01-04,Site A/B: \"north\",,+2,0.50,mg/m3,\r\n"
     ",,,,,,\r\n"
     "2024-01-05,North hall,p2,,,,\r\n"
     "2024-01-05,Below limits,,<0.05,,,\r\n"
     "2024-01-05,Below limits,,0.2,,,\r\n"
     "2024-01-06,Below limits,,<0.05,,,\r\n"
     "2024-01-06,Below limits,,0.31,,,\r\n"
     "2024-01-06,Below limits,,1.7,,,\r\n",
     {"--units", "ug/m3"},
     {},
     {{"North hall", "North hall", "3\r\n2\r\n1.2 0.8 0.15\r\n2.5 -1 -1\r\n", settings_crlf, "ug/m3\r\n"},
      {"Site A_B_ _north_", "Site A/B: \"north\"", "1\r\n2\r\n3.1\r\n2\r\n",
       "0.5\r\n0.5 20.0\r\n1.2 8.0\r\n0.1 0.2 0.3 0.25 0.15\r\n", "mg/m3\r\n"},
      {"Below limits", "Below limits", "1\r\n5\r\n<0.05\r\n0.2\r\n<0.05\r\n0.31\r\n1.7\r\n", settings_crlf, "ug/m3\r\n"}}},
    {"semicolon.csv",
     "Segment;Value;Group;Limit\n"
     "Kiln 1;0,05;day 1;\n"
     "Kiln 1;1,25;day 2;0,25\n"
     "Kiln 1;2,5e-1;day 1;\n"
     "Kiln 1;\"3,5\";day 2;\n"
     "Kiln 2;1,5;;\n"
     "Kiln 2;1.5;;\n"
     "Kiln 2;1,5;;\n"
     "Kiln 3;<0,05;;\n"
     "Kiln 3;0,4;;\n"
     "Kiln 3;0,9;;\n",
     {"--seed", "7"},
     {"--seed", "7"},
     {{"Kiln 1", "Kiln 1", "2\r\n2\r\n0.05 1.25\r\n0.25 3.5\r\n",
       "0.25\r\n0.5 20.0\r\n1.2 8.0\r\n0.1 0.2 0.3 0.25 0.15\r\n", ""},
      {"Kiln 2", "Kiln 2", "1\r\n3\r\n1.5\r\n1.5\r\n1.5\r\n", settings_crlf, ""},
      {"Kiln 3", "Kiln 3", "1\r\n3\r\n<0.05\r\n0.4\r\n0.9\r\n", settings_crlf, ""}}},
};

// The result files of `folder` (absent ones as "(none)").
std::vector<std::string> results_of(const std::string& folder) {
  std::vector<std::string> contents;
  for (const std::string& name : result_files) {
    const std::string path = folder + "/" + name;
    contents.push_back(file_exists(path) ? read_file(path) : "(none)");
  }
  return contents;
}

// Runs cardel and then vantor by hand on `folder`, as `cardel DIR; vantor --estimates DIR`; the result files must
// be those the batch left there.
void expect_same_as_by_hand(const std::string& work, const std::string& folder,
                             const std::vector<std::string>& cardel_args) {
  const std::vector<std::string> batch = results_of(folder);
  for (const std::string& name : result_files) std::filesystem::remove(folder + "/" + name);
  std::vector<std::string> args = cardel_args;
  args.push_back(folder);
  const auto cardel = test_support::run_program(CARDEL_BIN, work, args);
  if (cardel.exit_status == 0)
    test_support::run_program(VANTOR_BIN, work, std::vector<std::string>{"--estimates", folder});
  EXPECT_EQ(results_of(folder), batch) << folder;
}

// Runs the export's batch in `work`; the output folder is `work`/out.
test_support::RunResult run_export(const std::string& work, const Export& e) {
  write_file(work + "/" + e.file, e.text);
  write_file(work + "/settings.txt", settings);
  std::vector<std::string> args = {"--data", e.file, "--out", "out", "--settings", "settings.txt"};
  args.insert(args.end(), e.args.begin(), e.args.end());
  return run_bandreport(work, args);
}

TEST(BandreportData, ExportsBecomeFoldersThatRunAsByHand) {
  for (const Export& e : exports) {
    ScratchDir work;
    const auto result = run_export(work.path, e);
    ASSERT_LE(result.exit_status, 1) << e.file << ": " << result.err;
    const auto rows = parse_csv(read_file(work.path + "/out/summary.csv"));
    ASSERT_EQ(rows.size(), e.folders.size() + 1) << e.file;
    for (std::size_t i = 0; i < e.folders.size(); ++i) {
      const ExpectedFolder& f = e.folders[i];
      const std::string folder = work.path + "/out/" + f.name;
      EXPECT_EQ(rows[i + 1][0], f.segment) << e.file;  // the segment as written, not its folder's name
      EXPECT_EQ(read_file(folder + "/y.txt"), f.table) << f.name;
      EXPECT_EQ(read_file(folder + "/in_bayes.txt"), f.settings) << f.name;
      EXPECT_EQ(file_exists(folder + "/units.txt") ? read_file(folder + "/units.txt") : "", f.units) << f.name;
      EXPECT_EQ(rows[i + 1][1], "ok") << f.name << ": " << rows[i + 1][21];
      expect_same_as_by_hand(work.path, folder, e.cardel_args);
    }
  }
}

TEST(BandreportData, ExportsThatAreNoTableOfMeasurementsAreRefusedWithNothingCreated) {
  const std::string head = "bandreport: data.csv, ";
  const std::string long_segment(1025, 's');
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"", head + "line 1: the file is empty: there is no header line"},
      {"segment,value\r\n", "bandreport: data.csv: no measurements below the header line"},
      {"site,value\nA,1\n", head + "line 1: the header has no column \"segment\""},
      {"Segment,Result\nA,1\n", head + "line 1: the header has no column \"value\""},
      {"segment,value,VALUE\nA,1,2\n", head + "line 1, column 3: a second column \"value\" (the first is column 2)"},
      {"date,segment,value\nx,A,1\nx,A,1.2.3\n", head + "line 3, column 3 (value): \"1.2.3\" is not a number or <X"},
      {"segment,value\nA,<0\n", head + "line 2, column 2 (value): \"<0\" is not a number or <X"},
      {"segment,value\nA,< \n", head + "line 2, column 2 (value): \"<\" is not a number or <X"},
      {"segment,value\nA,inf\n", head + "line 2, column 2 (value): \"inf\" is not a number or <X"},
      {"segment,value\nA,1e999\n", head + "line 2, column 2 (value): \"1e999\" is not a number or <X"},
      {"segment,value\nA,\"0,5\"\n", head + "line 2, column 2 (value): \"0,5\" is not a number or <X"},
      {"segment;value\nA;0.5,1\n", head + "line 2, column 2 (value): \"0.5,1\" is not a number or <X"},
      {"segment,value\nA,1\nA,2,3\n", head + "line 3: 3 fields where the header has 2"},
      {"segment,value\nA,1\nA\n", head + "line 3: 1 field where the header has 2"},
      {"segment,value\nA,1\n\"A,2\nB,3\n", head + "line 3, column 1: the quote that opens the field is never closed"},
      {"segment,value\n\"A\"x,1\n", head + "line 2, column 1: text follows the closing quote of the field"},
      {"segment,value\nA,1\rB,2\n",
       head + "line 2, column 2: a line ends in CR alone; save the file with CR LF or LF line ends"},
      {std::string("segment,value\nA,1\0\n", 19),
       head + "line 2, column 2: the file holds NUL bytes, as UTF-16 text does; save it as UTF-8 text"},
      {"\xFF\xFEs\0e\0", head + "line 1: the file is UTF-16 text; save it as UTF-8 text"},
      {"segment,value\n,1\n", head + "line 2, column 1 (segment): the segment is empty"},
      {"segment,value\n\xC0\xAF,1\n",
       head + "line 2, column 1 (segment): the text is not UTF-8; save the file as UTF-8 text"},
      {"segment,value\n" + long_segment + ",1\n",
       head + "line 2, column 1 (segment): the field is longer than 1024 bytes"},
      {"segment,value,limit\nA,1,0.5\nB,1,\nA,2,0.25\n",
       head + "line 4, column 3 (limit): segment \"A\" has two limits, \"0.5\" and \"0.25\""},
      {"segment,value,limit\nA,1,0\n", head + "line 2, column 3 (limit): \"0\" is not a positive number"},
      {"segment,value,units\nA,1,mg/l\nA,2,\nA,3,ug/l\n",
       head + "line 4, column 3 (units): segment \"A\" has two units, \"mg/l\" and \"ug/l\""},
  };
  for (const auto& [text, message] : refused) {
    ScratchDir work;
    write_file(work.path + "/data.csv", text);
    write_file(work.path + "/settings.txt", settings);
    const auto result = run_bandreport(work.path, {"--data", "data.csv", "--out", "out", "--settings", "settings.txt"});
    EXPECT_EQ(result.exit_status, 2) << message;
    EXPECT_EQ(result.err, message + "\n");
    EXPECT_EQ(test_support::entry_count(work.path), 2u) << message;  // the export and the settings alone
  }

  // What the export is put into, or taken with, must be usable before anything is made.
  ScratchDir work;
  write_file(work.path + "/data.csv", "segment,value\nA,1\nB,2\n");
  write_file(work.path + "/settings.txt", settings);
  write_file(work.path + "/short.txt", "5.0\n0.5 20.0\n");
  write_file(work.path + "/file", "");
  std::filesystem::create_directories(work.path + "/out");
  write_file(work.path + "/out/B", "");
  const std::vector<std::pair<std::vector<std::string>, std::string>> unusable = {
      {{"--data", "data.csv", "--out", "out", "--settings", "short.txt"},
       "bandreport: short.txt does not hold the settings of in_bayes.txt: end-of-file during read, unit 140, file "
       "short.txt, line 3: the file ends after line 2 while reading the two geometric-standard-deviation bounds (0 "
       "of 2 values read)"},
      {{"--data", "data.csv", "--out", "out", "--settings", "no such file"},
       "bandreport: cannot read no such file: No such file or directory"},
      {{"--data", "none.csv", "--out", "out", "--settings", "settings.txt"},
       "bandreport: cannot read none.csv: No such file or directory"},
      {{"--data", "data.csv", "--out", "file", "--settings", "settings.txt"}, "bandreport: file is not a folder"},
      {{"--data", "data.csv", "--out", "out", "--settings", "settings.txt"},
       "bandreport: out/B is there but not a folder, so segment \"B\" cannot have it"},
  };
  const auto before = test_support::file_tree(work.path);
  for (const auto& [args, message] : unusable) {
    const auto result = run_bandreport(work.path, args);
    EXPECT_EQ(result.exit_status, 2) << message;
    EXPECT_EQ(result.err, message + "\n");
    EXPECT_EQ(test_support::file_tree(work.path), before) << message;
    EXPECT_EQ(test_support::entry_count(work.path + "/out"), 1u) << message;
  }
}

TEST(BandreportData, HostileExportsAreReadInBoundedMemory) {
  std::string wide_header;
  for (int i = 0; i < 100000; ++i) wide_header += "a,";
  const std::vector<std::pair<std::string, std::string>> hostile = {
      // A field of a column that is not read is scanned, never kept.
      {"segment,value,note\nA,1," + std::string(48 << 20, 'x') + "\nB,x,\n",
       "line 3, column 2 (value): \"x\" is not a number or <X"},
      {"segment,value\n" + std::string(16 << 20, 's') + ",1\n",
       "line 2, column 1 (segment): the field is longer than 1024 bytes"},
      {"segment,value\nA,1" + std::string(2000000, ',') + "\n", "line 2: 2000002 fields where the header has 2"},
      {wide_header + "segment,value\n", "line 1: more than 16384 columns"},
      {"segment;value;" + std::string(2 << 20, 'h') + "\n", "line 1: the header line is longer than 1048576 bytes"},
  };
  for (const auto& [text, message] : hostile) {
    ScratchDir work;
    write_file(work.path + "/data.csv", text);
    write_file(work.path + "/settings.txt", settings);
    const auto result = test_support::run_program(
        BANDREPORT_BIN, work.path, {"--data", "data.csv", "--out", "out", "--settings", "settings.txt"},
        test_support::memory_cap(32));  // well below the size of the largest file
    EXPECT_EQ(result.exit_status, 2) << message;
    EXPECT_EQ(result.err, "bandreport: data.csv, " + message + "\n");
    EXPECT_FALSE(file_exists(work.path + "/out"));
  }
}

}  // namespace

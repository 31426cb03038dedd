// The folder names bandreport makes from segments: safe on every common file system, distinct where case is
// ignored, and never outside the output folder, whatever the segment says.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "bandreport/folder_name.h"
#include "tests/bandreport/batch_runner.h"
#include "tests/support/program_runner.h"

namespace {

using bandreport::folder_names;
using bandreport::is_safe_folder_name;
using bandreport::safe_folder_name;

TEST(BandreportNames, SegmentsBecomeNamesThatEveryFileSystemTakes) {
  const std::string e_acute = "\xC3\xA9";
  std::string sixty_e_acute, fifty_e_acute;
  for (int i = 0; i < 60; ++i) sixty_e_acute += e_acute;
  for (int i = 0; i < 50; ++i) fifty_e_acute += e_acute;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"North hall", "North hall"},
      {"Site A/B: \"north\"", "Site A_B_ _north_"},
      {"a<b>c:d\"e|f?g*h\\i", "a_b_c_d_e_f_g_h_i"},
      {"tab\there\x01\x7F", "tab_here__"},
      {"next\xC2\x85line", "next_line"},         // a control character beyond ASCII
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // not UTF-8
      {"..", "_"},
      {".", "_"},
      {"", "_"},
      {"   ", "_"},
      {"/etc", "_etc"},
      {"a/../../b", "a_.._.._b"},
      {"..\\..\\win", "_.._win"},
      {" .hidden. ", "hidden"},
      {"CON", "CON_"},
      {"con.txt", "con_.txt"},
      {"nul .csv", "nul_ .csv"},
      {"AUX.", "AUX_"},
      {"Lpt9", "Lpt9_"},
      {"com0", "com0_"},
      {"COM\xC2\xB9", "COM\xC2\xB9_"},
      {"CONSOLE", "CONSOLE"},
      {"COM10", "COM10"},
      {std::string(150, 'x'), std::string(100, 'x')},
      {sixty_e_acute, fifty_e_acute},  // cut between characters
      {std::string(99, 'x') + e_acute, std::string(99, 'x')},
      {"x" + std::string(120, ' ') + "y", "x"},       // the cut leaves trailing blanks, which go
      {"CON" + std::string(120, ' ') + "x", "CON_"},  // and may leave a device name
  };
  for (const auto& [segment, name] : cases) {
    EXPECT_EQ(safe_folder_name(segment), name) << segment;
    EXPECT_TRUE(is_safe_folder_name(name)) << name;
  }

  // Names that a file system ignoring case would take for one get -2, -3, ... in order of appearance.
  const std::vector<std::pair<std::string, std::string>> batch = {
      {"a", "a"},
      {"A", "A-2"},
      {"a-2", "a-2-2"},
      {"\xC3\x84", "\xC3\x84"},          // Ä
      {"\xC3\xA4", "\xC3\xA4-2"},        // ä
      {"\xCE\xA3", "\xCE\xA3"},          // Σ
      {"\xCF\x83", "\xCF\x83-2"},        // σ
      {"\xD0\x81", "\xD0\x81"},          // Ё
      {"\xD1\x91", "\xD1\x91-2"},        // ё
      {"\xC5\x81", "\xC5\x81"},          // Ł
      {"\xC5\x82", "\xC5\x82-2"},        // ł
      {"summary.csv", "summary.csv-2"},  // taken by the summary
      {"Summary.CSV", "Summary.CSV-3"},
      {"x/y", "x_y"},
      {"x:y", "x_y-2"},
      {std::string(100, 'z'), std::string(100, 'z')},
      {std::string(101, 'z'), std::string(98, 'z') + "-2"},
  };
  std::vector<std::string> segments, expected;
  for (const auto& [segment, name] : batch) {
    segments.push_back(segment);
    expected.push_back(name);
  }
  EXPECT_EQ(folder_names(segments, {"summary.csv"}), expected);
}

TEST(BandreportNames, NoSegmentLeadsOutOfTheOutputFolder) {
  test_support::ScratchDir work;
  test_support::write_file(
      work.path + "/data.csv",
      "segment,value\n..,1\n/etc,1\na/../../b,1\n.,1\nCON,1\ncon,1\nsummary.csv,1\nindex.html,1\n");
  test_support::write_file(work.path + "/settings.txt", "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
  const auto result =
      bandreport_test::run_bandreport(work.path, {"--data", "data.csv", "--out", "out", "--settings", "settings.txt"});
  EXPECT_LE(result.exit_status, 1) << result.err;
  std::set<std::string> top, folders;
  for (const auto& entry : std::filesystem::directory_iterator(work.path)) top.insert(entry.path().filename());
  for (const auto& entry : std::filesystem::directory_iterator(work.path + "/out"))
    folders.insert(entry.path().filename());
  EXPECT_EQ(top, (std::set<std::string>{"data.csv", "settings.txt", "out"}));
  EXPECT_EQ(folders, (std::set<std::string>{"_", "_etc", "a_.._.._b", "_-2", "CON_", "con_-2", "summary.csv-2",
                                            "summary.csv", "index.html-2", "index.html"}));
  const auto rows = bandreport_test::parse_csv(test_support::read_file(work.path + "/out/summary.csv"));
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[3][0], "a/../../b");
  EXPECT_TRUE(test_support::file_exists(work.path + "/out/a_.._.._b/y.txt"));
}

}  // namespace

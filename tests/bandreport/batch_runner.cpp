// Helpers of the bandreport tests: folders of input files, a batch run with arguments or with stand-in programs,
// the summary table read back.
#include "tests/bandreport/batch_runner.h"

#include <filesystem>

#include "tests/support/text_lines.h"

namespace bandreport_test {

test_support::RunResult run_bandreport(const std::string& dir, const std::vector<std::string>& args,
                                       const std::string& program) {
  return test_support::run_program(program, dir, args, "SOURCE_DATE_EPOCH=1700000000");
}

void make_folder(const std::string& dir, const std::string& table, const std::string& settings) {
  std::filesystem::create_directories(dir);
  if (!table.empty()) test_support::write_file(dir + "/y.txt", table);
  if (!settings.empty()) test_support::write_file(dir + "/in_bayes.txt", settings);
}

std::string install_stand_ins(const std::string& bin, const std::string& cardel, const std::string& vantor) {
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(BANDREPORT_BIN, bin + "/bandreport");
  test_support::write_file(bin + "/cardel", cardel);
  test_support::write_file(bin + "/vantor", vantor);
  for (const char* name : {"/cardel", "/vantor"})
    std::filesystem::permissions(bin + name, std::filesystem::perms::owner_all);
  return bin + "/bandreport";
}

void make_stand_in_folder(const std::string& dir, const std::string& mode) {
  make_folder(dir, mode + "\n", "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
  test_support::write_file(dir + "/seg.prepared", "     18.86\r\n1\r\n2\r\n3\r\n4\r\n");
  test_support::write_file(dir + "/logy.prepared", "           4\r\n0\r\n0.5\r\n1\r\n1.5\r\n");
  test_support::write_file(dir + "/pvalue.prepared", "     1.000\r\n     0.500\r\n");
  std::string bayes;
  for (int k = 0; k < 5; ++k) bayes += "  0.2000000,  0.2000000,  0.2000000\r\n";
  test_support::write_file(dir + "/bayes.prepared", bayes);
  std::string estimates = "quantity,q2.5,q50,q70,q95,q97.5\r\n";
  for (const char* q : {"geometric_mean", "geometric_sd", "percentile_95", "arithmetic_mean", "exceedance_percent"})
    estimates += std::string(q) + ",1,2,3,4,5\r\n";
  test_support::write_file(dir + "/estimates.prepared", estimates);
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
  std::vector<std::string> lines = test_support::split_lines(test_support::read_file(path));
  for (std::string& line : lines) line = test_support::trim(line);
  return lines;
}

std::vector<std::string> band_fields(const std::string& line) {
  std::vector<std::string> fields = parse_csv(line + "\r\n").at(0);
  for (std::string& field : fields) field = test_support::trim(field);
  return fields;
}

}  // namespace bandreport_test

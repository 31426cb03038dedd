// Reads reference tables written by the tests' high-precision generators.
#include "tests/support/reference_table.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_support {

std::vector<reference_row> read_reference_table(const std::string& path, bool named) {
  std::vector<reference_row> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    reference_row row;
    if (named) fields >> row.name;
    std::string field;
    // strtod reads the shortest round-trip form of each input back to the same double
    while (fields >> field) row.values.push_back(std::strtod(field.c_str(), nullptr));
    rows.push_back(row);
  }
  return rows;
}

}  // namespace test_support

// Loader of the reference tables and the error measure shared by the distribution tests.
#include "reference_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace distributions_test {

std::vector<reference_row> read_reference(const std::string& file, bool named) {
  std::vector<reference_row> rows;
  const std::string path = std::string(DISTRIBUTIONS_TEST_DATA) + "/" + file;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
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
  EXPECT_FALSE(rows.empty()) << "no rows in " << path;
  return rows;
}

double relative_error(double computed, double expected) { return std::fabs(computed - expected) / std::fabs(expected); }

}  // namespace distributions_test

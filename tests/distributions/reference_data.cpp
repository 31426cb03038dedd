// Loader of the reference tables and the error measure shared by the distribution tests.
#include "reference_data.h"

#include <gtest/gtest.h>

#include <cmath>

namespace distributions_test {

std::vector<reference_row> read_reference(const std::string& file, bool named) {
  const std::string path = std::string(DISTRIBUTIONS_TEST_DATA) + "/" + file;
  std::vector<reference_row> rows = test_support::read_reference_table(path, named);
  EXPECT_FALSE(rows.empty()) << "no rows in " << path << " (or it cannot be read)";
  return rows;
}

double relative_error(double computed, double expected) { return std::fabs(computed - expected) / std::fabs(expected); }

}  // namespace distributions_test

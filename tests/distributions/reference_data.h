// Reads the reference tables that make_reference.py wrote into the test data folder.
#pragma once

#include <string>
#include <vector>

namespace distributions_test {

// One line of a reference table: leading text fields, then numbers.
struct reference_row {
  std::string name;            // first field when the table names a function, else empty
  std::vector<double> values;  // the numeric fields, in file order
};

// Rows of data file `file`; `named` says whether each line starts with a function name.
// Lines starting with '#' are skipped. Fails the calling test when the file cannot be read.
std::vector<reference_row> read_reference(const std::string& file, bool named);

// |computed - expected| / |expected|.
double relative_error(double computed, double expected);

}  // namespace distributions_test

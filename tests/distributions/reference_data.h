// Reads the reference tables that make_reference.py wrote into the test data folder.
#pragma once

#include <string>
#include <vector>

#include "tests/support/reference_table.h"

namespace distributions_test {

using test_support::reference_row;

// Rows of data file `file`; `named` says whether each line starts with a function name.
// Lines starting with '#' are skipped. Fails the calling test when the file cannot be read.
std::vector<reference_row> read_reference(const std::string& file, bool named);

// |computed - expected| / |expected|.
double relative_error(double computed, double expected);

}  // namespace distributions_test

// Reads reference tables written by the tests' high-precision generators: '#' comments, then rows of fields.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// One line of a reference table: an optional leading name, then numbers.
struct reference_row {
  std::string name;            // first field when the table names its rows, else empty
  std::vector<double> values;  // the numeric fields, in file order
};

// Rows of the table at PATH; NAMED says whether each line starts with a name. Blank lines
// and lines starting with '#' are skipped. Numbers are read with strtod, so values beyond
// the double range (1e-399) become 0 or a subnormal instead of ending the row. Returns no
// rows when the file cannot be read; callers assert that rows came back.
std::vector<reference_row> read_reference_table(const std::string& path, bool named);

}  // namespace test_support

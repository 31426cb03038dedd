// Writing cardel's result files "out_seg.txt" and "logy.txt".
#pragma once

#include <string>

#include "cardel/group_statistics.h"
#include "textio/output_file.h"

namespace cardel {

// The five lines of "out_seg.txt": the fold range in a 10-character field with
// 2 decimals, then mean, standard deviation, geometric mean and geometric
// standard deviation as free-form doubles. Returns false on a write failure.
bool write_summary_file(textio::OutputFile& file, const std::string& path, int unit, const GroupSummary& summary);

// One line of "logy.txt" (textio::free_double_width characters at `field`): the
// free-form double of `log_value`; for an entry below a detection limit X
// (`below`, log_value = ln X) the blank before its first character becomes "<".
void format_log_field(char* field, double log_value, bool below);

// "logy.txt": the count in a 12-character field, then one line per measurement as format_log_field writes it.
bool write_log_file(textio::OutputFile& file, const std::string& path, int unit, const GroupTable& table);

}  // namespace cardel

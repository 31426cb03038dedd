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

// "logy.txt": the count in a 12-character field, then one free-form double per line.
bool write_log_file(textio::OutputFile& file, const std::string& path, int unit, const GroupTable& table);

}  // namespace cardel

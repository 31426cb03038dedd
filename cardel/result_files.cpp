// Writing cardel's result files "out_seg.txt" and "logy.txt".
#include "cardel/result_files.h"

#include <cassert>
#include <string_view>

#include "textio/fixed_width_writer.h"

namespace cardel {

bool write_summary_file(textio::OutputFile& file, const std::string& path, int unit, const GroupSummary& s) {
  if (!textio::open_output(file, path, unit)) return false;
  textio::write_record(file, textio::fixed_field(s.fold_range, 10, 2));
  for (double v : {s.mean_y, s.sd_y, s.gm_y, s.gsd_y}) textio::write_record(file, textio::free_double_field(v));
  return textio::commit_output(file);
}

void format_log_field(char* field, double log_value, bool below) {
  textio::format_free_double(field, log_value);
  if (!below) return;
  // A finite value's field has at least one leading blank (a negative one below 1, or in exponent form, exactly
  // one), so the "<" always finds a blank to take.
  int first = 0;
  while (field[first] == ' ') ++first;
  assert(first >= 1 && first < textio::free_double_width);
  field[first - 1] = '<';
}

bool write_log_file(textio::OutputFile& file, const std::string& path, int unit, const GroupTable& table) {
  if (!textio::open_output(file, path, unit)) return false;
  textio::write_record(file, textio::integer_field(table.nlog, 12));
  char field[textio::free_double_width];
  for (std::int64_t k = 0; k < table.nlog; ++k) {
    format_log_field(field, table.logy[k], !table.logy_below.empty() && table.logy_below[k] != 0);
    textio::write_record(file, std::string_view(field, sizeof field));
  }
  return textio::commit_output(file);
}

}  // namespace cardel

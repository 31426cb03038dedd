// Fuzz target: bytes as "y.txt" through cardel's reading, computation and the formatting of both outputs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "cardel/group_statistics.h"
#include "cardel/table_input.h"
#include "textio/fixed_width_writer.h"
#include "textio/free_form_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  textio::FreeFormReader reader;
  reader.path = "y.txt";
  reader.unit = 10;
  reader.text.assign(reinterpret_cast<const char*>(data), size);
  cardel::GroupTable table;
  if (cardel::read_table(reader, table) != textio::ReadStatus::ok) return 0;
  // Memory stays proportional to the input: the table never outgrows what the file holds.
  FUZZ_CHECK(table.y.size() <= size);
  const cardel::GroupSummary summary = cardel::summarize_groups(table, size);
  FUZZ_CHECK(table.nlog >= 0 && static_cast<std::size_t>(table.nlog) <= table.logy.size());
  std::string out = textio::fixed_field(summary.fold_range, 10, 2);
  for (double v : {summary.mean_y, summary.sd_y, summary.gm_y, summary.gsd_y}) out += textio::free_double_field(v);
  out += textio::integer_field(table.nlog, 12);
  for (std::int64_t k = 0; k < table.nlog; ++k) out += textio::free_double_field(table.logy[k]);
  FUZZ_CHECK(out.size() == 10 + 4 * 24 + 12 + 24 * static_cast<std::size_t>(table.nlog));
  return 0;
}

// Fuzz target: bytes as "y.txt" through cardel's reading, computation and the formatting of both outputs,
// with every line of "logy.txt" read back as vantor reads it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cardel/group_statistics.h"
#include "cardel/result_files.h"
#include "cardel/table_input.h"
#include "core/order_statistics_regression.h"
#include "fuzz/fuzz_check.h"
#include "textio/fixed_width_writer.h"
#include "textio/free_form_reader.h"

namespace {

// The regression sees the entries below a limit only as limits: it imputes exactly one value for each of them
// and none for a detected value.
void check_regression(const cardel::GroupTable& table, std::int64_t below_limit) {
  std::vector<std::uint8_t> kinds(table.logy_below.begin(), table.logy_below.begin() + table.nlog);
  const core::OrderStatisticsFit fit = core::fit_order_statistics(table.logy.data(), kinds.data(), kinds.size());
  std::int64_t limited = 0;
  for (const core::LimitImputation& limit : fit.limits) {
    limited += static_cast<std::int64_t>(limit.count);
    FUZZ_CHECK(limit.log_values.size() == (fit.defined ? limit.count : 0));
    FUZZ_CHECK(limit.above_limit <= limit.log_values.size());
    for (double v : limit.log_values) FUZZ_CHECK(!std::isnan(v));
  }
  FUZZ_CHECK(limited == below_limit);
  FUZZ_CHECK(static_cast<std::int64_t>(fit.detected) + below_limit == table.nlog);
  FUZZ_CHECK(fit.defined == (fit.distinct_detected >= 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  textio::FreeFormReader reader;
  reader.path = "y.txt";
  reader.unit = 10;
  reader.text.assign(reinterpret_cast<const char*>(data), size);
  cardel::GroupTable table;
  if (cardel::read_table(reader, table) != textio::ReadStatus::ok) return 0;
  // Memory stays proportional to the input: the table never outgrows what the file holds.
  FUZZ_CHECK(table.y.size() <= size);
  FUZZ_CHECK(table.below.empty() || table.below.size() == table.y.size());
  const bool has_limits = !table.below.empty();
  const cardel::GroupSummary summary = cardel::summarize_groups(table, size);
  FUZZ_CHECK(table.nlog >= 0 && static_cast<std::size_t>(table.nlog) <= table.logy.size());
  // Entries below a limit are counted, flagged in logy, never part of a random replacement, and imputed only
  // when there is a fit.
  FUZZ_CHECK(has_limits == (summary.below_limit > 0));
  FUZZ_CHECK(!summary.randomly_replaced || !has_limits);
  FUZZ_CHECK(!summary.imputed || has_limits);
  if (has_limits) {
    FUZZ_CHECK(table.logy_below.size() == static_cast<std::size_t>(table.nlog));
    std::int64_t flagged = 0;
    for (std::uint8_t b : table.logy_below) flagged += b;
    FUZZ_CHECK(flagged == summary.below_limit);
    FUZZ_CHECK(summary.imputed == (summary.distinct_detected >= 2));
    if (!summary.imputed) FUZZ_CHECK(summary.mean_y == -1.0 && summary.gsd_y == -1.0 && summary.fold_range == -1.0);
    check_regression(table, summary.below_limit);
  } else {
    FUZZ_CHECK(table.logy_below.empty());
  }
  std::string out = textio::fixed_field(summary.fold_range, 10, 2);
  for (double v : {summary.mean_y, summary.sd_y, summary.gm_y, summary.gsd_y}) out += textio::free_double_field(v);
  out += textio::integer_field(table.nlog, 12);
  // Each line of logy.txt reads back as vantor reads it, with its flag.
  char field[textio::free_double_width];
  for (std::int64_t k = 0; k < table.nlog; ++k) {
    const bool below = has_limits && table.logy_below[k] != 0;
    cardel::format_log_field(field, table.logy[k], below);
    out.append(field, sizeof field);
    textio::FreeFormReader line;
    line.text.assign(field, sizeof field);
    double value = 0.0;
    std::uint8_t flag = 9;
    FUZZ_CHECK(textio::read_entries(line, &value, &flag, 1, textio::FieldForm::real_or_log_limit) ==
               textio::ReadStatus::ok);
    FUZZ_CHECK(flag == (below ? 1 : 0));
    FUZZ_CHECK(std::fabs(value - table.logy[k]) <= 1e-14 * std::fabs(table.logy[k]));
  }
  FUZZ_CHECK(out.size() == 10 + 4 * 24 + 12 + 24 * static_cast<std::size_t>(table.nlog));
  return 0;
}

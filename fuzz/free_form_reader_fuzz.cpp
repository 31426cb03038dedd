// Fuzz target: arbitrary bytes as a file, driven through a count, a room check and a sequence of
// reads of reals or of entries (which may be "<X", below a detection limit), every value then formatted
// in each field the programs write.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "textio/fixed_width_writer.h"
#include "textio/free_form_reader.h"

namespace {

// An entry as read must read back the same from its shortest text: a detected value as a real, an entry below
// a limit with its "<"; the limit of y.txt is a positive number, the logged limit of logy.txt any finite one.
void check_entry(textio::FieldForm form, double value, std::uint8_t below) {
  FUZZ_CHECK(std::isfinite(value) && below <= 1);
  if (form == textio::FieldForm::real) FUZZ_CHECK(below == 0);
  if (below != 0 && form == textio::FieldForm::real_or_limit) FUZZ_CHECK(value > 0.0);
  char text[40];
  char* p = text;
  if (below != 0) *p++ = '<';
  p = std::to_chars(p, text + sizeof text, value).ptr;
  textio::FreeFormReader again;
  again.text.assign(text, p);
  double value_again = 0.0;
  std::uint8_t below_again = 9;
  FUZZ_CHECK(textio::read_entries(again, &value_again, &below_again, 1, form) == textio::ReadStatus::ok);
  FUZZ_CHECK(below_again == below && std::memcmp(&value_again, &value, sizeof value) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  textio::FreeFormReader reader;
  reader.path = "fuzz.txt";
  reader.unit = 1;
  reader.text.assign(reinterpret_cast<const char*>(data), size);
  std::int32_t count = 0;
  const textio::ReadStatus count_status = textio::read_count(reader, count, "number of values");
  if (count_status != textio::ReadStatus::ok) {
    FUZZ_CHECK(!textio::describe_read_error(reader, count_status).empty());
    return 0;
  }
  // The count's last digit picks how many values each later read takes (0 to 9), the one before it what a
  // field may hold (reals, entries of y.txt, entries of logy.txt), its size how many reads the room check is
  // asked about.
  const std::size_t per_read = static_cast<std::size_t>(count % 10);
  const textio::FieldForm form = static_cast<textio::FieldForm>(count / 10 % 3);
  const std::size_t start = reader.next;
  reader.what = "value";
  const textio::ReadStatus room = textio::check_room(reader, static_cast<std::uint64_t>(count), per_read, form);
  if (room != textio::ReadStatus::ok) {
    FUZZ_CHECK(reader.error_line >= 1 && !textio::describe_read_error(reader, room).empty());
    return 0;
  }
  FUZZ_CHECK(reader.next == start);  // a file with room is not consumed by the check
  double values[9];
  std::uint8_t below[9];
  char field[64];
  for (int reads = 0; reads < 200; ++reads) {
    const std::size_t before = reader.next;
    std::memset(below, 0, sizeof below);
    const textio::ReadStatus status = form == textio::FieldForm::real
                                          ? textio::read_reals(reader, values, per_read)
                                          : textio::read_entries(reader, values, below, per_read, form);
    if (status != textio::ReadStatus::ok) {
      FUZZ_CHECK(reader.error_line >= 1 && !textio::describe_read_error(reader, status).empty());
      break;
    }
    FUZZ_CHECK(reader.next >= before && reader.next <= reader.text.size());
    for (std::size_t k = 0; k < per_read; ++k) {
      check_entry(form, values[k], below[k]);
      std::memset(field, 0, sizeof field);
      textio::format_free_double(field, values[k]);
      FUZZ_CHECK(std::strlen(field) == textio::free_double_width);
      std::memset(field, 0, sizeof field);
      textio::format_fixed(field, values[k], 10, 3);
      FUZZ_CHECK(std::strlen(field) == 10);
      std::memset(field, 0, sizeof field);
      textio::format_fixed(field, values[k], 11, 7);
      FUZZ_CHECK(std::strlen(field) == 11);
    }
    if (per_read == 0 || reader.next == reader.text.size()) break;
  }
  return 0;
}

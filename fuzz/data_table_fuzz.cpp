// Fuzz target: bytes as a CSV export through bandreport's reading, read whole from memory and again from a
// descriptor in small chunks (the two must agree), then through the naming of the segments' folders.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "bandreport/data_table.h"
#include "bandreport/folder_name.h"
#include "fuzz/fuzz_check.h"

namespace {

bool same_entries(const std::vector<bandreport::Entry>& a, const std::vector<bandreport::Entry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].kind != b[i].kind || std::memcmp(&a[i].value, &b[i].value, sizeof(double)) != 0) return false;
  return true;
}

bool same_tables(const bandreport::DataTable& a, const bandreport::DataTable& b) {
  if (a.segments.size() != b.segments.size()) return false;
  for (std::size_t s = 0; s < a.segments.size(); ++s) {
    const bandreport::Segment &x = a.segments[s], &y = b.segments[s];
    if (x.text != y.text || x.groups != y.groups || x.units != y.units || x.limit != y.limit) return false;
    for (std::size_t g = 0; g < x.entries.size(); ++g)
      if (!same_entries(x.entries[g], y.entries[g])) return false;
  }
  return true;
}

// The export read from a descriptor in reads of `chunk` bytes, so that fields and line ends fall across reads.
std::string read_in_chunks(const std::string& bytes, std::size_t chunk, bandreport::DataTable& table) {
  const int fd = ::memfd_create("export", 0);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
  FUZZ_CHECK(::lseek(fd, 0, SEEK_SET) == 0);
  const std::string problem = bandreport::read_data_stream(fd, "fuzz.csv", table, chunk);
  ::close(fd);
  return problem;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  bandreport::DataTable whole, chunked;
  const std::string problem = bandreport::read_data_text(bytes, "fuzz.csv", whole);
  // Reads of 1 to 64 bytes: short enough that line ends, quotes and the byte-order mark fall across them.
  const std::size_t chunk = 1 + (size > 0 ? data[size - 1] % 64 : 0);
  FUZZ_CHECK(read_in_chunks(bytes, chunk, chunked) == problem);
  // Any text names a folder that stays inside its parent.
  FUZZ_CHECK(bandreport::is_safe_folder_name(bandreport::safe_folder_name(bytes.substr(0, 300))));
  if (!problem.empty()) {
    // One line naming the file: what the batch prints before it stops.
    FUZZ_CHECK(problem.starts_with("bandreport: fuzz.csv") && problem.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(same_tables(whole, chunked));
  FUZZ_CHECK(!whole.segments.empty());
  std::size_t entries = 0;
  std::vector<std::string> texts;
  for (const bandreport::Segment& segment : whole.segments) {
    FUZZ_CHECK(!segment.text.empty() && segment.groups.size() == segment.entries.size());
    FUZZ_CHECK(!segment.limit || (*segment.limit > 0 && std::isfinite(*segment.limit)));
    for (const auto& group : segment.entries)
      for (const bandreport::Entry& entry : group) {
        ++entries;
        FUZZ_CHECK(entry.kind == bandreport::EntryKind::missing || std::isfinite(entry.value));
        FUZZ_CHECK(entry.kind != bandreport::EntryKind::below_limit || entry.value > 0);
      }
    texts.push_back(segment.text);
  }
  FUZZ_CHECK(entries <= size);  // at least one byte of the file per entry: memory follows the input
  const std::vector<std::string> names = bandreport::folder_names(texts, {"summary.csv"});
  std::vector<std::string> folded = {bandreport::folded_case("summary.csv")};
  for (const std::string& name : names) {
    FUZZ_CHECK(bandreport::is_safe_folder_name(name));
    folded.push_back(bandreport::folded_case(name));
  }
  std::sort(folded.begin(), folded.end());
  FUZZ_CHECK(std::adjacent_find(folded.begin(), folded.end()) == folded.end());
  return 0;
}

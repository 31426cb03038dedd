// Record-oriented reading of free-form numbers from a text file.
//
// Each read operation starts on a new line and takes a fixed number of values.
// Values are separated by blanks, tabs, a comma (with or without blanks around
// it) or line ends; a read that runs out of its line continues on the next,
// skipping blank lines, and whatever follows its last value on that line is
// ignored. Lines may end in LF or CR LF.
//
// Reals may be written in integer, decimal or exponent form (exponent letter E,
// e, D or d) with an optional sign; counts must be integers. Null values
// (adjacent commas), repeat counts ("3*1.0") and the slash that ends a read
// early are rejected as syntax errors rather than given a meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace textio {

enum class ReadStatus {
  ok,
  end_of_file,       // the file ended before the read had all its values
  conversion_error,  // a field is not a number of the expected kind, or is out of range
  syntax_error,      // a free-form construct that is not accepted (null value, repeat count, slash)
};

struct FreeFormReader {
  std::string path;          // file name shown in diagnostics
  int unit = 0;              // unit number shown in diagnostics
  std::string text;          // whole contents of the file
  std::size_t next = 0;      // offset of the first byte of the next unread line
  long next_line = 1;        // 1-based number of that line
  long error_line = 0;       // line on which the last failed read stopped
  std::string error_detail;  // what was wrong there
};

// Reads the whole file into `reader`. Returns false with `error` set to the
// system's reason when the file cannot be opened or read; a missing file is
// never created.
bool open_input(FreeFormReader& reader, const std::string& path, int unit, std::string& error);

// One read operation taking `count` integers (signed 32-bit) into values[0..count-1].
ReadStatus read_integers(FreeFormReader& reader, std::int32_t* values, std::size_t count);

// One read operation taking `count` reals into values[0..count-1].
ReadStatus read_reals(FreeFormReader& reader, double* values, std::size_t count);

// One read operation that checks `count` reals exist and are well formed but
// keeps none of them (used when a header promises more than the file holds).
ReadStatus skip_reals(FreeFormReader& reader, std::size_t count);

// Bytes not yet consumed by read operations.
std::size_t bytes_left(const FreeFormReader& reader);

// False when the unread rest of the file is too short to hold `values` more
// values (each takes at least one character and one separator), so that a
// header promising more than the file holds gets no memory reserved for it.
bool can_hold(const FreeFormReader& reader, std::uint64_t values);

// The one-line diagnostic for a failed read, e.g.
// "end-of-file during read, unit 10, file y.txt, line 7: ...".
std::string describe_read_error(const FreeFormReader& reader, ReadStatus status);

}  // namespace textio

// Record-oriented reading of free-form numbers from a text file.
//
// Each read operation starts on a new line and takes a fixed number of values.
// Values are separated by blanks, tabs, a comma (with or without blanks around
// it) or line ends; a read that runs out of its line continues on the next,
// skipping blank lines, and whatever follows its last value on that line is
// ignored. Lines may end in LF or CR LF; a UTF-8 byte-order mark at the start
// of the file is skipped, UTF-16 text is refused with advice to save it as
// plain text.
//
// Reals may be written in integer, decimal or exponent form (exponent letter E,
// e, D or d) with an optional sign; counts must be integers. Conversion does
// not depend on the locale. Null values (adjacent commas), repeat counts
// ("3*1.0") and the slash that ends a read early are refused as unsupported
// input rather than given a meaning.
//
// Where a read takes entries rather than plain reals, a field may also be "<X"
// with no blank after the "<": a result below the detection limit X.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace textio {

enum class ReadStatus {
  ok,
  end_of_file,       // the file ended before the read had all its values
  conversion_error,  // a field is not a number of the expected kind, or is out of range
  syntax_error,      // a free-form construct that is not supported (null value, repeat count, slash)
  negative_count,    // read_count met a count below zero
};

// What a field of a read may hold.
enum class FieldForm {
  real,               // a real
  real_or_limit,      // a real, or <X with X a positive finite real: below the detection limit X (y.txt)
  real_or_log_limit,  // a real, or <v with v a finite real: below the detection limit e^v (logy.txt)
};

struct FreeFormReader {
  std::string path;               // file name shown in diagnostics
  int unit = 0;                   // unit number shown in diagnostics
  std::string what;               // what the next read is for ("row 3 of 5"), shown when the file ends too early
  std::string text;               // whole contents of the file
  int open_error = 0;             // the system's error number when open_input failed, else 0
  std::size_t next = 0;           // offset of the first byte of the next unread line
  long next_line = 1;             // 1-based number of that line
  long error_line = 0;            // line on which the last failed read stopped
  std::string error_detail;       // what was wrong there (for a negative count: "number of rows -2")
  std::size_t values_taken = 0;   // at the end of the file: values the failed read had taken
  std::size_t values_wanted = 0;  // and how many it needed
  long first_overfull_line = 0;   // first line whose last read left text unread on it, 0 if none
  long overfull_lines = 0;        // how many such lines
};

// Reads the whole file into `reader`. Returns false with `message` set to the
// whole diagnostic when the file cannot be opened or read, e.g. "cannot open
// input file y.txt, unit 10: No such file or directory"; `missing_hint` is
// added in parentheses when the file does not exist. A missing file is never created.
bool open_input(FreeFormReader& reader, const std::string& path, int unit, std::string& message,
                std::string_view missing_hint = {});

// One read operation taking `count` integers (signed 32-bit) into values[0..count-1].
ReadStatus read_integers(FreeFormReader& reader, std::int32_t* values, std::size_t count);

// One read operation taking `count` reals into values[0..count-1].
ReadStatus read_reals(FreeFormReader& reader, double* values, std::size_t count);

// One read operation taking `count` entries: a real goes to values[i] with
// below[i] = 0, an entry <X to values[i] = X with below[i] = 1. `form` says
// which entries are accepted; a "<" without its number, with a blank after it,
// or with a number that `form` does not allow is a conversion error.
ReadStatus read_entries(FreeFormReader& reader, double* values, std::uint8_t* below, std::size_t count,
                        FieldForm form = FieldForm::real_or_limit);

// One read of one count that must not be negative; `what` names it ("number of
// groups") in diagnostics, and the reader's `what` becomes "the <what>". A
// negative count gives ReadStatus::negative_count.
ReadStatus read_count(FreeFormReader& reader, std::int32_t& count, std::string_view what);

// Called before memory is reserved for `reads` reads of `values_per_read` reals
// each. Returns ok, consuming nothing, when the rest of the file could hold
// them. Otherwise reads through them without keeping any value until one fails
// and returns that failure, with `what` set to "<what> i of <reads>" (the
// reader's `what` names one read, e.g. "row"; "read" when it is empty).
// `form` is that of the reads to come, so that their fields are judged alike.
ReadStatus check_room(FreeFormReader& reader, std::uint64_t reads, std::uint64_t values_per_read,
                      FieldForm form = FieldForm::real);

// Called after the last read of a file: warns on standard error, at most once
// per kind, when a read left values unread on its last line, and, when
// `after_last` is not empty (e.g. "the last row"), when non-blank lines follow
// the last read. Results and exit status are not affected.
void warn_ignored_input(const FreeFormReader& reader, std::string_view after_last);

// The one-line diagnostic for a failed read, e.g. "end-of-file during read,
// unit 10, file y.txt, line 5: the file ends after line 4 while reading row 3
// of 5 (2 of 3 values read)".
std::string describe_read_error(const FreeFormReader& reader, ReadStatus status);

}  // namespace textio

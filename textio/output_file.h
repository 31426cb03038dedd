// Result files that are replaced whole or not at all.
//
// Records go to a temporary file beside the target, locked while it is written;
// only a successful commit (everything written and forced to the device) renames
// it over the target, then forces the folder entry too. A run that fails or is
// killed before the rename leaves the old file as it was. Every record ends in CR LF.
#pragma once

#include <string>
#include <string_view>

namespace textio {

struct OutputFile {
  std::string path;       // name of the result file
  int unit = 0;           // unit number shown in diagnostics
  std::string temp_path;  // temporary file beside it, until commit
  int fd = -1;            // open, locked descriptor of the temporary file
  std::string buffer;     // records not yet handed to the system
  int error = 0;          // first system error met (errno), 0 while all is well

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // discards a temporary file that was never committed
};

// Creates the temporary file for `path`. Returns false (with `error` set) when
// it cannot be created, e.g. in a directory without write permission.
bool open_output(OutputFile& file, const std::string& path, int unit);

// Appends one record and its CR LF line end. Failures are kept in `error` and
// reported by commit_output.
void write_record(OutputFile& file, std::string_view record);

// Writes what is buffered, forces it to the device and renames it over the
// target, which must be writable for this user if it exists. Returns false with
// `error` set on any failure: before the rename the old target is intact; after
// it (closing, forcing the folder) the target is already the complete new file.
bool commit_output(OutputFile& file);

// "cannot write file out_seg.txt, unit 20: File too large".
std::string describe_output_error(const OutputFile& file);

}  // namespace textio

// Putting a job's input files into its folder before the programs run, each whole or not at all.
#include "bandreport/folder_inputs.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "bandreport/data_table.h"
#include "bandreport/decimal_text.h"
#include "core/files.h"
#include "textio/diagnostics.h"
#include "textio/output_file.h"

namespace bandreport {

namespace {

std::string cannot(const std::string& what, const std::string& name, int error) {
  return "bandreport: cannot " + what + " " + name + ": " + textio::system_message(error);
}

std::string entry_text(const Entry& entry) {
  switch (entry.kind) {
    case EntryKind::measured:
      return shortest_text(entry.value);
    case EntryKind::below_limit:
      return "<" + shortest_text(entry.value);
    case EntryKind::missing:
      break;
  }
  return "-1";  // a negative entry is a missing one
}

// y.txt of a segment: the counts of groups and rows, then row i holding the i-th entry of every group, a group
// that has fewer entries padded with missing ones.
std::string write_table(const std::string& folder, const Segment& segment) {
  textio::OutputFile file;
  if (!textio::open_output(file, folder + "/" + core::table_file, 0))
    return cannot("write", core::table_file, file.error);
  std::size_t rows = 0;
  for (const std::vector<Entry>& group : segment.entries) rows = std::max(rows, group.size());
  textio::write_record(file, std::to_string(segment.entries.size()));
  textio::write_record(file, std::to_string(rows));
  std::string line;
  for (std::size_t i = 0; i < rows; ++i) {
    line.clear();
    for (const std::vector<Entry>& group : segment.entries) {
      if (!line.empty()) line += ' ';
      line += i < group.size() ? entry_text(group[i]) : entry_text(Entry{});
    }
    textio::write_record(file, line);
  }
  if (!textio::commit_output(file)) return cannot("write", core::table_file, file.error);
  return "";
}

std::string write_lines(const std::string& folder, const InputFile& input) {
  textio::OutputFile file;
  if (!textio::open_output(file, folder + "/" + input.name, 0)) return cannot("write", input.name, file.error);
  for (const std::string& line : input.lines) textio::write_record(file, line);
  if (!textio::commit_output(file)) return cannot("write", input.name, file.error);
  return "";
}

std::string make_folder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) return "";
  const int error = errno;
  struct stat info;
  // An entry of that name that is a link or a file is never written through.
  if (error == EEXIST && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "";
  return "bandreport: cannot make the folder: " + textio::system_message(error);
}

}  // namespace

std::string write_replaced_inputs(const FolderJob& job) {
  if (job.make_folder) {
    if (std::string problem = make_folder(job.folder); !problem.empty()) return problem;
  }
  if (job.table) {
    if (std::string problem = write_table(job.folder, *job.table); !problem.empty()) return problem;
  }
  for (const InputFile& input : job.files) {
    if (input.rule == FileRule::replace) {
      if (std::string problem = write_lines(job.folder, input); !problem.empty()) return problem;
    } else if (input.rule == FileRule::remove) {
      if (::unlink((job.folder + "/" + input.name).c_str()) != 0 && errno != ENOENT)
        return cannot("remove", input.name, errno);
    }
  }
  return "";
}

std::string write_missing_inputs(const FolderJob& job) {
  for (const InputFile& input : job.files) {
    struct stat info;
    if (input.rule != FileRule::if_missing || ::lstat((job.folder + "/" + input.name).c_str(), &info) == 0) continue;
    if (std::string problem = write_lines(job.folder, input); !problem.empty()) return problem;
  }
  return "";
}

}  // namespace bandreport

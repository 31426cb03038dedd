// The folders a batch runs in: the DIR operands as given, or with --recursive every folder below them holding y.txt.
#include "bandreport/folder_search.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include "core/files.h"
#include "textio/diagnostics.h"

namespace bandreport {

namespace {

namespace fs = std::filesystem;

bool holds_table(const fs::path& dir) {
  struct stat info;
  return ::stat((dir / core::table_file).c_str(), &info) == 0;
}

FolderJob folder_job(const std::string& folder, const std::string& problem = "") {
  FolderJob job;
  job.folder = folder;
  job.name = folder;
  job.problem = problem;
  return job;
}

// The folders at or below `root` that hold y.txt, and those that could not be listed (with the reason, instead
// of being run: what lies below them is unknown).
void search(const fs::path& root, std::vector<std::pair<fs::path, std::string>>& found) {
  std::vector<fs::path> pending = {root};
  while (!pending.empty()) {
    const fs::path dir = std::move(pending.back());
    pending.pop_back();
    std::error_code failure;
    for (fs::directory_iterator entry(dir, failure), end; !failure && entry != end; entry.increment(failure)) {
      std::error_code ignored;  // an entry that vanished meanwhile is simply not there
      if (entry->symlink_status(ignored).type() == fs::file_type::directory) pending.push_back(entry->path());
    }
    if (failure) {
      found.emplace_back(dir, "bandreport: cannot search the folder: " + textio::system_message(failure.value()));
    } else if (holds_table(dir)) {
      found.emplace_back(dir, "");
    }
  }
}

}  // namespace

std::vector<FolderJob> operand_jobs(const std::vector<std::string>& operands, bool recursive) {
  std::vector<FolderJob> jobs;
  for (const std::string& operand : operands) {
    std::error_code failure;
    if (!recursive || !fs::is_directory(operand, failure)) {
      jobs.push_back(folder_job(operand));
      continue;
    }
    std::vector<std::pair<fs::path, std::string>> found;
    search(operand, found);
    std::sort(found.begin(), found.end());
    if (found.empty()) {
      jobs.push_back(
          folder_job(operand, "bandreport: no " + std::string(core::table_file) + " in this folder or below"));
    }
    for (const auto& [path, problem] : found) jobs.push_back(folder_job(path.string(), problem));
  }
  return jobs;
}

}  // namespace bandreport

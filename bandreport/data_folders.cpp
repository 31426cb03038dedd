// The folders of a spreadsheet export: one job per segment, in a folder named after it under the output folder.
#include "bandreport/data_folders.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "bandreport/folder_name.h"
#include "bandreport/settings_file.h"
#include "core/files.h"
#include "textio/diagnostics.h"

namespace bandreport {

std::string plan_data_folders(const DataTable& table, const DataFolderSetup& setup, std::vector<FolderJob>& jobs) {
  struct stat info;
  if (::stat(setup.out_dir.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) return "bandreport: " + setup.out_dir + " is not a folder";
  } else if (errno != ENOENT) {
    return "bandreport: cannot use " + setup.out_dir + ": " + textio::system_message(errno);
  }
  std::vector<std::string> texts;
  for (const Segment& segment : table.segments) texts.push_back(segment.text);
  const std::vector<std::string> names = folder_names(texts, setup.taken);

  jobs.clear();
  for (std::size_t i = 0; i < table.segments.size(); ++i) {
    const Segment& segment = table.segments[i];
    FolderJob job;
    job.folder = (std::filesystem::path(setup.out_dir) / names[i]).string();
    job.name = segment.text;
    job.make_folder = true;
    job.table = &segment;
    if (::lstat(job.folder.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
      return "bandreport: " + job.folder + " is there but not a folder, so segment \"" + segment.text +
             "\" cannot have it";
    job.files.push_back({core::settings_file,
                         segment.limit ? settings_with_limit(setup.settings, *segment.limit) : setup.settings,
                         FileRule::replace});
    const std::string& units = segment.units.empty() ? setup.units : segment.units;
    if (units.empty()) {
      job.files.push_back({core::units_file, {}, FileRule::remove});
    } else {
      job.files.push_back({core::units_file, {units}, FileRule::replace});
    }
    jobs.push_back(std::move(job));
  }
  return "";
}

}  // namespace bandreport

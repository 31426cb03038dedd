// The jobs of a batch as the command line asks: the folders of a CSV export, or the DIR operands.
#include "bandreport/batch_jobs.h"

#include <filesystem>

#include "bandreport/data_folders.h"
#include "bandreport/folder_search.h"
#include "bandreport/settings_file.h"
#include "core/files.h"

namespace bandreport {

std::string batch_jobs(const Options& options, DataTable& table, std::vector<FolderJob>& jobs) {
  std::vector<std::string> settings;
  if (!options.settings.empty()) {
    if (std::string problem = read_settings_file(options.settings, settings); !problem.empty()) return problem;
  }
  if (options.data.empty()) {
    jobs = operand_jobs(options.folders, options.recursive);
    for (FolderJob& job : jobs) {
      if (!options.settings.empty()) job.files.push_back({core::settings_file, settings, FileRule::if_missing});
      if (!options.units.empty()) job.files.push_back({core::units_file, {options.units}, FileRule::if_missing});
    }
    return "";
  }
  if (std::string problem = read_data_file(options.data, table); !problem.empty()) return problem;
  DataFolderSetup setup{options.out, settings, options.units, {}};
  // No segment's folder may take the summary's name, wherever the summary goes.
  if (options.summary != "-") setup.taken.push_back(std::filesystem::path(options.summary).filename().string());
  setup.taken.push_back("index.html");  // nor the overview page's, which goes beside the summary
  return plan_data_folders(table, setup, jobs);
}

}  // namespace bandreport

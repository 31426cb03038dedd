// One folder of a batch: where it is, what the reports call it, and the input files put into it before its run.
#pragma once

#include <string>
#include <vector>

namespace bandreport {

struct Segment;

enum class FileRule {
  replace,     // written whether or not the folder holds the file
  if_missing,  // written only where the folder has no such file of its own
  remove,      // removed when present (a file an earlier run left that no longer applies)
};

struct InputFile {
  std::string name;                // in the folder, e.g. "in_bayes.txt"
  std::vector<std::string> lines;  // written each with CR LF, like every file of the pipeline
  FileRule rule = FileRule::replace;
};

struct FolderJob {
  std::string folder;              // path of the folder
  std::string name;                // shown in the reports and the summary: the folder as given, or the segment
  std::string problem;             // when set, the folder fails with this diagnostic and nothing is written to it
  bool make_folder = false;        // create the folder first (a folder of --data)
  const Segment* table = nullptr;  // y.txt is written from this segment first (--data); owned by the caller
  std::vector<InputFile> files;    // written before the programs run, by their rules
};

}  // namespace bandreport

// The --settings file: read and checked once, then copied into folders, with a segment's own limit put in.
#pragma once

#include <string>
#include <vector>

namespace bandreport {

// Reads the file at `path` into `lines` (without their line ends) after checking that it holds the four reads
// of in_bayes.txt. Returns an empty string, or the diagnostic.
std::string read_settings_file(const std::string& path, std::vector<std::string>& lines);

// The settings `lines` with their first value, the limit, written as `limit`; the rest as it was.
std::vector<std::string> settings_with_limit(std::vector<std::string> lines, double limit);

}  // namespace bandreport

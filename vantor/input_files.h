// Reading vantor's input files: the values "logy.txt" and the settings "in_bayes.txt".
//
// Every function returns an empty string on success, otherwise the one-line diagnostic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textio/free_form_reader.h"
#include "vantor/settings.h"

namespace vantor {

// The count n, then n reads of one value each into `values`. A negative count is refused.
std::string read_values(textio::FreeFormReader& reader, std::vector<double>& values);

// The same, where a value may also be an entry <v below a detection limit, v the log of the limit as cardel
// writes it (any finite number): values[i] = v and below[i] = 1 for it, below[i] = 0 for a detected value.
std::string read_values(textio::FreeFormReader& reader, std::vector<double>& values, std::vector<std::uint8_t>& below);

// The four reads of the settings, with the lines each came from.
std::string read_settings(textio::FreeFormReader& reader, Settings& settings);

// The same, from the files themselves.
std::string read_values_file(std::vector<double>& values);
std::string read_values_file(std::vector<double>& values, std::vector<std::uint8_t>& below);
std::string read_settings_file(Settings& settings);

}  // namespace vantor

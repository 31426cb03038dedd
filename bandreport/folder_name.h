// Folder names made from segment texts: safe on every common file system, and distinct even where case is ignored.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bandreport {

// Bytes in a folder name at most, suffix included.
constexpr std::size_t folder_name_limit = 100;

// `text` as a folder name: characters that some file system refuses (/ \ < > : " | ? * and control characters)
// become _, leading and trailing dots and blanks go, a reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
// with or without an extension, any case) gets _ after its stem, the name is cut to folder_name_limit bytes at a
// character boundary, and an empty name becomes _. Bytes that are not UTF-8 become U+FFFD first.
std::string safe_folder_name(std::string_view text);

// A folder name for each text, in order: safe_folder_name, with -2, -3, ... added to a name that an earlier one
// or one of `taken` already has when case is ignored.
std::vector<std::string> folder_names(const std::vector<std::string>& texts, const std::vector<std::string>& taken);

// True when `name` is a name safe_folder_name can give: no file system refuses it and it stays inside its folder.
bool is_safe_folder_name(std::string_view name);

// `name` with Latin, Greek and Cyrillic letters in lower case, for comparing names as file systems that ignore
// case do.
std::string folded_case(std::string_view name);

}  // namespace bandreport

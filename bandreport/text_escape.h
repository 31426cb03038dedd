// Turning untrusted text (folder names, program messages, file contents) into safe HTML, CSV and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace bandreport {

// `text` with every byte sequence that is not well-formed UTF-8 replaced by U+FFFD.
std::string valid_utf8(std::string_view text);

// `text` as HTML character data or attribute value: valid UTF-8, markup
// characters as entities, control characters other than tab dropped.
std::string html_escape(std::string_view text);

// One CSV field: quoted (with inner quotes doubled) when it holds a comma, a
// quote, a line end or leading/trailing blanks; otherwise as it is.
std::string csv_field(std::string_view text);

// `text` without leading and trailing blanks, tabs and line ends.
std::string_view trim(std::string_view text);

}  // namespace bandreport

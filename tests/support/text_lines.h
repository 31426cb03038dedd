// Text helpers of the tests: lines split apart and trimmed, arguments quoted for the shell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// `text` without leading and trailing blanks, tabs and line ends.
std::string trim(std::string_view text);

// The lines of `text` without their '\n' (a '\r' before it stays); no line
// after a final '\n'.
std::vector<std::string> split_lines(std::string_view text);

// `arg` in single quotes, as one word for the shell whatever it holds.
std::string shell_quoted(std::string_view arg);

}  // namespace test_support

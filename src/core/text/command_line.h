// Picks the file to open at start out of the process command line.
#pragma once

#include <string>
#include <string_view>

namespace murkel {

// The bytes between the third and the fourth double quote among the first 256
// bytes of the command line: the second quoted item after the quoted program
// path. Empty when there is no such item. The command line is first cut to 259
// bytes (and at an embedded zero byte); with only three quotes seen the result
// is empty.
[[nodiscard]] std::string command_line_file_name(std::string_view command_line);
// The same over the wide command line, counted in its units (UTF-16 on Windows).
[[nodiscard]] std::wstring command_line_file_name(std::wstring_view command_line);

}  // namespace murkel

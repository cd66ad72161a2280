// The one boundary between the editor's UTF-16 texts and the 8-bit texts of
// the core and the network (numbers, status fields, version texts, host
// names), which are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace murkel {

[[nodiscard]] std::wstring from_utf8(std::string_view text);
[[nodiscard]] std::string to_utf8(std::wstring_view text);

}  // namespace murkel

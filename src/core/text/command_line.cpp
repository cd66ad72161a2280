// Quote scan of the command line: the second quoted item names the start-up file.
#include "core/text/command_line.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace murkel {

namespace {

constexpr std::size_t kCopySize = 260;   // command-line copy, terminator included
constexpr std::size_t kScanLength = 256; // positions 0..255 are scanned

// The same rule over bytes and over UTF-16 units.
template <typename Char>
std::basic_string<Char> file_name_between_quotes(std::basic_string_view<Char> command_line) {
  constexpr Char kQuote = '"';
  // Zero-filled copy; a longer command line is cut to 259 characters, and a
  // zero ends it as it ends a C string.
  std::array<Char, kCopySize> copy{};
  const std::size_t zero = command_line.find(Char{0});
  const std::size_t length =
      std::min({command_line.size(), zero == std::basic_string_view<Char>::npos ? command_line.size() : zero,
                kCopySize - 1});
  std::copy_n(command_line.data(), length, copy.begin());

  // Positions of the first four quotes; later quotes are ignored.
  std::array<std::uint8_t, 4> quote_position{};
  std::uint8_t quote_count = 0;
  for (std::size_t i = 0; i < kScanLength; ++i) {
    if (copy[i] == kQuote && quote_count < quote_position.size()) {
      quote_position[quote_count] = static_cast<std::uint8_t>(i);
      ++quote_count;
    }
  }

  // With exactly three quotes there is no closing quote: no file.
  if (quote_position[2] == 0 || quote_count < 4) return {};
  const std::size_t first = std::size_t{quote_position[2]} + 1;
  const std::size_t count = std::size_t{quote_position[3]} - first;
  return std::basic_string<Char>(copy.data() + first, count);
}

}  // namespace

std::string command_line_file_name(std::string_view command_line) { return file_name_between_quotes(command_line); }

std::wstring command_line_file_name(std::wstring_view command_line) { return file_name_between_quotes(command_line); }

}  // namespace murkel

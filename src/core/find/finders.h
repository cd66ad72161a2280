// The matchers of each kind, over one line's text; each gives byte ranges of that text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/find/text_finder.h"

namespace murkel::find {

struct Hit {
  FoundKind kind;
  std::size_t begin;
  std::size_t end;
};

// The text with l I | O o S B read as the digits 1 1 1 0 0 5 8 where they stand in number-like
// text ("4l11", "555-Ol32", "192.168.l.1"); the length and every other byte stay.
[[nodiscard]] std::string read_misread_digits(std::string text);

// Card numbers, phone numbers and IP addresses in text whose misread digits were read.
[[nodiscard]] std::vector<Hit> find_numbers(std::string_view text);

[[nodiscard]] std::vector<Hit> find_emails(std::string_view text);

// Keys with a well-known prefix, and long random-looking tokens.
[[nodiscard]] std::vector<Hit> find_keys(std::string_view text);

// The lines of a PEM private key: its BEGIN and END lines, its base64 body and its headers.
[[nodiscard]] bool is_pem_begin(std::string_view line);
[[nodiscard]] bool is_pem_end(std::string_view line);
[[nodiscard]] bool is_pem_body(std::string_view line);
[[nodiscard]] bool is_pem_header(std::string_view line);

struct CharSpan {
  std::size_t begin;
  std::size_t end;
};

// Where `word` stands in `line` (both folded to lower case), one wrong, missing or extra character
// allowed per eight of the word's, also inside longer words.
[[nodiscard]] std::vector<CharSpan> find_word(std::u32string_view line, std::u32string_view word);

}  // namespace murkel::find

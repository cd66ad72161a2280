// A line of OCR words as one normalised text in which every byte knows the word it came from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/find/text_finder.h"

namespace murkel::find {

struct LineText {
  std::string text;        // UTF-8
  std::vector<int> owner;  // per byte of `text`: the index of its word, or -1 for a space put between words
};

// Puts the words (left to right) together with a space between them, except where the OCR split one
// word: a gap far narrower than a space, or Japanese on both sides (it has no spaces). With
// `glue_punctuation` also none beside . @ _ - /, where the OCR often cuts an address or a key.
[[nodiscard]] LineText join_words(const std::vector<const OcrWord*>& words, bool glue_punctuation);

// Full-width ASCII made half-width, the ideographic space a space, dashes and the minus sign a
// hyphen, control characters spaces; bad UTF-8 reads as U+FFFD.
[[nodiscard]] std::u32string normalised_chars(std::string_view utf8);

[[nodiscard]] std::string to_utf8(std::u32string_view chars);

}  // namespace murkel::find

// Words of one OCR line put together as one text, normalised, each byte mapped to its word.
#include "core/find/line_text.h"

#include <algorithm>
#include <cstdint>

namespace murkel::find {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Japanese and Chinese script, where words are not separated by spaces.
bool is_cjk(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF61 && c <= 0xFF9F) ||
         c >= 0x20000;
}

// Where OCR often cuts an e-mail address, a host name or a key in two.
bool is_glue(char32_t c) { return c == U'.' || c == U'@' || c == U'_' || c == U'-' || c == U'/'; }

char32_t normalised(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFEE0;  // full-width ASCII
  if (c == 0x3000 || c < 0x20 || c == 0x7F) return U' ';
  if ((c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFE63) return U'-';
  return c;
}

// Whether two neighbouring words are one word that the OCR split.
bool split_by_ocr(const OcrWord& left, char32_t last, const OcrWord& right, char32_t first, bool glue_punctuation) {
  const std::int64_t gap = std::int64_t{right.box.left} - left.box.right;
  const std::int64_t height = std::max(left.box.height(), right.box.height());
  if (gap * 5 < height) return true;
  if (is_cjk(last) && is_cjk(first)) return true;
  // An IPv6 address's "::" reads as a gap between two words ending and starting with a colon.
  return glue_punctuation && (is_glue(last) || is_glue(first) || (last == U':' && first == U':'));
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::u32string normalised_chars(std::string_view utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool good = length > 0 && i + length <= utf8.size();
    for (int k = 1; good && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      good = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    good = good && !(length == 3 && c < 0x800) && !(length == 4 && (c < 0x10000 || c > 0x10FFFF)) &&
           !(c >= 0xD800 && c <= 0xDFFF);
    out += good ? normalised(c) : kReplacement;
    i += good ? length : 1;
  }
  return out;
}

std::string to_utf8(std::u32string_view chars) {
  std::string out;
  for (char32_t c : chars) append_utf8(out, c);
  return out;
}

LineText join_words(const std::vector<const OcrWord*>& words, bool glue_punctuation) {
  std::u32string chars;
  std::vector<int> owner;
  const OcrWord* previous = nullptr;
  for (std::size_t w = 0; w < words.size(); ++w) {
    const std::u32string word = normalised_chars(words[w]->text);
    if (word.empty()) continue;
    if (previous && !split_by_ocr(*previous, chars.back(), *words[w], word.front(), glue_punctuation)) {
      chars += U' ';
      owner.push_back(-1);
    }
    chars += word;
    owner.insert(owner.end(), word.size(), static_cast<int>(w));
    previous = words[w];
  }
  // A long-vowel mark or the kanji for one between digits is a hyphen misread (090ー1234ー5678).
  for (std::size_t i = 1; i + 1 < chars.size(); ++i) {
    if ((chars[i] == U'ー' || chars[i] == U'一') && is_ascii_digit(chars[i - 1]) && is_ascii_digit(chars[i + 1]))
      chars[i] = U'-';
  }
  LineText line;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    append_utf8(line.text, chars[i]);
    line.owner.resize(line.text.size(), owner[i]);
  }
  return line;
}

}  // namespace murkel::find

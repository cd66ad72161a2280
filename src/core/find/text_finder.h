// Finding what to hide in a picture's text: OCR words with their boxes in, found items (e-mail
// addresses, phone and card numbers, IP addresses, keys, named words, expressions) with boxes out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/pixels.h"

namespace murkel {

// One word as the OCR read it.
struct OcrWord {
  std::string text;        // UTF-8
  Rect box;                // picture pixels, right and bottom exclusive
  int line = 0;            // shared by the words of one text line; lines numbered in reading order
  float confidence = 0;    // 0..100; the matcher takes every word it is given
};

enum class FoundKind { email, phone, card, ip, key, text, regex };

struct FoundItem {
  FoundKind kind = FoundKind::text;
  Rect box;          // the union of the words it touches, grown by 2 pixels, within the picture
  std::string text;  // as read, full-width letters and digits made half-width
  friend bool operator==(const FoundItem&, const FoundItem&) = default;
};

struct FindKinds {
  bool email = false;
  bool phone = false;
  bool card = false;
  bool ip = false;
  bool key = false;
  friend bool operator==(const FindKinds&, const FindKinds&) = default;
};

// Kinds given in two lists add up.
[[nodiscard]] constexpr FindKinds operator|(FindKinds a, FindKinds b) {
  return {a.email || b.email, a.phone || b.phone, a.card || b.card, a.ip || b.ip, a.key || b.key};
}

// A line's text is its words with one space between them, none where the OCR split a word (a gap
// far narrower than a space) or between Japanese characters; full-width ASCII made half-width.
struct FindRequest {
  FindKinds kinds;
  std::vector<std::string> texts;    // words to find (UTF-8): in any letter case, also inside longer
                                     // words, one wrong, missing or extra character per eight allowed
  std::vector<std::string> regexes;  // ECMAScript (UTF-8, letter case as written), matched against
                                     // each line's text; an item covers the words a match touches
};

// "email", "phone", "card", "ip", "key", "text", "regex".
[[nodiscard]] std::string_view kind_name(FoundKind kind);

struct KindList {
  FindKinds kinds;
  std::string error;  // empty when the list was good; then `kinds` holds it
};

// Reads "email,phone,card,ip,key,all" (any subset, any letter case, spaces around the commas).
// The error is one line naming the bad kind, fit to follow "bad value ... for --find: ".
[[nodiscard]] KindList parse_find_kinds(std::string_view list);

// Empty when the word can be looked for; otherwise why not (it is empty or blank).
[[nodiscard]] std::string find_text_error(std::string_view text);

// Empty when the expression can be used; otherwise why not, in one line.
[[nodiscard]] std::string find_regex_error(const std::string& pattern);

// Everything the request asks for, in reading order (line, then left). An item found by several
// kinds, or lying inside the box of an item of the same or a more specific kind, is given once; the
// kinds from the most specific: key, card, email, phone, ip, text, regex. Never throws for bad input:
// empty words and bad expressions find nothing.
[[nodiscard]] std::vector<FoundItem> find_items(const std::vector<OcrWord>& words, const FindRequest& request,
                                                std::int32_t picture_width, std::int32_t picture_height);

}  // namespace murkel

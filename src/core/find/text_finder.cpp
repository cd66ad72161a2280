// From OCR words to the items to hide: each line's text, the finders of each kind, boxes and order.
#include "core/find/text_finder.h"

#include <algorithm>
#include <map>

#include "core/find/finders.h"
#include "core/find/line_text.h"
#include "core/find/std_regex.h"

namespace murkel {
namespace {

using find::LineText;

constexpr std::int32_t kGrow = 2;
constexpr const char* kKindChoices = "(expected email, phone, card, ip, key or all)";

// Of two items with one box, the one of the more specific kind stays.
int specificity(FoundKind kind) {
  switch (kind) {
    case FoundKind::key: return 0;
    case FoundKind::card: return 1;
    case FoundKind::email: return 2;
    case FoundKind::phone: return 3;
    case FoundKind::ip: return 4;
    case FoundKind::text: return 5;
    case FoundKind::regex: return 6;
  }
  return 7;
}

bool inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::u32string folded(std::u32string text) {
  for (char32_t& c : text)
    if (c >= U'A' && c <= U'Z') c += 32;
  return text;
}

// A word to find as the lines are read: normalised, folded, its spaces single.
std::u32string word_to_find(std::string_view text) {
  std::u32string word;
  for (char32_t c : folded(find::normalised_chars(text)))
    if (c != U' ' || (!word.empty() && word.back() != U' ')) word += c;
  if (!word.empty() && word.back() == U' ') word.pop_back();
  return word;
}

std::string regex_problem(std::regex_constants::error_type code) {
  namespace rc = std::regex_constants;
  if (code == rc::error_paren) return "unmatched parenthesis";
  if (code == rc::error_brack) return "unmatched bracket";
  if (code == rc::error_brace) return "unmatched brace";
  if (code == rc::error_badbrace) return "bad repeat count in braces";
  if (code == rc::error_range) return "bad character range";
  if (code == rc::error_escape) return "bad escape";
  if (code == rc::error_badrepeat) return "nothing to repeat";
  if (code == rc::error_ctype) return "unknown character class";
  if (code == rc::error_collate) return "unknown collating element";
  if (code == rc::error_backref) return "bad back-reference";
  return "too complex";
}

struct Found {
  FoundItem item;
  int line;
};

bool token_characters(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-' ||
           c == '=' || c == '+' || c == '/';
  });
}

bool ends_with_folded(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [&](char a, char b) { return fold(a) == fold(b); });
}

// The middle of the gaps between the words of a line: a word space of its font.
std::int64_t word_space(const std::vector<const OcrWord*>& words) {
  std::vector<std::int64_t> gaps;
  for (std::size_t i = 1; i < words.size(); ++i)
    if (words[i]->box.left >= words[i - 1]->box.right) gaps.push_back(words[i]->box.left - words[i - 1]->box.right);
  if (gaps.empty()) return 0;
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
  return gaps[gaps.size() / 2];
}

// Whether `word`, next to a key's word `neighbour`, is part of the key that
// the OCR cut off: made of the characters keys are made of, and closer than
// the line's word space (a wide gap of a monospace font), or the "sk" of a
// "sk_live_" whose underscore was read as a space.
bool cut_from_key(const OcrWord& word, const OcrWord& neighbour, std::int64_t space) {
  if (!token_characters(word.text)) return false;
  const bool before = word.box.right <= neighbour.box.left;
  const std::int64_t gap = before ? std::int64_t{neighbour.box.left} - word.box.right
                                  : std::int64_t{word.box.left} - neighbour.box.right;
  if (gap < 0) return false;
  // A piece of a key mixes letter cases, digits or signs; "key" or "AWS" before a key do not.
  const std::string& text = word.text;
  bool mixed = text.size() <= 2;
  for (std::size_t i = 0; i < text.size() && !mixed; ++i) {
    const char c = text[i];
    mixed = (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '=' || c == '+' || c == '/' ||
            (i > 0 && c >= 'A' && c <= 'Z' && text[i - 1] >= 'a' && text[i - 1] <= 'z');
  }
  const std::int64_t height = std::max(word.box.height(), neighbour.box.height());
  if (mixed && (gap * 2 < height || gap * 4 < space * 3)) return true;
  const std::string& after = before ? neighbour.text : word.text;
  const std::string& first = before ? word.text : neighbour.text;
  const bool live = ends_with_folded(std::string_view(after).substr(0, 4), "live") ||
                    ends_with_folded(std::string_view(after).substr(0, 4), "test");
  return live && (ends_with_folded(first, "sk") || ends_with_folded(first, "pk") || ends_with_folded(first, "rk"));
}

// Collects the items of one line from byte ranges of its texts.
class LineItems {
 public:
  LineItems(const std::vector<const OcrWord*>& words, int line, std::int32_t width, std::int32_t height,
            std::vector<Found>& out)
      : words_(words), line_(line), width_(width), height_(height), out_(out) {}

  void add(FoundKind kind, const LineText& text, std::size_t begin, std::size_t end) {
    int first = -1, last = -1;
    for (std::size_t i = begin; i < end && i < text.owner.size(); ++i) {
      if (text.owner[i] < 0) continue;
      first = first < 0 ? text.owner[i] : std::min(first, text.owner[i]);
      last = std::max(last, text.owner[i]);
    }
    if (first < 0) return;
    // A key's letters may stand in words the OCR cut apart at a misread
    // underscore or a wide monospace gap: the key takes them too.
    if (kind == FoundKind::key) {
      const std::int64_t space = word_space(words_);
      while (first > 0 && cut_from_key(*words_[first - 1], *words_[first], space)) --first;
      while (last + 1 < static_cast<int>(words_.size()) && cut_from_key(*words_[last + 1], *words_[last], space)) ++last;
    }
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (int w = first; w <= last; ++w) {
      const Rect& box = words_[static_cast<std::size_t>(w)]->box;
      left = any ? std::min<std::int64_t>(left, box.left) : box.left;
      top = any ? std::min<std::int64_t>(top, box.top) : box.top;
      right = any ? std::max<std::int64_t>(right, box.right) : box.right;
      bottom = any ? std::max<std::int64_t>(bottom, box.bottom) : box.bottom;
      any = true;
    }
    auto clamp = [](std::int64_t v, std::int32_t high) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, high));
    };
    const Rect box{clamp(left - kGrow, width_), clamp(top - kGrow, height_), clamp(right + kGrow, width_),
                   clamp(bottom + kGrow, height_)};
    if (!any || box.empty()) return;
    const std::string_view matched = trimmed(std::string_view(text.text).substr(begin, end - begin));
    out_.push_back({FoundItem{kind, box, std::string(matched)}, line_});
  }

 private:
  const std::vector<const OcrWord*>& words_;
  int line_;
  std::int32_t width_, height_;
  std::vector<Found>& out_;
};

bool wanted(const FindKinds& kinds, FoundKind kind) {
  switch (kind) {
    case FoundKind::email: return kinds.email;
    case FoundKind::phone: return kinds.phone;
    case FoundKind::card: return kinds.card;
    case FoundKind::ip: return kinds.ip;
    case FoundKind::key: return kinds.key;
    default: return false;
  }
}

void find_regex(const std::regex& re, const LineText& line, LineItems& items) {
  const std::string& text = line.text;
  auto flags = std::regex_constants::match_default;
  std::smatch match;
  for (auto from = text.cbegin(); from != text.cend();) {
    try {
      if (!std::regex_search(from, text.cend(), match, re, flags)) return;
    } catch (const std::regex_error&) {
      return;  // too complex for this line
    }
    const auto begin = static_cast<std::size_t>(match[0].first - text.cbegin());
    const auto end = static_cast<std::size_t>(match[0].second - text.cbegin());
    if (end > begin) items.add(FoundKind::regex, line, begin, end);
    from = text.cbegin() + static_cast<std::ptrdiff_t>(end > begin ? end : begin + 1);
    flags |= std::regex_constants::match_prev_avail;
  }
}

void find_text(const std::u32string& word, const LineText& line, LineItems& items) {
  // The line in characters, each knowing where its bytes start.
  std::u32string chars = folded(find::normalised_chars(line.text));
  std::vector<std::size_t> byte_of;
  for (std::size_t i = 0; i < line.text.size(); ++i)
    if ((static_cast<unsigned char>(line.text[i]) & 0xC0) != 0x80) byte_of.push_back(i);
  byte_of.push_back(line.text.size());
  if (byte_of.size() != chars.size() + 1) return;  // the line text is valid UTF-8 by making
  for (const find::CharSpan& span : find::find_word(chars, word))
    items.add(FoundKind::text, line, byte_of[span.begin], byte_of[span.end]);
}

}  // namespace

std::string_view kind_name(FoundKind kind) {
  switch (kind) {
    case FoundKind::email: return "email";
    case FoundKind::phone: return "phone";
    case FoundKind::card: return "card";
    case FoundKind::ip: return "ip";
    case FoundKind::key: return "key";
    case FoundKind::text: return "text";
    case FoundKind::regex: return "regex";
  }
  return "text";
}

KindList parse_find_kinds(std::string_view list) {
  KindList result;
  if (trimmed(list).empty()) {
    result.error = std::string("no kind given ") + kKindChoices;
    return result;
  }
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    std::string name(trimmed(list.substr(start, comma - start)));
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    FindKinds& k = result.kinds;
    if (name == "email") k.email = true;
    else if (name == "phone") k.phone = true;
    else if (name == "card") k.card = true;
    else if (name == "ip") k.ip = true;
    else if (name == "key") k.key = true;
    else if (name == "all") k = FindKinds{true, true, true, true, true};
    else {
      result.kinds = {};
      result.error = (name.empty() ? std::string("empty kind ") : "unknown kind \"" + name + "\" ") + kKindChoices;
      return result;
    }
    start = comma + 1;
  }
  return result;
}

std::string find_text_error(std::string_view text) {
  return word_to_find(text).empty() ? "empty word" : "";
}

std::string find_regex_error(const std::string& pattern) {
  if (pattern.empty()) return "empty regular expression";
  try {
    const std::regex re(pattern, std::regex_constants::ECMAScript);
  } catch (const std::regex_error& e) {
    return "not a valid regular expression: " + regex_problem(e.code());
  }
  return "";
}

std::vector<FoundItem> find_items(const std::vector<OcrWord>& words, const FindRequest& request,
                                  std::int32_t picture_width, std::int32_t picture_height) {
  std::map<int, std::vector<const OcrWord*>> lines;
  for (const OcrWord& word : words)
    if (!word.text.empty()) lines[word.line].push_back(&word);

  std::vector<std::u32string> texts;
  for (const std::string& text : request.texts)
    if (std::u32string word = word_to_find(text); !word.empty()) texts.push_back(std::move(word));
  std::vector<std::regex> regexes;
  for (const std::string& pattern : request.regexes) {
    try {
      if (!pattern.empty()) regexes.emplace_back(pattern, std::regex_constants::ECMAScript);
    } catch (const std::regex_error&) {
      // find_regex_error tells the user; a bad expression finds nothing
    }
  }

  std::vector<Found> found;
  bool in_private_key = false;
  for (auto& [line, line_words] : lines) {
    std::stable_sort(line_words.begin(), line_words.end(),
                     [](const OcrWord* a, const OcrWord* b) { return a->box.left < b->box.left; });
    LineItems items(line_words, line, picture_width, picture_height, found);
    const LineText spaced = find::join_words(line_words, false);
    const LineText glued = find::join_words(line_words, true);

    // Numbers and addresses are matched in the glued text, which has the same bytes as the one
    // with misread digits read.
    if (request.kinds != FindKinds{}) {
      std::vector<find::Hit> hits = find::find_numbers(find::read_misread_digits(glued.text));
      for (const find::Hit& hit : find::find_emails(glued.text)) hits.push_back(hit);
      for (const find::Hit& hit : find::find_keys(glued.text)) hits.push_back(hit);
      for (const find::Hit& hit : hits)
        if (wanted(request.kinds, hit.kind)) items.add(hit.kind, glued, hit.begin, hit.end);
    }

    // A PEM private key: its BEGIN line, then every line until END, headers left visible.
    if (request.kinds.key && in_private_key) {
      const bool ends = find::is_pem_end(glued.text);
      if (ends || find::is_pem_body(glued.text)) items.add(FoundKind::key, glued, 0, glued.text.size());
      else if (!find::is_pem_header(glued.text)) in_private_key = false;
      if (ends) in_private_key = false;
    } else if (request.kinds.key && find::is_pem_begin(glued.text)) {
      items.add(FoundKind::key, glued, 0, glued.text.size());
      in_private_key = true;
    }

    for (const std::u32string& word : texts) find_text(word, spaced, items);
    for (const std::regex& re : regexes) find_regex(re, spaced, items);
  }

  // One item for one box: the most specific kind first, of one kind the largest box and the longest
  // text, then whatever no kept box holds.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    const auto area = [](const Rect& r) { return r.width() * r.height(); };
    if (a.item.kind != b.item.kind) return specificity(a.item.kind) < specificity(b.item.kind);
    if (area(a.item.box) != area(b.item.box)) return area(a.item.box) > area(b.item.box);
    return a.item.text.size() > b.item.text.size();
  });
  std::vector<Found> kept;
  for (Found& f : found) {
    const bool covered =
        std::any_of(kept.begin(), kept.end(), [&](const Found& k) { return inside(f.item.box, k.item.box); });
    if (!covered) kept.push_back(std::move(f));
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Found& a, const Found& b) {
    if (a.line != b.line) return a.line < b.line;
    if (a.item.box.left != b.item.box.left) return a.item.box.left < b.item.box.left;
    return a.item.box.top < b.item.box.top;
  });
  std::vector<FoundItem> items;
  for (Found& f : kept) items.push_back(std::move(f.item));
  return items;
}

}  // namespace murkel

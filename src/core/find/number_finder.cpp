// Card numbers, phone numbers and IP addresses: digit groups read from the line, then judged by shape.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/find/finders.h"

namespace murkel::find {
namespace {

constexpr auto npos = std::string_view::npos;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_alnum(char c) { return is_digit(c) || is_letter(c); }
bool is_hex(char c) { return is_digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The digit an OCR misread stands for, or 0.
char misread_digit(char c) {
  switch (c) {
    case 'l': case 'I': case '|': return '1';
    case 'O': case 'o': return '0';
    case 'S': return '5';
    case 'B': return '8';
    default: return 0;
  }
}

// Digits of one group with its parentheses, "(415)", and what stands between it and the group before.
struct Group {
  std::size_t begin = 0, end = 0;            // the digits
  std::size_t span_begin = 0, span_end = 0;  // with the parentheses
  bool parens = false;
  char sep = 0;           // before it: '-' or '.' (spaces around allowed), ' ', or 0 after a parenthesis
  bool bare_sep = false;  // the separator is that one character alone
  std::size_t size() const { return end - begin; }
};

// Groups that follow each other with at most one separator between two; a leading "+" is noted.
struct Run {
  std::size_t begin = 0;  // at the "+" when there is one
  bool plus = false;
  std::vector<Group> groups;
};

// A group at `p`: digits, in parentheses or not, not glued to a letter ("0132ext", "v1").
bool group_at(std::string_view text, std::size_t p, Group& group) {
  group = Group{};
  group.span_begin = p;
  group.parens = p < text.size() && text[p] == '(';
  group.begin = group.end = p + (group.parens ? 1 : 0);
  while (group.end < text.size() && is_digit(text[group.end])) ++group.end;
  if (group.end == group.begin) return false;
  group.span_end = group.end;
  if (group.parens) {
    if (group.span_end >= text.size() || text[group.span_end] != ')') return false;
    ++group.span_end;
  }
  return group.span_end >= text.size() || !is_letter(text[group.span_end]);
}

// The separator after `p` ("-", " ", ".", " - ", or none after a parenthesis) and a group after it.
bool next_group(std::string_view text, std::size_t p, bool after_parens, Group& group) {
  std::size_t q = p;
  if (q < text.size() && text[q] == ' ') ++q;
  char sep = q > p ? ' ' : 0;
  if (q < text.size() && (text[q] == '-' || text[q] == '.')) {
    sep = text[q++];
    if (q < text.size() && text[q] == ' ') ++q;
  }
  const bool paren_next = q < text.size() && text[q] == '(';
  if (q == p && !after_parens && !paren_next) return false;
  if (!group_at(text, q, group)) return false;
  group.sep = sep;
  group.bare_sep = q == p + 1;
  return true;
}

std::vector<Run> number_runs(std::string_view text) {
  std::vector<Run> runs;
  for (std::size_t i = 0; i < text.size();) {
    Run run;
    run.begin = i;
    run.plus = text[i] == '+';
    Group group;
    if ((i > 0 && is_alnum(text[i - 1])) || !group_at(text, i + (run.plus ? 1 : 0), group)) {
      ++i;
      continue;
    }
    run.groups.push_back(group);
    while (next_group(text, run.groups.back().span_end, run.groups.back().parens, group)) run.groups.push_back(group);
    i = run.groups.back().span_end;
    runs.push_back(std::move(run));
  }
  return runs;
}

std::string digits_of(std::string_view text, const std::vector<Group>& groups, std::size_t first, std::size_t last) {
  std::string digits;
  for (std::size_t k = first; k <= last; ++k) digits += text.substr(groups[k].begin, groups[k].size());
  return digits;
}

long number_of(std::string_view digits) {
  long value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

bool luhn_valid(std::string_view digits) {
  int sum = 0;
  bool twice = false;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it, twice = !twice) {
    int value = (*it - '0') * (twice ? 2 : 1);
    sum += value > 9 ? value - 9 : value;
  }
  return sum % 10 == 0;
}

// The last group of a card number that starts at group `first`: 13 to 19 digits, Luhn-valid, in one
// run or in groups of three and more (the first of four and more) between single spaces or hyphens.
std::size_t card_end(std::string_view text, const Run& run, std::size_t first) {
  const auto& groups = run.groups;
  std::size_t found = npos, digits = 0;
  if (groups[first].parens || (first == 0 && run.plus)) return npos;
  for (std::size_t k = first; k < groups.size(); ++k) {
    if (k > first && (groups[k].parens || !groups[k].bare_sep || (groups[k].sep != ' ' && groups[k].sep != '-') ||
                      groups[k].size() < 3 || groups[first].size() < 4))
      break;
    digits += groups[k].size();
    if (digits > 19) break;
    if (digits >= 13 && luhn_valid(digits_of(text, groups, first, k))) found = k;
  }
  return found;
}

// North American: 415-555-0132, (415) 555-0132, 415.555.0132, with 1 or +1 before or not.
std::size_t north_american_end(std::string_view text, const Run& run, std::size_t first) {
  const auto& g = run.groups;
  auto from = [&](std::size_t a) {
    if (a + 2 >= g.size() || g[a].size() != 3 || g[a + 1].size() != 3 || g[a + 2].size() != 4) return npos;
    if (g[a + 1].parens || g[a + 2].parens || (g[a + 1].sep == 0 && !g[a].parens)) return npos;
    return a + 2;
  };
  if (g[first].size() == 1 && text[g[first].begin] == '1' && !g[first].parens) return from(first + 1);
  return first == 0 && run.plus ? npos : from(first);
}

// Japanese, domestic: 03-1234-5678, 0466-12-3456 (ten digits, four last), 090-1234-5678 (mobile),
// 0120-123-456 (free dial).
std::size_t japanese_end(std::string_view text, const Run& run, std::size_t first) {
  const auto& g = run.groups;
  if (first + 2 >= g.size() || (first == 0 && run.plus) || g[first].parens || text[g[first].begin] != '0')
    return npos;
  for (std::size_t k = first + 1; k <= first + 2; ++k) {
    const bool paren_style = g[first + 1].parens && g[k].sep == 0;
    if (!paren_style && g[k].sep != '-' && g[k].sep != ' ') return npos;
  }
  if (g[first + 2].parens) return npos;
  const std::size_t a = g[first].size(), b = g[first + 1].size(), c = g[first + 2].size();
  const std::string_view area = text.substr(g[first].begin, a);
  const bool landline = a + b + c == 10 && c == 4 && a >= 2 && a <= 5;
  const bool mobile = a == 3 && b == 4 && c == 4 && area[1] != '0' && area[2] == '0';
  const bool free_dial = a == 4 && b == 3 && (area == "0120" || area == "0570" ? c == 3 : area == "0800" && c == 4);
  return landline || mobile || free_dial ? first + 2 : npos;
}

// International: +44 20 7946 0958, +81 90-1234-5678, +14155550132 (8 to 15 digits).
std::size_t international_end(const Run& run, std::size_t first) {
  if (first != 0 || !run.plus) return npos;
  std::size_t found = npos, digits = 0;
  for (std::size_t k = 0; k < run.groups.size(); ++k) {
    digits += run.groups[k].size();
    if (digits > 15) break;
    if (digits >= 8 && (k == 0 || run.groups[0].size() <= 3)) found = k;
  }
  return found;
}

std::size_t phone_end(std::string_view text, const Run& run, std::size_t first) {
  std::size_t best = npos;
  for (std::size_t end :
       {international_end(run, first), north_american_end(text, run, first), japanese_end(text, run, first)})
    if (end != npos && (best == npos || end > best)) best = end;
  return best;
}

// A dotted quad named as a version ("v 1.2.0.0", "Version: 1.2.0.0", "VERSION=1.2.0.0",
// "バージョン 1.2.0.0") is one; any other is taken for an address, as hiding a version number
// costs little.
bool named_as_version(std::string_view before) {
  while (!before.empty() && (before.back() == ' ' || before.back() == ':' || before.back() == '=')) before.remove_suffix(1);
  for (std::string_view name : {"version", "ver.", "ver", "v", "バージョン"}) {
    if (before.size() < name.size()) continue;
    const std::string_view tail = before.substr(before.size() - name.size());
    bool same = true;
    for (std::size_t k = 0; k < name.size(); ++k) same = same && lower(tail[k]) == name[k];
    const bool whole = before.size() == name.size() || !is_letter(before[before.size() - name.size() - 1]);
    if (same && whole) return true;
  }
  return false;
}

// The end of a ":port" at `p`, or `p`.
std::size_t after_port(std::string_view text, std::size_t p) {
  if (p >= text.size() || text[p] != ':') return p;
  std::size_t q = p + 1;
  long value = 0;
  while (q < text.size() && is_digit(text[q]) && q - p <= 5) value = value * 10 + (text[q++] - '0');
  const bool ends = q == text.size() || (!is_alnum(text[q]) && text[q] != ':');
  return q > p + 1 && value <= 65535 && ends ? q : p;
}

void find_ipv4(std::string_view text, const Run& run, std::vector<Hit>& hits) {
  const auto& g = run.groups;
  for (std::size_t first = 0; first < g.size(); ++first) {
    std::size_t last = first;
    while (last + 1 < g.size() && g[last + 1].sep == '.' && g[last + 1].bare_sep && !g[last + 1].parens) ++last;
    bool octets = last == first + 3 && !(first == 0 && run.plus);
    for (std::size_t k = first; octets && k <= last; ++k)
      octets = !g[k].parens && g[k].size() <= 3 && number_of(text.substr(g[k].begin, g[k].size())) <= 255;
    if (octets && !(first == 0 && named_as_version(text.substr(0, g[first].begin))))
      hits.push_back({FoundKind::ip, g[first].begin, after_port(text, g[last].end)});
    first = last;
  }
}

bool dotted_quad(std::string_view piece) {
  int octets = 0;
  for (std::size_t start = 0; start <= piece.size(); ++octets) {
    const std::size_t dot = std::min(piece.find('.', start), piece.size());
    const std::string_view octet = piece.substr(start, dot - start);
    if (octet.empty() || octet.size() > 3 || octet.find_first_not_of("0123456789") != npos || number_of(octet) > 255)
      return false;
    start = dot + 1;
  }
  return octets == 4;
}

bool is_ipv6(std::string_view a) {
  bool digit = false;
  for (char c : a) digit = digit || is_digit(c);
  const std::size_t gap = a.find("::");
  if (!digit || (gap != npos && a.find("::", gap + 1) != npos) || a.find(":::") != npos) return false;
  // Pieces of 1 to 4 hexadecimal digits; the last may be a dotted quad (two pieces' worth).
  int pieces = 0;
  auto read = [&](std::string_view part, bool last_part) {
    if (part.empty()) return true;
    for (std::size_t start = 0;;) {
      const std::size_t colon = part.find(':', start);
      const std::string_view piece = part.substr(start, colon == npos ? npos : colon - start);
      if (colon == npos && last_part && piece.find('.') != npos) {
        if (!dotted_quad(piece)) return false;
        pieces += 2;
        return true;
      }
      if (piece.empty() || piece.size() > 4) return false;
      for (char c : piece)
        if (!is_hex(c)) return false;
      ++pieces;
      if (colon == npos) return true;
      start = colon + 1;
    }
  };
  if (gap == npos) return read(a, true) && pieces == 8;
  return read(a.substr(0, gap), false) && read(a.substr(gap + 2), true) && pieces <= 7;
}

void find_ipv6(std::string_view text, std::vector<Hit>& hits) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = i;
    while (end < text.size() && (is_hex(text[end]) || text[end] == ':' || text[end] == '.')) ++end;
    if (end == i) {
      ++i;
      continue;
    }
    std::size_t begin = i, last = end;
    while (last > begin && text[last - 1] == '.') --last;  // a sentence's full stop
    const bool apart = (begin == 0 || !is_alnum(text[begin - 1])) && (end == text.size() || !is_alnum(text[end]));
    if (apart && is_ipv6(text.substr(begin, last - begin))) {
      if (begin > 0 && text[begin - 1] == '[' && last < text.size() && text[last] == ']') {
        --begin;
        last = after_port(text, last + 1);
      }
      hits.push_back({FoundKind::ip, begin, last});
    }
    i = end;
  }
}

}  // namespace

std::string read_misread_digits(std::string text) {
  struct Token {
    std::size_t begin, end;
    bool numeric;
    bool short_plain;  // up to four digits and misreads, no other letter
  };
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < text.size();) {
    if (!is_alnum(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i, digits = 0, misreads = 0;
    bool other = false;
    // A bar inside a token only: at its edges it is a table's rule.
    auto in_token = [&](std::size_t p) {
      return is_alnum(text[p]) || (text[p] == '|' && p + 1 < text.size() && is_alnum(text[p + 1]));
    };
    for (; end < text.size() && in_token(end); ++end) {
      if (is_digit(text[end])) ++digits;
      else if (misread_digit(text[end])) ++misreads;
      else other = true;
    }
    tokens.push_back({i, end, !other && digits > 0 && digits >= misreads, !other && end - i <= 4});
    i = end;
  }
  // A short token with more misreads than digits ("l", "O", "1lll") is a number when it is joined
  // to one by . - : or /, or stands between two with spaces: 192.168.l.1, 4111 1lll 1111 1111.
  auto joined = [&](std::size_t left, std::size_t right, std::string_view marks) {
    return tokens[left].end + 1 == tokens[right].begin && marks.find(text[tokens[left].end]) != npos;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
      if (tokens[k].numeric || !tokens[k].short_plain) continue;
      const bool left = k > 0 && tokens[k - 1].numeric, right = k + 1 < tokens.size() && tokens[k + 1].numeric;
      const bool by_mark = (left && joined(k - 1, k, ".-:/")) || (right && joined(k, k + 1, ".-:/"));
      const bool between = left && right && joined(k - 1, k, " ") && joined(k, k + 1, " ");
      if (by_mark || between) tokens[k].numeric = changed = true;
    }
  }
  for (const Token& t : tokens)
    for (std::size_t i = t.begin; t.numeric && i < t.end; ++i)
      if (const char digit = misread_digit(text[i])) text[i] = digit;
  return text;
}

std::vector<Hit> find_numbers(std::string_view text) {
  std::vector<Hit> hits;
  for (const Run& run : number_runs(text)) {
    const auto& g = run.groups;
    auto begin_of = [&](std::size_t first) { return first == 0 && run.plus ? run.begin : g[first].span_begin; };
    for (std::size_t first = 0; first < g.size(); ++first) {
      if (const std::size_t last = card_end(text, run, first); last != npos) {
        hits.push_back({FoundKind::card, begin_of(first), g[last].span_end});
        first = last;
      }
    }
    for (std::size_t first = 0; first < g.size(); ++first) {
      if (const std::size_t last = phone_end(text, run, first); last != npos) {
        hits.push_back({FoundKind::phone, begin_of(first), g[last].span_end});
        first = last;
      }
    }
    find_ipv4(text, run, hits);
  }
  find_ipv6(text, hits);
  return hits;
}

}  // namespace murkel::find

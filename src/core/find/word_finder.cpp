// Named words in a line, with the misreads of OCR: one wrong, missing or extra character per eight.
#include <algorithm>
#include <string_view>
#include <vector>

#include "core/find/finders.h"

namespace murkel::find {

std::vector<CharSpan> find_word(std::u32string_view line, std::u32string_view word) {
  const std::size_t m = word.size(), n = line.size(), allowed = m / 8;
  std::vector<CharSpan> spans;
  if (m == 0) return spans;
  // For each start in the line, the fewest edits that make some text from there the word, and
  // that text's length (of equal edits, the one nearest the word's own length).
  std::vector<std::size_t> edits(n, m + 1), length(n, 0), previous(m + 1), current(m + 1);
  for (std::size_t start = 0; start < n; ++start) {
    for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
    for (std::size_t t = 1; t <= std::min(m + allowed, n - start); ++t) {
      current[0] = t;
      for (std::size_t j = 1; j <= m; ++j)
        current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                               previous[j - 1] + (word[j - 1] == line[start + t - 1] ? 0 : 1)});
      const auto off = [&](std::size_t len) { return len > m ? len - m : m - len; };
      if (current[m] < edits[start] || (current[m] == edits[start] && off(t) < off(length[start]))) {
        edits[start] = current[m];
        length[start] = t;
      }
      std::swap(previous, current);
    }
  }
  // Left to right; of starts a few characters apart, the one needing fewest edits.
  for (std::size_t start = 0; start < n;) {
    if (edits[start] > allowed) {
      ++start;
      continue;
    }
    std::size_t best = start;
    for (std::size_t other = start + 1; other <= start + allowed && other < n; ++other)
      if (edits[other] < edits[best]) best = other;
    spans.push_back({best, best + length[best]});
    start = best + length[best];
  }
  return spans;
}

}  // namespace murkel::find

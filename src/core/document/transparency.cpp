// Alpha of an open picture through effects, Undo and Save.
#include "core/document/transparency.h"

#include <algorithm>
#include <utility>

namespace murkel {

Transparency transparency_of(const Image& straight, const std::vector<std::uint8_t>& alpha) {
  Transparency t;
  if (alpha.size() != straight.pixels.size() ||
      std::all_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a == 255; })) {
    return t;
  }
  t.width = straight.width;
  t.alpha = alpha;
  t.colours = straight.pixels;
  return t;
}

bool put_over_white(Image& straight, const std::vector<std::uint8_t>& alpha) {
  if (alpha.size() != straight.pixels.size()) return false;
  bool blended = false;
  for (std::size_t i = 0; i < alpha.size(); ++i) {
    const unsigned a = alpha[i];
    if (a == 255) continue;
    const auto mix = [a](int v) { return static_cast<int>((static_cast<unsigned>(v) * a + 255 * (255 - a) + 127) / 255); };
    const Colour c = straight.pixels[i];
    straight.pixels[i] = make_colour(mix(red_of(c)), mix(green_of(c)), mix(blue_of(c)));
    blended = true;
  }
  return blended;
}

void make_opaque(std::vector<std::uint8_t>& alpha, std::int32_t width, const Rect& selection) {
  if (alpha.empty() || width <= 0) return;
  const std::int32_t height = static_cast<std::int32_t>(alpha.size() / static_cast<std::size_t>(width));
  const std::int32_t left = std::max(selection.left, 0), right = std::min(selection.right, width);
  const std::int32_t top = std::max(selection.top, 0), bottom = std::min(selection.bottom, height);
  if (left >= right) return;
  for (std::int32_t y = top; y < bottom; ++y) {
    auto row = alpha.begin() + static_cast<std::ptrdiff_t>(y) * width;
    std::fill(row + left, row + right, std::uint8_t{255});
  }
}

void cover_with_effect(Transparency& t, std::span<const Rect> selections) {
  for (const Rect& selection : selections) make_opaque(t.alpha, t.width, selection);
}

Transparency crop_transparency(const Transparency& t, const Rect& area) {
  Transparency part;
  if (!t.any() || area.empty()) return part;
  const auto width = static_cast<std::size_t>(area.width());
  part.width = static_cast<std::int32_t>(width);
  part.alpha.reserve(width * static_cast<std::size_t>(area.height()));
  part.colours.reserve(part.alpha.capacity());
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width) + area.left;
    part.alpha.insert(part.alpha.end(), t.alpha.begin() + row, t.alpha.begin() + row + width);
    part.colours.insert(part.colours.end(), t.colours.begin() + row, t.colours.begin() + row + width);
  }
  if (std::all_of(part.alpha.begin(), part.alpha.end(), [](std::uint8_t a) { return a == 255; })) return {};
  return part;
}

void restore_hidden_colours(const Transparency& t, Colour* shown, std::size_t count) {
  if (!t.any() || count != t.alpha.size()) return;
  for (std::size_t i = 0; i < count; ++i) {
    if (t.alpha[i] != 255) shown[i] = t.colours[i];
  }
}

}  // namespace murkel

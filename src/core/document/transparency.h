// The transparency of an open picture. The working image shows every pixel
// over white; to save it with its transparency the editor keeps each
// pixel's alpha and the file's own colour of the pixels that are not opaque.
// An effect makes its pixels opaque, so that what a viewer shows is what the
// effect made and no original colour stays hidden under transparency.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/pixels.h"

namespace murkel {

struct Transparency {
  std::int32_t width = 0;
  std::vector<std::uint8_t> alpha;       // one per pixel, top row first; empty: opaque picture
  std::vector<Colour> colours;           // the file's colours (0x00BBGGRR), for the pixels not opaque

  [[nodiscard]] bool any() const { return !alpha.empty(); }
};

// The transparency of a decoded picture: empty when every alpha is 255.
[[nodiscard]] Transparency transparency_of(const Image& straight, const std::vector<std::uint8_t>& alpha);

// Blends the pixels that are not opaque over white, as the editor shows them
// and a bitmap file holds them (alpha empty: nothing to do). True when any was.
bool put_over_white(Image& straight, const std::vector<std::uint8_t>& alpha);

// Makes the pixels of `selection` (image coordinates, cut to the picture)
// opaque in the alpha of a picture `width` pixels wide (empty: opaque already).
void make_opaque(std::vector<std::uint8_t>& alpha, std::int32_t width, const Rect& selection);

// An effect over the selections (image coordinates, cut to the picture)
// makes them opaque.
void cover_with_effect(Transparency& t, std::span<const Rect> selections);

// The transparency of the part `area` (within the picture): empty when that
// part is opaque.
[[nodiscard]] Transparency crop_transparency(const Transparency& t, const Rect& area);

// Straight colours for a file: `shown` (the working image's colours, top row
// first) where the pixel is opaque, the file's colour where it is not.
void restore_hidden_colours(const Transparency& t, Colour* shown, std::size_t count);

}  // namespace murkel

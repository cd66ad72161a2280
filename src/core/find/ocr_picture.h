// The picture the text reader is given: dark text on a light ground whatever
// the theme, enlarged when its text is likely small, and cut into bands that
// can be read side by side.
#pragma once

#include <cstdint>
#include <vector>

#include "core/pixels.h"

namespace murkel {

struct GreyPicture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t scale = 1;  // picture pixels are scale x scale pixels here
  std::vector<std::uint8_t> pixels;  // width * height, 0 black .. 255 white
};

// Pictures up to this many pixels (a 2560 x 1600 screen) are enlarged twice:
// their text is screen text of 11 to 20 pixels, which reads markedly better
// at twice the size. Larger pictures are read as they are.
inline constexpr std::int64_t kEnlargeUpToPixels = 2560 * 1600;

// Grey, each pixel's local background taken away (the most common grey of
// its neighbourhood, so dark and light panels side by side both work), the
// remaining contrast stretched and turned into darkness.
[[nodiscard]] GreyPicture prepare_for_ocr(const PixelView& picture);

// Rows at which `grey` may be cut into up to `bands` bands without cutting a
// line of text: each the middle of a run of blank rows near an even
// division. Ascending; fewer when no such row is near a division.
[[nodiscard]] std::vector<std::int32_t> band_cuts(const GreyPicture& grey, int bands);

}  // namespace murkel

// Where a DIB section keeps its rows.
#include "editor/app/dib_sections.h"

#include <cstdint>

namespace murkel {

std::optional<DibSection> dib_section(HBITMAP bitmap) {
  DibSection section{};
  const BITMAP& b = section.description.dsBm;
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(section.description), &section.description) !=
                               sizeof(section.description) ||
      b.bmBits == nullptr) {
    return std::nullopt;
  }
  GdiFlush();
  auto* base = static_cast<std::uint8_t*>(b.bmBits);
  const std::ptrdiff_t stride = b.bmWidthBytes;
  const bool bottom_up = section.description.dsBmih.biHeight > 0;
  section.rows = DibRows{bottom_up ? base + (b.bmHeight - 1) * stride : base, bottom_up ? -stride : stride,
                         b.bmBitsPixel / 8, b.bmWidth, b.bmHeight};
  return section;
}

}  // namespace murkel

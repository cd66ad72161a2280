// Where a DIB section keeps its rows.
#include "editor/app/dib_sections.h"

#include <cstdint>

#include "editor/app/app_state.h"

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

std::optional<DibRows> true_colour_rows(HDC surface) {
  ViewLock lock;  // the working image's surface is the drag loop's too
  const std::optional<DibSection> section = dib_section(static_cast<HBITMAP>(GetCurrentObject(surface, OBJ_BITMAP)));
  if (!section) return std::nullopt;
  const DIBSECTION& dib = section->description;
  const DWORD compression = dib.dsBmih.biCompression;
  const bool plain_masks = compression == BI_RGB || (compression == BI_BITFIELDS && dib.dsBitfields[0] == 0xFF0000 &&
                                                     dib.dsBitfields[1] == 0xFF00 && dib.dsBitfields[2] == 0xFF);
  const int bits = dib.dsBmih.biBitCount;
  if (!(bits == 24 && compression == BI_RGB) && !(bits == 32 && plain_masks)) return std::nullopt;
  return section->rows;
}

}  // namespace murkel

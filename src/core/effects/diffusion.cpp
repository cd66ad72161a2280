// Diffusion: inside every 16 x 16 tile anchored at the selection's top-left,
// place p receives the pixel of place table[p] of the same tile.
#include <array>
#include <cstring>

#include "core/effects/effect_support.h"
#include "core/effects/effects.h"

namespace murkel {

namespace {

// Powers of x in GF(2^8) with x^8 + x^4 + x^3 + x^2 + 1, as a nine-cell
// shift register builds them; entry 0 is 0.
constexpr std::array<std::uint8_t, 256> build_table() {
  std::array<std::uint8_t, 256> table{};
  unsigned bits = 1;  // b0..b8
  for (int n = 1; n < 256; ++n) {
    bits <<= 1;
    if (bits & 0x100u) bits ^= 0x11Du;  // flips b0, b2, b3, b4 and clears b8
    table[n] = static_cast<std::uint8_t>(bits & 0xFF);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kTable = build_table();
static_assert(kTable[8] == 29 && kTable[255] == 1 && kTable[254] == 142);

#if defined(__GNUC__)
#define MURKEL_UNROLL_16 _Pragma("GCC unroll 16")
#else
#define MURKEL_UNROLL_16
#endif

// out place p <- tile[table[p]], unrolled so that the table's entries become constants.
void permute_tile(const Colour* tile, Colour* out, std::ptrdiff_t stride) {
  MURKEL_UNROLL_16
  for (int row = 0; row < 16; ++row) {
    MURKEL_UNROLL_16
    for (int col = 0; col < 16; ++col) out[row * stride + col] = tile[kTable[row * 16 + col]];
  }
}

}  // namespace

const std::uint8_t* diffusion_table() { return kTable.data(); }

std::vector<Colour> diffusion(const PixelView& picture, const Rect& selection) {
  std::vector<Colour> block = detail::new_block(selection);
  diffusion_into(picture, selection, detail::whole_block(block, selection));
  return block;
}

void diffusion_into(const PixelView& picture, const Rect& selection, BlockRef block) {
  if (selection.empty()) return;
  const std::int64_t w = selection.width(), h = selection.height();
  const std::int64_t left = selection.left, top = selection.top;

  for (std::int64_t ty = 0; ty < h; ty += 16) {
    for (std::int64_t tx = 0; tx < w; tx += 16) {
      const std::int64_t sx = left + tx, sy = top + ty;  // the tile's top-left in the picture
      Colour* const out = block.data + ty * block.stride + tx;
      const bool source_inside = sx >= 0 && sy >= 0 && sx + 16 <= picture.picture_width &&
                                 sy + 16 <= picture.picture_height;
      if (source_inside && tx + 16 <= w && ty + 16 <= h) {
        const Colour* const source = detail::pixel_pointer(picture, sx, sy);
        Colour tile[256];
        for (int row = 0; row < 16; ++row) {
          std::memcpy(tile + row * 16, source + row * picture.stride, sizeof(Colour) * 16);
        }
        permute_tile(tile, out, block.stride);
        continue;
      }
      for (int p = 0; p < 256; ++p) {
        const int col = p & 15, row = p >> 4;
        if (tx + col >= w || ty + row >= h) continue;  // dropped by the final copy
        const std::int64_t x = sx + (kTable[p] & 15), y = sy + (kTable[p] >> 4);
        const bool inside = x >= 0 && y >= 0 && x < picture.picture_width && y < picture.picture_height;
        out[row * block.stride + col] = inside ? *detail::pixel_pointer(picture, x, y) : detail::kWhite;
      }
    }
  }
}

}  // namespace murkel

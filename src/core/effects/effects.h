// The effects as pure functions over pixels.
//
// Each takes a view of the picture as it was before the effect and the
// selection (normalised: left <= right, top <= bottom) and returns the new
// colours of the selection, W x H, row-major, top row first. Pixels outside
// the selection are never part of the result. The view must hold every
// picture pixel of the effect's footprint (see *_footprint).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/effects/random_source.h"
#include "core/pixels.h"

namespace murkel {

enum class EffectCode : std::uint8_t {
  mosaic = 0,
  blur = 1,
  diffusion = 2,
  scramble = 3,
  fill = 4,
  secure_mosaic = 5,
  secure_blur = 6,
};

// Picture pixels an effect may read, for a selection (may reach past the
// picture; the caller clips it to the picture).
[[nodiscard]] Rect mosaic_footprint(const Rect& selection, std::int32_t cell_width, std::int32_t cell_height);
[[nodiscard]] Rect blur_footprint(const Rect& selection);
[[nodiscard]] Rect diffusion_footprint(const Rect& selection);
[[nodiscard]] Rect scramble_footprint(const Rect& selection);
// The secure effects read only the ring around the selection; the rectangle
// covers the selection too, which they never read.
[[nodiscard]] Rect secure_footprint(const Rect& selection);
// The picture pixels `code` reads for `selection` (with the mosaic's cells)
// in a picture of that size, cut to it; empty for the fill.
[[nodiscard]] Rect picture_footprint(EffectCode code, const Rect& selection, std::int32_t cell_width,
                                     std::int32_t cell_height, std::int32_t picture_width,
                                     std::int32_t picture_height);

// A cell width or height below 1 leaves the selection unchanged.
[[nodiscard]] std::vector<Colour> mosaic(const PixelView& picture, const Rect& selection,
                                         std::int32_t cell_width, std::int32_t cell_height);
// level is the 8-bit setting widened without sign (0 keeps every pixel).
[[nodiscard]] std::vector<Colour> blur(const PixelView& picture, const Rect& selection, std::uint16_t level);
[[nodiscard]] std::vector<Colour> diffusion(const PixelView& picture, const Rect& selection);
// The caller seeds `random` first (the editor with the tick count).
[[nodiscard]] std::vector<Colour> scramble(const PixelView& picture, const Rect& selection,
                                           std::int32_t level, RandomSource& random);
[[nodiscard]] std::vector<Colour> fill(const Rect& selection, Colour colour);

// Coverings that hide: every colour is computed from the picture pixels
// around the selection and none under it, so two pictures that differ only
// inside the selection give the same result. The secure blur blends the
// ring smoothly across the selection; the secure mosaic averages that blend
// over flat cells anchored at the selection's corner (a size below 1 counts
// as 1). Sides beyond the picture's edge are left out; with none left the
// selection becomes neutral gray.
[[nodiscard]] std::vector<Colour> secure_mosaic(const PixelView& picture, const Rect& selection,
                                                std::int32_t cell_width, std::int32_t cell_height);
[[nodiscard]] std::vector<Colour> secure_blur(const PixelView& picture, const Rect& selection);

// The same effects writing their W x H result into caller memory instead of a
// new vector (no allocation; for callers that reuse a buffer or a bitmap's
// bits). Row y of the block starts at out.data + y * out.stride; the stride
// may be negative for bottom-up rows. The block must not overlap the picture
// pixels the effect reads.
struct BlockRef {
  Colour* data = nullptr;
  std::ptrdiff_t stride = 0;
};
void mosaic_into(const PixelView& picture, const Rect& selection, std::int32_t cell_width, std::int32_t cell_height,
                 BlockRef out);
// Rows [first, end) of a selection's result, 0 being its top row.
struct RowSpan {
  std::int64_t first = 0;
  std::int64_t end = INT64_MAX;
};
// With `rows`, only those rows of the result are computed, and out.data is
// the block's row rows.first.
void blur_into(const PixelView& picture, const Rect& selection, std::uint16_t level, BlockRef out,
               RowSpan rows = {});
void diffusion_into(const PixelView& picture, const Rect& selection, BlockRef out);
void scramble_into(const PixelView& picture, const Rect& selection, std::int32_t level, RandomSource& random,
                   BlockRef out);
void secure_mosaic_into(const PixelView& picture, const Rect& selection, std::int32_t cell_width,
                        std::int32_t cell_height, BlockRef out);
void secure_blur_into(const PixelView& picture, const Rect& selection, BlockRef out);

// Rows of 32-bit device-independent pixels hold blue, green, red and an
// unused byte; a colour holds red, green, blue. The one exchange converts
// either way, in place, and clears the unused byte.
void swap_red_and_blue(Colour* pixels, std::size_t count);

// The 256-entry permutation of a 16 x 16 tile used by diffusion.
[[nodiscard]] const std::uint8_t* diffusion_table();

// Writes a W x H block back into an in-memory picture at the selection; the
// parts of the selection outside the picture are dropped. A block of another
// size writes nothing.
void put_block(Image& image, const Rect& selection, const std::vector<Colour>& block);

}  // namespace murkel

// An effect's result computed in bands of rows, one after the other, so that
// each band's pixels pass through the processor's cache once on their way
// from the picture and back, instead of the whole selection streaming
// through memory at every stage.
#pragma once

#include <cstdint>

#include "core/effects/effects.h"
#include "core/effects/random_source.h"
#include "core/pixels.h"

namespace murkel {

// The settings an effect reads (the fill's colour aside).
struct EffectParameters {
  std::int32_t cell_width = 0;
  std::int32_t cell_height = 0;
  std::uint16_t blur_level = 0;
  std::int32_t scramble_level = 0;
};

struct BandPlan {
  std::int64_t height = 0;  // rows of a band (the last may be lower); 0: the whole selection at once
  std::int64_t reach = 0;   // rows of its neighbours a band's result reads, above and below
};

// Bands of about `pixels` pixels: whole rows of the mosaic's cells and of
// the diffusion's tiles, and for the blur at least its level high, so that
// only the next band reads a band's rows. The secure effects read around the
// whole selection and are done at once; so is the fill.
[[nodiscard]] BandPlan plan_bands(EffectCode code, const EffectParameters& parameters, const Rect& selection,
                                  std::int64_t pixels);

// The selection's rows `rows` as a rectangle of the picture.
[[nodiscard]] Rect band_rect(const Rect& selection, RowSpan rows);

// The picture pixels that rows `rows` of the selection's result read, cut to
// the picture (for the whole selection: picture_footprint).
[[nodiscard]] Rect band_footprint(EffectCode code, const EffectParameters& parameters, const Rect& selection,
                                  RowSpan rows, std::int32_t picture_width, std::int32_t picture_height);

// Rows `rows` of the selection's result into `out` (out.data is the row
// rows.first) from a view that holds their band_footprint. Bands computed
// in order from the picture as it was give the whole result exactly; the
// scramble draws from `random` row after row. Not for the fill.
void band_into(EffectCode code, const EffectParameters& parameters, const PixelView& picture, const Rect& selection,
               RowSpan rows, RandomSource& random, BlockRef out);

}  // namespace murkel

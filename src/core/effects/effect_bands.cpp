// Bands of an effect's rows and what each one reads.
#include "core/effects/effect_bands.h"

#include <algorithm>

namespace murkel {
Rect band_rect(const Rect& selection, RowSpan rows) {
  return Rect{selection.left, static_cast<std::int32_t>(selection.top + rows.first), selection.right,
              static_cast<std::int32_t>(selection.top + std::min(rows.end, selection.height()))};
}

BandPlan plan_bands(EffectCode code, const EffectParameters& parameters, const Rect& selection,
                    std::int64_t pixels) {
  if (selection.empty()) return {};
  const std::int64_t rows = std::max<std::int64_t>(1, pixels / selection.width());
  const auto in_units = [rows](std::int64_t unit) { return std::max(unit, rows / unit * unit); };
  switch (code) {
    // Mosaic cells and diffusion tiles are anchored at the selection's top:
    // a band that starts on a cell's first row computes the cells the whole does.
    case EffectCode::mosaic:    return BandPlan{in_units(std::max(parameters.cell_height, 1)), 0};
    case EffectCode::diffusion: return BandPlan{in_units(16), 0};
    case EffectCode::scramble:  return BandPlan{rows, 0};
    case EffectCode::blur:
      return BandPlan{std::max<std::int64_t>(rows, parameters.blur_level), parameters.blur_level};
    case EffectCode::fill:
    case EffectCode::secure_mosaic:
    case EffectCode::secure_blur: return {};
  }
  return {};
}

Rect band_footprint(EffectCode code, const EffectParameters& parameters, const Rect& selection, RowSpan rows,
                    std::int32_t picture_width, std::int32_t picture_height) {
  const auto footprint = [&](const Rect& r) {
    return picture_footprint(code, r, parameters.cell_width, parameters.cell_height, picture_width, picture_height);
  };
  switch (code) {
    case EffectCode::mosaic:
    case EffectCode::diffusion:
    case EffectCode::scramble: return footprint(band_rect(selection, rows));
    case EffectCode::blur: {
      // Rows y - level to y + level of every result row y, within the
      // sample area (the selection and the row below it).
      Rect cut = footprint(selection);
      const std::int64_t level = parameters.blur_level;
      const std::int64_t top = selection.top + std::max<std::int64_t>(rows.first - level, 0);
      const std::int64_t bottom = selection.top + std::min(rows.end, selection.height()) + level;
      cut.top = static_cast<std::int32_t>(std::max<std::int64_t>(cut.top, top));
      cut.bottom = static_cast<std::int32_t>(std::min<std::int64_t>(cut.bottom, bottom));
      return cut.empty() ? Rect{} : cut;
    }
    case EffectCode::fill:
    case EffectCode::secure_mosaic:
    case EffectCode::secure_blur: return footprint(selection);
  }
  return {};
}

void band_into(EffectCode code, const EffectParameters& parameters, const PixelView& picture, const Rect& selection,
               RowSpan rows, RandomSource& random, BlockRef out) {
  const Rect band = band_rect(selection, rows);
  switch (code) {
    case EffectCode::mosaic:
      mosaic_into(picture, band, parameters.cell_width, parameters.cell_height, out);
      break;
    case EffectCode::blur:      blur_into(picture, selection, parameters.blur_level, out, rows); break;
    case EffectCode::diffusion: diffusion_into(picture, band, out); break;
    case EffectCode::scramble:  scramble_into(picture, band, parameters.scramble_level, random, out); break;
    case EffectCode::secure_mosaic:
      secure_mosaic_into(picture, selection, parameters.cell_width, parameters.cell_height, out);
      break;
    case EffectCode::secure_blur: secure_blur_into(picture, selection, out); break;
    case EffectCode::fill:        break;
  }
}

}  // namespace murkel

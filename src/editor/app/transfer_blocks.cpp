// The effects' transfer blocks, kept between effects.
#include "editor/app/transfer_blocks.h"

#include <algorithm>
#include <new>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/document/step_areas.h"
#include "core/effects/effects.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"

namespace murkel {

void release_transfer_block(TransferBlock& block) {
  if (block.dc != nullptr) {
    SelectObject(block.dc, block.previous);
    DeleteDC(block.dc);
  }
  if (block.bitmap != nullptr) DeleteObject(block.bitmap);
  block = TransferBlock{};
}

bool reserve_transfer_block(TransferBlock& block, std::int64_t width, std::int64_t height, bool shaped) {
  const std::int64_t held = std::int64_t{block.width} * block.height;
  if (block.pixels != nullptr &&
      (shaped ? width <= block.width && height <= block.height : width * height <= held)) {
    return true;
  }
  release_transfer_block(block);
  // One block stays below 2 GB in either build: a DIB section's size must
  // fit the header's signed 32-bit fields (and a 32-bit process could not
  // map more anyway).
  if (width <= 0 || height <= 0 || height > 0x7FFFFFFF / 4 / width) return false;
  BITMAPINFO info{};
  info.bmiHeader = top_down_32bit_header(static_cast<LONG>(width), static_cast<LONG>(height));
  void* bits = nullptr;
  block.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  block.dc = block.bitmap != nullptr && bits != nullptr ? CreateCompatibleDC(nullptr) : nullptr;
  if (block.dc == nullptr) {
    release_transfer_block(block);
    note_memory_short();
    return false;
  }
  block.previous = SelectObject(block.dc, block.bitmap);
  block.pixels = static_cast<Colour*>(bits);
  block.width = static_cast<std::int32_t>(width);
  block.height = static_cast<std::int32_t>(height);
  return true;
}

bool release_transfer_blocks() {
  app.block_warmer.stop();
  const bool held = app.source_block.bitmap != nullptr || app.result_block.bitmap != nullptr ||
                    app.view_source_block.bitmap != nullptr;
  release_transfer_block(app.source_block);
  release_transfer_block(app.result_block);
  ViewLock lock;  // the drag loop may be drawing through it
  release_transfer_block(app.view_source_block);
  return held;
}

EffectBandSizes effect_band_sizes(EffectCode code, const EffectParameters& parameters, const Rect& selection) {
  const BandPlan plan = plan_bands(code, parameters, selection, kBandPixels);
  if (plan.height <= 0 || plan.height >= selection.height()) return EffectBandSizes{selection.height(), 1, plan.reach};
  return EffectBandSizes{plan.height, plan.reach > 0 ? 2 : 1, plan.reach};
}

EffectBlocks effect_blocks(EffectCode code, const EffectParameters& parameters, const Rect& selection,
                           std::int32_t picture_width, std::int32_t picture_height, bool direct) {
  if (code == EffectCode::fill || selection.empty()) return {};
  const Rect whole = band_footprint(code, parameters, selection, RowSpan{0, selection.height()}, picture_width,
                                    picture_height);
  if (!direct) return EffectBlocks{whole.width(), whole.height(), selection.width(), selection.height()};
  // A band's footprint holds the band's rows grown to whole cells or tiles
  // (the last band's, or a selection done at once), and the rows it reaches
  // into above and below (the blur's one more).
  const EffectBandSizes sizes = effect_band_sizes(code, parameters, selection);
  const std::int64_t cells = std::max<std::int64_t>(parameters.cell_height, 16);
  const std::int64_t source_rows = std::min(whole.height(), sizes.height + cells + 2 * sizes.reach + 1);
  return EffectBlocks{whole.width(), source_rows, selection.width(), sizes.height * sizes.parts};
}

EffectBlocks enough_for_both(const EffectBlocks& a, const EffectBlocks& b) {
  return EffectBlocks{std::max(a.source_width, b.source_width), std::max(a.source_height, b.source_height),
                      std::max(a.result_width, b.result_width), std::max(a.result_height, b.result_height)};
}

void prepare_transfer_blocks(const Rect& selection) {
  if (selection.empty() || !picture_open()) return;
  // What each of the effects on the Edit menu needs with the present
  // settings (the secure ones, which need blocks for the whole selection,
  // make theirs when they come).
  const bool direct = true_colour_rows(app.working_image).has_value();
  EffectBlocks all;
  const EffectParameters parameters{app.mosaic_cell_width, app.mosaic_cell_height, app.blur_level,
                                    app.scramble_level};
  for (EffectCode code : {EffectCode::mosaic, EffectCode::blur, EffectCode::diffusion, EffectCode::scramble}) {
    all = enough_for_both(
        all, effect_blocks(code, parameters, selection, app.bitmap.bmWidth, app.bitmap.bmHeight, direct));
  }
  app.block_warmer.stop();
  std::vector<MemoryRange> blocks;
  for (auto [block, width, height] : {std::tuple{&app.source_block, all.source_width, all.source_height},
                                      std::tuple{&app.result_block, all.result_width, all.result_height}}) {
    // A block kept from before was warmed when it was made: starting a
    // warming thread for it again would cost more faults than it saves.
    const HBITMAP held = block->bitmap;
    if (width > 0 && reserve_transfer_block(*block, width, height, !direct) && block->bitmap != held) {
      blocks.push_back({block->pixels, static_cast<std::size_t>(block->width) * block->height * sizeof(Colour)});
    }
  }
  // The history's step over the selection keeps its bytes in memory made
  // ready here too.
  if (const std::optional<DibSection> section = dib_section(app.loaded_bitmap)) {
    const DibRows& r = section->rows;
    const RowBytes rows{r.top_row, r.stride, section->description.dsBm.bmBitsPixel, r.width, r.height};
    const std::size_t size = areas_bytes(rows, step_areas({&selection, 1}, rows.bits_per_pixel, r.width, r.height));
    if (app.spare_step.size < size) {
      app.spare_step = ByteBuffer{};
      try {
        app.spare_step = ByteBuffer::of_size(size);
        blocks.push_back({app.spare_step.data.get(), size});
      } catch (const std::bad_alloc&) {
      }
    }
  }
  if (!blocks.empty()) app.block_warmer.start(std::move(blocks));
}

}  // namespace murkel

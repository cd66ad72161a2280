// Applying an effect to the selection of the working image, as one step of
// the picture's history.
//
// Pixels travel in bulk. A 24- or 32-bit picture is covered band by band,
// straight in its rows: a band of rows is read into the source block, the
// core computes its new colours into the result block, and they go back at
// once, so that each band's pixels pass through the processor's cache once
// instead of the whole selection streaming through memory at every stage.
// Any other format goes through one BitBlt each way for the whole selection,
// and GDI maps the colours to the picture's own format, so a 256-colour
// picture stays one and gets colours of its own table.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>

#include "core/canvas/selection.h"
#include "core/codecs/dib_rows.h"
#include "core/document/step_areas.h"
#include "core/effects/effect_bands.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/document_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/document/history_commands.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

// Each setting is read once, when the effect starts: a settings dialog on
// another thread may store a new value meanwhile.
struct EffectSettings {
  EffectParameters parameters;
  COLORREF fill_colour = 0;
};

EffectSettings read_settings(EffectCode code) {
  EffectSettings settings;
  EffectParameters& p = settings.parameters;
  switch (code) {
    case EffectCode::mosaic:
    case EffectCode::secure_mosaic:
      p.cell_width = app.mosaic_cell_width;
      p.cell_height = app.mosaic_cell_height;
      break;
    case EffectCode::blur:      p.blur_level = app.blur_level; break;
    case EffectCode::diffusion: break;
    case EffectCode::scramble:  p.scramble_level = app.scramble_level; break;
    case EffectCode::fill:      settings.fill_colour = app.colour_chooser.rgbResult; break;
    case EffectCode::secure_blur: break;
  }
  return settings;
}

// Runs a computation of the core; false, noted as a shortage of memory,
// when it ran out of memory for its own lists.
template <typename Compute>
bool within_memory(Compute&& compute) {
  try {
    compute();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  note_memory_short();
  return false;
}

bool reserve_blocks(const EffectBlocks& blocks, bool shaped) {
  return (blocks.source_width == 0 ||
          reserve_transfer_block(app.source_block, blocks.source_width, blocks.source_height, shaped)) &&
         (blocks.result_width == 0 ||
          reserve_transfer_block(app.result_block, blocks.result_width, blocks.result_height, shaped));
}

// Through GDI: computes the whole selection's new colours into the result
// block, the footprint copied at once into the source block, both as 32-bit
// GDI rows. False when memory runs short; the picture is untouched either way.
bool compute_block(EffectCode code, const Rect& selection, const EffectSettings& settings) {
  if (code == EffectCode::fill || selection.empty() || !picture_open()) return true;
  if (!reserve_blocks(
          effect_blocks(code, settings.parameters, selection, app.bitmap.bmWidth, app.bitmap.bmHeight, false),
          true)) {
    return false;
  }
  const RowSpan all{0, selection.height()};
  const Rect footprint =
      band_footprint(code, settings.parameters, selection, all, app.bitmap.bmWidth, app.bitmap.bmHeight);
  TransferBlock& source = app.source_block;
  TransferBlock& result = app.result_block;
  if (!footprint.empty()) {
    ViewLock lock;
    BitBlt(source.dc, 0, 0, static_cast<int>(footprint.width()), static_cast<int>(footprint.height()),
           app.working_image, footprint.left, footprint.top, SRCCOPY);
    GdiFlush();
    swap_red_and_blue(source.pixels, static_cast<std::size_t>(source.width) * footprint.height());
  }
  const PixelView view{source.pixels, source.width, footprint, app.bitmap.bmWidth, app.bitmap.bmHeight};
  if (!within_memory([&] {
        band_into(code, settings.parameters, view, selection, all, app.random, BlockRef{result.pixels, result.width});
      })) {
    return false;
  }
  swap_red_and_blue(result.pixels, static_cast<std::size_t>(result.width) * selection.height());
  return true;
}

void fill_selection(const Rect& selection, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  const RECT rc{selection.left, selection.top, selection.right, selection.bottom};
  FillRect(app.working_image, &rc, brush);
  DeleteObject(brush);
}

// Through GDI: writes the result block computed by compute_block, or the fill.
void write_block(EffectCode code, const Rect& selection, const EffectSettings& settings) {
  ViewLock lock;
  if (code == EffectCode::fill) {
    fill_selection(selection, settings.fill_colour);
  } else if (!selection.empty() && picture_open()) {
    BitBlt(app.working_image, selection.left, selection.top, static_cast<int>(selection.width()),
           static_cast<int>(selection.height()), app.result_block.dc, 0, 0, SRCCOPY);
  }
}

// The effect over `selection` band by band, straight in the picture's rows,
// in blocks reserved before. Every band is computed from the picture as it
// was: a band whose rows the next one reads waits for that one in a second
// part of the result block before it is written. A `step` whose bytes are
// still to be copied gets each band's rows just before they are written,
// while the band's read has them in cache, and the rest when memory runs
// short. False then; the picture may be changed in part.
bool cover_in_bands(EffectCode code, const Rect& selection, const EffectSettings& settings, const DibRows& rows,
                    PictureStep* step) {
  const EffectParameters& p = settings.parameters;
  const RowBytes step_rows{rows.top_row, rows.stride, 8 * rows.bytes_per_pixel, rows.width, rows.height};
  std::int32_t kept_until = selection.top;  // picture rows above it are in the step
  const auto write = [&](RowSpan band, const Colour* block) {
    const Rect r = band_rect(selection, band);
    if (step != nullptr) {
      copy_area_rows(step_rows, step->areas, r.top, r.bottom, step->pixels.data.get());
      kept_until = r.bottom;
    }
    write_dib_rows(rows, r, block);
  };
  const EffectBandSizes sizes = effect_band_sizes(code, p, selection);
  const std::int64_t w = selection.width(), h = selection.height();
  Colour* const parts[2] = {app.result_block.pixels, app.result_block.pixels + sizes.height * w};
  std::optional<RowSpan> waiting;  // computed into parts[1 - next], not written yet
  int next = 0;
  ViewLock lock;
  GdiFlush();  // earlier GDI work on the picture has landed
  const bool computed = within_memory([&] {
    // Rows below the picture change nothing.
    const std::int64_t end = std::min(h, std::int64_t{app.bitmap.bmHeight} - selection.top);
    for (std::int64_t first = 0; first < end; first += sizes.height) {
      const RowSpan band{first, std::min(h, first + sizes.height)};
      const Rect footprint = band_footprint(code, p, selection, band, app.bitmap.bmWidth, app.bitmap.bmHeight);
      if (!footprint.empty()) read_dib_rows(rows, footprint, app.source_block.pixels);
      const PixelView view{app.source_block.pixels, static_cast<std::ptrdiff_t>(footprint.width()), footprint,
                           app.bitmap.bmWidth, app.bitmap.bmHeight};
      band_into(code, p, view, selection, band, app.random, BlockRef{parts[next], static_cast<std::ptrdiff_t>(w)});
      if (waiting) write(*waiting, parts[1 - next]);
      waiting.reset();
      if (sizes.parts == 2) {
        waiting = band;
        next = 1 - next;
      } else {
        write(band, parts[0]);
      }
    }
  });
  if (!computed) {
    if (step != nullptr) {
      copy_area_rows(step_rows, step->areas, kept_until, rows.height, step->pixels.data.get());
    }
    return false;
  }
  if (waiting) write(*waiting, parts[1 - next]);
  return true;
}

// Blocks that suffice for every rectangle, made ready before the first
// change, so that a later rectangle does not run short of memory halfway.
bool blocks_for_all(EffectCode code, std::span<const Rect> rects, const EffectSettings& settings,
                    const std::optional<DibRows>& rows) {
  if (code == EffectCode::fill || !picture_open()) return true;
  EffectBlocks all;
  for (const Rect& r : rects) {
    all = enough_for_both(all, effect_blocks(code, settings.parameters, r, app.bitmap.bmWidth, app.bitmap.bmHeight,
                                             rows.has_value()));
  }
  return reserve_blocks(all, !rows);
}

// The step's bytes go back into the picture: a change that could not be
// finished leaves the picture as it was.
void take_back_unfinished_change(PictureStep& step) {
  exchange_step(step);
}

}  // namespace

bool apply_effect_to(EffectCode code, std::span<const Rect> rects) {
  app.block_warmer.stop();
  if (rects.empty()) return true;
  const EffectSettings settings = read_settings(code);
  if (code == EffectCode::scramble) seed_random_source(app.random, GetTickCount());

  // Everything that can fail comes before the first change, so that a
  // failure leaves the picture and the history as they were. Memory held in
  // the transfer blocks, then in the oldest steps (where they hold enough to
  // help), is given back and the effect tried again before the user is told.
  const std::optional<DibRows> rows = true_colour_rows(app.working_image);
  // In a picture's own rows the effect is computed band by band as it is
  // written; through GDI the first rectangle's colours are computed here.
  const bool direct = rows && code != EffectCode::fill;
  const auto prepare = [&] {
    return blocks_for_all(code, rects, settings, rows) && (direct || compute_block(code, rects.front(), settings));
  };
  std::uint64_t needed = 0;
  if (code != EffectCode::fill && picture_open()) {
    const EffectBlocks b = effect_blocks(code, settings.parameters, rects.front(), app.bitmap.bmWidth,
                                         app.bitmap.bmHeight, rows.has_value());
    needed = 4 * static_cast<std::uint64_t>(b.source_width * b.source_height + b.result_width * b.result_height);
  }
  bool prepared = with_blocks_given_back(prepare);
  while (!prepared && give_back_step_for(needed)) prepared = with_blocks_given_back(prepare);
  if (!prepared) {
    document_message(texts().not_enough_memory);
    return false;
  }

  // The step keeps what the change overwrites; without memory for it the
  // change goes on all the same, with no step to take it back.
  // A single rectangle's bytes go into the step band by band, as they are
  // covered, instead of in a pass of their own through memory.
  const bool step_in_bands = direct && rects.size() == 1;
  std::optional<PictureStep> step = capture_step(rects, !step_in_bands);
  {
    ViewLock lock;
    cover_with_effect(app.transparency, rects);
  }
  // Each later rectangle reads the picture as the earlier ones left it.
  for (std::size_t i = 0; i < rects.size(); ++i) {
    bool done = true;
    if (direct) {
      done = cover_in_bands(code, rects[i], settings, *rows, step_in_bands && step ? &*step : nullptr);
    } else if (i == 0 || (done = compute_block(code, rects[i], settings))) {
      write_block(code, rects[i], settings);
    }
    if (!done) {
      if (step) {
        take_back_unfinished_change(*step);
      } else {
        // Nothing can take the covered part back: it stays covered, as one change.
        record_step(std::nullopt);
      }
      document_message(texts().not_enough_memory);
      return false;
    }
  }
  {
    ViewLock lock;
    mark_picture_changed();
    show_working_image();
  }
  record_step(std::move(step));
  if (selection_exists(app.selection)) {
    draw_selection_outline();
    // Another effect on the same selection finds its memory warm.
    prepare_transfer_blocks(app.selection);
  }
  return true;
}

void apply_effect(EffectCode code) { apply_effect_to(code, {&app.selection, 1}); }

}  // namespace murkel

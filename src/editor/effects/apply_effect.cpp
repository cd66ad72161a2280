// Applying an effect to the selection of the working image, as one step of
// the picture's history.
//
// Pixels travel in bulk: the picture pixels the effect reads are copied into
// a block at once, the core computes the selection's new colours into a
// second block, and that block goes back at once. A 24- or 32-bit picture is
// read and written straight in its rows; any other format goes through one
// BitBlt each way, and GDI maps the colours to the picture's own format, so a
// 256-colour picture stays one and gets colours of its own table.
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
  std::int32_t cell_width = 0;
  std::int32_t cell_height = 0;
  std::uint16_t blur_level = 0;
  std::int32_t scramble_level = 0;
  COLORREF fill_colour = 0;
};

EffectSettings read_settings(EffectCode code) {
  EffectSettings settings;
  switch (code) {
    case EffectCode::mosaic:
    case EffectCode::secure_mosaic:
      settings.cell_width = app.mosaic_cell_width;
      settings.cell_height = app.mosaic_cell_height;
      break;
    case EffectCode::blur:      settings.blur_level = app.blur_level; break;
    case EffectCode::diffusion: break;
    case EffectCode::scramble:  settings.scramble_level = app.scramble_level; break;
    case EffectCode::fill:      settings.fill_colour = app.colour_chooser.rgbResult; break;
    case EffectCode::secure_blur: break;
  }
  return settings;
}

// Reads the footprint at once and computes the selection's new colours into
// the result block: colours for direct rows, 32-bit GDI rows otherwise. The
// blocks are kept from one effect to the next. False when memory runs short;
// the picture is untouched either way.
bool compute_block(EffectCode code, const Rect& selection, const EffectSettings& settings,
                   const std::optional<DibRows>& rows) {
  if (code == EffectCode::scramble) seed_random_source(app.random, GetTickCount());
  if (code == EffectCode::fill || selection.empty() || !picture_open()) return true;

  // GDI copies into and out of a block by rows of the block's own width;
  // direct rows use a block as one run of pixels.
  const bool shaped = !rows;
  const Rect footprint = picture_footprint(code, selection, settings.cell_width, settings.cell_height,
                                           app.bitmap.bmWidth, app.bitmap.bmHeight);
  TransferBlock& source = app.source_block;
  TransferBlock& result = app.result_block;
  if ((!footprint.empty() && !reserve_transfer_block(source, footprint.width(), footprint.height(), shaped)) ||
      !reserve_transfer_block(result, selection.width(), selection.height(), shaped)) {
    return false;
  }
  const std::ptrdiff_t source_stride = shaped ? source.width : footprint.width();
  const std::ptrdiff_t result_stride = shaped ? result.width : selection.width();
  if (!footprint.empty() && rows) {
    read_dib_rows(*rows, footprint, source.pixels);
  } else if (!footprint.empty()) {
    ViewLock lock;
    BitBlt(source.dc, 0, 0, static_cast<int>(footprint.width()), static_cast<int>(footprint.height()),
           app.working_image, footprint.left, footprint.top, SRCCOPY);
    GdiFlush();
    swap_red_and_blue(source.pixels, static_cast<std::size_t>(source_stride * footprint.height()));
  }
  const PixelView view{source.pixels, source_stride, footprint, app.bitmap.bmWidth, app.bitmap.bmHeight};
  const BlockRef out{result.pixels, result_stride};
  try {
    switch (code) {
      case EffectCode::mosaic:    mosaic_into(view, selection, settings.cell_width, settings.cell_height, out); break;
      case EffectCode::blur:      blur_into(view, selection, settings.blur_level, out); break;
      case EffectCode::diffusion: diffusion_into(view, selection, out); break;
      case EffectCode::scramble:  scramble_into(view, selection, settings.scramble_level, app.random, out); break;
      case EffectCode::secure_mosaic:
        secure_mosaic_into(view, selection, settings.cell_width, settings.cell_height, out);
        break;
      case EffectCode::secure_blur: secure_blur_into(view, selection, out); break;
      case EffectCode::fill:      break;
    }
  } catch (const std::bad_alloc&) {
    note_memory_short();
    return false;
  } catch (const std::length_error&) {
    note_memory_short();
    return false;
  }
  if (shaped) swap_red_and_blue(result.pixels, static_cast<std::size_t>(result_stride * selection.height()));
  return true;
}

void fill_selection(const Rect& selection, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  const RECT rc{selection.left, selection.top, selection.right, selection.bottom};
  FillRect(app.working_image, &rc, brush);
  DeleteObject(brush);
}

// Writes the result block computed for `selection` (or the fill) into the
// working image. Call with the view lock held.
void write_block(EffectCode code, const Rect& selection, const EffectSettings& settings,
                 const std::optional<DibRows>& rows) {
  if (code == EffectCode::fill) {
    fill_selection(selection, settings.fill_colour);
    return;
  }
  if (selection.empty() || !picture_open()) return;
  if (rows) {
    GdiFlush();  // earlier GDI work on the picture has landed
    write_dib_rows(*rows, selection, app.result_block.pixels);
  } else {
    BitBlt(app.working_image, selection.left, selection.top, static_cast<int>(selection.width()),
           static_cast<int>(selection.height()), app.result_block.dc, 0, 0, SRCCOPY);
  }
}

// Blocks that suffice for every rectangle, made ready before the first
// change, so that a later rectangle does not run short of memory halfway.
bool blocks_for_all(EffectCode code, std::span<const Rect> rects, const EffectSettings& settings,
                    const std::optional<DibRows>& rows) {
  if (code == EffectCode::fill || rects.size() < 2 || !picture_open()) return true;
  std::int64_t footprint_width = 0, footprint_height = 0, footprint_pixels = 0;
  std::int64_t width = 0, height = 0, pixels = 0;
  for (const Rect& r : rects) {
    const Rect f = picture_footprint(code, r, settings.cell_width, settings.cell_height, app.bitmap.bmWidth,
                                     app.bitmap.bmHeight);
    if (!f.empty()) {
      footprint_width = std::max(footprint_width, f.width());
      footprint_height = std::max(footprint_height, f.height());
      footprint_pixels = std::max(footprint_pixels, f.width() * f.height());
    }
    if (!r.empty()) {
      width = std::max(width, r.width());
      height = std::max(height, r.height());
      pixels = std::max(pixels, r.width() * r.height());
    }
  }
  // Direct rows use a block as one run of pixels; GDI needs rows and columns.
  const bool shaped = !rows;
  return (footprint_pixels == 0 ||
          reserve_transfer_block(app.source_block, shaped ? footprint_width : footprint_pixels,
                                 shaped ? footprint_height : 1, shaped)) &&
         (pixels == 0 || reserve_transfer_block(app.result_block, shaped ? width : pixels, shaped ? height : 1, shaped));
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

  // Everything that can fail comes before the first change, so that a
  // failure leaves the picture and the history as they were. Memory held in
  // the transfer blocks, then in the oldest steps (where they hold enough to
  // help), is given back and the effect tried again before the user is told.
  const std::optional<DibRows> rows = true_colour_rows(app.working_image);
  const auto prepare = [&] {
    return blocks_for_all(code, rects, settings, rows) && compute_block(code, rects.front(), settings, rows);
  };
  const Rect footprint = picture_footprint(code, rects.front(), settings.cell_width, settings.cell_height,
                                           app.bitmap.bmWidth, app.bitmap.bmHeight);
  const std::uint64_t needed = 4 * static_cast<std::uint64_t>(footprint.width() * footprint.height() +
                                                              rects.front().width() * rects.front().height());
  bool prepared = with_blocks_given_back(prepare);
  while (!prepared && give_back_step_for(needed)) prepared = with_blocks_given_back(prepare);
  if (!prepared) {
    document_message(texts().not_enough_memory);
    return false;
  }

  // The step keeps what the change overwrites; without memory for it the
  // change goes on all the same, with no step to take it back.
  std::optional<PictureStep> step = capture_step(rects);
  {
    ViewLock lock;
    cover_with_effect(app.transparency, rects);
    write_block(code, rects.front(), settings, rows);
  }
  // Each later rectangle reads the picture as the earlier ones left it.
  for (std::size_t i = 1; i < rects.size(); ++i) {
    if (!compute_block(code, rects[i], settings, rows)) {
      if (step) {
        take_back_unfinished_change(*step);
      } else {
        // Nothing can take the covered part back: it stays covered, as one change.
        record_step(std::nullopt);
      }
      document_message(texts().not_enough_memory);
      return false;
    }
    ViewLock lock;
    write_block(code, rects[i], settings, rows);
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

// The history's steps: taken before a change, kept after it, exchanged by
// Undo and the step commands.
#include "editor/document/history_commands.h"

#include <windows.h>

#include <deque>
#include <new>
#include <optional>
#include <utility>

#include "core/canvas/selection_edit.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/document_commands.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

std::optional<RowBytes> picture_rows() {
  const std::optional<DibSection> section = dib_section(app.loaded_bitmap);
  if (!section) return std::nullopt;
  const DibRows& r = section->rows;
  return RowBytes{r.top_row, r.stride, section->description.dsBm.bmBitsPixel, r.width, r.height};
}

RowBytes alpha_rows() {
  const std::int32_t width = app.transparency.width;
  return RowBytes{app.transparency.alpha.data(), width, 8, width,
                  width > 0 ? static_cast<std::int32_t>(app.transparency.alpha.size() / width) : 0};
}

// Memory of about `size` bytes that is already in use: fresh memory costs a
// page fault a page on its first touch, as much as the effect itself.
bool fits(const ByteBuffer& buffer, std::size_t size) {
  return buffer.size >= size && buffer.size <= 2 * size + (std::size_t{1} << 16);
}

// The spare memory warmed for this step, or that of a step ahead (which the
// change drops), when of about the size wanted; otherwise new memory, the
// oldest steps given back while it cannot be had. False when it cannot be
// had at all. Another step ahead of that size becomes the next spare, so
// that effects taken back and done again keep using the same warm memory.
bool take_buffer(ByteBuffer& out, std::size_t size) {
  if (size == 0) return true;
  std::deque<PictureStep> ahead = app.history.take_steps_ahead();
  const auto take_ahead = [&](ByteBuffer& into) {
    for (PictureStep& step : ahead) {
      if (fits(step.pixels, size)) {
        into = std::move(step.pixels);
        step.pixels = ByteBuffer{};
        return true;
      }
    }
    return false;
  };
  if (fits(app.spare_step, size)) {
    out = std::move(app.spare_step);
    app.spare_step = ByteBuffer{};
  } else if (!take_ahead(out)) {
    ahead.clear();
    for (;;) {
      try {
        out = ByteBuffer::of_size(size);
        break;
      } catch (const std::bad_alloc&) {
        if (app.history.release_one()) continue;
        if (app.spare_step.size == 0) return false;
        app.spare_step = ByteBuffer{};
      }
    }
  }
  if (app.spare_step.size == 0) take_ahead(app.spare_step);
  return true;
}

void show_document_state() {
  app.modification_counter = app.history.modification_counter();
  set_document_title(app.modification_counter > 0);
  show_history_items();
}

void exchange_pixels(PictureStep& step) {
  const std::optional<RowBytes> rows = picture_rows();
  if (!rows) return;
  ViewLock lock;
  exchange_areas(*rows, step.areas, step.pixels.data.get());
  if (step.alpha.size != 0 && app.transparency.any()) exchange_areas(alpha_rows(), step.areas, step.alpha.data.get());
  mark_picture_changed();
  show_working_image();
}

// The step's picture and the working one change places; the selection keeps
// what of it lies in the picture now.
void exchange_whole_picture(PictureStep& step) {
  release_transfer_blocks();  // sized for the other picture
  {
    ViewLock lock;
    HBITMAP other = step.picture.exchange(app.loaded_bitmap);
    SelectObject(app.working_image, other);
    app.loaded_bitmap = other;
    GetObjectW(other, sizeof(app.bitmap), &app.bitmap);
    app.bitmap.bmHeight = std::abs(app.bitmap.bmHeight);
    std::swap(app.transparency, step.transparency);
    mark_picture_changed();
  }
  if (selection_exists(app.selection)) {
    const Rect kept = cut_to_picture(app.selection, Point{app.bitmap.bmWidth, app.bitmap.bmHeight});
    if (kept.empty()) {
      clear_selection();
    } else if (!(kept == app.selection)) {
      app.selection = kept;
      show_selection_field();
    }
  }
  picture_resized();
}

// Where the history moved: the picture it now stands at.
void show_move(PictureStep* step) {
  if (step == nullptr) {
    MessageBeep(MB_OK);
    return;
  }
  exchange_step(*step);
  show_document_state();
  if (selection_exists(app.selection)) draw_selection_outline();
}

}  // namespace

void start_history(bool saved) {
  app.history.start(saved);
  show_history_items();
}

std::optional<PictureStep> capture_step(std::span<const Rect> rects, bool copy_pixels) {
  const std::optional<RowBytes> rows = picture_rows();
  try {
    PictureStep step;
    if (rows) step.areas = step_areas(rects, rows->bits_per_pixel, rows->width, rows->height);
    const std::size_t alpha_bytes = app.transparency.any() ? areas_bytes(alpha_rows(), step.areas) : 0;
    if (rows && take_buffer(step.pixels, areas_bytes(*rows, step.areas)) && take_buffer(step.alpha, alpha_bytes)) {
      if (copy_pixels) copy_areas(*rows, step.areas, step.pixels.data.get());
      if (alpha_bytes != 0) copy_areas(alpha_rows(), step.areas, step.alpha.data.get());
      return step;
    }
  } catch (const std::bad_alloc&) {
  }
  app.history.forget_steps();
  return std::nullopt;
}

void record_step(std::optional<PictureStep> step) {
  if (step) {
    try {
      app.history.record(std::move(*step));
    } catch (const std::bad_alloc&) {
      app.history.record_without_step();
    }
  } else {
    app.history.record_without_step();
  }
  show_document_state();
  enable_undo_item(app.history.can_step_back());
}

bool give_back_step_for(std::uint64_t bytes) {
  return app.history.bytes() >= bytes && app.history.release_one();
}

void exchange_step(PictureStep& step) {
  if (step.picture.get() != nullptr) {
    exchange_whole_picture(step);
  } else {
    exchange_pixels(step);
  }
}

// The step commands let the warming of the next effect's memory go on: an
// exchange of pixels touches neither the blocks nor the spare step, and one
// of whole pictures gives the blocks back, which stops it first.
void undo_command() { show_move(app.history.undo()); }

void step_backward() { show_move(app.history.step_back()); }

void step_forward() { show_move(app.history.step_forward()); }

void show_history_items() {
  enable_history_items(app.history.can_step_back(), app.history.can_step_forward());
}

}  // namespace murkel

// Drawing on the canvas's view surface, its scroll bars and the status fields.
#include "editor/view/canvas_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/canvas/selection.h"
#include "core/canvas/selection_edit.h"
#include "core/codecs/dib_rows.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"
#include "editor/app/dpi.h"
#include "editor/app/transfer_blocks.h"
#include "editor/app/unicode_text.h"
#include "editor/menus/menus.h"

namespace murkel {
namespace {

DibRows block_rows(const TransferBlock& block) {
  return DibRows{reinterpret_cast<std::uint8_t*>(block.pixels), std::ptrdiff_t{block.width} * 4, 4, block.width,
                 block.height};
}

Point picture_size() { return Point{app.bitmap.bmWidth, app.bitmap.bmHeight}; }

// The scroll record and offset of one axis when the picture has changed
// size in place: the offset kept where the new range allows.
ScrollRecord resized_axis(std::atomic<std::int32_t>& offset, std::int32_t picture, std::int32_t client) {
  ScrollRecord record = load_scroll_record(picture, client);
  record.pos = std::clamp(offset.load(), 0, std::max(record.max, 0));
  offset = record.pos;
  return record;
}
Point client_size() { return Point{app.canvas_client.cx, app.canvas_client.cy}; }

// The rows of a picture of 1, 4 or 8 bits a pixel in memory, and its colour
// table (`count` entries); nothing for any other picture.
std::optional<IndexedRows> indexed_rows(std::uint32_t (&table)[256], UINT& count) {
  DIBSECTION dib{};
  if (GetObjectW(GetCurrentObject(app.working_image, OBJ_BITMAP), sizeof(dib), &dib) != sizeof(dib) ||
      dib.dsBm.bmBits == nullptr || dib.dsBmih.biCompression != BI_RGB || dib.dsBmih.biBitCount > 8) {
    return std::nullopt;
  }
  RGBQUAD entries[256];
  count = GetDIBColorTable(app.working_image, 0, 256, entries);
  std::memcpy(table, entries, count * sizeof(RGBQUAD));
  GdiFlush();  // drawing still queued for the bitmap lands first
  auto* base = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
  const std::ptrdiff_t row = dib.dsBm.bmWidthBytes;
  const bool bottom_up = dib.dsBmih.biHeight > 0;
  return IndexedRows{bottom_up ? base + (dib.dsBm.bmHeight - 1) * row : base, bottom_up ? -row : row,
                     dib.dsBmih.biBitCount, dib.dsBm.bmWidth, dib.dsBm.bmHeight};
}

// A picture that is not in memory as rows of 24 or 32 bits (a colour table,
// 16 bits): a band of canvas rows at a time, the picture rows it shows
// copied into a 32-bit block of about 4 MB (through the colour table,
// or through GDI for 16 bits) and reduced or enlarged from there, so that
// no copy of the whole part shown is made. False when memory is short.
bool draw_in_bands(const Rect& zoomed, const DibRows& to) {
  const Rect shown = picture_area_shown(zoomed, app.zoom, picture_size());
  if (shown.empty()) return true;
  const std::int64_t rows_per_row = (std::int64_t{app.zoom.den} + app.zoom.num - 1) / app.zoom.num + 1;
  const auto band = static_cast<std::int32_t>(
      std::clamp<std::int64_t>((1 << 20) / (shown.width() * rows_per_row), 1, zoomed.height()));
  std::uint32_t table[256];
  UINT count = 0;
  const std::optional<IndexedRows> indexed = indexed_rows(table, count);
  TransferBlock& part = app.view_source_block;
  for (std::int32_t top = zoomed.top; top < zoomed.bottom; top += band) {
    const Rect rows_zoomed{zoomed.left, top, zoomed.right, std::min(top + band, zoomed.bottom)};
    const Rect area = picture_area_shown(rows_zoomed, app.zoom, picture_size());
    if (area.empty()) continue;
    if (!reserve_transfer_block(part, area.width(), area.height(), true)) return false;
    DibRows rows = block_rows(part);
    if (indexed) {
      expand_indexed_rows(*indexed, table, count, area, rows);
    } else {
      BitBlt(part.dc, 0, 0, static_cast<int>(area.width()), static_cast<int>(area.height()), app.working_image,
             area.left, area.top, SRCCOPY);
      GdiFlush();
    }
    rows.width = static_cast<std::int32_t>(area.width());
    rows.height = static_cast<std::int32_t>(area.height());
    // The copy of the area alone draws the band's canvas rows moved by the area's place.
    const std::int32_t dx = zoomed_size(area.left, app.zoom), dy = zoomed_size(area.top, app.zoom);
    DibRows out = to;
    out.top_row += std::ptrdiff_t{top - zoomed.top} * to.stride;
    draw_zoomed(rows, app.zoom,
                Rect{rows_zoomed.left - dx, rows_zoomed.top - dy, rows_zoomed.right - dx, rows_zoomed.bottom - dy},
                out, app.zoom_scratch);
  }
  return true;
}

// Moves what the view block holds of the zoomed pixels `from` (at its
// origin) to where the zoomed pixels `to` put them; returns the part of
// `to` it held (empty for none).
Rect keep_overlap(const TransferBlock& block, const Rect& from, const Rect& to) {
  const Rect both{std::max(from.left, to.left), std::max(from.top, to.top), std::min(from.right, to.right),
                  std::min(from.bottom, to.bottom)};
  if (both.empty()) return Rect{};
  const std::ptrdiff_t stride = block.width;
  const Colour* source = block.pixels + (both.top - from.top) * stride + (both.left - from.left);
  Colour* target = block.pixels + (both.top - to.top) * stride + (both.left - to.left);
  const auto bytes = static_cast<std::size_t>(both.width()) * sizeof(Colour);
  const auto rows = static_cast<std::ptrdiff_t>(both.height());
  // Rows moving up go first from the top, rows moving down from the bottom.
  if (target <= source) {
    for (std::ptrdiff_t y = 0; y < rows; ++y) std::memmove(target + y * stride, source + y * stride, bytes);
  } else {
    for (std::ptrdiff_t y = rows - 1; y >= 0; --y) std::memmove(target + y * stride, source + y * stride, bytes);
  }
  return both;
}

// Computes the zoomed pixels `part` of `shown` (held at the block's origin) into the block.
bool compute_view_part(const std::optional<DibRows>& rows, const Rect& shown, const Rect& part) {
  if (part.empty()) return true;
  DibRows to = block_rows(app.view_block);
  to.top_row += (part.top - shown.top) * to.stride + (part.left - shown.left) * 4;
  if (!rows) return draw_in_bands(part, to);
  draw_zoomed(*rows, app.zoom, part, to, app.zoom_scratch);
  return true;
}

// The working image from source (sx - 5, sy - 5), zoomed; parts of the
// source outside the picture leave the target as it was. What the canvas
// shows of the picture is kept in the view block: a drag pass or a paint
// copies it as it is, a scroll moves it and computes only the pixels that
// come into view, and it is computed anew only when the picture, the zoom
// or the canvas size has changed. Zoomed in, pixels are exact squares;
// zoomed out, averages of the area they show (GDI's stretching drops rows,
// and its averaging is slow under Wine). At 100 %, a picture that is not 24-
// or 32-bit goes to the window through GDI, which maps its colours. Without
// memory for the view block the picture is not drawn.
void copy_working_image(HDC target, int scroll_x, int scroll_y) {
  if (!picture_open()) return;
  const ViewBlock view = visible_picture(picture_size(), app.zoom, Point{scroll_x, scroll_y}, client_size());
  if (view.client.empty()) return;
  TransferBlock& block = app.view_block;
  const ShownView wanted{app.picture_changes, app.zoom, view.zoomed};
  if (block.pixels == nullptr || !(app.view_shown == wanted)) {
    const ShownView held = app.view_shown;
    app.view_shown = ShownView{};
    const std::optional<DibRows> rows = true_colour_rows(app.working_image);
    if (!rows && app.zoom == kActualSize) {
      BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.working_image, scroll_x - kCanvasMargin,
             scroll_y - kCanvasMargin, SRCCOPY);
      return;
    }
    // The same picture at the same zoom, moved: what stays in view is kept.
    const bool fits = block.pixels != nullptr && view.zoomed.width() <= block.width &&
                      view.zoomed.height() <= block.height;
    const Rect kept = fits && held.picture_changes == wanted.picture_changes && held.zoom == wanted.zoom
                          ? keep_overlap(block, held.zoomed, view.zoomed)
                          : Rect{};
    if (kept.empty() && !reserve_transfer_block(block, view.client.width(), view.client.height(), true)) return;
    const Rect& z = view.zoomed;
    if (kept.empty()) {
      if (!compute_view_part(rows, z, z)) return;
    } else {
      // Above, below, left and right of what was kept.
      for (const Rect& part : {Rect{z.left, z.top, z.right, kept.top}, Rect{z.left, kept.bottom, z.right, z.bottom},
                               Rect{z.left, kept.top, kept.left, kept.bottom},
                               Rect{kept.right, kept.top, z.right, kept.bottom}}) {
        if (!compute_view_part(rows, z, part)) return;
      }
    }
    app.view_shown = wanted;
  }
  BitBlt(target, view.client.left, view.client.top, static_cast<int>(view.client.width()),
         static_cast<int>(view.client.height()), block.dc, 0, 0, SRCCOPY);
}

void copy_background(HDC target) {
  BitBlt(target, 0, 0, app.surface_size.cx, app.surface_size.cy, app.background_surface, 0, 0, SRCCOPY);
}

Point current_scroll() { return Point{app.scroll_x, app.scroll_y}; }

constexpr std::uint8_t kBarBits[2] = {1, 2};  // horizontal, vertical: bits of app.scroll_bars_waiting

// Puts the values into a bar's record; false when it holds them already.
bool take_scroll_values(SCROLLINFO& record, const ScrollRecord& values) {
  const ScrollRecord held{record.nMin, record.nMax, static_cast<std::int32_t>(record.nPage), record.nPos};
  if (held == values) return false;
  record.nMin = values.min;
  record.nMax = values.max;
  record.nPage = static_cast<UINT>(values.page);
  record.nPos = values.pos;
  return true;
}

void draw_outline_on(HDC target, const Outline& outline) {
  MoveToEx(target, outline.top_left.x, outline.top_left.y, nullptr);
  LineTo(target, outline.top_left.x, outline.bottom_right.y);
  LineTo(target, outline.bottom_right.x, outline.bottom_right.y);
  LineTo(target, outline.bottom_right.x, outline.top_left.y);
  LineTo(target, outline.top_left.x, outline.top_left.y);
}

// What Find and hide found, outlined in red over the picture while its
// window is open.
void draw_found_outlines(HDC target) {
  if (app.found_outlines.empty()) return;
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ previous = SelectObject(target, pen);
  for (const Rect& box : app.found_outlines) draw_outline_on(target, selection_outline(box, current_scroll(), app.zoom));
  SelectObject(target, previous);
  DeleteObject(pen);
}

}  // namespace

// A bar whose record is unchanged is left alone: Wine paints a bar in some
// 5 ms, and a scroll request changes one bar only.
void set_scroll_record(HWND hwnd, int bar, SCROLLINFO& record, const ScrollRecord& values) {
  const std::uint8_t bit = kBarBits[bar == SB_VERT];
  if (!take_scroll_values(record, values) && !(app.scroll_bars_waiting & bit)) return;
  SetScrollInfo(hwnd, bar, &record, TRUE);
  app.scroll_bars_waiting = static_cast<std::uint8_t>(app.scroll_bars_waiting & ~bit);
}

void set_scroll_records_after(const ScrollRecord& horizontal, const ScrollRecord& vertical) {
  const std::uint8_t waiting = app.scroll_bars_waiting;
  if (take_scroll_values(app.horizontal_scroll, horizontal)) app.scroll_bars_waiting |= kBarBits[0];
  if (take_scroll_values(app.vertical_scroll, vertical)) app.scroll_bars_waiting |= kBarBits[1];
  if (waiting == 0 && app.scroll_bars_waiting != 0) PostMessageW(app.canvas_window, kApplyScrollBars, 0, 0);
}

void apply_waiting_scroll_bars() {
  if (app.scroll_bars_waiting & kBarBits[0]) SetScrollInfo(app.canvas_window, SB_HORZ, &app.horizontal_scroll, TRUE);
  if (app.scroll_bars_waiting & kBarBits[1]) SetScrollInfo(app.canvas_window, SB_VERT, &app.vertical_scroll, TRUE);
  app.scroll_bars_waiting = 0;
}

void mark_picture_changed() { ++app.picture_changes; }

void show_working_image() {
  if (picture_open()) {
    copy_working_image(app.view_surface, app.scroll_x, app.scroll_y);
    draw_found_outlines(app.view_surface);
  } else {
    copy_background(app.view_surface);
  }
}

void full_redraw(HDC target) {
  copy_background(target);
  copy_working_image(target, app.scroll_x, app.scroll_y);
  draw_found_outlines(target);
}

void measure_frame_and_bar(UINT dpi) {
  app.doubled_frame_width = 2 * system_metric(SM_CXDLGFRAME, dpi);
  app.horizontal_bar_height = system_metric(SM_CYHSCROLL, dpi);
}

void apply_resize_rule() {
  if (app.canvas_window == nullptr) return;
  const Point size = zoomed_picture_size();
  const ResizeAxis h = resize_axis(app.scroll_x, size.x, app.canvas_client.cx);
  const ResizeAxis v = resize_axis(app.scroll_y, size.y, app.canvas_client.cy);
  set_scroll_record(app.canvas_window, SB_HORZ, app.horizontal_scroll, h.record);
  set_scroll_record(app.canvas_window, SB_VERT, app.vertical_scroll, v.record);
  ViewLock lock;
  if (h.fits) {
    copy_background(app.view_surface);
    copy_working_image(app.view_surface, 0, app.scroll_y);
    app.scroll_x = 0;
  }
  if (v.fits) {
    copy_background(app.view_surface);
    copy_working_image(app.view_surface, app.scroll_x, 0);
    app.scroll_y = 0;
  }
}

void set_status_field(int field, wchar_t* buffer, const std::string& content) {
  std::fill_n(buffer, kStatusClearSize, L'\0');
  from_utf8(content).copy(buffer, kStatusClearSize - 1);
  SendMessageW(app.status_bar, SB_SETTEXTW, field, reinterpret_cast<LPARAM>(buffer));
}

void clear_selection() {
  app.selection = Rect{};
  enable_effect_items(false);
  {
    ViewLock lock;
    show_working_image();
  }
  app.selection_flags.selection_made = false;
  set_status_field(1, app.selection_text, std::string());
}

void show_selection_field() {
  set_status_field(1, app.selection_text, selection_corners_text(app.selection));
}

void picture_resized() {
  const Point size = zoomed_picture_size();
  {
    ViewLock lock;
    set_scroll_record(app.canvas_window, SB_HORZ, app.horizontal_scroll,
                      resized_axis(app.scroll_x, size.x, app.canvas_client.cx));
    set_scroll_record(app.canvas_window, SB_VERT, app.vertical_scroll,
                      resized_axis(app.scroll_y, size.y, app.canvas_client.cy));
    full_redraw(app.view_surface);
  }
  if (selection_exists(app.selection)) draw_selection_outline();
}

void draw_outline(const Outline& outline) { draw_outline_on(app.view_surface, outline); }

void draw_selection_outline() {
  const Outline outline = selection_outline(app.selection, current_scroll(), app.zoom);
  ViewLock lock;
  draw_outline(outline);
}

Point zoomed_picture_size() {
  return Point{zoomed_size(app.bitmap.bmWidth, app.zoom), zoomed_size(app.bitmap.bmHeight, app.zoom)};
}

}  // namespace murkel

// Crop: the picture becomes its selection, as one step of the history that
// keeps the whole picture.
#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>

#include "core/canvas/selection_edit.h"
#include "editor/app/app_state.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/effects/effect_commands.h"
#include "editor/document/history_commands.h"
#include "editor/view/canvas_view.h"

namespace murkel {
namespace {

// A DIB section of `area`'s size in the picture's own format (its colour
// table too), holding that part of the picture; nullptr when memory is short.
HBITMAP cropped_bitmap(const Rect& area) {
  DIBSECTION dib{};
  if (GetObjectW(app.loaded_bitmap, sizeof(dib), &dib) != sizeof(dib)) return nullptr;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header = dib.dsBmih;
  info.header.biWidth = static_cast<LONG>(area.width());
  info.header.biHeight = dib.dsBmih.biHeight < 0 ? -static_cast<LONG>(area.height()) : static_cast<LONG>(area.height());
  info.header.biSizeImage = 0;
  if (dib.dsBmih.biCompression == BI_BITFIELDS) {
    std::copy_n(dib.dsBitfields, 3, reinterpret_cast<DWORD*>(info.colours));
  } else if (dib.dsBmih.biBitCount <= 8) {
    info.header.biClrUsed = GetDIBColorTable(app.working_image, 0, 256, info.colours);
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = bitmap != nullptr && bits != nullptr ? CreateCompatibleDC(nullptr) : nullptr;
  if (dc == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    note_memory_short();
    return nullptr;
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  {
    ViewLock lock;
    BitBlt(dc, 0, 0, static_cast<int>(area.width()), static_cast<int>(area.height()), app.working_image, area.left,
           area.top, SRCCOPY);
    GdiFlush();
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  return bitmap;
}

std::size_t bitmap_bytes(HBITMAP bitmap) {
  BITMAP b{};
  GetObjectW(bitmap, sizeof(b), &b);
  return static_cast<std::size_t>(b.bmWidthBytes) * static_cast<std::size_t>(std::abs(b.bmHeight));
}

}  // namespace

void crop_command() {
  app.block_warmer.stop();
  const Rect area = cut_to_picture(app.selection, Point{app.bitmap.bmWidth, app.bitmap.bmHeight});
  if (!picture_open() || area.empty()) {
    MessageBeep(MB_OK);
    return;
  }

  // Everything that needs memory comes first: the picture stays whole when
  // any of it cannot be had, after the blocks and the oldest steps have given
  // theirs back.
  HBITMAP cropped = nullptr;
  Transparency part;
  PictureStep step;
  const auto prepare = [&] {
    try {
      if (cropped == nullptr) cropped = cropped_bitmap(area);
      if (cropped == nullptr) return false;
      part = crop_transparency(app.transparency, area);
      return true;
    } catch (const std::bad_alloc&) {
      note_memory_short();
      return false;
    }
  };
  bool prepared = with_blocks_given_back(prepare);
  const std::uint64_t needed = static_cast<std::uint64_t>(area.width() * area.height()) * 5;
  while (!prepared && give_back_step_for(needed)) prepared = with_blocks_given_back(prepare);
  if (!prepared) {
    if (cropped != nullptr) DeleteObject(cropped);
    document_message(texts().cannot_crop);
    return;
  }

  release_transfer_blocks();  // sized for the whole picture
  step.picture_bytes = bitmap_bytes(app.loaded_bitmap) + app.transparency.alpha.size() * (1 + sizeof(Colour));
  {
    ViewLock lock;
    SelectObject(app.working_image, cropped);
    step.picture = OwnedBitmap(app.loaded_bitmap);
    app.loaded_bitmap = cropped;
    GetObjectW(cropped, sizeof(app.bitmap), &app.bitmap);
    app.bitmap.bmHeight = std::abs(app.bitmap.bmHeight);
    step.transparency = std::exchange(app.transparency, std::move(part));
    mark_picture_changed();
  }
  clear_selection();
  picture_resized();
  record_step(std::move(step));
}

}  // namespace murkel

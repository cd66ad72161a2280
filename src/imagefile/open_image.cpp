// Opening a bitmap file into the document, from the Open dialog or the
// command line.
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/message_box.h"
#include "app/texts.h"
#include "canvas/canvas_window.h"
#include "canvas/scroll.h"
#include "imagefile/bmp_file_io.h"
#include "imagefile/bmp_reader.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

constexpr DWORD kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // 0x1004

// A colour-table picture takes the file's rows as they are: the bitmap has
// the file's format and table, only its row order may differ.
bool copy_indexed_rows(const std::vector<std::uint8_t>& file, HBITMAP bitmap, int bits, int width, int height) {
  DIBSECTION dib{};
  if (GetObjectA(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBits == nullptr ||
      dib.dsBmih.biBitCount != bits) {
    return false;
  }
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const size_t offset = file[10] | (file[11] << 8) | (file[12] << 16) | (size_t{file[13]} << 24);
  if (stride > static_cast<size_t>(dib.dsBm.bmWidthBytes) || offset > file.size() ||
      (file.size() - offset) / stride < static_cast<size_t>(height)) {
    return false;
  }
  auto* bits_out = static_cast<std::uint8_t*>(dib.dsBm.bmBits);
  for (int y = 0; y < height; ++y) {
    const int target_row = dib.dsBmih.biHeight > 0 ? height - 1 - y : y;
    std::memcpy(bits_out + static_cast<size_t>(target_row) * dib.dsBm.bmWidthBytes, file.data() + offset + y * stride,
                stride);
  }
  GdiFlush();
  return true;
}

// Wine's image loader leaves the pixels of a file stored top row first
// black. Such a picture gets its pixels again from the file: colour-table
// pictures row by row, the others from our own reader through GDI, which
// maps them exactly to 16, 24 and 32 bits per pixel.
void fill_top_down_picture(const char* path, HBITMAP bitmap) {
  std::uint8_t head[30] = {};
  DWORD got = 0;
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  ReadFile(handle, head, sizeof(head), &got, nullptr);
  CloseHandle(handle);
  if (!bmp_stores_top_down(head, got)) return;

  const FileBytes file = read_file_bytes(path);
  if (!file.ok()) return;
  const DecodeResult decoded = decode_bmp(file.bytes);
  if (!decoded.ok() || !decoded.top_down) return;
  const Image& image = decoded.image;
  const int bits = head[28] | (head[29] << 8);
  if (bits <= 8 && copy_indexed_rows(file.bytes, bitmap, bits, image.width, image.height)) return;

  std::vector<RGBQUAD> rows(image.pixels.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const Colour c = image.pixels[i];
    rows[i] = RGBQUAD{static_cast<BYTE>(blue_of(c)), static_cast<BYTE>(green_of(c)), static_cast<BYTE>(red_of(c)), 0};
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  SetDIBits(screen, bitmap, 0, image.height, rows.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
}

// The file's own size and pixel format: a 256-colour file stays one.
HBITMAP load_bitmap_file(const char* path) {
  auto bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap != nullptr) fill_top_down_picture(path, bitmap);
  return bitmap;
}

// Gives `surface` its new bitmap and releases the one it held before.
void replace_bitmap(HDC surface, HBITMAP bitmap, HBITMAP previous) {
  SelectObject(surface, bitmap);
  if (previous != nullptr && previous != bitmap) DeleteObject(previous);
}

// The steps shared by both ways in; `bitmap` has loaded.
void load_picture(HWND canvas, HBITMAP bitmap, bool clear_previous_selection) {
  {
    ViewLock lock;
    HBITMAP previous_picture = app.loaded_bitmap;
    HBITMAP previous_undo = app.undo_bitmap;
    app.loaded_bitmap = bitmap;
    GetObjectA(app.loaded_bitmap, sizeof(BITMAP), &app.bitmap);
    app.bitmap.bmHeight = std::abs(app.bitmap.bmHeight);
    replace_bitmap(app.working_image, app.loaded_bitmap, previous_picture);
    app.undo_bitmap = CreateCompatibleBitmap(app.working_image, app.bitmap.bmWidth, app.bitmap.bmHeight);
    replace_bitmap(app.undo_image, app.undo_bitmap, previous_undo);

    // Unscrolled: the picture's top-left corner at (5, 5) on the gray.
    app.scroll_x = 0;
    app.scroll_y = 0;
    full_redraw(app.view_surface);
  }

  RECT rc{};
  GetClientRect(canvas, &rc);
  app.canvas_client = {rc.right, rc.bottom};
  set_scroll_record(canvas, SB_HORZ, app.horizontal_scroll,
                           load_scroll_record(app.bitmap.bmWidth, app.canvas_client.cx));
  set_scroll_record(canvas, SB_VERT, app.vertical_scroll,
                           load_scroll_record(app.bitmap.bmHeight, app.canvas_client.cy));

  app.modification_counter = 0;
  enable_undo_item(false);
  if (clear_previous_selection) clear_selection();
  set_document_title(false);
}

}  // namespace

void open_image() {
  app.file_dialog.Flags = kOpenDialogFlags;
  app.file_dialog_result = GetOpenFileNameA(&app.file_dialog);
  if (!app.file_dialog_result) return;

  HBITMAP bitmap = load_bitmap_file(app.file_dialog_path);
  if (bitmap == nullptr) {
    document_message(text::kCannotOpen);
    return;
  }
  lstrcpynA(app.file_name, app.file_dialog_path, kPathSize);
  load_picture(app.canvas_window, bitmap, true);
}

void open_command_line_image(HWND canvas) {
  lstrcpynA(app.file_name, app.command_line_file_name, kPathSize);
  HBITMAP bitmap = load_bitmap_file(app.file_name);
  if (bitmap == nullptr) {
    document_message(text::kCannotOpen);
    app.file_name[0] = '\0';
    return;
  }
  load_picture(canvas, bitmap, false);
}

void set_document_title(bool modified) {
  lstrcpynA(app.title_buffer, modified ? text::kTitlePrefixModified : text::kTitlePrefix, kTitleSize);
  const int used = lstrlenA(app.title_buffer);
  lstrcpynA(app.title_buffer + used, app.file_name, kTitleSize - used);
  const int named = lstrlenA(app.title_buffer);
  lstrcpynA(app.title_buffer + named, text::kTitleSuffix, kTitleSize - named);
  SetWindowTextA(app.main_window, app.title_buffer);
}

}  // namespace murkel

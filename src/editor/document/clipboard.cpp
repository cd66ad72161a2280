// Copy and Paste through the system clipboard.
//
// Paste takes, in this order: PNG (what browsers and screenshot tools put
// there, exact and with its transparency, which is shown over white), then
// the bitmap the program put there (a packed bitmap, CF_DIBV5 or CF_DIB,
// decoded by our own bitmap reader, so that the picture keeps its format as
// an opened file does; or a bitmap handle, CF_BITMAP), and last a file list
// (CF_HDROP), whose first file opens as Open opens it. Copy puts a 24-bit
// packed bitmap and a PNG.
#include "editor/document/clipboard_commands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "core/codecs/packed_dib.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"
#include "editor/app/locked_block.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"
#include "editor/document/document_commands.h"
#include "editor/document/picture_files.h"
#include "wic/wic_pictures.h"

namespace murkel {
namespace {

UINT png_format() {
  static const UINT format = RegisterClipboardFormatW(L"PNG");
  return format;
}

// A bitmap handle's picture as a 32-bit packed bitmap, through GDI.
std::vector<std::uint8_t> packed_from_bitmap(HBITMAP bitmap) {
  BITMAP record{};
  if (GetObjectW(bitmap, sizeof(record), &record) == 0 || record.bmWidth <= 0 || record.bmHeight == 0) return {};
  const LONG width = record.bmWidth, height = std::abs(record.bmHeight);
  if (!within_picture_limit(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height))) return {};
  BITMAPINFOHEADER header = top_down_32bit_header(width, height);
  std::vector<std::uint8_t> packed(sizeof(header) + std::size_t{4} * width * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), packed.data() + sizeof(header),
                             reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return {};
  std::memcpy(packed.data(), &header, sizeof(header));
  return packed;
}

// What the clipboard offers Paste, read while it is open: the forms of a
// picture in the order Paste tries them, and the first file of a file list.
struct Offer {
  std::vector<UINT> forms;
  std::wstring file;
  bool file_list = false;
};

Offer read_offer() {
  Offer offer;
  if (IsClipboardFormatAvailable(png_format())) offer.forms.push_back(png_format());
  // The system makes each of the three bitmap forms out of the others and
  // lists the copies after the form the program put there: the first
  // listed is the original.
  for (UINT form = EnumClipboardFormats(0); form != 0; form = EnumClipboardFormats(form)) {
    if (form == CF_DIBV5 || form == CF_DIB || form == CF_BITMAP) offer.forms.push_back(form);
  }
  offer.file_list = IsClipboardFormatAvailable(CF_HDROP);
  if (offer.file_list) {
    offer.file = first_dropped_file(static_cast<HDROP>(GetClipboardData(CF_HDROP)));
  }
  return offer;
}

// A copy of the bytes of one form, taken with the clipboard open: PNG as it
// is, a bitmap as a bitmap file; empty when the form is gone or memory is short.
std::vector<std::uint8_t> take_form(UINT form) {
  std::vector<std::uint8_t> bytes;
  if (!OpenClipboard(app.main_window)) return bytes;
  try {
    if (form == CF_BITMAP) {
      const std::vector<std::uint8_t> packed = packed_from_bitmap(static_cast<HBITMAP>(GetClipboardData(form)));
      if (!packed.empty()) bytes = packed_dib_as_file(packed.data(), packed.size());
    } else if (const LockedBlock block(GetClipboardData(form)); block.data() != nullptr) {
      bytes = form == png_format() ? std::vector<std::uint8_t>(block.data(), block.data() + block.size())
                                   : packed_dib_as_file(block.data(), block.size());
    }
  } catch (const std::bad_alloc&) {
    note_memory_short();
    bytes.clear();
  }
  CloseClipboard();
  return bytes;
}

// The picture of one form as a new bitmap, decoded with the clipboard
// closed; nullptr when it is gone, does not decode or memory is short.
HBITMAP picture_of_form(UINT form) {
  const std::vector<std::uint8_t> bytes = take_form(form);
  if (bytes.empty()) return nullptr;
  if (form != png_format()) return bitmap_from_bmp_bytes(bytes.data(), bytes.size());
  const std::optional<Image> image = decode_png_bytes(bytes.data(), bytes.size());
  return image ? bitmap_from_image(*image) : nullptr;
}

// A movable memory block holding the bytes, for SetClipboardData.
HGLOBAL global_copy(const std::vector<std::uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) {
    note_memory_short();
    return nullptr;
  }
  void* to = GlobalLock(block);
  if (to == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(to, bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

// The selection cut to the picture; the whole picture without one (or when
// nothing of it lies on the picture).
Rect copy_area() {
  const Rect whole{0, 0, app.bitmap.bmWidth, app.bitmap.bmHeight};
  const Rect& s = app.selection;
  const Rect cut{std::max(s.left, 0), std::max(s.top, 0), std::min(s.right, whole.right),
                 std::min(s.bottom, whole.bottom)};
  return cut.empty() ? whole : cut;
}

// The blocks Copy puts on the clipboard: the selection (or the picture) as a
// 24-bit packed bitmap, and as PNG, a courtesy to programs that prefer it
// (nullptr when it cannot be made: the bitmap alone will do). False when the
// bitmap cannot be made; the blocks made are the caller's either way.
bool make_copy_blocks(HGLOBAL& dib_block, HGLOBAL& png_block) {
  try {
    const std::optional<Image> pixels = read_working_pixels(copy_area());
    if (!pixels) return false;
    const EncodeResult dib = encode_packed_dib24(*pixels);
    dib_block = dib.ok() ? global_copy(dib.bytes) : nullptr;
    if (dib_block == nullptr) return false;
    std::vector<std::uint8_t> png;
    png_block = encode_png_bytes(*pixels, png) ? global_copy(png) : nullptr;
    return true;
  } catch (const std::bad_alloc&) {
    if (dib_block != nullptr) GlobalFree(dib_block);
    dib_block = nullptr;
    note_memory_short();
    return false;
  }
}

}  // namespace

bool clipboard_has_picture() {
  for (const UINT format : {png_format(), UINT{CF_DIBV5}, UINT{CF_DIB}, UINT{CF_BITMAP}, UINT{CF_HDROP}}) {
    if (IsClipboardFormatAvailable(format)) return true;
  }
  return false;
}

std::wstring first_dropped_file(HDROP drop) {
  if (drop == nullptr || DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return {};
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
  return path;
}

void paste_image() {
  // The picture is decoded before the prompt: what cannot be pasted asks nothing.
  if (!OpenClipboard(app.main_window)) {
    document_message(texts().cannot_paste);
    return;
  }
  Offer offer;
  try {
    offer = read_offer();
  } catch (const std::bad_alloc&) {
  }
  CloseClipboard();
  HBITMAP picture = nullptr;
  for (std::size_t i = 0; i < offer.forms.size() && picture == nullptr; ++i) {
    with_blocks_given_back([&] { return (picture = picture_of_form(offer.forms[i])) != nullptr; });
  }
  if (picture == nullptr && !offer.file.empty()) {
    open_named_file(offer.file.c_str());
    return;
  }
  if (picture == nullptr) {
    document_message(offer.forms.empty() && !offer.file_list ? texts().nothing_to_paste : texts().cannot_paste);
    return;
  }
  if (!ask_to_save_changes()) {
    DeleteObject(picture);
    return;
  }
  if (!with_blocks_given_back([&] { return open_untitled_picture(picture); })) {
    DeleteObject(picture);
    document_message(texts().cannot_paste);
  }
}

void copy_image() {
  if (!picture_open()) return;
  HGLOBAL dib_block = nullptr, png_block = nullptr;
  bool copied = false;
  if (with_blocks_given_back([&] { return make_copy_blocks(dib_block, png_block); }) &&
      OpenClipboard(app.main_window)) {
    EmptyClipboard();
    // A block the clipboard has taken is the clipboard's.
    copied = SetClipboardData(CF_DIB, dib_block) != nullptr;
    if (copied) dib_block = nullptr;
    if (copied && png_block != nullptr && SetClipboardData(png_format(), png_block) != nullptr) png_block = nullptr;
    CloseClipboard();
  }
  if (dib_block != nullptr) GlobalFree(dib_block);
  if (png_block != nullptr) GlobalFree(png_block);
  if (!copied) document_message(texts().cannot_copy);
}

}  // namespace murkel

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
#include "core/effects/effects.h"
#include "editor/app/app_state.h"
#include "editor/app/message_box.h"
#include "editor/app/texts.h"
#include "editor/document/bitmap_files.h"
#include "editor/document/document_commands.h"
#include "editor/document/wic_pictures.h"

namespace murkel {
namespace {

UINT png_format() {
  static const UINT format = RegisterClipboardFormatW(L"PNG");
  return format;
}

// The bytes of a clipboard block, locked for the scope.
class LockedBlock {
 public:
  explicit LockedBlock(HANDLE block) : block_(block) {
    data_ = block_ != nullptr ? static_cast<const std::uint8_t*>(GlobalLock(block_)) : nullptr;
    size_ = data_ != nullptr ? GlobalSize(block_) : 0;
  }
  ~LockedBlock() {
    if (data_ != nullptr) GlobalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  HANDLE block_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// A bitmap handle's picture as a 32-bit packed bitmap, through GDI.
std::vector<std::uint8_t> packed_from_bitmap(HBITMAP bitmap) {
  BITMAP record{};
  if (GetObjectW(bitmap, sizeof(record), &record) == 0 || record.bmWidth <= 0 || record.bmHeight == 0) return {};
  const LONG width = record.bmWidth, height = std::abs(record.bmHeight);
  if (std::uint64_t{static_cast<std::uint32_t>(width)} * height * 4 > kMaxDecodedBytes) return {};
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB};
  std::vector<std::uint8_t> packed(sizeof(header) + std::size_t{4} * width * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), packed.data() + sizeof(header),
                             reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return {};
  std::memcpy(packed.data(), &header, sizeof(header));
  return packed;
}

// What the clipboard offers Paste (the clipboard is open).
struct Offer {
  HBITMAP picture = nullptr;  // a decoded picture, now ours
  std::wstring file;          // or the first file of a file list
  bool found = false;         // something was there, whether or not it decoded
};

Offer read_clipboard() {
  Offer offer;
  try {
    if (IsClipboardFormatAvailable(png_format())) {
      offer.found = true;
      const LockedBlock block(GetClipboardData(png_format()));
      if (block.data() != nullptr) {
        if (const std::optional<Image> image = decode_png_bytes(block.data(), block.size())) {
          offer.picture = bitmap_from_image(*image);
          if (offer.picture != nullptr) return offer;
        }
      }
    }
    // The system makes each of the three bitmap forms out of the others and
    // lists the copies after the form the program put there: the first
    // listed is the original.
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
      if (format != CF_DIBV5 && format != CF_DIB && format != CF_BITMAP) continue;
      offer.found = true;
      std::vector<std::uint8_t> file;
      if (format == CF_BITMAP) {
        const std::vector<std::uint8_t> packed = packed_from_bitmap(static_cast<HBITMAP>(GetClipboardData(format)));
        if (!packed.empty()) file = packed_dib_as_file(packed.data(), packed.size());
      } else {
        const LockedBlock block(GetClipboardData(format));
        if (block.data() == nullptr) continue;
        file = packed_dib_as_file(block.data(), block.size());
      }
      if (!file.empty()) offer.picture = bitmap_from_bmp_bytes(file.data(), file.size());
      if (offer.picture != nullptr) return offer;
    }
  } catch (const std::bad_alloc&) {
    return offer;
  }
  if (IsClipboardFormatAvailable(CF_HDROP)) {
    offer.found = true;
    offer.file = first_dropped_file(static_cast<HDROP>(GetClipboardData(CF_HDROP)));
  }
  return offer;
}

// The working image's pixels in `area` (within the picture), through GDI.
std::optional<Image> read_working_area(const Rect& area) {
  const auto width = static_cast<LONG>(area.width()), height = static_cast<LONG>(area.height());
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP block = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = block != nullptr ? CreateCompatibleDC(nullptr) : nullptr;
  std::optional<Image> image;
  if (dc != nullptr && bits != nullptr) {
    HGDIOBJ previous = SelectObject(dc, block);
    {
      ViewLock lock;
      BitBlt(dc, 0, 0, width, height, app.working_image, area.left, area.top, SRCCOPY);
    }
    GdiFlush();
    try {
      const auto* first = static_cast<const Colour*>(bits);
      image = Image{width, height, std::vector<Colour>(first, first + std::size_t{1} * width * height)};
      swap_red_and_blue(image->pixels.data(), image->pixels.size());
    } catch (const std::bad_alloc&) {
      image.reset();
    }
    SelectObject(dc, previous);
  }
  if (dc != nullptr) DeleteDC(dc);
  if (block != nullptr) DeleteObject(block);
  return image;
}

// A movable memory block holding the bytes, for SetClipboardData.
HGLOBAL global_copy(const std::vector<std::uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return nullptr;
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
  const Offer offer = read_clipboard();
  CloseClipboard();
  if (offer.picture == nullptr && !offer.file.empty()) {
    open_named_file(offer.file.c_str());
    return;
  }
  if (offer.picture == nullptr) {
    document_message(offer.found ? texts().cannot_paste : texts().nothing_to_paste);
    return;
  }
  if (!ask_to_save_changes()) {
    DeleteObject(offer.picture);
    return;
  }
  if (!open_untitled_picture(offer.picture)) {
    DeleteObject(offer.picture);
    document_message(texts().cannot_paste);
  }
}

void copy_image() {
  if (!picture_open()) return;
  bool copied = false;
  if (const std::optional<Image> pixels = read_working_area(copy_area())) {
    const EncodeResult dib = encode_packed_dib24(*pixels);
    std::vector<std::uint8_t> png;
    HGLOBAL dib_block = dib.ok() ? global_copy(dib.bytes) : nullptr;
    // PNG is a courtesy to programs that prefer it: the bitmap alone will do.
    HGLOBAL png_block = dib_block != nullptr && encode_png_bytes(*pixels, png) ? global_copy(png) : nullptr;
    if (dib_block != nullptr && OpenClipboard(app.main_window)) {
      EmptyClipboard();
      copied = SetClipboardData(CF_DIB, dib_block) != nullptr;
      if (!copied) GlobalFree(dib_block);
      if (png_block != nullptr && (!copied || SetClipboardData(png_format(), png_block) == nullptr)) {
        GlobalFree(png_block);
      }
      CloseClipboard();
    } else {
      if (dib_block != nullptr) GlobalFree(dib_block);
      if (png_block != nullptr) GlobalFree(png_block);
    }
  }
  if (!copied) document_message(texts().cannot_copy);
}

}  // namespace murkel

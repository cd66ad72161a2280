// Bitmap files into DIB sections through our own reader.
//
// The platform's loader gets some valid files wrong under Wine (top-down
// files come back black, 16-bit 5-6-5 files and colour tables of 12-byte
// headers with wrong colours) and takes some files our reader refuses. An
// effect or a Save would bake such errors into the user's file, so the editor
// shows what the reader decodes, in the file's own pixel format.
//
// The file is mapped rather than read into a buffer, and decoded in one pass
// straight into the bitmap's rows: fresh memory costs a page fault on its
// first touch, while mapped pages of the file cache come several at a time.
// Rows that decode on their own go a band at a time, the view mapped anew
// between bands, so that the file's pages leave the working set as they are
// used: a load needs the picture's memory, not twice it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/dib_rows.h"
#include "editor/app/dib_sections.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"

namespace murkel {
namespace {

constexpr DWORD kMask565[3] = {0xF800, 0x07E0, 0x001F};

// The DIB section's header and colour table for a row format.
struct DibRequest {
  BITMAPINFOHEADER header;
  union {
    RGBQUAD colours[256];
    DWORD masks[3];
  };
};

void describe(const BmpRowFormat& format, DibRequest& request) {
  BITMAPINFOHEADER& h = request.header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = format.width;
  h.biHeight = format.height;  // bottom-up
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(format.bits);
  h.biCompression = format.five_six_five ? BI_BITFIELDS : BI_RGB;
  if (format.five_six_five) std::memcpy(request.masks, kMask565, sizeof(kMask565));
  if (format.bits <= 8) {
    // A run-length picture without a table is all index 0, black.
    h.biClrUsed = format.palette.empty() ? 1 : static_cast<DWORD>(format.palette.size());
    for (std::size_t i = 0; i < format.palette.size(); ++i) {
      const Colour c = format.palette[i];
      request.colours[i] = RGBQUAD{static_cast<BYTE>(blue_of(c)), static_cast<BYTE>(green_of(c)),
                                   static_cast<BYTE>(red_of(c)), 0};
    }
  }
}

// A new DIB section of the format's size and pixel format once `decode` has
// written the picture into it; nullptr when memory is short or the picture
// is refused.
template <typename Decode>
HBITMAP new_decoded_bitmap(const BmpRowFormat& format, Decode&& decode) {
  DibRequest request{};
  describe(format, request);
  void* bits = nullptr;
  HBITMAP bitmap =
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&request), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) note_memory_short();
  if (bitmap != nullptr && (bits == nullptr || !decode(bitmap))) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  return bitmap;
}

constexpr std::size_t kBandBytes = 1 << 20;

// Where the rows of `bitmap`, a DIB section, go; nullopt when it is none.
std::optional<RowTarget> rows_of(HBITMAP bitmap) {
  const std::optional<DibSection> section = dib_section(bitmap);
  if (!section) return std::nullopt;
  return RowTarget{section->rows.top_row, section->rows.stride};
}

// Decodes a bitmap file's bytes straight into the rows of `bitmap`, a DIB
// section of `format`. False when the pixel data is refused; `written` says
// whether rows were written before.
bool decode_rows_into(HBITMAP bitmap, const std::uint8_t* data, std::size_t size, const BmpRowFormat& format,
                      bool& written) {
  const std::optional<RowTarget> target = rows_of(bitmap);
  const RowsDecoded decoded = target ? decode_bmp_rows(data, size, format, *target) : RowsDecoded{"no rows"};
  written = decoded.written;
  return decoded.ok();
}

}  // namespace

// The file stays open, shared with readers only, while it is mapped: a
// program that wrote or cut it short meanwhile would change the picture
// half-read, or make the next read of a mapped page fault.
BitmapFile::BitmapFile(const wchar_t* path) {
  format_.error = "the file cannot be read";
  file_ = path == nullptr ? INVALID_HANDLE_VALUE
                          : CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  // An empty file cannot be mapped, and no bitmap file is empty.
  if (GetFileSizeEx(file_, &size) && size.QuadPart > 0 && size.QuadPart < (std::int64_t{1} << 31)) {
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_ != nullptr) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    size_ = static_cast<std::size_t>(size.QuadPart);
  }
  if (view_ != nullptr) format_ = bmp_row_format(static_cast<const std::uint8_t*>(view_), size_);
}

BitmapFile::~BitmapFile() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

HBITMAP BitmapFile::decoded_bitmap() {
  return ok() ? new_decoded_bitmap(format_, [this](HBITMAP bitmap) { return decode_into(bitmap); }) : nullptr;
}

bool BitmapFile::fits(HDC surface) const {
  const std::optional<DibSection> section = dib_section(static_cast<HBITMAP>(GetCurrentObject(surface, OBJ_BITMAP)));
  if (!ok() || !section) return false;
  const DIBSECTION& dib = section->description;
  const BITMAPINFOHEADER& h = dib.dsBmih;
  if (h.biWidth != format_.width || std::abs(h.biHeight) != format_.height || h.biBitCount != format_.bits)
    return false;
  const bool masks565 = h.biCompression == BI_BITFIELDS && dib.dsBitfields[0] == kMask565[0] &&
                        dib.dsBitfields[1] == kMask565[1] && dib.dsBitfields[2] == kMask565[2];
  if (format_.bits == 16) return format_.five_six_five ? masks565 : h.biCompression == BI_RGB;
  if (format_.bits > 8) return h.biCompression == BI_RGB;
  // The same colour table, entry for entry.
  RGBQUAD table[256];
  const UINT count = GetDIBColorTable(surface, 0, 256, table);
  const std::size_t expected = format_.palette.empty() ? 1 : format_.palette.size();
  if (count != expected) return false;
  for (std::size_t i = 0; i < format_.palette.size(); ++i) {
    const Colour c = format_.palette[i];
    if (table[i].rgbRed != red_of(c) || table[i].rgbGreen != green_of(c) || table[i].rgbBlue != blue_of(c))
      return false;
  }
  return true;
}

bool BitmapFile::decode_into(HBITMAP bitmap, bool* part_written) {
  bool written = false;
  if (part_written == nullptr) part_written = &written;
  *part_written = false;
  if (!ok()) return false;
  // The view moves between bands.
  const auto data = [this] { return static_cast<const std::uint8_t*>(view_); };
  if (!format_.decodes_in_bands) return decode_rows_into(bitmap, data(), size_, format_, *part_written);
  const std::optional<RowTarget> target = rows_of(bitmap);
  if (!target) return false;
  const std::size_t rows = std::max<std::size_t>(1, kBandBytes / format_.stride());
  for (std::size_t first = 0; first < static_cast<std::size_t>(format_.height); first += rows) {
    const RowsDecoded band = decode_bmp_rows(data(), size_, format_, *target, {first, first + rows});
    if (!band.ok()) {
      *part_written = first > 0 || band.written;
      return false;
    }
    // The new view comes before the old one goes: should it fail, the old
    // one serves on (its pages stay in the working set, nothing worse).
    if (void* fresh = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0)) {
      UnmapViewOfFile(view_);
      view_ = fresh;
    }
  }
  return true;
}

HBITMAP bitmap_from_bmp_bytes(const std::uint8_t* data, std::size_t size) {
  const BmpRowFormat format = bmp_row_format(data, size);
  if (!format.ok()) return nullptr;
  return new_decoded_bitmap(format, [&](HBITMAP bitmap) {
    bool written = false;
    return decode_rows_into(bitmap, data, size, format, written);
  });
}

HBITMAP bitmap_from_image(const Image& image) {
  BmpRowFormat format;
  format.width = image.width;
  format.height = image.height;
  format.bits = 24;
  return new_decoded_bitmap(format, [&](HBITMAP bitmap) {
    const std::optional<DibSection> section = dib_section(bitmap);
    if (section) write_dib_rows(section->rows, Rect{0, 0, image.width, image.height}, image.pixels.data());
    return section.has_value();
  });
}

}  // namespace murkel

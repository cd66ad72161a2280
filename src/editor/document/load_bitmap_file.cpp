// Bitmap files into DIB sections through our own reader.
//
// The platform's loader gets some valid files wrong under Wine (top-down
// files come back black, 16-bit 5-6-5 files and colour tables of 12-byte
// headers with wrong colours) and takes some files our reader refuses. An
// effect or a Save would bake such errors into the user's file, so the editor
// shows what the reader decodes, in the file's own pixel format.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/codecs/bmp_reader.h"
#include "editor/document/bitmap_files.h"

namespace murkel {
namespace {

constexpr DWORD kMask555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kMask565[3] = {0xF800, 0x07E0, 0x001F};

// The whole file, or false when it cannot be read (or is too large for memory).
bool read_whole_file(const char* path, std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (std::int64_t{1} << 31);
  try {
    if (ok) bytes.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 26));
    ok = ReadFile(file, bytes.data() + done, want, &got, nullptr) && got > 0;
    done += got;
  }
  CloseHandle(file);
  return ok;
}

bool masks_are(const DecodeResult& d, const DWORD (&masks)[3]) {
  return d.masks[0] == masks[0] && d.masks[1] == masks[1] && d.masks[2] == masks[2];
}

// The DIB section's header and colour table for a decoded file.
struct DibRequest {
  BITMAPINFOHEADER header;
  union {
    RGBQUAD colours[256];
    DWORD masks[3];
  };
};

void describe(const DecodeResult& d, DibRequest& request) {
  BITMAPINFOHEADER& h = request.header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = d.image.width;
  h.biHeight = d.image.height;  // bottom-up
  h.biPlanes = 1;
  h.biCompression = BI_RGB;
  if (d.bits <= 8) {
    h.biBitCount = static_cast<WORD>(d.bits);
    // A run-length picture without a table is all index 0, black.
    h.biClrUsed = d.palette.empty() ? 1 : static_cast<DWORD>(d.palette.size());
    for (std::size_t i = 0; i < d.palette.size(); ++i) {
      const Colour c = d.palette[i];
      request.colours[i] = RGBQUAD{static_cast<BYTE>(blue_of(c)), static_cast<BYTE>(green_of(c)),
                                   static_cast<BYTE>(red_of(c)), 0};
    }
  } else if (d.bits == 16 && masks_are(d, kMask555)) {
    h.biBitCount = 16;
  } else if (d.bits == 16 && masks_are(d, kMask565)) {
    h.biBitCount = 16;
    h.biCompression = BI_BITFIELDS;
    std::memcpy(request.masks, kMask565, sizeof(kMask565));
  } else {
    h.biBitCount = d.bits == 24 ? 24 : 32;
  }
}

// One picture row (top row first) into a DIB row of the request's format.
// A 16-bit channel keeps the top bits of the reader's widened value, which
// are the file's own bits.
void pack_row(const DibRequest& request, const DecodeResult& d, int y, std::uint8_t* out) {
  const int width = d.image.width;
  const Colour* colours = d.image.pixels.data() + static_cast<std::size_t>(y) * width;
  const int bits = request.header.biBitCount;
  if (bits <= 8) {
    const std::uint8_t* index = d.indices.data() + static_cast<std::size_t>(y) * width;
    const int per_byte = 8 / bits;
    for (int x = 0; x < width; ++x) {
      const int shift = (per_byte - 1 - x % per_byte) * bits;
      out[x / per_byte] = static_cast<std::uint8_t>(out[x / per_byte] | (index[x] << shift));
    }
    return;
  }
  const bool six_green = request.header.biCompression == BI_BITFIELDS;
  for (int x = 0; x < width; ++x) {
    const Colour c = colours[x];
    const unsigned r = red_of(c), g = green_of(c), b = blue_of(c);
    switch (bits) {
      case 16: {
        const unsigned v = six_green ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        out[2 * x] = static_cast<std::uint8_t>(v);
        out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
      }
      case 24:
        out[3 * x] = static_cast<std::uint8_t>(b);
        out[3 * x + 1] = static_cast<std::uint8_t>(g);
        out[3 * x + 2] = static_cast<std::uint8_t>(r);
        break;
      default:
        out[4 * x] = static_cast<std::uint8_t>(b);
        out[4 * x + 1] = static_cast<std::uint8_t>(g);
        out[4 * x + 2] = static_cast<std::uint8_t>(r);
        out[4 * x + 3] = 0;
        break;
    }
  }
}

}  // namespace

HBITMAP load_bitmap_file(const char* path) {
  DecodeResult decoded;
  {
    std::vector<std::uint8_t> file;
    if (path == nullptr || !read_whole_file(path, file)) return nullptr;
    decoded = decode_bmp(file, kMaxDecodedBytes, true);
  }
  return bitmap_from_decoded(decoded);
}

HBITMAP bitmap_from_decoded(const DecodeResult& decoded) {
  if (!decoded.ok()) return nullptr;
  DibRequest request{};
  describe(decoded, request);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&request), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    return nullptr;
  }
  const int height = decoded.image.height;
  const std::size_t stride = (static_cast<std::size_t>(decoded.image.width) * request.header.biBitCount + 31) / 32 * 4;
  auto* rows = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = rows + static_cast<std::size_t>(height - 1 - y) * stride;
    std::memset(row, 0, stride);
    pack_row(request, decoded, y, row);
  }
  GdiFlush();
  return bitmap;
}

}  // namespace murkel

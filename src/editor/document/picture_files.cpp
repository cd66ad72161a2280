// Opening and saving pictures by format: bitmap files through our own codec
// (load_bitmap_file.cpp, write_bitmap_file.cpp), the others through WIC.
#include "editor/document/picture_files.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "core/codecs/dib_rows.h"
#include "core/codecs/orientation.h"
#include "core/codecs/picture_format.h"
#include "core/effects/effects.h"
#include "editor/app/app_state.h"
#include "editor/app/dib_sections.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"
#include "wic/wic_pictures.h"

namespace murkel {

bool is_bitmap_file(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char head[2] = {};
  DWORD got = 0;
  const bool read = ReadFile(file, head, sizeof(head), &got, nullptr);
  CloseHandle(file);
  return read && looks_like_bitmap_file(head, got);
}

std::optional<Image> read_working_pixels(const Rect& area) {
  const auto width = static_cast<std::int32_t>(area.width()), height = static_cast<std::int32_t>(area.height());
  Image image{width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height)};
  if (const std::optional<DibRows> rows = true_colour_rows(app.working_image)) {
    ViewLock lock;
    read_dib_rows(*rows, area, image.pixels.data());
    return image;
  }
  // Any other format through GDI, which maps its colours: a band of the
  // area's rows at a time into a 32-bit block of about a megabyte.
  const std::int32_t band = std::clamp<std::int32_t>((1 << 18) / std::max(width, 1), 1, std::max(height, 1));
  TransferBlock block;
  if (!reserve_transfer_block(block, width, band, true)) return std::nullopt;
  for (std::int32_t y = 0; y < height; y += band) {
    const std::int32_t rows = std::min(band, height - y);
    {
      ViewLock lock;
      BitBlt(block.dc, 0, 0, width, rows, app.working_image, area.left, area.top + y, SRCCOPY);
      GdiFlush();
    }
    for (std::int32_t r = 0; r < rows; ++r) {
      std::memcpy(image.pixels.data() + static_cast<std::size_t>(y + r) * width,
                  block.pixels + static_cast<std::size_t>(r) * block.width, width * sizeof(Colour));
    }
  }
  release_transfer_block(block);
  // GDI gives blue, green, red, 0: the colour's own order reversed.
  swap_red_and_blue(image.pixels.data(), image.pixels.size());
  return image;
}

namespace {

constexpr LONGLONG kMaxFileSize = LONGLONG{1} << 31;

// The whole file in one read; false when it cannot be read or is larger than
// any picture the editor opens.
bool read_whole_file(const wchar_t* path, std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  DWORD got = 0;
  bool read = GetFileSizeEx(file, &size) && size.QuadPart <= kMaxFileSize;
  if (read) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    read = bytes.empty() ||
           (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
  }
  CloseHandle(file);
  return read;
}

}  // namespace

HBITMAP load_wic_picture(const wchar_t* path, Transparency& transparency) {
  transparency = Transparency{};
  if (path == nullptr || path[0] == L'\0') return nullptr;
  try {
    std::optional<DecodedPicture> picture;
    int orientation = kUpright;
    {
      std::vector<std::uint8_t> file;
      if (!read_whole_file(path, file)) return nullptr;
      picture = decode_picture_bytes(file.data(), file.size());
      orientation = picture_orientation(file.data(), file.size());
    }
    if (!picture) return nullptr;
    // A photo turned as its orientation tag says is an ordinary upright
    // picture from here on, and a Save writes it upright.
    if (!picture->alpha.empty()) {
      picture->alpha =
          upright_pixels(picture->alpha.data(), picture->image.width, picture->image.height, orientation);
    }
    make_upright(picture->image, orientation);
    Transparency found = transparency_of(picture->image, picture->alpha);
    put_over_white(picture->image, picture->alpha);
    HBITMAP bitmap = bitmap_from_image(picture->image);
    if (bitmap != nullptr) transparency = std::move(found);
    return bitmap;
  } catch (const std::bad_alloc&) {
    note_memory_short();
    return nullptr;
  }
}

namespace {

// The file of the working image's picture in `format` (through WIC), with
// the document's transparency where the format has one. False with the
// reason for the user (nullptr when the picture could not be read).
bool encode_working_image(PictureFormat format, std::vector<std::uint8_t>& file, const wchar_t*& reason) {
  reason = nullptr;
  try {
    std::optional<Image> pixels = read_working_pixels(Rect{0, 0, app.bitmap.bmWidth, app.bitmap.bmHeight});
    if (!pixels) return false;
    Image& image = *pixels;
    const bool keep_alpha = format != PictureFormat::jpeg && app.transparency.any();
    if (keep_alpha) restore_hidden_colours(app.transparency, image.pixels.data(), image.pixels.size());
    reason = texts().save_cannot_encode;
    return encode_picture_bytes(image, keep_alpha ? app.transparency.alpha : std::vector<std::uint8_t>{}, format,
                                file);
  } catch (const std::bad_alloc&) {
    note_memory_short();
    reason = texts().save_no_memory;
    return false;
  }
}

}  // namespace

bool write_picture_file(const wchar_t* path) {
  const PictureFormat format = format_of_name(path);
  if (format == PictureFormat::bmp) return write_bitmap_file(path);
  if (!writable(format)) {
    report_save_failure(path, texts().save_unknown_format);
    return false;
  }
  std::vector<std::uint8_t> file;
  const wchar_t* reason = nullptr;
  if (!with_blocks_given_back([&] { return encode_working_image(format, file, reason); })) {
    report_save_failure(path, reason);
    return false;
  }
  return write_file_replacing(path, file);
}

}  // namespace murkel

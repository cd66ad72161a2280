// Opening and saving pictures by format: bitmap files through our own codec
// (load_bitmap_file.cpp, write_bitmap_file.cpp), the others through WIC.
#include "editor/document/picture_files.h"

#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "core/codecs/bmp_file_io.h"
#include "core/codecs/picture_format.h"
#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/app/transfer_blocks.h"
#include "editor/document/bitmap_files.h"
#include "editor/document/wic_pictures.h"

namespace murkel {
namespace {

}  // namespace

bool is_bitmap_file(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char head[2] = {};
  DWORD got = 0;
  const bool read = ReadFile(file, head, sizeof(head), &got, nullptr);
  CloseHandle(file);
  return read && looks_like_bitmap_file(head, got);
}

namespace {

// The working image's picture as straight colours, top row first.
bool read_working_image(Image& image) {
  image.width = app.bitmap.bmWidth;
  image.height = app.bitmap.bmHeight;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = image.width;
  request.bmiHeader.biHeight = -image.height;  // top row first
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  int rows = 0;
  {
    ViewLock lock;
    const auto picture = static_cast<HBITMAP>(GetCurrentObject(app.working_image, OBJ_BITMAP));
    rows = GetDIBits(app.working_image, picture, 0, static_cast<UINT>(image.height), image.pixels.data(), &request,
                     DIB_RGB_COLORS);
  }
  if (rows != image.height) return false;
  // GDI gives blue, green, red, 0: the colour's own order reversed.
  for (Colour& c : image.pixels) c = make_colour(blue_of(c), green_of(c), red_of(c));
  return true;
}

}  // namespace

HBITMAP load_wic_picture(const char* path, Transparency& transparency) {
  transparency = Transparency{};
  if (path == nullptr || path[0] == '\0') return nullptr;
  try {
    std::optional<DecodedPicture> picture;
    {
      const FileBytes file = read_file_bytes(path);
      if (!file.ok()) return nullptr;
      picture = decode_picture_bytes(file.bytes.data(), file.bytes.size());
    }
    if (!picture) return nullptr;
    Transparency found = transparency_of(picture->image, picture->alpha);
    put_over_white(picture->image, picture->alpha);
    HBITMAP bitmap = bitmap_from_image(picture->image);
    if (bitmap != nullptr) transparency = std::move(found);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

// The file of the working image's picture in `format` (through WIC), with
// the document's transparency where the format has one. False with the
// reason for the user (nullptr when the picture could not be read).
bool encode_working_image(PictureFormat format, std::vector<std::uint8_t>& file, const char*& reason) {
  reason = nullptr;
  try {
    Image image;
    if (!read_working_image(image)) return false;
    const bool keep_alpha = format != PictureFormat::jpeg && app.transparency.any();
    if (keep_alpha) restore_hidden_colours(app.transparency, image.pixels.data(), image.pixels.size());
    reason = text::kSaveCannotEncode;
    return encode_picture_bytes(image, keep_alpha ? app.transparency.alpha : std::vector<std::uint8_t>{}, format,
                                file);
  } catch (const std::bad_alloc&) {
    reason = text::kSaveNoMemory;
    return false;
  }
}

}  // namespace

bool write_picture_file(const char* path) {
  const PictureFormat format = format_of_name(path);
  if (format == PictureFormat::bmp) return write_bitmap_file(path);
  if (!writable(format)) {
    report_save_failure(path, text::kSaveUnknownFormat);
    return false;
  }
  std::vector<std::uint8_t> file;
  const char* reason = nullptr;
  if (!with_blocks_given_back([&] { return encode_working_image(format, file, reason); })) {
    report_save_failure(path, reason);
    return false;
  }
  return write_file_replacing(path, file);
}

}  // namespace murkel

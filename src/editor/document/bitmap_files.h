// Bitmap files into pictures of the editor and back out.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/codecs/bmp_reader.h"

namespace murkel {

// A bitmap file mapped into memory and kept from writers, its headers read,
// to be decoded straight into a DIB section's rows: into a new one, or into
// one that already has the file's size and format (a Revert of an unchanged
// file).
// The pixels are exactly those our reader decodes, in the file's own format
// where GDI keeps one (1, 4 and 8 bits with the file's colour table, 16 bits
// 5-5-5 or 5-6-5, 24, 32); 16-bit files with other channel masks become 32
// bits.
class BitmapFile {
 public:
  explicit BitmapFile(const wchar_t* path);
  ~BitmapFile();
  BitmapFile(const BitmapFile&) = delete;
  BitmapFile& operator=(const BitmapFile&) = delete;

  // False when the file cannot be read or its headers are refused.
  [[nodiscard]] bool ok() const { return format_.ok(); }
  [[nodiscard]] const BmpRowFormat& format() const { return format_; }
  // A new DIB section of the file's size and format holding its picture;
  // nullptr when the pixel data is refused or memory is short.
  [[nodiscard]] HBITMAP decoded_bitmap();
  // Whether the bitmap in `surface` is a DIB section of the file's size and
  // format, colour table included.
  [[nodiscard]] bool fits(HDC surface) const;
  // Decodes the picture into `bitmap`, a DIB section that fits.
  // False when the pixel data is refused: nothing has been written then,
  // unless the file changed while it was being read (`part_written`), which
  // the file kept from writers while this object lives makes unlikely.
  [[nodiscard]] bool decode_into(HBITMAP bitmap, bool* part_written = nullptr);

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  std::size_t size_ = 0;
  BmpRowFormat format_;
};

// The picture of a bitmap file's bytes held in memory (a pasted bitmap behind
// its made-up file header) as a new DIB section in the file's own format;
// nullptr when our reader refuses them or memory is short.
[[nodiscard]] HBITMAP bitmap_from_bmp_bytes(const std::uint8_t* data, std::size_t size);

// An opaque picture as a new 24-bit DIB section; nullptr when memory is short.
[[nodiscard]] HBITMAP bitmap_from_image(const Image& image);

// Writes the working image's current picture to `path` as a 24-bit bitmap
// file: into a temporary file beside it that then replaces it, so that a
// failed write leaves the old file as it was and no temporary behind. A
// failure is told to the user; the result says whether the file was written.
[[nodiscard]] bool write_bitmap_file(const wchar_t* path);

// Writes the bytes into a temporary file beside `path` that then replaces
// it; a failure is told to the user and leaves the old file as it was.
[[nodiscard]] bool write_file_replacing(const wchar_t* path, const std::vector<std::uint8_t>& bytes);

// Tells the user that `path` could not be saved, with the reason (or the
// system's text for `error` when `reason` is nullptr).
void report_save_failure(const wchar_t* path, const wchar_t* reason, DWORD error = ERROR_SUCCESS);

}  // namespace murkel

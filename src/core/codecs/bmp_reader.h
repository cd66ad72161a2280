// Decodes Windows bitmap files of every common kind into a 0x00BBGGRR picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace murkel {

struct DecodeResult {
  Image image;        // top row first
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads core (12-byte) and info (40, 52, 56, 108, 124-byte) headers; 1, 4,
// 8, 16, 24 and 32 bits per pixel; uncompressed, bit fields (16 and 32 bits)
// and run-length (8 and 4 bits) pixel data; bottom-up and top-down rows.
// Damaged or hostile files are refused with a reason, never read past their
// end; nothing is allocated for the picture before its size is checked.
[[nodiscard]] DecodeResult decode_bmp(const std::uint8_t* data, std::size_t size,
                                      std::uint64_t max_decoded_bytes = kMaxDecodedBytes);
[[nodiscard]] inline DecodeResult decode_bmp(const std::vector<std::uint8_t>& bytes,
                                             std::uint64_t max_decoded_bytes = kMaxDecodedBytes) {
  return decode_bmp(bytes.data(), bytes.size(), max_decoded_bytes);
}

// The rows a front end keeps a file's picture in, in the file's own format
// where a device-independent bitmap has one: 1, 4 and 8 bits as indices into
// the file's colour table, 16 bits as 5-5-5 or 5-6-5, 24 bits as B, G, R;
// every other file (16 bits with other channel masks, 32 bits) as B, G, R, 0.
// Rows are padded to 4 bytes.
struct BmpRowFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t bits = 0;       // 1, 4, 8, 16, 24 or 32
  bool five_six_five = false;   // 16 bits: 5-6-5 rather than 5-5-5
  std::vector<Colour> palette;  // 1, 4 and 8 bits: the table as read (empty for run-length data without one: black)
  std::string error;            // empty when the file can be decoded so far as its headers tell
  // Uncompressed rows in which every value has a colour: each row decodes on
  // its own and none can be refused, so the picture may be decoded a band of
  // rows at a time.
  bool decodes_in_bands = false;
  [[nodiscard]] bool ok() const { return error.empty(); }
  [[nodiscard]] std::size_t stride() const {
    return static_cast<std::size_t>((std::uint64_t{static_cast<std::uint32_t>(width)} * bits + 31) / 32 * 4);
  }
  friend bool operator==(const BmpRowFormat&, const BmpRowFormat&) = default;
};

// The headers' verdict: the row format of the file's picture, or why it is refused.
[[nodiscard]] BmpRowFormat bmp_row_format(const std::uint8_t* data, std::size_t size,
                                          std::uint64_t max_decoded_bytes = kMaxDecodedBytes);

// Where decoded rows go: the picture's row 0 and the bytes from one picture
// row to the next (negative for rows stored bottom-up).
struct RowTarget {
  std::uint8_t* top_row = nullptr;
  std::ptrdiff_t stride = 0;
};

// Picture rows [first, last) (top row 0), cut to the picture.
struct RowBand {
  std::size_t first = 0;
  std::size_t last = SIZE_MAX;
};

struct RowsDecoded {
  std::string error;     // empty on success
  bool written = false;  // refused by the pass that writes: rows may have been written
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Decodes the file's pixels straight into rows of `format`, its
// bmp_row_format, in one pass from the file's bytes (a file whose pixel data
// may still be refused half-way, colour indices or run-length data, is
// checked first). On a refusal nothing has been written, unless the bytes
// changed between the check and the pass that writes (a file that another
// program writes while it is read): that refusal says rows were written.
// Bytes that no longer give `format` (a file changed since) are refused too.
// With a band, only those rows are decoded (and only the file's bytes of
// those rows are read); a band short of the whole picture is refused unless
// `format.decodes_in_bands`.
[[nodiscard]] RowsDecoded decode_bmp_rows(const std::uint8_t* data, std::size_t size, const BmpRowFormat& format,
                                          const RowTarget& target, RowBand band = {});

}  // namespace murkel

// The size a picture file claims: a few bounded reads of its header, and for
// a GIF a walk over its blocks by their lengths (no pixel data is decoded).
#include "core/codecs/picture_header.h"

#include <algorithm>
#include <cstring>

namespace murkel {
namespace {

// The bytes, read only where they are.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data == nullptr ? 0 : size) {}
  [[nodiscard]] bool has(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] std::uint8_t byte(std::size_t at) const { return data_[at]; }
  [[nodiscard]] bool starts_with(const char* text, std::size_t length) const {
    return has(0, length) && std::memcmp(data_, text, length) == 0;
  }
  // Multi-byte values; the caller has checked that they are there.
  [[nodiscard]] std::uint32_t value(std::size_t at, int count, bool big_endian) const {
    std::uint32_t v = 0;
    for (int k = 0; k < count; ++k) {
      const std::uint32_t b = data_[at + (big_endian ? k : count - 1 - k)];
      v = v << 8 | b;
    }
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

PictureHeader refused(PictureFormat format, std::string error) {
  PictureHeader header;
  header.format = format;
  header.error = std::move(error);
  return header;
}

std::string size_text(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// The picture's own size, checked.
PictureHeader sized(PictureFormat format, std::uint32_t width, std::uint32_t height, std::uint64_t max_decoded_bytes) {
  if (width == 0 || height == 0) return refused(format, "the header claims a picture of " + size_text(width, height));
  if (!within_picture_limit(width, height, max_decoded_bytes)) {
    return refused(format, "the picture is too large (" + size_text(width, height) + ")");
  }
  PictureHeader header;
  header.format = format;
  header.width = width;
  header.height = height;
  return header;
}

// IHDR comes first, right after the signature.
PictureHeader png_header(const Reader& r, std::uint64_t max_decoded_bytes) {
  if (!r.has(8, 16) || r.value(8, 4, true) != 13 || r.value(12, 4, true) != 0x49484452) {  // "IHDR"
    return refused(PictureFormat::png, "the PNG file has no image header");
  }
  return sized(PictureFormat::png, r.value(16, 4, true), r.value(20, 4, true), max_decoded_bytes);
}

// The frame header (SOFn) that comes before the first scan. Markers are
// found as decoders find them: bytes other than 0xFF before a marker are
// skipped, so are fill bytes, and 0xFF 0x00 is no marker.
PictureHeader jpeg_header(const Reader& r, std::uint64_t max_decoded_bytes) {
  std::size_t at = 2;
  for (;;) {
    while (at < r.size() && r.byte(at) != 0xFF) ++at;
    while (at < r.size() && r.byte(at) == 0xFF) ++at;
    if (at >= r.size()) return refused(PictureFormat::jpeg, "the JPEG file ends before its frame header");
    const std::uint8_t marker = r.byte(at++);
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) return refused(PictureFormat::jpeg, "the JPEG file has no frame header");
    if (!r.has(at, 2) || r.value(at, 2, true) < 2) {
      return refused(PictureFormat::jpeg, "the JPEG file ends before its frame header");
    }
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (!r.has(at, 7)) return refused(PictureFormat::jpeg, "the JPEG frame header is cut short");
      // Length, precision, then the height before the width.
      return sized(PictureFormat::jpeg, r.value(at + 5, 2, true), r.value(at + 3, 2, true), max_decoded_bytes);
    }
    at += r.value(at, 2, true);
  }
}

// Where a run of data sub-blocks (each a length byte and that many bytes,
// ended by a length of 0) ends; the end of the bytes when they are cut short.
std::size_t after_sub_blocks(const Reader& r, std::size_t at) {
  while (r.has(at, 1)) {
    const std::size_t length = r.byte(at++);
    if (length == 0) return at;
    at = r.has(at, length) ? at + length : r.size();
  }
  return r.size();
}

std::size_t colour_table_bytes(std::uint8_t flags) { return (flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0; }

// The logical screen, then every frame descriptor up to the trailer (or to
// whatever a decoder would stop at): some decoders read all frames into
// memory when the file is opened, so all of them together are held to the
// limit.
PictureHeader gif_header(const Reader& r, std::uint64_t max_decoded_bytes) {
  if (!r.has(0, 13)) return refused(PictureFormat::gif, "the GIF file has no screen descriptor");
  PictureHeader header = sized(PictureFormat::gif, r.value(6, 2, false), r.value(8, 2, false), max_decoded_bytes);
  if (!header.ok()) return header;
  std::uint64_t frame_pixels = 0;
  std::size_t at = 13 + colour_table_bytes(r.byte(10));
  while (r.has(at, 1)) {
    const std::uint8_t introducer = r.byte(at++);
    if (introducer == 0x21) {  // an extension: its label, then its sub-blocks
      at = after_sub_blocks(r, at + 1);
    } else if (introducer == 0x2C && r.has(at, 9)) {  // a frame: its place, size and flags
      const std::uint32_t width = r.value(at + 4, 2, false), height = r.value(at + 6, 2, false);
      frame_pixels += std::uint64_t{width} * height;
      if (!within_picture_limit(frame_pixels, 1, max_decoded_bytes)) {
        return refused(PictureFormat::gif, "the GIF file's frames are too large (one of " + size_text(width, height) +
                                               ", " + std::to_string(frame_pixels) + " pixels so far)");
      }
      // The colour table and the code size byte, then the pixel data.
      at = after_sub_blocks(r, at + 9 + colour_table_bytes(r.byte(at + 8)) + 1);
    } else {
      break;  // the trailer, a cut descriptor, or a block no decoder reads past
    }
  }
  return header;
}

// One directory entry: its tag, type, count and where its values stand (in
// the entry when they fit its four bytes, else at the offset it holds).
struct TiffField {
  std::uint32_t tag = 0, type = 0, count = 0;
  std::size_t values = 0;
  int bytes = 0;  // of one value: BYTE 1, SHORT 2, LONG 4; 0 for another type
};

// What a decoder sizes its buffers by, beside the picture's size: the tiles,
// the strips and tiles it is told of, the samples of a pixel and their bits.
struct TiffLayout {
  std::uint32_t size[2] = {0, 0};
  std::uint32_t tile[2] = {0, 0};
  bool tiled = false;
  std::uint32_t samples = 1, extra_samples = 0, pieces = 0;
  std::uint32_t widest_sample = 8;
  std::uint32_t narrowest_sample = 8;
};

constexpr std::uint32_t kTiffMaxColourSamples = 4, kTiffMaxBits = 16;

// Reads one entry's values into the layout; false when it is malformed.
bool read_tiff_field(const Reader& r, const TiffField& f, bool big_endian, TiffLayout& layout) {
  const auto value = [&](std::uint32_t i) { return r.value(f.values + std::size_t{i} * f.bytes, f.bytes, big_endian); };
  const bool single = f.bytes != 0 && f.bytes != 1 && f.count == 1;  // one SHORT or LONG
  switch (f.tag) {
    case 256:
    case 257:  // where a size stands twice, the larger counts
      if (!(f.bytes != 0 && f.count == 1)) return false;
      layout.size[f.tag - 256] = std::max(layout.size[f.tag - 256], value(0));
      return true;
    case 322:
    case 323:
      if (!single) return false;
      layout.tile[f.tag - 322] = value(0);
      layout.tiled = true;
      return true;
    case 273: case 279: case 324: case 325:  // strip or tile offsets and byte counts
      if (f.bytes < 2 || f.count == 0) return false;
      layout.pieces = std::max(layout.pieces, f.count);
      layout.tiled |= f.tag >= 324;
      return true;
    case 277:
      if (!single) return false;
      layout.samples = value(0);
      return true;
    case 338:
      layout.extra_samples = f.count;
      return f.bytes != 0;
    case 258:
      if (f.bytes < 2 || f.count == 0 || f.count > kTiffMaxColourSamples + 1) return false;
      layout.widest_sample = 0;
      layout.narrowest_sample = kTiffMaxBits + 1;
      for (std::uint32_t i = 0; i < f.count; ++i) {
        layout.widest_sample = std::max(layout.widest_sample, value(i));
        layout.narrowest_sample = std::min(layout.narrowest_sample, value(i));
      }
      return true;
    default:
      return true;
  }
}

std::uint64_t pieces_along(std::uint32_t size, std::uint32_t piece) { return (std::uint64_t{size} + piece - 1) / piece; }

// The first directory: the picture's size (256, 257) held to the limit, and
// what else a decoder sizes its buffers by held to the picture: tiles
// (322, 323) at most the picture rounded up to 16, no more strips or tiles
// (273, 279, 324, 325) than the picture has room for, at most 4 samples a
// pixel besides one alpha (277, 338), of 1 to 16 bits (258). Every array of
// values lies within the bytes.
PictureHeader tiff_header(const Reader& r, std::uint64_t max_decoded_bytes) {
  const bool big_endian = r.byte(0) == 'M';
  const std::size_t directory = r.has(4, 4) ? r.value(4, 4, big_endian) : r.size();
  if (!r.has(directory, 2)) return refused(PictureFormat::tiff, "the TIFF file has no first directory");
  const std::uint32_t entries = r.value(directory, 2, big_endian);
  TiffLayout layout;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::size_t entry = directory + 2 + std::size_t{12} * i;
    if (!r.has(entry, 12)) return refused(PictureFormat::tiff, "the TIFF file's first directory is cut short");
    TiffField f;
    f.tag = r.value(entry, 2, big_endian);
    f.type = r.value(entry + 2, 2, big_endian);
    f.count = r.value(entry + 4, 4, big_endian);
    f.bytes = f.type == 1 ? 1 : f.type == 3 ? 2 : f.type == 4 ? 4 : 0;
    const std::uint64_t length = std::uint64_t{f.count} * f.bytes;
    // A value shorter than four bytes stands at the start of the field.
    f.values = length <= 4 ? entry + 8 : r.value(entry + 8, 4, big_endian);
    if (length > 4 && !r.has(f.values, static_cast<std::size_t>(std::min<std::uint64_t>(length, r.size() + 1)))) {
      return refused(PictureFormat::tiff, "the TIFF file's tag " + std::to_string(f.tag) + " lies past its end");
    }
    if (!read_tiff_field(r, f, big_endian, layout)) {
      return refused(PictureFormat::tiff, "the TIFF file's tag " + std::to_string(f.tag) + " is malformed");
    }
  }
  PictureHeader header = sized(PictureFormat::tiff, layout.size[0], layout.size[1], max_decoded_bytes);
  if (!header.ok()) return header;
  const std::uint32_t alpha = std::min<std::uint32_t>(layout.extra_samples, 1);
  if (layout.samples == 0 || layout.samples > kTiffMaxColourSamples + alpha || layout.widest_sample > kTiffMaxBits ||
      layout.narrowest_sample == 0) {
    return refused(PictureFormat::tiff, "the TIFF file's samples are past what the editor opens (" +
                                            std::to_string(layout.samples) + " of up to " +
                                            std::to_string(layout.widest_sample) + " bits)");
  }
  std::uint64_t room = std::uint64_t{layout.size[1]} * layout.samples;  // one strip a row, a plane a sample
  if (layout.tiled) {
    for (int axis = 0; axis < 2; ++axis) {
      const std::uint32_t most = (layout.size[axis] + 15) / 16 * 16;
      if (layout.tile[axis] == 0 || layout.tile[axis] > most) {
        return refused(PictureFormat::tiff, "the TIFF file's tiles of " + size_text(layout.tile[0], layout.tile[1]) +
                                                " do not suit its picture");
      }
    }
    room = pieces_along(layout.size[0], layout.tile[0]) * pieces_along(layout.size[1], layout.tile[1]) *
           layout.samples;
  }
  if (layout.pieces > room) {
    return refused(PictureFormat::tiff, "the TIFF file claims " + std::to_string(layout.pieces) +
                                            " strips or tiles, more than its picture holds");
  }
  return header;
}

}  // namespace

PictureHeader read_picture_header(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  const Reader r(data, size);
  if (r.starts_with("\x89PNG\r\n\x1A\n", 8)) return png_header(r, max_decoded_bytes);
  if (r.starts_with("\xFF\xD8", 2)) return jpeg_header(r, max_decoded_bytes);
  if (r.starts_with("GIF87a", 6) || r.starts_with("GIF89a", 6)) return gif_header(r, max_decoded_bytes);
  if (r.starts_with("II*\0", 4) || r.starts_with("MM\0*", 4)) return tiff_header(r, max_decoded_bytes);
  return refused(PictureFormat::other, "the bytes are no PNG, JPEG, GIF or TIFF file");
}

}  // namespace murkel

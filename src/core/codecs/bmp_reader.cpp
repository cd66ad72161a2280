// Bitmap file decoder: headers, colour tables, bit fields and run-length data.
//
// Where readers disagree it follows the Windows loader: 16-bit pixels without
// masks are 5-5-5, narrow channels widen by bit replication, pixels that a
// run-length stream never sets keep colour table entry 0, and runs that pass
// the right edge of a row are cut there.
#include "core/codecs/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <new>

namespace murkel {
namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;

std::uint32_t get_u16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t get_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t get_i32(const std::uint8_t* p) { return static_cast<std::int32_t>(get_u32(p)); }

// Everything the pixel decoders need from the headers.
struct Header {
  std::int64_t width = 0;
  std::int64_t height = 0;  // positive; top_down says which way the rows run
  bool top_down = false;
  std::uint32_t bits = 0;
  std::uint32_t compression = kRgb;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  std::array<Colour, 256> palette{};
  std::uint32_t palette_size = 0;
  std::uint64_t pixel_offset = 0;
};

// One channel of a bit-field pixel, widened to 8 bits by repeating its bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  std::array<std::uint8_t, 256> widen{};

  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    bits = std::bit_width(m >> shift);
    if (bits > 8) return;
    for (std::uint32_t v = 0; v < (1u << bits); ++v) {
      std::uint32_t out = 0;
      for (int k = 8 - bits; k > -bits; k -= bits) out |= k >= 0 ? v << k : v >> -k;
      widen[v] = static_cast<std::uint8_t>(out);
    }
  }

  std::uint32_t get(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask) >> shift;
    return bits > 8 ? (v >> (bits - 8)) & 0xFF : widen[v & 0xFF];
  }
};

DecodeResult fail(std::string message) {
  DecodeResult result;
  result.error = std::move(message);
  return result;
}

// Reads the colour table of size entries of entry_size bytes at offset.
bool read_palette(const std::uint8_t* data, std::size_t size, std::uint64_t offset, std::uint32_t entries,
                  std::uint32_t entry_size, Header& h) {
  if (offset + std::uint64_t{entries} * entry_size > size) return false;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = data + offset + std::uint64_t{i} * entry_size;
    h.palette[i] = make_colour(e[2], e[1], e[0]);
  }
  h.palette_size = entries;
  return true;
}

std::string parse_header(const std::uint8_t* data, std::size_t size, Header& h) {
  if (size < 18) return "not a bitmap file: it is too short";
  if (data[0] != 'B' || data[1] != 'M') return "not a bitmap file: no 'BM' signature";
  const std::uint32_t offset_field = get_u32(data + 10);
  const std::uint32_t header_size = get_u32(data + 14);
  const bool core = header_size == 12;
  if (!core && header_size != 40 && header_size != 52 && header_size != 56 && header_size != 108 &&
      header_size != 124)
    return "unsupported bitmap header size " + std::to_string(header_size);
  if (14 + std::uint64_t{header_size} > size) return "the bitmap file is truncated inside its header";
  const std::uint8_t* p = data + 14;

  std::uint32_t colours_used = 0;
  if (core) {
    h.width = get_u16(p + 4);
    h.height = get_u16(p + 6);
    h.bits = get_u16(p + 10);
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24)
      return "unsupported bits per pixel " + std::to_string(h.bits);
  } else {
    h.width = get_i32(p + 4);
    const std::int32_t height = get_i32(p + 8);
    if (height == std::numeric_limits<std::int32_t>::min()) return "invalid bitmap height";
    h.top_down = height < 0;
    h.height = height < 0 ? -std::int64_t{height} : height;
    h.bits = get_u16(p + 14);
    h.compression = get_u32(p + 16);
    colours_used = get_u32(p + 32);
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
      return "unsupported bits per pixel " + std::to_string(h.bits);
  }
  if (h.width <= 0 || h.height <= 0)
    return "invalid bitmap size " + std::to_string(h.width) + " x " + std::to_string(h.height);

  switch (h.compression) {
    case kRgb:
      break;
    case kRle8:
      if (h.bits != 8) return "run-length (8-bit) data needs 8 bits per pixel";
      break;
    case kRle4:
      if (h.bits != 4) return "run-length (4-bit) data needs 4 bits per pixel";
      break;
    case kBitfields:
      if (h.bits != 16 && h.bits != 32) return "bit-field data needs 16 or 32 bits per pixel";
      break;
    default:
      return "unsupported bitmap compression " + std::to_string(h.compression);
  }
  if (h.top_down && (h.compression == kRle8 || h.compression == kRle4))
    return "run-length data cannot run top-down";

  // Masks follow a 40-byte header; longer headers hold them.
  std::uint64_t table_offset = 14 + std::uint64_t{header_size};
  if (h.compression == kBitfields) {
    const std::uint8_t* m = p + 40;
    if (header_size == 40) {
      if (table_offset + 12 > size) return "the bitmap file is truncated inside its colour masks";
      m = data + table_offset;
      table_offset += 12;
    }
    h.masks = {get_u32(m), get_u32(m + 4), get_u32(m + 8)};
  }
  // Without bit fields 16 bits are 5-5-5 and 32 bits B, G, R, unused; bit
  // fields of zero give black, as the Windows loader shows them.
  if (h.compression != kBitfields) {
    if (h.bits == 16) h.masks = {0x7C00, 0x03E0, 0x001F};
    if (h.bits == 32) h.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }

  if (offset_field != 0 && offset_field < 14 + header_size)
    return "invalid pixel data offset " + std::to_string(offset_field);

  if (h.bits <= 8) {
    const std::uint32_t entry_size = core ? 3 : 4;
    const std::uint32_t full = 1u << h.bits;
    std::uint32_t entries = colours_used == 0 || colours_used > full ? full : colours_used;
    // A table said to be longer than the room before the pixels ends where
    // they begin; indices past it are refused below.
    if (offset_field != 0) {
      const std::uint64_t room = offset_field > table_offset ? (offset_field - table_offset) / entry_size : 0;
      if (room < entries) entries = static_cast<std::uint32_t>(room);
    }
    if (!read_palette(data, size, table_offset, entries, entry_size, h))
      return "the bitmap file is truncated inside its colour table";
  }

  h.pixel_offset = offset_field != 0 ? offset_field
                                     : table_offset + std::uint64_t{h.palette_size} * (core ? 3 : 4);
  if (h.pixel_offset >= size) return "the bitmap file has no pixel data (offset past its end)";
  return {};
}

// Where decoded pixels go. Rows are visited top row first by the
// uncompressed decoder; run-length data puts pixels anywhere.
//
// A 0x00BBGGRR picture, for decode_bmp.
struct ImageSink {
  Image& image;
  Colour* row = nullptr;

  void fill(Colour background) { std::fill(image.pixels.begin(), image.pixels.end(), background); }
  void begin_row(std::size_t y) { row = image.pixels.data() + y * static_cast<std::size_t>(image.width); }
  void index(std::size_t x, std::uint32_t, Colour c) { row[x] = c; }
  void colour(std::size_t x, Colour c) { row[x] = c; }
  void bgr_row(const std::uint8_t* src, std::size_t width) {
    for (std::size_t x = 0; x < width; ++x, src += 3)
      row[x] = static_cast<Colour>(src[2]) | (static_cast<Colour>(src[1]) << 8) | (static_cast<Colour>(src[0]) << 16);
  }
  void put(std::size_t x, std::size_t y, std::uint32_t index, Colour c) {
    begin_row(y);
    this->index(x, index, c);
  }
};

// Nothing: the pass that finds whether the pixel data is sound before any
// row of a caller's picture is written.
struct CheckSink {
  void fill(Colour) {}
  void begin_row(std::size_t) {}
  void index(std::size_t, std::uint32_t, Colour) {}
  void colour(std::size_t, Colour) {}
  void bgr_row(const std::uint8_t*, std::size_t) {}
  void put(std::size_t, std::size_t, std::uint32_t, Colour) {}
};

// Rows of the file's own format (BmpRowFormat).
struct RowSink {
  RowTarget target;
  std::uint32_t bits = 0;
  bool five_six_five = false;
  std::size_t width = 0;
  std::size_t height = 0;
  std::size_t stride = 0;  // bytes a row uses, padding included
  std::uint8_t* row = nullptr;

  std::uint8_t* row_at(std::size_t y) const { return target.top_row + static_cast<std::ptrdiff_t>(y) * target.stride; }
  // Run-length pictures start as index 0 everywhere.
  void fill(Colour) {
    for (std::size_t y = 0; y < height; ++y) std::fill_n(row_at(y), stride, std::uint8_t{0});
  }
  // Indices are or-ed into a cleared row; other rows get their padding cleared.
  void begin_row(std::size_t y) {
    row = row_at(y);
    const std::size_t used = bits <= 8 ? 0 : width * (bits / 8);
    std::fill(row + used, row + stride, std::uint8_t{0});
  }
  void index(std::size_t x, std::uint32_t index, Colour) {
    const std::size_t per_byte = 8 / bits;
    const std::size_t shift = (per_byte - 1 - x % per_byte) * bits;
    std::uint8_t& byte = row[x / per_byte];
    byte = static_cast<std::uint8_t>((byte & ~(((1u << bits) - 1) << shift)) | (index << shift));
  }
  // A 16-bit channel keeps the top bits of the widened value, which are the file's own bits.
  void colour(std::size_t x, Colour c) {
    const unsigned r = static_cast<unsigned>(red_of(c)), g = static_cast<unsigned>(green_of(c)),
                   b = static_cast<unsigned>(blue_of(c));
    if (bits == 16) {
      const unsigned v = five_six_five ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
      row[2 * x] = static_cast<std::uint8_t>(v);
      row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      return;
    }
    std::uint8_t* p = row + x * (bits / 8);
    p[0] = static_cast<std::uint8_t>(b);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(r);
    if (bits == 32) p[3] = 0;
  }
  void bgr_row(const std::uint8_t* src, std::size_t width_) { std::copy_n(src, width_ * 3, row); }
  void put(std::size_t x, std::size_t y, std::uint32_t index, Colour c) {
    row = row_at(y);
    this->index(x, index, c);
  }
};

// The caller has checked that the file holds every row.
template <class Sink>
std::string decode_uncompressed(const std::uint8_t* data, const Header& h, Sink& sink, RowBand band = {}) {
  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t stride = static_cast<std::size_t>((h.width * h.bits + 31) / 32 * 4);
  const std::uint8_t* pixels = data + h.pixel_offset;
  const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
  // Every index can be looked up when the table is full.
  const bool full_table = h.bits <= 8 && h.palette_size == (1u << h.bits);

  for (std::size_t y = band.first; y < std::min(band.last, static_cast<std::size_t>(h.height)); ++y) {
    const std::size_t file_row = h.top_down ? y : static_cast<std::size_t>(h.height) - 1 - y;
    const std::uint8_t* src = pixels + file_row * stride;
    sink.begin_row(y);
    switch (h.bits) {
      case 1:
      case 4:
      case 8: {
        const std::uint32_t per_byte = 8 / h.bits;
        const std::uint32_t mask = (1u << h.bits) - 1;
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t shift = (per_byte - 1 - static_cast<std::uint32_t>(x % per_byte)) * h.bits;
          const std::uint32_t index = (src[x / per_byte] >> shift) & mask;
          if (!full_table && index >= h.palette_size)
            return "colour index " + std::to_string(index) + " is outside the colour table of " +
                   std::to_string(h.palette_size) + " entries";
          sink.index(x, index, h.palette[index]);
        }
        break;
      }
      case 16:
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t v = get_u16(src + 2 * x);
          sink.colour(x, make_colour(static_cast<int>(red.get(v)), static_cast<int>(green.get(v)),
                                     static_cast<int>(blue.get(v))));
        }
        break;
      case 24:
        sink.bgr_row(src, width);
        break;
      case 32:
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t v = get_u32(src + 4 * x);
          sink.colour(x, make_colour(static_cast<int>(red.get(v)), static_cast<int>(green.get(v)),
                                     static_cast<int>(blue.get(v))));
        }
        break;
    }
  }
  return {};
}

template <class Sink>
std::string decode_run_length(const std::uint8_t* data, std::size_t size, const Header& h, Sink& sink) {
  const bool four = h.compression == kRle4;
  const std::int64_t width = h.width;
  const std::int64_t height = h.height;
  sink.fill(h.palette_size > 0 ? h.palette[0] : 0);

  std::int64_t x = 0;
  std::int64_t y = 0;  // rows counted from the bottom of the picture
  const auto put = [&](std::int64_t at, std::uint32_t index) -> bool {
    if (index >= h.palette_size) return false;
    sink.put(static_cast<std::size_t>(at), static_cast<std::size_t>(height - 1 - y), index, h.palette[index]);
    return true;
  };
  const std::string past = "the run-length data runs past the picture";
  const std::string bad_index = "a run-length colour index is outside the colour table";

  std::size_t pos = static_cast<std::size_t>(h.pixel_offset);
  while (pos < size) {
    if (size - pos < 2) return "the run-length data is truncated";
    const std::uint32_t count = data[pos];
    const std::uint32_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (y >= height) return past;
      for (std::uint32_t i = 0; i < count && x + i < width; ++i) {
        const std::uint32_t index = four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value;
        if (!put(x + i, index)) return bad_index;
      }
      x += count;  // the part past the right edge is cut
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        if (++y > height) return past;
        break;
      case 1:  // end of bitmap
        return {};
      case 2:  // delta
        if (size - pos < 2) return "the run-length data is truncated";
        x += data[pos];
        y += data[pos + 1];
        pos += 2;
        if (y > height || (y == height && x > 0)) return past;
        break;
      default: {  // absolute run, padded to a 16-bit boundary
        const std::size_t bytes = four ? (value + 1) / 2 : value;
        const std::size_t padded = bytes + (bytes & 1);
        if (size - pos < padded) return "the run-length data is truncated";
        if (y >= height) return past;
        for (std::uint32_t i = 0; i < value && x + i < width; ++i) {
          const std::uint32_t byte = data[pos + (four ? i / 2 : i)];
          const std::uint32_t index = four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
          if (!put(x + i, index)) return bad_index;
        }
        x += value;
        pos += padded;
        break;
      }
    }
  }
  // The Windows loader keeps nothing of a stream without its end mark.
  return "the run-length data ends without an end-of-bitmap mark";
}

// The headers parsed and the picture's size and rows checked against the
// cap and the file's length.
std::string check_file(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes, Header& h) {
  if (data == nullptr) size = 0;
  if (std::string error = parse_header(data, size, h); !error.empty()) return error;
  if (!within_picture_limit(static_cast<std::uint64_t>(h.width), static_cast<std::uint64_t>(h.height),
                            max_decoded_bytes))
    return "the picture is too large (" + std::to_string(h.width) + " x " + std::to_string(h.height) + ")";
  if (h.compression != kRle8 && h.compression != kRle4) {
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
    const std::uint64_t last_row = (static_cast<std::uint64_t>(h.width) * h.bits + 7) / 8;
    const std::uint64_t needed = stride * static_cast<std::uint64_t>(h.height - 1) + last_row;
    if (h.pixel_offset + needed > size)
      return "the bitmap file is truncated: its pixel rows need " + std::to_string(needed) + " bytes, " +
             std::to_string(size - h.pixel_offset) + " are there";
  }
  return {};
}

BmpRowFormat row_format(const Header& h) {
  BmpRowFormat format;
  format.width = static_cast<std::int32_t>(h.width);
  format.height = static_cast<std::int32_t>(h.height);
  const bool mask555 = h.masks == std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F};
  const bool mask565 = h.masks == std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x001F};
  format.decodes_in_bands = h.compression != kRle8 && h.compression != kRle4 &&
                     (h.bits > 8 || h.palette_size == (1u << h.bits));
  if (h.bits <= 8) {
    format.bits = h.bits;
    format.palette.assign(h.palette.begin(), h.palette.begin() + h.palette_size);
  } else if (h.bits == 16 && (mask555 || mask565)) {
    format.bits = 16;
    format.five_six_five = mask565;
  } else {
    format.bits = h.bits == 24 ? 24 : 32;
  }
  return format;
}

template <class Sink>
std::string decode_pixels(const std::uint8_t* data, std::size_t size, const Header& h, Sink& sink) {
  return h.compression == kRle8 || h.compression == kRle4 ? decode_run_length(data, size, h, sink)
                                                          : decode_uncompressed(data, h, sink);
}

}  // namespace

DecodeResult decode_bmp(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  Header h;
  if (std::string error = check_file(data, size, max_decoded_bytes, h); !error.empty()) return fail(std::move(error));
  DecodeResult result;
  result.image.width = static_cast<std::int32_t>(h.width);
  result.image.height = static_cast<std::int32_t>(h.height);
  try {
    result.image.pixels.resize(static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height));
  } catch (const std::bad_alloc&) {
    return fail("not enough memory for a " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                " picture");
  }
  ImageSink sink{result.image};
  if (std::string error = decode_pixels(data, size, h, sink); !error.empty()) return fail(std::move(error));
  return result;
}

BmpRowFormat bmp_row_format(const std::uint8_t* data, std::size_t size, std::uint64_t max_decoded_bytes) {
  Header h;
  if (std::string error = check_file(data, size, max_decoded_bytes, h); !error.empty()) {
    BmpRowFormat refused;
    refused.error = std::move(error);
    return refused;
  }
  return row_format(h);
}

RowsDecoded decode_bmp_rows(const std::uint8_t* data, std::size_t size, const BmpRowFormat& format,
                            const RowTarget& target, RowBand band) {
  Header h;
  if (std::string error = check_file(data, size, kMaxDecodedBytes, h); !error.empty()) return {error};
  if (row_format(h) != format) return {"the bitmap file's headers have changed"};
  const bool whole = band.first == 0 && band.last >= static_cast<std::size_t>(h.height);
  if (!whole && !format.decodes_in_bands) return {"this bitmap file's rows cannot be decoded a band at a time"};
  const bool run_length = h.compression == kRle8 || h.compression == kRle4;
  if (run_length || (h.bits <= 8 && h.palette_size < (1u << h.bits))) {
    CheckSink check;
    if (std::string error = decode_pixels(data, size, h, check); !error.empty()) return {error};
  }
  RowSink sink{target, format.bits, format.five_six_five, static_cast<std::size_t>(h.width),
               static_cast<std::size_t>(h.height), format.stride()};
  RowsDecoded result{whole ? decode_pixels(data, size, h, sink) : decode_uncompressed(data, h, sink, band)};
  result.written = !result.ok();
  return result;
}

}  // namespace murkel

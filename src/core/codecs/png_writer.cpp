// Encodes PNG files: the rows are filtered and deflated in pieces on all
// cores (each piece primed with the 32 KB before it, as the one stream would
// see them), joined into one zlib stream and framed by libpng.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/codecs/png_codec.h"

namespace murkel {
namespace {

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;  // filtered bytes per piece, about
constexpr std::size_t kWindow = 32768;

struct Rows {
  const Image& image;
  const std::uint8_t* alpha;  // null: RGB
  std::size_t bpp;
  std::size_t size;  // bytes of one row

  // Row y as stored in the file: R, G, B (, A) per pixel.
  void raw(std::int32_t y, std::uint8_t* out) const {
    const std::size_t w = static_cast<std::size_t>(image.width);
    const Colour* p = image.pixels.data() + static_cast<std::size_t>(y) * w;
    if (alpha) {
      const std::uint8_t* a = alpha + static_cast<std::size_t>(y) * w;
      for (std::size_t x = 0; x < w; ++x, out += 4) {
        out[0] = static_cast<std::uint8_t>(p[x]);
        out[1] = static_cast<std::uint8_t>(p[x] >> 8);
        out[2] = static_cast<std::uint8_t>(p[x] >> 16);
        out[3] = a[x];
      }
    } else {
      for (std::size_t x = 0; x < w; ++x, out += 3) {
        out[0] = static_cast<std::uint8_t>(p[x]);
        out[1] = static_cast<std::uint8_t>(p[x] >> 8);
        out[2] = static_cast<std::uint8_t>(p[x] >> 16);
      }
    }
  }
};

// A sum that wraps (rows over 32 MB) only picks a worse filter.
std::uint32_t sum_of_magnitudes(const std::uint8_t* v, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(v[i])));
  return sum;
}

// Filters one row with whichever of the five filters gives the smallest sum
// of magnitudes (the usual heuristic); out gets the filter byte and the row.
// prev is the raw row above (zeros for the first); scratch holds 4 rows.
void filter_row(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::size_t bpp,
                std::uint8_t* scratch, std::uint8_t* out) {
  std::uint8_t* sub = scratch;
  std::uint8_t* up = scratch + n;
  std::uint8_t* average = scratch + 2 * n;
  std::uint8_t* paeth = scratch + 3 * n;
  for (std::size_t i = 0; i < bpp && i < n; ++i) {
    sub[i] = cur[i];
    up[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
    average[i] = static_cast<std::uint8_t>(cur[i] - (prev[i] >> 1));
    paeth[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
  }
  for (std::size_t i = bpp; i < n; ++i) {
    const int a = cur[i - bpp];
    const int b = prev[i];
    const int c = prev[i - bpp];
    sub[i] = static_cast<std::uint8_t>(cur[i] - a);
    up[i] = static_cast<std::uint8_t>(cur[i] - b);
    average[i] = static_cast<std::uint8_t>(cur[i] - ((a + b) >> 1));
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
    paeth[i] = static_cast<std::uint8_t>(cur[i] - predictor);
  }
  const std::uint8_t* candidates[5] = {cur, sub, up, average, paeth};
  int best = 0;
  std::uint32_t best_sum = UINT32_MAX;
  for (int f = 0; f < 5; ++f) {
    const std::uint32_t sum = sum_of_magnitudes(candidates[f], n);
    if (sum < best_sum) {
      best = f;
      best_sum = sum;
    }
  }
  out[0] = static_cast<std::uint8_t>(best);
  std::memcpy(out + 1, candidates[best], n);
}

struct Piece {
  std::int32_t first = 0;  // rows first..last-1
  std::int32_t last = 0;
  std::vector<std::uint8_t> deflated;
  std::size_t used = 0;
  uLong adler = 1;
  std::size_t length = 0;  // filtered bytes
  bool failed = false;
};

// Runs deflate until it has taken all input (and, with a flush, given all output).
bool pump(z_stream& z, Piece& piece, int flush) {
  for (;;) {
    if (piece.deflated.size() - piece.used < 4096)
      piece.deflated.resize(std::max(piece.deflated.size() + piece.deflated.size() / 2, piece.used + 65536));
    z.next_out = piece.deflated.data() + piece.used;
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(piece.deflated.size() - piece.used, UINT_MAX));
    const int rc = deflate(&z, flush);
    piece.used = static_cast<std::size_t>(z.next_out - piece.deflated.data());
    if (rc == Z_STREAM_ERROR) return false;
    if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_in == 0 && (flush == Z_NO_FLUSH || z.avail_out != 0))
      return true;
  }
}

struct Deflater {
  z_stream z{};
  bool ready = false;
  ~Deflater() {
    if (ready) deflateEnd(&z);
  }
};

void compress_piece(const Rows& rows, Piece& piece, bool final, int level) {
  const std::size_t n = rows.size;
  std::vector<std::uint8_t> prev(n, 0), cur(n), scratch(4 * n), filtered(n + 1);
  // Z_FILTERED, libpng's own strategy for filtered rows; memLevel 9, zlib's
  // largest hash tables, its setting for speed (the level stays the caller's).
  Deflater d;
  d.ready = deflateInit2(&d.z, level, Z_DEFLATED, -15, 9, Z_FILTERED) == Z_OK;
  if (!d.ready) {
    piece.failed = true;
    return;
  }
  piece.deflated.resize(deflateBound(&d.z, static_cast<uLong>((piece.last - piece.first) * (n + 1))) + 64);
  // The filtered rows just before the piece are its dictionary.
  std::int32_t y = piece.first - static_cast<std::int32_t>(std::min<std::size_t>(
                                     static_cast<std::size_t>(piece.first), (kWindow + n) / (n + 1)));
  if (y > 0) rows.raw(y - 1, prev.data());
  std::vector<std::uint8_t> dictionary;
  for (; y < piece.last; ++y) {
    rows.raw(y, cur.data());
    filter_row(cur.data(), prev.data(), n, rows.bpp, scratch.data(), filtered.data());
    std::swap(prev, cur);
    if (y < piece.first) {
      dictionary.insert(dictionary.end(), filtered.begin(), filtered.end());
      if (y + 1 == piece.first) {
        const std::size_t keep = std::min(dictionary.size(), kWindow);
        deflateSetDictionary(&d.z, dictionary.data() + dictionary.size() - keep, static_cast<uInt>(keep));
      }
      continue;
    }
    piece.adler = adler32(piece.adler, filtered.data(), static_cast<uInt>(n + 1));
    piece.length += n + 1;
    d.z.next_in = filtered.data();
    d.z.avail_in = static_cast<uInt>(n + 1);
    if (!pump(d.z, piece, Z_NO_FLUSH)) {
      piece.failed = true;
      return;
    }
  }
  // A piece other than the last ends on a byte boundary in a block that is not final.
  piece.failed = !pump(d.z, piece, final ? Z_FINISH : Z_SYNC_FLUSH);
}

struct WriteState {
  std::vector<std::uint8_t>* out;
  char error[160];
};

void on_error(png_structp png, png_const_charp message) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(state->error, sizeof state->error, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// The output has room for the whole file already, so appending never reallocates.
void on_write(png_structp png, png_bytep data, std::size_t size) {
  auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
  state->out->insert(state->out->end(), data, data + size);
}

void on_flush(png_structp) {}

struct WriteStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~WriteStructs() { png_destroy_write_struct(&png, &info); }
};

void put_be32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Signature, IHDR, one IDAT per piece, IEND; libpng errors jump back here.
bool write_file(png_structp png, png_infop info, WriteState& state, const Image& image, bool rgba,
                const std::vector<Piece>& pieces, const std::uint8_t* zlib_header, const std::uint8_t* adler) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &state, on_write, on_flush);
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);  // the format's own limits
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  static constexpr png_byte kIdat[5] = "IDAT";
  static constexpr png_byte kIend[5] = "IEND";
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool first = i == 0;
    const bool last = i + 1 == pieces.size();
    png_write_chunk_start(png, kIdat, static_cast<png_uint_32>(pieces[i].used + (first ? 2 : 0) + (last ? 4 : 0)));
    if (first) png_write_chunk_data(png, zlib_header, 2);
    png_write_chunk_data(png, pieces[i].deflated.data(), pieces[i].used);
    if (last) png_write_chunk_data(png, adler, 4);
    png_write_chunk_end(png);
  }
  png_write_chunk(png, kIend, nullptr, 0);
  return true;
}

}  // namespace

std::string encode_png_into(const Image& image, const std::vector<std::uint8_t>& alpha, std::vector<std::uint8_t>& out,
                            int level) {
  const std::size_t pixels = image.pixels.size();
  if (image.width <= 0 || image.height <= 0 || pixels != std::size_t(image.width) * std::size_t(image.height) ||
      (!alpha.empty() && alpha.size() != pixels))
    return "the picture is empty or inconsistent";
  const bool rgba = !alpha.empty();
  const Rows rows{image, rgba ? alpha.data() : nullptr, rgba ? 4u : 3u,
                  static_cast<std::size_t>(image.width) * (rgba ? 4 : 3)};

  // Pieces of whole rows, about kPieceBytes each, on as many threads as cores.
  const std::size_t rows_per_piece = std::max<std::size_t>(1, kPieceBytes / (rows.size + 1));
  std::vector<Piece> pieces((static_cast<std::size_t>(image.height) + rows_per_piece - 1) / rows_per_piece);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    pieces[i].first = static_cast<std::int32_t>(i * rows_per_piece);
    pieces[i].last = static_cast<std::int32_t>(std::min<std::size_t>(image.height, (i + 1) * rows_per_piece));
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> out_of_memory{false};
  const auto work = [&] {
    for (std::size_t i; (i = next++) < pieces.size();) {
      try {
        compress_piece(rows, pieces[i], i + 1 == pieces.size(), level);
      } catch (const std::bad_alloc&) {
        out_of_memory = true;
        pieces[i].failed = true;
      } catch (const std::exception&) {
        pieces[i].failed = true;
      }
    }
  };
  std::vector<std::thread> helpers;
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  try {
    while (helpers.size() + 1 < std::min(cores, pieces.size())) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads then; the ones running take every piece.
  }
  work();
  for (std::thread& t : helpers) t.join();
  if (out_of_memory) throw std::bad_alloc();

  std::size_t file_size = 8 + 25 + 2 + 4 + 12;
  uLong adler = adler32(0, nullptr, 0);
  for (const Piece& piece : pieces) {
    if (piece.failed) return "the compression failed";
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.length));
    file_size += piece.used + 12;
  }
  const int flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned header = (0x78u << 8) | (static_cast<unsigned>(flags) << 6);
  const std::uint8_t zlib_header[2] = {0x78, static_cast<std::uint8_t>((header + 31 - header % 31) & 0xFF)};
  std::uint8_t adler_bytes[4];
  put_be32(adler_bytes, static_cast<std::uint32_t>(adler));

  out.clear();
  out.reserve(file_size);
  WriteState state{&out, {}};
  WriteStructs s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, on_error, on_warning);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.info) throw std::bad_alloc();
  if (!write_file(s.png, s.info, state, image, rgba, pieces, zlib_header, adler_bytes)) {
    out.clear();
    return state.error[0] ? state.error : "the file could not be made";
  }
  return {};
}

}  // namespace murkel

// Encodes PNG files: the rows are filtered and deflated in pieces on all
// cores with libdeflate, and the pieces joined into one zlib stream: each
// piece but the last has its final block made an ordinary one and ends on a
// byte boundary with an empty stored block, as a flush would end it.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "core/codecs/png_codec.h"

// The filters' sums are what the encoder spends most of its time on: on x86
// Linux they are compiled twice, for AVX2 (picked at start where the
// processor has it, through an ifunc) and for the baseline.
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define MURKEL_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define MURKEL_WIDE_VECTORS
#endif

namespace murkel {
namespace {

// Filtered bytes per piece, about: few enough restarts of the compressor's
// window that the file is as small as from one stream, and enough pieces
// that both cores have work on a screenshot.
constexpr std::size_t kPieceBytes = std::size_t{2} << 20;

// The picture's colours when it has at most 256 of them (each with its
// alpha): an index per pixel, and the entries, those not opaque first (the
// transparency chunk then lists only them). Screenshots and drawings mostly
// have so few, and a file of indices is a third of one of colours or less.
struct Palette {
  std::vector<std::uint32_t> entries;  // 0xAABBGGRR
  std::vector<std::uint8_t> indices;   // one per pixel
  int bits = 8;                        // per index in the file: 1, 2, 4 or 8
  std::size_t translucent = 0;         // entries not opaque, at the front
};

bool find_palette(const Image& image, const std::uint8_t* alpha, Palette& palette) {
  // Open addressing over 512 slots, the last colour remembered for runs.
  constexpr std::size_t kSlots = 512;
  std::uint32_t keys[kSlots];
  std::int16_t slots[kSlots];
  std::fill(slots, slots + kSlots, std::int16_t{-1});
  const std::size_t count = image.pixels.size();
  palette.indices.resize(count);
  palette.entries.clear();
  std::uint32_t last = 0;
  std::uint8_t last_index = 0;
  bool have_last = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t key = (image.pixels[i] & 0xFFFFFFu) | std::uint32_t{alpha ? alpha[i] : 255u} << 24;
    if (have_last && key == last) {
      palette.indices[i] = last_index;
      continue;
    }
    std::size_t slot = ((key * 2654435761u) >> 23) & (kSlots - 1);
    while (slots[slot] >= 0 && keys[slot] != key) slot = (slot + 1) & (kSlots - 1);
    if (slots[slot] < 0) {
      if (palette.entries.size() == 256) {
        palette.indices = {};
        return false;
      }
      keys[slot] = key;
      slots[slot] = static_cast<std::int16_t>(palette.entries.size());
      palette.entries.push_back(key);
    }
    last = key;
    last_index = static_cast<std::uint8_t>(slots[slot]);
    have_last = true;
    palette.indices[i] = last_index;
  }
  // Entries not opaque to the front, the indices renumbered to match.
  std::vector<std::uint8_t> order(palette.entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint8_t>(i);
  std::stable_partition(order.begin(), order.end(), [&](std::uint8_t e) { return palette.entries[e] >> 24 != 255; });
  std::uint8_t renumbered[256];
  std::vector<std::uint32_t> entries(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    renumbered[order[i]] = static_cast<std::uint8_t>(i);
    entries[i] = palette.entries[order[i]];
    if (entries[i] >> 24 != 255) palette.translucent = i + 1;
  }
  palette.entries = std::move(entries);
  for (std::uint8_t& index : palette.indices) index = renumbered[index];
  const std::size_t n = palette.entries.size();
  palette.bits = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  return true;
}

struct Rows {
  const Image& image;
  const std::uint8_t* alpha;  // null: RGB
  const Palette* palette;     // given: indices
  std::size_t bpp;            // bytes per pixel for the filters (1 for indices)
  std::size_t size;           // bytes of one row

  // Row y as stored in the file: R, G, B (, A) per pixel, or the indices
  // packed from the high bits of each byte down.
  void raw(std::int32_t y, std::uint8_t* out) const {
    const std::size_t w = static_cast<std::size_t>(image.width);
    if (palette) {
      const std::uint8_t* index = palette->indices.data() + static_cast<std::size_t>(y) * w;
      const int bits = palette->bits;
      if (bits == 8) {
        std::memcpy(out, index, w);
        return;
      }
      std::memset(out, 0, size);
      for (std::size_t x = 0; x < w; ++x) {
        const std::size_t at = x * static_cast<std::size_t>(bits);
        out[at >> 3] |= static_cast<std::uint8_t>(index[x] << (8 - bits - (at & 7)));
      }
      return;
    }
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

inline std::uint32_t magnitude(int v) { return static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(v))); }

inline int paeth_predictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Filters one row with whichever of the five filters gives the smallest sum
// of magnitudes (the usual heuristic): one pass adds up all five sums, a
// second writes the chosen one; out gets the filter byte and the row. prev is
// the raw row above (zeros for the first). A sum that wraps (rows over 32 MB)
// only picks a worse filter.
MURKEL_WIDE_VECTORS void filter_row(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::size_t bpp,
                std::uint8_t* out) {
  std::uint32_t sums[5] = {};
  // The first pixel has no left neighbour: a and c are 0 there.
  for (std::size_t i = 0; i < bpp && i < n; ++i) {
    const int x = cur[i], b = prev[i];
    sums[0] += magnitude(x);
    sums[1] += magnitude(x);
    sums[2] += magnitude(x - b);
    sums[3] += magnitude(x - (b >> 1));
    sums[4] += magnitude(x - b);
  }
  // In runs of 256 bytes the sums fit 16 bits (each magnitude at most 128),
  // which keeps the vectors twice as wide as with 32-bit sums.
  for (std::size_t start = bpp; start < n; start += 256) {
    const std::size_t end = std::min(n, start + 256);
    std::uint16_t none = 0, sub = 0, up = 0, average = 0, paeth = 0;
    for (std::size_t i = start; i < end; ++i) {
      const int x = cur[i], a = cur[i - bpp], b = prev[i], c = prev[i - bpp];
      none = static_cast<std::uint16_t>(none + magnitude(x));
      sub = static_cast<std::uint16_t>(sub + magnitude(x - a));
      up = static_cast<std::uint16_t>(up + magnitude(x - b));
      average = static_cast<std::uint16_t>(average + magnitude(x - ((a + b) >> 1)));
      paeth = static_cast<std::uint16_t>(paeth + magnitude(x - paeth_predictor(a, b, c)));
    }
    sums[0] += none;
    sums[1] += sub;
    sums[2] += up;
    sums[3] += average;
    sums[4] += paeth;
  }
  int best = 0;
  for (int f = 1; f < 5; ++f)
    if (sums[f] < sums[best]) best = f;
  out[0] = static_cast<std::uint8_t>(best);
  std::uint8_t* o = out + 1;
  const std::size_t first = std::min(bpp, n);
  switch (best) {
    case 0:
      std::memcpy(o, cur, n);
      break;
    case 1:
      std::memcpy(o, cur, first);
      for (std::size_t i = bpp; i < n; ++i) o[i] = static_cast<std::uint8_t>(cur[i] - cur[i - bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < first; ++i) o[i] = static_cast<std::uint8_t>(cur[i] - (prev[i] >> 1));
      for (std::size_t i = bpp; i < n; ++i) o[i] = static_cast<std::uint8_t>(cur[i] - ((cur[i - bpp] + prev[i]) >> 1));
      break;
    default:
      for (std::size_t i = 0; i < first; ++i) o[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
      for (std::size_t i = bpp; i < n; ++i)
        o[i] = static_cast<std::uint8_t>(cur[i] - paeth_predictor(cur[i - bpp], prev[i], prev[i - bpp]));
      break;
  }
}

// Reads a raw deflate stream, least significant bit first, as deflate packs
// them, through a 64-bit buffer filled a word at a time; past the end it
// reads zeros and notes the overrun.
class Bits {
 public:
  Bits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t peek(int n) {  // n <= 32
    if (count_ < n) refill();
    return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << n) - 1));
  }
  std::uint32_t take(int n) {
    const std::uint32_t v = peek(n);
    buffer_ >>= n;
    count_ -= n;
    return v;
  }
  void drop(int n) {  // n <= the bits just peeked
    buffer_ >>= n;
    count_ -= n;
  }
  void skip(std::uint64_t n) {
    if (n <= static_cast<std::uint64_t>(count_)) {
      buffer_ >>= n;
      count_ -= static_cast<int>(n);
      return;
    }
    // Past the buffer (a stored block): start again at the new position.
    const std::uint64_t to = at() + n;
    next_ = static_cast<std::size_t>(std::min<std::uint64_t>(to >> 3, std::uint64_t{size_} + 8));
    beyond_ = (to >> 3) - next_;
    buffer_ = 0;
    count_ = 0;
    take(static_cast<int>(to & 7));
  }
  void align() { skip((8 - (at() & 7)) & 7); }
  std::uint64_t at() const { return (std::uint64_t{next_} + beyond_) * 8 - static_cast<std::uint64_t>(count_); }
  bool overrun() const { return at() > std::uint64_t{size_} * 8; }

 private:
  // At least 56 bits in the buffer.
  void refill() {
    if (next_ + 8 <= size_) {
      std::uint64_t word;
      std::memcpy(&word, data_ + next_, 8);
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      buffer_ |= word << count_;
      next_ += static_cast<std::size_t>((63 - count_) >> 3);
      count_ |= 56;
      return;
    }
    for (; count_ <= 56; count_ += 8, ++next_)
      if (next_ < size_) buffer_ |= std::uint64_t{data_[next_]} << count_;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_ = 0;      // the next byte to go into the buffer
  std::uint64_t beyond_ = 0;  // bytes skipped past where next_ stops
  std::uint64_t buffer_ = 0;
  int count_ = 0;  // bits in the buffer
};

// A canonical code for decoding: a table indexed by the next 10 bits, each
// entry the symbol << 4 | its code's length (0: a longer code, or none),
// small enough to stay in the first-level cache; longer codes are read a
// bit at a time from the counts and the symbols in code order.
constexpr int kMaxCodeBits = 15;
constexpr int kFastBits = 12;
struct Code {
  std::uint16_t fast[1 << kFastBits];
  std::int16_t count[kMaxCodeBits + 1];
  std::int16_t symbol[320];
};

bool build_code(const std::uint8_t* lengths, int n, Code& code) {
  std::fill(std::begin(code.fast), std::end(code.fast), std::uint16_t{0});
  std::fill(std::begin(code.count), std::end(code.count), std::int16_t{0});
  for (int i = 0; i < n; ++i) ++code.count[lengths[i]];
  code.count[0] = 0;
  std::int16_t offset[kMaxCodeBits + 2] = {};
  int next[kMaxCodeBits + 1] = {};
  for (int len = 1, first = 0; len <= kMaxCodeBits; ++len) {
    offset[len + 1] = static_cast<std::int16_t>(offset[len] + code.count[len]);
    first = (first + code.count[len - 1]) << 1;
    next[len] = first;
  }
  for (int symbol = 0; symbol < n; ++symbol) {
    const int len = lengths[symbol];
    if (len == 0) continue;
    code.symbol[offset[len]++] = static_cast<std::int16_t>(symbol);
    const int value = next[len]++;
    if (value >= (1 << len)) return false;  // oversubscribed
    if (len > kFastBits) continue;
    int reversed = 0;
    for (int i = 0; i < len; ++i) reversed |= ((value >> i) & 1) << (len - 1 - i);
    for (int i = reversed; i < (1 << kFastBits); i += 1 << len)
      code.fast[i] = static_cast<std::uint16_t>(symbol << 4 | len);
  }
  return true;
}

// Bit by bit, for the codes longer than the table: the codes of each length
// follow the shorter ones in value. Kept out of line, so that the common
// case below stays small enough to inline.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((noinline))
#endif
int decode_long(Bits& bits, const Code& code) {
  int value = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    value |= static_cast<int>(bits.take(1));
    const int count = code.count[len];
    if (value - first < count) return code.symbol[index + value - first];
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return -1;
}

inline int decode(Bits& bits, const Code& code) {
  if (const std::uint16_t entry = code.fast[bits.peek(kFastBits)]; entry != 0) {
    bits.drop(entry & 15);
    return entry >> 4;
  }
  return decode_long(bits, code);
}

// The order in which a dynamic block lists the code-length code's lengths.
constexpr std::uint8_t kLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Walks the blocks of a complete raw deflate stream (one that libdeflate
// made) without inflating it: gives the position of the last block's final
// bit and the bit just after its end code. False when the stream is not
// well formed.
bool find_last_block(const std::uint8_t* data, std::size_t size, std::uint64_t& final_bit, std::uint64_t& end) {
  static constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
  Bits bits(data, size);
  auto codes = std::make_unique<Code[]>(3);
  Code& literals = codes[0];
  Code& distances = codes[1];
  Code& lengths_code = codes[2];
  for (;;) {
    final_bit = bits.at();
    const bool final = bits.take(1) != 0;
    const std::uint32_t type = bits.take(2);
    if (type == 0) {
      bits.align();
      const std::uint32_t length = bits.take(16);
      if ((bits.take(16) ^ 0xFFFFu) != length) return false;
      bits.skip(std::uint64_t{length} * 8);
    } else if (type == 1 || type == 2) {
      std::uint8_t lengths[288 + 32] = {};
      int literal_count = 288;
      int distance_count = 32;
      if (type == 1) {
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        std::fill(lengths + 288, lengths + 320, 5);
      } else {
        literal_count = static_cast<int>(bits.take(5)) + 257;
        distance_count = static_cast<int>(bits.take(5)) + 1;
        const int code_count = static_cast<int>(bits.take(4)) + 4;
        std::uint8_t code_lengths[19] = {};
        for (int i = 0; i < code_count; ++i) code_lengths[kLengthOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
        if (!build_code(code_lengths, 19, lengths_code)) return false;
        std::uint8_t* out = lengths;
        for (int i = 0; i < literal_count + distance_count;) {
          const int symbol = decode(bits, lengths_code);
          int repeat = 1;
          std::uint8_t value = 0;
          if (symbol < 0 || bits.overrun()) return false;
          if (symbol < 16) {
            value = static_cast<std::uint8_t>(symbol);
          } else if (symbol == 16) {
            if (i == 0) return false;
            value = out[i - 1];
            repeat = 3 + static_cast<int>(bits.take(2));
          } else {
            repeat = symbol == 17 ? 3 + static_cast<int>(bits.take(3)) : 11 + static_cast<int>(bits.take(7));
          }
          if (i + repeat > literal_count + distance_count) return false;
          std::fill(out + i, out + i + repeat, value);
          i += repeat;
        }
        // The distance lengths follow the literal ones directly.
        std::memmove(lengths + 288, lengths + literal_count, static_cast<std::size_t>(distance_count));
        std::fill(lengths + literal_count, lengths + 288, 0);
      }
      if (!build_code(lengths, 288, literals) || !build_code(lengths + 288, 32, distances)) return false;
      for (;;) {
        const int symbol = decode(bits, literals);
        if (symbol < 0 || bits.overrun()) return false;
        if (symbol < 256) continue;
        if (symbol == 256) break;
        if (symbol > 285) return false;
        bits.skip(kLengthExtra[symbol - 257]);
        const int distance = decode(bits, distances);
        if (distance < 0 || distance > 29) return false;
        bits.skip(kDistanceExtra[distance]);
      }
    } else {
      return false;
    }
    if (bits.overrun()) return false;
    if (final) {
      end = bits.at();
      return true;
    }
  }
}

// Pieces where deflate's matches do not pay (noise) are coded here with
// Huffman codes of the bytes alone:
// looking for matches costs libdeflate most of its time on such data and
// finds next to nothing, and walking its output for the last block costs
// again. Each block of kLiteralBlock bytes gets its own code, or is stored
// when that is smaller.
constexpr std::size_t kLiteralBlock = std::size_t{128} << 10;

// Appends bits to a byte vector, least significant first, as deflate packs them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void put(std::uint32_t bits, int n) {  // n <= 32, bits above n zero
    buffer_ |= std::uint64_t{bits} << count_;
    count_ += n;
    if (count_ >= 32) {
      const std::uint8_t b[4] = {static_cast<std::uint8_t>(buffer_), static_cast<std::uint8_t>(buffer_ >> 8),
                                 static_cast<std::uint8_t>(buffer_ >> 16), static_cast<std::uint8_t>(buffer_ >> 24)};
      out_.insert(out_.end(), b, b + 4);
      buffer_ >>= 32;
      count_ -= 32;
    }
  }
  // Zeros to the byte boundary, and every bit written out.
  void align() {
    for (count_ = (count_ + 7) & ~7; count_ > 0; count_ -= 8, buffer_ >>= 8)
      out_.push_back(static_cast<std::uint8_t>(buffer_));
  }
  bool aligned() const { return count_ == 0; }
  std::vector<std::uint8_t>& bytes() { return out_; }  // after align()

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t buffer_ = 0;
  int count_ = 0;
};

// Huffman code lengths of at most `limit` bits for the n symbols' counts (0
// for a symbol not used). Where the optimal code is too deep the counts are
// halved (kept above 0) and the code built again: flatter counts, shallower
// tree.
void huffman_lengths(const std::uint32_t* counts, int n, int limit, std::uint8_t* lengths) {
  std::vector<std::uint64_t> weight(counts, counts + n);
  std::vector<int> leaves, parent(2 * static_cast<std::size_t>(n));
  std::vector<std::uint64_t> node(2 * static_cast<std::size_t>(n));
  std::vector<std::uint8_t> depth(2 * static_cast<std::size_t>(n));
  for (;;) {
    std::fill(lengths, lengths + n, std::uint8_t{0});
    leaves.clear();
    for (int i = 0; i < n; ++i)
      if (weight[i] > 0) leaves.push_back(i);
    if (leaves.size() < 2) {
      for (int i : leaves) lengths[i] = 1;
      return;
    }
    std::stable_sort(leaves.begin(), leaves.end(), [&](int a, int b) { return weight[a] < weight[b]; });
    // Two queues: the sorted leaves (nodes 0..m-1) and the joined nodes
    // (m..2m-2), which come out in order of weight.
    const std::size_t m = leaves.size();
    for (std::size_t i = 0; i < m; ++i) node[i] = weight[leaves[i]];
    std::size_t next_leaf = 0, next_joined = m;
    const auto smallest = [&](std::size_t made) {
      if (next_leaf < m && (next_joined == made || node[next_leaf] <= node[next_joined])) return next_leaf++;
      return next_joined++;
    };
    for (std::size_t made = m; made < 2 * m - 1; ++made) {
      const std::size_t a = smallest(made);
      const std::size_t b = smallest(made);
      node[made] = node[a] + node[b];
      parent[a] = parent[b] = static_cast<int>(made);
    }
    depth[2 * m - 2] = 0;
    bool too_deep = false;
    for (std::size_t i = 2 * m - 2; i-- > 0;) {
      depth[i] = static_cast<std::uint8_t>(std::min(255, depth[static_cast<std::size_t>(parent[i])] + 1));
      if (i < m) {
        lengths[leaves[i]] = depth[i];
        too_deep |= depth[i] > limit;
      }
    }
    if (!too_deep) return;
    for (std::uint64_t& w : weight)
      if (w > 0) w = (w >> 1) | 1;
  }
}

// The canonical codes of the lengths, bit-reversed for writing.
void canonical_codes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
  int count[16] = {}, next[16] = {};
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  for (int len = 1, code = 0; len < 16; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  for (int i = 0; i < n; ++i) {
    const int len = lengths[i];
    if (len == 0) continue;
    const int code = next[len]++;
    int reversed = 0;
    for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1) << (len - 1 - b);
    codes[i] = static_cast<std::uint16_t>(reversed);
  }
}

// The code lengths of a dynamic block as the block's header sends them: run
// length coded (runs of zeros as 17 and 18, other repeats as 16; extra bits
// in each symbol's high byte) with a code of its own.
struct LengthsHeader {
  std::vector<std::uint16_t> symbols;
  std::uint8_t lengths[19] = {};
  std::uint16_t codes[19] = {};
  int count = 4;  // of code-length lengths written, in deflate's order
  std::uint64_t bits = 0;  // the whole header, from the block's first bit
};

constexpr int kHeaderExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

void make_header(const std::uint8_t* lengths, int n, LengthsHeader& header) {
  header.symbols.clear();
  for (int i = 0; i < n;) {
    const std::uint8_t len = lengths[i];
    int run = 1;
    while (i + run < n && lengths[i + run] == len) ++run;
    if (len == 0 && run >= 3) {
      const int take = std::min(run, 138);
      header.symbols.push_back(take >= 11 ? static_cast<std::uint16_t>(18 | (take - 11) << 8)
                                          : static_cast<std::uint16_t>(17 | (take - 3) << 8));
      i += take;
    } else if (len != 0 && run >= 4) {
      header.symbols.push_back(len);
      const int take = std::min(run - 1, 6);
      header.symbols.push_back(static_cast<std::uint16_t>(16 | (take - 3) << 8));
      i += 1 + take;
    } else {
      header.symbols.push_back(len);
      ++i;
    }
  }
  std::uint32_t counts[19] = {};
  for (std::uint16_t s : header.symbols) ++counts[s & 0xFF];
  huffman_lengths(counts, 19, 7, header.lengths);
  canonical_codes(header.lengths, 19, header.codes);
  header.count = 19;
  while (header.count > 4 && header.lengths[kLengthOrder[header.count - 1]] == 0) --header.count;
  header.bits = 3 + 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(header.count);
  for (std::uint16_t s : header.symbols) header.bits += header.lengths[s & 0xFF] + kHeaderExtra[s & 0xFF];
}

// A dynamic block's start: its kind, the counts of codes and the header.
void write_header(BitWriter& bits, bool final, int literal_count, int distance_count, const LengthsHeader& header) {
  bits.put(final ? 1 : 0, 1);
  bits.put(2, 2);  // dynamic codes
  bits.put(static_cast<std::uint32_t>(literal_count - 257), 5);
  bits.put(static_cast<std::uint32_t>(distance_count - 1), 5);
  bits.put(static_cast<std::uint32_t>(header.count - 4), 4);
  for (int i = 0; i < header.count; ++i) bits.put(header.lengths[kLengthOrder[i]], 3);
  for (std::uint16_t s : header.symbols) {
    const int symbol = s & 0xFF;
    bits.put(header.codes[symbol], header.lengths[symbol]);
    if (kHeaderExtra[symbol] > 0) bits.put(s >> 8, kHeaderExtra[symbol]);
  }
}

// A block's code: the bytes and the end of block (symbols 0..256), and two
// distance codes of one bit that are never used, as zlib writes them, since
// some readers want at least one.
struct LiteralCode {
  std::uint8_t lengths[259] = {};
  std::uint16_t codes[259] = {};
  std::uint64_t data_bits = 0;  // the block's bytes and its end
  LengthsHeader header;
};

void make_literal_code(const std::uint32_t* counts, LiteralCode& code) {
  std::uint32_t all[257];
  std::copy(counts, counts + 256, all);
  all[256] = 1;
  huffman_lengths(all, 257, 15, code.lengths);
  code.lengths[257] = code.lengths[258] = 1;
  canonical_codes(code.lengths, 257, code.codes);
  code.codes[257] = 0;
  code.codes[258] = 1;
  code.data_bits = 0;
  for (int i = 0; i < 257; ++i) code.data_bits += std::uint64_t{all[i]} * code.lengths[i];
  make_header(code.lengths, 259, code.header);
}

void write_stored(BitWriter& bits, const std::uint8_t* data, std::size_t size, bool final) {
  do {
    const std::size_t n = std::min<std::size_t>(size, 65535);
    size -= n;
    bits.put(final && size == 0 ? 1 : 0, 1);
    bits.put(0, 2);
    bits.align();
    const std::uint8_t length[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)};
    bits.bytes().insert(bits.bytes().end(), length, length + 4);
    if (n > 0) bits.bytes().insert(bits.bytes().end(), data, data + n);
    data += n;
  } while (size > 0);
}

void write_literal_block(BitWriter& bits, const std::uint8_t* data, std::size_t size, const LiteralCode& code,
                         bool final) {
  write_header(bits, final, 257, 2, code.header);
  for (std::size_t i = 0; i < size; ++i) bits.put(code.codes[data[i]], code.lengths[data[i]]);
  bits.put(code.codes[256], code.lengths[256]);
}

// The codes of a piece's blocks when its filtered bytes are better coded
// without matches: every block's bytes coded alone take at least 9/10 of
// their size (they are spread nearly evenly, as noise is), and on four
// samples across the piece libdeflate's fastest level, matches and all, is
// not 1 % smaller than that. Else empty: libdeflate deflates the piece.
// The samples cannot see a repeat that lies between them; the blocks' spread
// keeps flat areas, text and most photos out.
std::vector<LiteralCode> literal_codes(const std::uint8_t* data, std::size_t size, libdeflate_compressor* probe,
                                       std::vector<std::uint8_t>& scratch) {
  std::vector<LiteralCode> codes((size + kLiteralBlock - 1) / kLiteralBlock);
  const auto code_of = [](const std::uint8_t* p, std::size_t n, LiteralCode& code) {
    std::uint32_t counts[256] = {};
    for (std::size_t i = 0; i < n; ++i) ++counts[p[i]];
    make_literal_code(counts, code);
    return code.data_bits + code.header.bits;
  };
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::size_t n = std::min(kLiteralBlock, size - i * kLiteralBlock);
    if (code_of(data + i * kLiteralBlock, n, codes[i]) * 10 < std::uint64_t{n} * 8 * 9) return {};
  }
  constexpr std::size_t kSample = std::size_t{32} << 10;
  const std::size_t sample = std::min(kSample, size);
  scratch.resize(libdeflate_deflate_compress_bound(probe, sample));
  LiteralCode code;
  for (int k = 0; k < 4; ++k) {
    const std::uint8_t* p = data + (size - sample) * static_cast<std::size_t>(k) / 3;
    const std::uint64_t alone = code_of(p, sample, code);
    const std::size_t deflated = libdeflate_deflate_compress(probe, p, sample, scratch.data(), scratch.size());
    if (deflated == 0 || std::uint64_t{deflated} * 8 * 100 < alone * 99) return {};
  }
  return codes;
}

// Whether a quarter or more of the piece looks like noise: of 1 KB taken
// from every 8 KB, the share whose bytes carry 7 bits or more each by their
// frequencies alone. There libdeflate spends most of its time on the noise
// (screenshots and photos have next to no such kilobytes).
bool largely_noise(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kTaste = 1024, kStride = 8192;
  // c * log2(c) for every count a kilobyte can hold.
  static const std::vector<float> c_log_c = [] {
    std::vector<float> table(kTaste + 1, 0.0f);
    for (std::size_t c = 1; c <= kTaste; ++c) table[c] = static_cast<float>(static_cast<double>(c) * std::log2(c));
    return table;
  }();
  std::size_t tasted = 0, noisy = 0;
  for (std::size_t at = 0; at + kTaste <= size; at += kStride, ++tasted) {
    std::uint16_t counts[256] = {};
    for (std::size_t i = 0; i < kTaste; ++i) ++counts[data[at + i]];
    float bits = c_log_c[kTaste];  // n log2 n - sum of c log2 c: the bits of the bytes by their frequencies
    for (const std::uint16_t c : counts) bits -= c_log_c[c];
    if (bits >= 7.0f * kTaste) ++noisy;
  }
  return tasted > 0 && noisy * 4 >= tasted;
}

// Writes the piece's blocks, each with its code or stored where that is
// smaller; a piece other than the last ends on a byte boundary (an empty
// stored block after a coded one), the last with its final block marked.
void write_literal_piece(const std::uint8_t* data, std::size_t size, const std::vector<LiteralCode>& codes, bool final,
                         std::vector<std::uint8_t>& out) {
  out.clear();
  out.reserve(size + size / 64 + 64);
  BitWriter bits(out);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::size_t n = std::min(kLiteralBlock, size - i * kLiteralBlock);
    const bool last = final && i + 1 == codes.size();
    const std::uint64_t stored_bits = 8 * (std::uint64_t{n} + 5 * ((n + 65534) / 65535)) + 7;
    if (codes[i].data_bits + codes[i].header.bits >= stored_bits)
      write_stored(bits, data + i * kLiteralBlock, n, last);
    else
      write_literal_block(bits, data + i * kLiteralBlock, n, codes[i], last);
  }
  if (!final && !bits.aligned()) write_stored(bits, nullptr, 0, false);
  bits.align();
}

// Pieces largely of noise (above) are deflated here rather than by
// libdeflate: a greedy search for matches that strides further the longer it
// finds none crosses the noise quickly and still finds the repeats of the
// flat or mosaic parts between; the blocks of about 128 KB get codes of their
// own (or are stored where that is smaller), and the last block needs no
// walk to find, since this code writes it.
constexpr int kMinMatch = 4, kMaxMatch = 258;
constexpr std::size_t kWindow = 32768;
constexpr int kHashBits = 16;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                                             193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The code of each match length (3..258) and distance (1..32768).
struct MatchCodes {
  std::uint8_t length[kMaxMatch + 1] = {};
  std::uint8_t distance[kWindow + 1] = {};
  MatchCodes() {
    for (int c = 0; c < 29; ++c)
      for (int l = kLengthBase[c]; l < kLengthBase[c] + (1 << kLengthBits[c]) && l <= kMaxMatch; ++l)
        length[l] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 30; ++c)
      for (std::size_t d = kDistanceBase[c]; d < kDistanceBase[c] + (std::size_t{1} << kDistanceBits[c]) && d <= kWindow;
           ++d)
        distance[d] = static_cast<std::uint8_t>(c);
  }
};

std::uint32_t load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Writes one block of tokens (a byte below 256, else length << 16 | distance)
// covering data[0..size), with its own codes, or stored where that is smaller.
void write_token_block(BitWriter& bits, const std::uint8_t* data, std::size_t size,
                       const std::vector<std::uint32_t>& tokens, bool final, const MatchCodes& match) {
  std::uint32_t literal_counts[286] = {}, distance_counts[30] = {};
  std::uint64_t extra_bits = 0;
  for (const std::uint32_t t : tokens) {
    if (t < 256) {
      ++literal_counts[t];
      continue;
    }
    const int l = match.length[t >> 16], d = match.distance[t & 0xFFFF];
    ++literal_counts[257 + l];
    ++distance_counts[d];
    extra_bits += kLengthBits[l] + kDistanceBits[d];
  }
  literal_counts[256] = 1;
  // Two distance codes at least, as zlib writes them: some readers refuse fewer.
  if (std::count_if(std::begin(distance_counts), std::end(distance_counts), [](std::uint32_t c) { return c > 0; }) < 2)
    distance_counts[0] = std::max(distance_counts[0], 1u), distance_counts[1] = std::max(distance_counts[1], 1u);
  std::uint8_t lengths[286 + 30];
  huffman_lengths(literal_counts, 286, 15, lengths);
  huffman_lengths(distance_counts, 30, 15, lengths + 286);
  int literal_count = 286, distance_count = 30;
  while (lengths[literal_count - 1] == 0) --literal_count;
  while (lengths[286 + distance_count - 1] == 0) --distance_count;
  std::uint8_t sent[286 + 30];
  std::copy(lengths, lengths + literal_count, sent);
  std::copy(lengths + 286, lengths + 286 + distance_count, sent + literal_count);
  LengthsHeader header;
  make_header(sent, literal_count + distance_count, header);
  std::uint64_t coded = header.bits + extra_bits;
  for (int i = 0; i < 286; ++i) coded += std::uint64_t{literal_counts[i]} * lengths[i];
  for (int i = 0; i < 30; ++i) coded += std::uint64_t{distance_counts[i]} * lengths[286 + i];
  if (coded >= 8 * (std::uint64_t{size} + 5 * ((size + 65534) / 65535)) + 7) {
    write_stored(bits, data, size, final);
    return;
  }
  std::uint16_t codes[286 + 30] = {};
  canonical_codes(lengths, 286, codes);
  canonical_codes(lengths + 286, 30, codes + 286);
  write_header(bits, final, literal_count, distance_count, header);
  for (const std::uint32_t t : tokens) {
    if (t < 256) {
      bits.put(codes[t], lengths[t]);
      continue;
    }
    const std::uint32_t length = t >> 16, distance = t & 0xFFFF;
    const int l = match.length[length], d = match.distance[distance];
    bits.put(codes[257 + l], lengths[257 + l]);
    if (kLengthBits[l] > 0) bits.put(length - kLengthBase[l], kLengthBits[l]);
    bits.put(codes[286 + d], lengths[286 + d]);
    if (kDistanceBits[d] > 0) bits.put(distance - kDistanceBase[d], kDistanceBits[d]);
  }
  bits.put(codes[256], lengths[256]);
}

void write_matched_piece(const std::uint8_t* data, std::size_t size, bool final, std::vector<std::int32_t>& head,
                         std::vector<std::uint32_t>& tokens, std::vector<std::uint8_t>& out) {
  static const MatchCodes match;
  constexpr std::size_t kBlockBytes = std::size_t{128} << 10, kBlockTokens = std::size_t{1} << 16;
  head.assign(std::size_t{1} << kHashBits, -1);
  tokens.clear();
  out.clear();
  out.reserve(size / 2 + 64);
  BitWriter bits(out);
  const auto hash = [](std::uint32_t v) { return (v * 2654435761u) >> (32 - kHashBits); };
  std::size_t pos = 0, block = 0;  // the block begins at data[block]
  unsigned misses = 0;
  const auto end_block = [&](bool last) {
    write_token_block(bits, data + block, pos - block, tokens, last, match);
    tokens.clear();
    block = pos;
  };
  while (pos + kMinMatch <= size) {
    const std::uint32_t v = load32(data + pos);
    const std::uint32_t h = hash(v);
    const std::int32_t candidate = head[h];
    head[h] = static_cast<std::int32_t>(pos);
    if (candidate >= 0 && pos - static_cast<std::size_t>(candidate) <= kWindow &&
        load32(data + candidate) == v) {
      const std::size_t from = static_cast<std::size_t>(candidate);
      const std::size_t most = std::min<std::size_t>(kMaxMatch, size - pos);
      std::size_t length = kMinMatch;
      while (length < most && data[from + length] == data[pos + length]) ++length;
      tokens.push_back(static_cast<std::uint32_t>(length << 16 | (pos - from)));
      pos += length;
      // The match's end goes into the table, so that runs continue from it.
      if (pos - 1 + kMinMatch <= size)
        head[hash(load32(data + pos - 1))] = static_cast<std::int32_t>(pos - 1);
      misses = 0;
    } else {
      // One byte at a time after the first misses, up to 8 after many: in
      // noise the search costs little, and little is lost of the repeats it
      // holds (the mosaic over noise: 0.6 % larger than searching at every
      // byte, a seventh faster).
      const std::size_t stride = std::min<std::size_t>({1 + (misses >> 7), 8, size - pos});
      misses = std::min(misses + 1, 1u << 12);
      for (std::size_t i = 0; i < stride; ++i) tokens.push_back(data[pos + i]);
      pos += stride;
    }
    if (tokens.size() >= kBlockTokens || pos - block >= kBlockBytes) end_block(false);
  }
  for (; pos < size; ++pos) tokens.push_back(data[pos]);
  if (pos > block) end_block(final);
  else if (final) write_stored(bits, nullptr, 0, true);
  if (!final && !bits.aligned()) write_stored(bits, nullptr, 0, false);
  bits.align();
}

struct Piece {
  std::int32_t first = 0;  // rows first..last-1
  std::int32_t last = 0;
  std::vector<std::uint8_t> deflated;
  uLong adler = 1;
  std::size_t length = 0;  // filtered bytes
  bool failed = false;
  bool done = false;
};

struct Compressor {
  libdeflate_compressor* c;
  explicit Compressor(int level) : c(libdeflate_alloc_compressor(level)) {
    if (c == nullptr) throw std::bad_alloc();
  }
  ~Compressor() { libdeflate_free_compressor(c); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
};

// Filters the piece's rows (the row above it read again for the first) and
// deflates them; a piece other than the last is then made to continue into
// the next: its final block an ordinary one, and an empty stored block
// after it to reach a byte boundary.
// The buffers of one thread, kept from piece to piece: fresh memory for each
// would cost a page fault every 4 KB.
struct Scratch {
  std::vector<std::uint8_t> prev, cur, filtered, deflated;
  std::vector<std::int32_t> head;
  std::vector<std::uint32_t> tokens;
};

void compress_piece(const Rows& rows, Piece& piece, bool final, Compressor& compressor, Compressor& probe,
                    Scratch& scratch) {
  const std::size_t n = rows.size;
  std::vector<std::uint8_t>& prev = scratch.prev;
  std::vector<std::uint8_t>& cur = scratch.cur;
  std::vector<std::uint8_t>& filtered = scratch.filtered;
  prev.assign(n, 0);
  cur.resize(n);
  filtered.resize(static_cast<std::size_t>(piece.last - piece.first) * (n + 1));
  if (piece.first > 0) rows.raw(piece.first - 1, prev.data());
  std::uint8_t* out = filtered.data();
  for (std::int32_t y = piece.first; y < piece.last; ++y, out += n + 1) {
    rows.raw(y, cur.data());
    // Rows of indices are left unfiltered: their differences mean nothing.
    if (rows.palette) {
      out[0] = 0;
      std::memcpy(out + 1, cur.data(), n);
    } else {
      filter_row(cur.data(), prev.data(), n, rows.bpp, out);
    }
    std::swap(prev, cur);
  }
  piece.length = filtered.size();
  piece.adler = libdeflate_adler32(1, filtered.data(), filtered.size());
  if (const std::vector<LiteralCode> codes = literal_codes(filtered.data(), filtered.size(), probe.c, scratch.deflated);
      !codes.empty()) {
    write_literal_piece(filtered.data(), filtered.size(), codes, final, piece.deflated);
    return;
  }
  if (largely_noise(filtered.data(), filtered.size())) {
    write_matched_piece(filtered.data(), filtered.size(), final, scratch.head, scratch.tokens, piece.deflated);
    return;
  }
  scratch.deflated.resize(libdeflate_deflate_compress_bound(compressor.c, filtered.size()) + 8);
  const std::size_t used = libdeflate_deflate_compress(compressor.c, filtered.data(), filtered.size(),
                                                       scratch.deflated.data(), scratch.deflated.size());
  if (used == 0) {
    piece.failed = true;
    return;
  }
  piece.deflated.reserve(used + 5);
  piece.deflated.assign(scratch.deflated.begin(), scratch.deflated.begin() + static_cast<std::ptrdiff_t>(used));
  if (final) return;
  std::uint64_t final_bit = 0, end = 0;
  if (!find_last_block(piece.deflated.data(), used, final_bit, end)) {
    piece.failed = true;
    return;
  }
  piece.deflated[final_bit >> 3] &= static_cast<std::uint8_t>(~(1u << (final_bit & 7)));
  // Three zero bits (an ordinary stored block) after the end code, zeros to
  // the byte boundary, then its length 0 and the length's complement.
  const std::size_t bytes = static_cast<std::size_t>((end + 3 + 7) >> 3);
  piece.deflated.resize(bytes, 0);
  if (end & 7) piece.deflated[end >> 3] &= static_cast<std::uint8_t>((1u << (end & 7)) - 1);
  for (std::size_t i = static_cast<std::size_t>((end + 7) >> 3); i < bytes; ++i) piece.deflated[i] = 0;
  piece.deflated.insert(piece.deflated.end(), {0x00, 0x00, 0xFF, 0xFF});
}

void put_be32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Appends a chunk of the given type whose data are the parts, one after another.
void put_chunk(std::vector<std::uint8_t>& out, const char* type,
               std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> parts) {
  std::size_t length = 0;
  for (const auto& part : parts) length += part.second;
  std::uint8_t head[8];
  put_be32(head, static_cast<std::uint32_t>(length));
  std::memcpy(head + 4, type, 4);
  out.insert(out.end(), head, head + 8);
  std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  for (const auto& part : parts) {
    out.insert(out.end(), part.first, part.first + part.second);
    crc = libdeflate_crc32(crc, part.first, part.second);
  }
  std::uint8_t tail[4];
  put_be32(tail, crc);
  out.insert(out.end(), tail, tail + 4);
}

}  // namespace

std::string encode_png_into(const Image& image, const std::vector<std::uint8_t>& alpha, std::vector<std::uint8_t>& out,
                            int level) {
  const std::size_t pixels = image.pixels.size();
  if (image.width <= 0 || image.height <= 0 || pixels != std::size_t(image.width) * std::size_t(image.height) ||
      (!alpha.empty() && alpha.size() != pixels))
    return "the picture is empty or inconsistent";
  const bool rgba = !alpha.empty();
  Palette palette;
  const bool indexed = find_palette(image, rgba ? alpha.data() : nullptr, palette);
  const std::size_t width = static_cast<std::size_t>(image.width);
  const Rows rows{image, rgba ? alpha.data() : nullptr, indexed ? &palette : nullptr,
                  indexed ? 1u : rgba ? 4u : 3u,
                  indexed ? (width * static_cast<std::size_t>(palette.bits) + 7) / 8 : width * (rgba ? 4 : 3)};
  // A row's filtered bytes, and a piece's, stay far below what one chunk holds.
  if (rows.size + 1 > (std::size_t{1} << 30)) return "the picture is too wide for a PNG file";

  // Pieces of whole rows, about kPieceBytes each, on as many threads as cores.
  const std::size_t rows_per_piece = std::max<std::size_t>(1, kPieceBytes / (rows.size + 1));
  std::vector<Piece> pieces((static_cast<std::size_t>(image.height) + rows_per_piece - 1) / rows_per_piece);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    pieces[i].first = static_cast<std::int32_t>(i * rows_per_piece);
    pieces[i].last = static_cast<std::int32_t>(std::min<std::size_t>(image.height, (i + 1) * rows_per_piece));
  }
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    try {
      Compressor compressor(level);
      Compressor probe(1);
      Scratch scratch;
      for (std::size_t i; (i = next++) < pieces.size();) {
        compress_piece(rows, pieces[i], i + 1 == pieces.size(), compressor, probe, scratch);
        pieces[i].done = true;
      }
    } catch (const std::bad_alloc&) {
      // The piece this thread had is left undone; the other threads go on.
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
  for (const Piece& piece : pieces)
    if (!piece.done) throw std::bad_alloc();  // only a shortage leaves one undone

  std::size_t file_size = 8 + 25 + 12 + 2 + 4;
  uLong adler = adler32(0, nullptr, 0);
  for (const Piece& piece : pieces) {
    if (piece.failed || piece.deflated.empty()) return "the compression failed";
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.length));
    file_size += piece.deflated.size() + 12;
  }
  // The zlib header of a 32 KB window and the compression level's class.
  const int flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned header = (0x78u << 8) | (static_cast<unsigned>(flags) << 6);
  const std::uint8_t zlib_header[2] = {0x78, static_cast<std::uint8_t>((header + 31 - header % 31) & 0xFF)};
  std::uint8_t adler_bytes[4];
  put_be32(adler_bytes, static_cast<std::uint32_t>(adler));

  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::uint8_t ihdr[13];
  put_be32(ihdr, static_cast<std::uint32_t>(image.width));
  put_be32(ihdr + 4, static_cast<std::uint32_t>(image.height));
  ihdr[8] = static_cast<std::uint8_t>(indexed ? palette.bits : 8);  // bits per sample
  ihdr[9] = indexed ? 3 : rgba ? 6 : 2;                             // palette, RGBA or RGB
  ihdr[10] = ihdr[11] = ihdr[12] = 0;  // deflate, adaptive filtering, not interlaced
  std::uint8_t plte[3 * 256], trns[256];
  for (std::size_t i = 0; i < palette.entries.size(); ++i) {
    const std::uint32_t e = palette.entries[i];
    plte[3 * i] = static_cast<std::uint8_t>(e);
    plte[3 * i + 1] = static_cast<std::uint8_t>(e >> 8);
    plte[3 * i + 2] = static_cast<std::uint8_t>(e >> 16);
    trns[i] = static_cast<std::uint8_t>(e >> 24);
  }
  out.clear();
  out.reserve(file_size + sizeof plte + sizeof trns + 24);
  out.insert(out.end(), kSignature, kSignature + 8);
  put_chunk(out, "IHDR", {{ihdr, sizeof ihdr}});
  if (indexed) {
    put_chunk(out, "PLTE", {{plte, 3 * palette.entries.size()}});
    if (palette.translucent > 0) put_chunk(out, "tRNS", {{trns, palette.translucent}});
  }
  // One IDAT per piece: the zlib header before the first, the checksum after the last.
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool first = i == 0;
    const bool last = i + 1 == pieces.size();
    put_chunk(out, "IDAT",
              {{zlib_header, first ? 2u : 0u},
               {pieces[i].deflated.data(), pieces[i].deflated.size()},
               {adler_bytes, last ? 4u : 0u}});
  }
  put_chunk(out, "IEND", {});
  return {};
}

}  // namespace murkel

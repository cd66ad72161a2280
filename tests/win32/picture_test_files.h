// Picture files made by hand, byte by byte, for the tests of the editor's
// codecs: each format's simplest form, so that what a decoder must give is
// known without another decoder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace picture_test {

using Bytes = std::vector<std::uint8_t>;

// A PNG made by hand, its zlib stream stored blocks: rows of `samples` packed at `depth` bits
// (big-endian, first sample in the high bits), each after filter byte 0; `chunks` go before IDAT.
inline Bytes png_file(int width, int height, int colour_type, int depth, const std::vector<unsigned>& samples,
               const std::vector<std::pair<std::string, Bytes>>& chunks = {}) {
  const auto be32 = [](Bytes& b, std::uint32_t v) { for (int s = 24; s >= 0; s -= 8) b.push_back(v >> s & 0xFF); };
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, raw;
  const auto chunk = [&](const std::string& type, const Bytes& data) {
    Bytes body(type.begin(), type.end());
    body.insert(body.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t byte : body) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    be32(png, static_cast<std::uint32_t>(data.size()));
    png.insert(png.end(), body.begin(), body.end());
    be32(png, ~crc);
  };
  const std::size_t per_row = samples.size() / height;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    unsigned bits = 0, used = 0;
    for (std::size_t i = 0; i < per_row; ++i) {
      const unsigned v = samples[y * per_row + i];
      if (depth == 16) raw.insert(raw.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
      if (depth == 8) raw.push_back(static_cast<std::uint8_t>(v));
      if (depth >= 8) continue;
      bits = bits << depth | v, used += depth;
      if (used == 8) raw.push_back(static_cast<std::uint8_t>(bits)), bits = used = 0;
    }
    if (used > 0) raw.push_back(static_cast<std::uint8_t>(bits << (8 - used)));
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  Bytes zlib = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size(); at += 65535) {  // stored blocks of up to 65535 bytes
    const auto n = static_cast<std::uint16_t>(std::min<std::size_t>(65535, raw.size() - at));
    zlib.insert(zlib.end(), {static_cast<std::uint8_t>(at + n == raw.size()), static_cast<std::uint8_t>(n),
                             static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(~n),
                             static_cast<std::uint8_t>(~n >> 8)});
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + n);
  }
  be32(zlib, b << 16 | a);
  Bytes header;
  be32(header, width), be32(header, height);
  header.insert(header.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colour_type), 0, 0, 0});
  chunk("IHDR", header);
  for (const auto& [type, data] : chunks) chunk(type, data);
  chunk("IDAT", zlib), chunk("IEND", {});
  return png;
}

// A GIF89a of at most four colours (`palette`, 0x00BBGGRR), `transparent` the transparent index
// or -1. The LZW codes are 3 bits wide (code size 2), with a clear code before every second
// pixel so that the table never grows past that width.
inline Bytes gif_file(int width, int height, const std::vector<std::uint32_t>& palette, int transparent,
                      const std::vector<unsigned>& indices) {
  const auto le16 = [](Bytes& b, unsigned v) { b.push_back(v & 0xFF), b.push_back(v >> 8 & 0xFF); };
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  le16(gif, width), le16(gif, height);
  gif.insert(gif.end(), {0xF1, 0, 0});  // a global table of 4 entries
  for (int k = 0; k < 4; ++k) {
    const std::uint32_t c = k < static_cast<int>(palette.size()) ? palette[k] : 0;
    gif.insert(gif.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c >> 16)});
  }
  gif.insert(gif.end(), {0x21, 0xF9, 4, static_cast<std::uint8_t>(transparent >= 0), 0, 0,
                         static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0), 0});
  gif.push_back(0x2C);
  le16(gif, 0), le16(gif, 0), le16(gif, width), le16(gif, height);
  gif.push_back(0);
  Bytes data;
  unsigned bits = 0, used = 0;
  const auto code = [&](unsigned c) {
    bits |= c << used, used += 3;
    while (used >= 8) data.push_back(static_cast<std::uint8_t>(bits)), bits >>= 8, used -= 8;
  };
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i % 2 == 0) code(4);
    code(indices[i]);
  }
  code(5);
  if (used > 0) data.push_back(static_cast<std::uint8_t>(bits));
  gif.push_back(2);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    gif.push_back(static_cast<std::uint8_t>(n));
    gif.insert(gif.end(), data.begin() + at, data.begin() + at + n);
  }
  gif.insert(gif.end(), {0, 0x3B});
  return gif;
}

// An uncompressed little-endian TIFF of 8-bit RGBA rows (unassociated alpha), one strip.
inline Bytes tiff_file(int width, int height, const Bytes& rgba) {
  Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const auto le = [&tiff](std::uint32_t v, int n) { for (int k = 0; k < n; ++k) tiff.push_back(v >> 8 * k & 0xFF); };
  const struct { std::uint16_t tag, type; std::uint32_t count, value; } entries[] = {
      {256, 4, 1, static_cast<std::uint32_t>(width)}, {257, 4, 1, static_cast<std::uint32_t>(height)},
      {258, 3, 4, 146}, {259, 3, 1, 1}, {262, 3, 1, 2}, {273, 4, 1, 154}, {277, 3, 1, 4},
      {278, 4, 1, static_cast<std::uint32_t>(height)}, {279, 4, 1, static_cast<std::uint32_t>(rgba.size())},
      {284, 3, 1, 1}, {338, 3, 1, 2}};
  le(11, 2);
  for (const auto& e : entries) le(e.tag, 2), le(e.type, 2), le(e.count, 4), le(e.value, 4);
  le(0, 4);                                   // no next page; 146 bytes so far
  for (int k = 0; k < 4; ++k) le(8, 2);       // bits per sample, at 146
  tiff.insert(tiff.end(), rgba.begin(), rgba.end());  // at 154
  return tiff;
}

}  // namespace picture_test

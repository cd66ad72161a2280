// Test pictures of the end-to-end tests, their 24-bit files, and what the canvas must show of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "e2e/driver.h"
#include "effects/effects.h"
#include "imagefile/bmp_writer.h"

namespace e2e {

// Every pixel its own colour, red differing from blue; another seed gives another picture.
inline murkel::Image noise_picture(int width, int height, std::uint32_t seed = 0) {
  murkel::Image image{width, height, std::vector<murkel::Colour>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ (seed * 83492791u);
      image.pixels[static_cast<std::size_t>(y) * width + x] = (h * 2654435761u >> 8) & 0xFFFFFF;
    }
  return image;
}

// The editor writes exactly this file of a picture (the Win32 tests hold its writer to the encoder).
inline std::string bmp_file(const murkel::Image& image) {
  const std::vector<std::uint8_t> bytes = murkel::encode_bmp24(image).bytes;
  return std::string(bytes.begin(), bytes.end());
}

// Waits for the canvas to show the picture at (5, 5) with the gray margin
// about it (the selection's outline aside), then reports the first difference.
inline void expect_shown(Editor& editor, const murkel::Image& picture, const murkel::Rect& s = {}) {
  char wrong[96] = "";
  const auto matches = [&] {
    const Capture shot = editor.capture({0, 0, picture.width + 10, picture.height + 10});
    for (int y = 0; y < picture.height + 10; ++y)
      for (int x = 0; x < picture.width + 10; ++x) {
        const int px = x - 5, py = y - 5;
        const bool inside = px >= 0 && px < picture.width && py >= 0 && py < picture.height;
        const bool in_columns = px >= s.left && px < s.right, in_rows = py >= s.top && py < s.bottom;
        if ((in_rows && (px == s.left || px == s.right - 1)) || (in_columns && (py == s.top || py == s.bottom - 1))) continue;
        const COLORREF want = inside ? picture.pixels[py * picture.width + px] : RGB(128, 128, 128);
        if (shot.at(x, y) != want) {
          std::snprintf(wrong, sizeof(wrong), "client (%d,%d) shows %06lX, expected %06lX", x, y, shot.at(x, y), want);
          return false;
        }
      }
    return true;
  };
  EXPECT_TRUE(wait_until(matches, 5000)) << wrong;
}

}  // namespace e2e

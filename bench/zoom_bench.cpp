// The canvas's pixels of a 4000 x 3000 picture at a zoom (goal: each within
// one frame, 16.7 ms): at fit in two canvas sizes, at 1/16, at 200 % and at
// 100 % for comparison. The picture in 24-bit rows (the editor's working
// image) or 32-bit rows; the canvas block in 32 bits.
//   zoom_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "core/canvas/scroll.h"
#include "core/canvas/zoom.h"
#include "core/canvas/zoom_pixels.h"

namespace murkel {
namespace {

constexpr Point kPicture{4000, 3000};

std::vector<std::uint8_t>& picture_bytes(int bpp) {
  static std::vector<std::uint8_t> bytes[2];
  std::vector<std::uint8_t>& b = bytes[bpp == 3 ? 0 : 1];
  if (b.empty()) {
    b.resize(std::size_t(kPicture.x) * kPicture.y * bpp);
    std::uint32_t x = 3;  // xorshift: noise, made fast
    for (auto& v : b) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      v = static_cast<std::uint8_t>(x);
    }
  }
  return b;
}

// Arguments: the canvas client width and height, the zoom (0 fit, else
// num / den), bytes a pixel of the picture. Scrolled to the picture's middle.
void BM_DrawZoomed(benchmark::State& state) {
  const Point client{static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1))};
  const Zoom zoom = state.range(2) == 0 ? fit_zoom(kPicture, client)
                                        : Zoom{static_cast<std::int32_t>(state.range(2)),
                                               static_cast<std::int32_t>(state.range(3))};
  const int bpp = static_cast<int>(state.range(4));
  const Point scroll{std::max(0, scroll_maximum(zoomed_size(kPicture.x, zoom), client.x) / 2),
                     std::max(0, scroll_maximum(zoomed_size(kPicture.y, zoom), client.y) / 2)};
  const ViewBlock view = visible_picture(kPicture, zoom, scroll, client);
  const auto w = static_cast<std::int32_t>(view.zoomed.width()), h = static_cast<std::int32_t>(view.zoomed.height());
  std::vector<std::uint8_t> out(std::size_t(w) * h * 4);
  std::vector<std::uint8_t>& in = picture_bytes(bpp);
  const DibRows from{in.data(), std::ptrdiff_t{kPicture.x} * bpp, bpp, kPicture.x, kPicture.y};
  const DibRows to{out.data(), std::ptrdiff_t{w} * 4, 4, w, h};
  ZoomScratch scratch;
  for (auto _ : state) {
    draw_zoomed(from, zoom, view.zoomed, to, scratch);
    benchmark::ClobberMemory();
  }
  state.SetLabel(zoom_text(zoom) + ", " + std::to_string(w) + " x " + std::to_string(h));
}
BENCHMARK(BM_DrawZoomed)
    ->ArgNames({"client_w", "client_h", "num", "den", "bpp"})
    ->ArgsProduct({{1270}, {720}, {0}, {0}, {3, 4}})
    ->ArgsProduct({{1900}, {1000}, {0}, {0}, {3, 4}})
    ->ArgsProduct({{1900}, {1000}, {1}, {16}, {3}})
    ->ArgsProduct({{1900}, {1000}, {2}, {1}, {3, 4}})
    ->ArgsProduct({{1900}, {1000}, {1}, {1}, {3}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murkel

BENCHMARK_MAIN();

// The whole Edit menu effect in the real editor, in-process under Wine: undo
// copy, transfers, the core effect and the redraw, on a 4000 x 3000 24-bit
// picture with a 2000 x 2000 selection (goal: median within 50 ms for every
// effect). In the same run, a mosaic of the same selection done with one
// GetPixel and one SetPixel per pixel, for the ratio.
//   bench/apply_effect_bench.sh [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "editor/app/app_state.h"
#include "editor/document/document_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/main/startup.h"

namespace murkel {
namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr Rect kSelection{1000, 500, 3000, 2500};

double now_ms() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pump_messages() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

std::string write_picture() {
  Image image{kWidth, kHeight, std::vector<Colour>(static_cast<size_t>(kWidth) * kHeight)};
  std::mt19937 rng(1);
  for (Colour& c : image.pixels) c = rng() & 0xFFFFFF;
  const EncodeResult file = encode_bmp24(image);
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "murkel_bench_4000x3000.bmp";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  return path;
}

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Mosaic with 10 x 10 cells the way a per-pixel program does it.
void per_pixel_mosaic(HDC surface, const Rect& s) {
  for (int cx = s.left; cx < s.right; cx += 10) {
    for (int cy = s.top; cy < s.bottom; cy += 10) {
      unsigned r = 0, g = 0, b = 0;
      for (int x = cx; x < cx + 10; ++x)
        for (int y = cy; y < cy + 10; ++y) {
          const COLORREF c = GetPixel(surface, x, y);
          r += GetRValue(c), g += GetGValue(c), b += GetBValue(c);
        }
      const COLORREF average = RGB(r / 100, g / 100, b / 100);
      for (int x = cx; x < std::min<int>(cx + 10, s.right); ++x)
        for (int y = cy; y < std::min<int>(cy + 10, s.bottom); ++y) SetPixel(surface, x, y, average);
    }
  }
}

int run(int runs) {
  init_application_state();
  create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  lstrcpyA(app.command_line_file_name, write_picture().c_str());
  open_command_line_image(app.canvas_window);
  if (app.bitmap.bmWidth != kWidth) {
    std::fprintf(stderr, "the picture did not open\n");
    return 1;
  }
  app.selection = kSelection;
  pump_messages();

  std::printf("apply_effect, 4000 x 3000 24-bit picture, 2000 x 2000 selection, %d runs (ms)\n", runs);
  std::printf("%-10s %8s %8s %8s\n", "effect", "median", "min", "max");
  const char* names[] = {"mosaic", "blur", "diffusion", "scramble", "fill"};
  double mosaic_median = 0;
  for (int code = 0; code <= 4; ++code) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      const double start = now_ms();
      apply_effect(static_cast<EffectCode>(code));
      GdiFlush();
      times.push_back(now_ms() - start);
      pump_messages();
    }
    if (code == 0) mosaic_median = median(times);
    std::printf("%-10s %8.1f %8.1f %8.1f\n", names[code], median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
  }

  const double start = now_ms();
  per_pixel_mosaic(app.working_image, kSelection);
  GdiFlush();
  const double per_pixel = now_ms() - start;
  std::printf("per-pixel GetPixel/SetPixel mosaic (one run): %.0f ms, %.0fx the bulk mosaic\n", per_pixel,
              per_pixel / mosaic_median);
  return 0;
}

}  // namespace
}  // namespace murkel

int main(int argc, char** argv) { return murkel::run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 11); }

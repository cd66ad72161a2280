// The editor's own commands, in-process under Wine, on a 4000 x 3000 24-bit
// picture (12 MP): Open and Revert of its file beside LoadImageA of the same
// file in the same run (goal: Revert within 1.5 x LoadImageA); each Edit menu
// effect over a 2000 x 2000 selection, whole command with its history step
// and redraw, the first one after an Open and repeated 100 ms apart, as a
// person presses a key again (goal: median within 15 ms); the page faults of repeated effects (goal: a few hundred for ten)
// and the peak working set beside what the editor keeps (the picture, the
// history's steps, the effects' blocks). Last, a mosaic done with one GetPixel and one SetPixel per
// pixel, for the ratio. With `redraw`, instead: the full redraw of the
// maximised canvas at 100 %, at fit and at 200 %, and a change of zoom
// (goal: each within one frame, 16.7 ms). With `drag`: at fit on a
// 16384 x 16384 picture (24-bit and 8-bit), a pass of the drag loop and a
// scroll request (goal: each within one frame).
//   bench/apply_effect_bench.sh [RUNS] [redraw|drag]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "editor/app/app_state.h"
#include "editor/document/document_commands.h"
#include "editor/document/history_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/main/startup.h"
#include "editor/menus/menus.h"
#include "editor/view/zoom_view.h"
#include "win32/ansi_text.h"
#include "editor/view/canvas_view.h"
#include "core/canvas/zoom.h"
#include "linux_process.h"

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

// A 24-bit file of noise, written a row at a time so that the benchmark's
// own memory stays out of the working set measured.
std::string write_picture(const char* name, int width, int height) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  const Bmp24Layout layout = *bmp24_layout(width, height);
  std::vector<std::uint8_t> bytes(kBmpHeaderSize);
  write_bmp24_header(layout, bytes.data());
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  bytes.assign(layout.row_size, 0);
  std::uint32_t state = 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 3 * width; ++x) bytes[x] = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
    WriteFile(file, bytes.data(), layout.row_size, &done, nullptr);
  }
  CloseHandle(file);
  return path;
}

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Minor page faults of this process as Linux counts them, else what
// Windows calls page faults.
long long page_faults() {
  static const std::string folder = this_linux_process();
  if (const long long minor = minor_page_faults(folder); minor >= 0) return minor;
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PageFaultCount;
}

double peak_working_set_mb() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}

double working_set_mb() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<double>(counters.WorkingSetSize) / (1 << 20);
}

// Opens a file as the command line does: reader, bitmaps, redraw, scroll bars.
double open_picture(const std::string& path) {
  const double start = now_ms();
  lstrcpyW(app.command_line_file_name, wide(path).c_str());
  open_command_line_image(app.canvas_window);
  GdiFlush();
  return now_ms() - start;
}

// The shortest a person takes from one effect to the next (a key pressed
// again): the editor warms the memory of the next step meanwhile.
void pause_as_a_user() {
  for (int i = 0; i < 10; ++i) {
    pump_messages();
    Sleep(10);
  }
}

double timed_effect(int code) {
  const double start = now_ms();
  apply_effect(static_cast<EffectCode>(code));
  GdiFlush();
  const double time = now_ms() - start;
  pump_messages();
  return time;
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

double timed_redraw() {
  const double start = now_ms();
  {
    ViewLock lock;
    full_redraw(app.view_surface);
  }
  GdiFlush();
  return now_ms() - start;
}

// A View menu command until it returns; `after` gets the time of the
// messages it left (the scroll bars' painting).
double timed_command(WORD command, std::vector<double>& after) {
  const double start = now_ms();
  SendMessageA(app.main_window, WM_COMMAND, command, 0);
  GdiFlush();
  const double end = now_ms();
  pump_messages();
  GdiFlush();
  after.push_back(now_ms() - end);
  return end - start;
}

// The same noise in 8 bits with a table of 256 colours.
std::string write_colour_table_picture(const char* name, int width, int height) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  const DWORD row = DWORD(width + 3) / 4 * 4, table = 256 * 4, offset = 14 + 40 + table;
  const BITMAPFILEHEADER file{0x4D42, offset + row * DWORD(height), 0, 0, offset};
  const BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), width, height, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
  std::vector<std::uint8_t> bytes(table);
  for (int i = 0; i < 256; ++i) {
    bytes[4 * i] = static_cast<std::uint8_t>(i % 6 * 51);
    bytes[4 * i + 1] = static_cast<std::uint8_t>(i / 6 % 6 * 51);
    bytes[4 * i + 2] = static_cast<std::uint8_t>(i / 36 * 42);
  }
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  WriteFile(out, &file, 14, &done, nullptr);
  WriteFile(out, &info, 40, &done, nullptr);
  WriteFile(out, bytes.data(), table, &done, nullptr);
  bytes.assign(row, 0);
  std::uint32_t state = 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bytes[x] = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    WriteFile(out, bytes.data(), row, &done, nullptr);
  }
  CloseHandle(out);
  return path;
}

// The canvas of the maximised editor showing a 4000 x 3000 picture: the full
// redraw (background, then the picture's visible part) at 100 %, fit and
// 200 %, and the View menu commands that change the zoom (redraw, outline,
// status fields; the scroll bars are painted after them), for a 24-bit
// picture and one with a colour table.
int run_redraw(int runs) {
  init_application_state();
  create_editor_windows(GetModuleHandleA(nullptr), SW_SHOWMAXIMIZED);
  pump_messages();
  std::printf("canvas %ld x %ld, 4000 x 3000 picture, medians of %d runs (ms)\n", app.canvas_client.cx,
              app.canvas_client.cy, runs);
  std::printf("%-20s %8s %8s %8s %8s %8s %8s %8s\n", "picture", "100%", "fit", "200%", "to fit", "to 100%", "to 200%",
              "bars");
  std::printf("(the full redraw at 100%%, fit and 200%%; the commands Fit to window from 200%%, Actual size from fit,\n"
              " Zoom in from 100%%; then the scroll bars painted once the command has returned)\n");
  const std::string paths[] = {write_picture("murkel_bench_4000x3000.bmp", kWidth, kHeight),
                               write_colour_table_picture("murkel_bench_4000x3000_8.bmp", kWidth, kHeight)};
  std::string fit_text;
  for (const std::string& path : paths) {
    open_picture(path);
    pump_messages();
    // Round and round from 100 %: Zoom in to 200 %, Fit to window, Actual size; after each
    // command, the full redraw at the zoom it gave.
    const WORD commands[] = {kCmdZoomIn, kCmdFitToWindow, kCmdActualSize};
    std::vector<double> redraws[3], changes[3], bars;
    for (int i = 0; i < runs; ++i) {
      for (int k = 0; k < 3; ++k) {
        changes[k].push_back(timed_command(commands[k], bars));
        redraws[k].push_back(timed_redraw());
        if (k == 1) fit_text = zoom_text(app.zoom);
      }
    }
    std::printf("%-20s %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f\n",
                &path == &paths[0] ? "24-bit" : "8-bit colour table", median(redraws[2]), median(redraws[1]),
                median(redraws[0]), median(changes[1]), median(changes[2]), median(changes[0]), median(bars));
    DeleteFileA(path.c_str());
  }
  std::printf("fit: %s\n", fit_text.c_str());
  return 0;
}

double timed_pass(const Rect& band) {
  const double start = now_ms();
  {
    // What a pass of the drag loop draws: the picture, then the band.
    ViewLock lock;
    show_working_image();
    draw_outline(selection_outline(band, Point{app.scroll_x, app.scroll_y}, app.zoom));
  }
  GdiFlush();
  return now_ms() - start;
}

double timed_scroll(WORD code) {
  const double start = now_ms();
  SendMessageA(app.canvas_window, WM_VSCROLL, code, 0);
  GdiFlush();
  return now_ms() - start;
}

// The maximised canvas at fit on a 16384 x 16384 picture, 24-bit and 8-bit
// with a colour table: the redraw with the view computed anew (as after an
// effect), a pass of the drag loop and a scroll request (bar, redraw,
// position field, outline); then, one level above fit, a scroll request
// that moves the view, which is then computed anew every time.
int run_drag(int runs) {
  init_application_state();
  create_editor_windows(GetModuleHandleA(nullptr), SW_SHOWMAXIMIZED);
  pump_messages();
  constexpr int kSide = 16384;
  std::printf("canvas %ld x %ld, %d x %d picture at fit, medians of %d runs (ms)\n", app.canvas_client.cx,
              app.canvas_client.cy, kSide, kSide, runs);
  std::printf("%-20s %10s %10s %10s %16s\n", "picture", "computed", "drag pass", "scroll", "scroll, zoomed in");
  std::string fit_text, above_text;
  for (int kind = 0; kind < 2; ++kind) {
    const std::string path = kind == 0 ? write_picture("murkel_bench_16384.bmp", kSide, kSide)
                                       : write_colour_table_picture("murkel_bench_16384_8.bmp", kSide, kSide);
    open_picture(path);
    DeleteFileA(path.c_str());
    if (!picture_open()) {
      std::printf("%s: the picture did not open\n", kind == 0 ? "24-bit" : "8-bit");
      continue;
    }
    SendMessageA(app.main_window, WM_COMMAND, kCmdFitToWindow, 0);
    pump_messages();
    fit_text = zoom_text(app.zoom);
    app.selection = Rect{1000, 1000, 9000, 7000};
    std::vector<double> computed, passes, scrolls, moving;
    for (int i = 0; i < runs; ++i) {
      {
        ViewLock lock;
        mark_picture_changed();
      }
      computed.push_back(timed_redraw());
      passes.push_back(timed_pass(Rect{2000, 2000, 2000 + 37 * i, 2000 + 29 * i}));
      scrolls.push_back(timed_scroll(i % 2 ? SB_LINEUP : SB_LINEDOWN));
    }
    SendMessageA(app.main_window, WM_COMMAND, kCmdZoomIn, 0);
    pump_messages();
    above_text = zoom_text(app.zoom);
    for (int i = 0; i < runs; ++i) moving.push_back(timed_scroll(i % 2 ? SB_LINEUP : SB_LINEDOWN));
    std::printf("%-20s %10.1f %10.1f %10.1f %16.1f\n", kind == 0 ? "24-bit" : "8-bit colour table", median(computed),
                median(passes), median(scrolls), median(moving));
    app.selection = Rect{};
  }
  std::printf("fit: %s, zoomed in: %s\n", fit_text.c_str(), above_text.c_str());
  return 0;
}

int run(int runs) {
  init_application_state();
  create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  const std::string big = write_picture("murkel_bench_4000x3000.bmp", kWidth, kHeight);
  const std::string small = write_picture("murkel_bench_64x48.bmp", 64, 48);
  pump_messages();
  const double baseline_mb = working_set_mb();

  // Effects: the first after a fresh Open (new bitmaps, new blocks), then repeated.
  std::printf("apply_effect, 4000 x 3000 24-bit picture, 2000 x 2000 selection, %d runs (ms)\n", runs);
  std::printf("%-10s %8s %8s %8s %8s %12s\n", "effect", "first", "median", "min", "max", "faults/run");
  std::printf("(first: median of 3, each right after an Open; faults: page faults per repeated run)\n");
  const char* names[] = {"mosaic", "blur", "diffusion", "scramble", "fill"};
  double mosaic_median = 0;
  for (int code = 0; code <= 4; ++code) {
    std::vector<double> first;
    for (int i = 0; i < 3; ++i) {
      open_picture(small);
      open_picture(big);
      app.selection = kSelection;
      first.push_back(timed_effect(code));
    }
    std::vector<double> times;
    const long long faults_before = page_faults();
    for (int i = 0; i < runs; ++i) {
      times.push_back(timed_effect(code));
      pause_as_a_user();
    }
    const long long faults = page_faults() - faults_before;
    if (code == 0) mosaic_median = median(times);
    std::printf("%-10s %8.1f %8.1f %8.1f %8.1f %12.0f\n", names[code], median(first), median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                static_cast<double>(faults) / runs);
  }
  // Ten mosaics, each with its Undo, after one that finds its memory in place
  // and a pause in which the memory of the next step is warmed.
  apply_effect(EffectCode::mosaic);
  undo_command();
  GdiFlush();
  pause_as_a_user();
  const long long faults_before = page_faults();
  for (int i = 0; i < 10; ++i) {
    apply_effect(EffectCode::mosaic);
    undo_command();
  }
  GdiFlush();
  const long long faults_after = page_faults();
  // How many of them the canvas redraw alone costs (the display driver's).
  for (int i = 0; i < 20; ++i) show_working_image();
  GdiFlush();
  std::printf("page faults of ten mosaics, each with its Undo: %lld; of 20 redraws alone: %lld\n",
              faults_after - faults_before, page_faults() - faults_after);
  const double picture_mb = 3.0 * kWidth * kHeight / (1 << 20);
  // The history keeps every step's bytes (within its budget) and the next
  // step's spare memory; the effects' blocks hold a band.
  const double history_mb = static_cast<double>(app.history.bytes() + app.spare_step.size) / (1 << 20);
  const double blocks_mb =
      4.0 * (double(app.source_block.width) * app.source_block.height +
             double(app.result_block.width) * app.result_block.height) / (1 << 20);
  std::printf("peak working set %.1f MB, %.1f MB before the first Open; the picture %.1f MB, the history %.1f MB "
              "(%zu steps), the effects' blocks %.1f MB\n",
              peak_working_set_mb(), baseline_mb, picture_mb, history_mb, app.history.steps(), blocks_mb);

  // Open (after a picture of another size) and Revert, beside LoadImageA of the same file.
  std::vector<double> load_times, open_times, revert_times;
  for (int i = 0; i < runs; ++i) {
    double start = now_ms();
    HANDLE loaded = LoadImageA(nullptr, big.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    load_times.push_back(now_ms() - start);
    DeleteObject(loaded);
    open_picture(small);
    open_times.push_back(open_picture(big));
    pump_messages();
    start = now_ms();
    revert_image();
    GdiFlush();
    revert_times.push_back(now_ms() - start);
    pump_messages();
  }
  const double load = median(load_times);
  std::printf("12 MP file, %d runs (median ms): LoadImageA %.1f, Open %.1f (%.2fx), Revert %.1f (%.2fx)\n", runs,
              load, median(open_times), median(open_times) / load, median(revert_times),
              median(revert_times) / load);

  const double start = now_ms();
  per_pixel_mosaic(app.working_image, kSelection);
  GdiFlush();
  const double per_pixel = now_ms() - start;
  std::printf("per-pixel GetPixel/SetPixel mosaic (one run): %.0f ms, %.0fx the bulk mosaic\n", per_pixel,
              per_pixel / mosaic_median);
  DeleteFileA(big.c_str());
  DeleteFileA(small.c_str());
  return 0;
}

}  // namespace
}  // namespace murkel

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
  if (argc > 2 && std::strcmp(argv[2], "redraw") == 0) return murkel::run_redraw(runs);
  if (argc > 2 && std::strcmp(argv[2], "drag") == 0) return murkel::run_drag(runs);
  return murkel::run(runs);
}

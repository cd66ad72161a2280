// The editor timed from outside, as a person works it: murkel.exe runs in a
// process of its own and this program drives it with the end-to-end driver.
// A 4000 x 3000 24-bit picture is opened through the Open dialog, a
// 2000 x 2000 selection dragged (scrolling while the button is down), and
// each Edit menu effect sent to the main window as a command; a time runs
// from the send until the command is handled and the canvas has no redraw
// left. Then Revert of the unchanged picture, beside LoadImageA of
// the same file in this process. The editor's page faults and its peak
// resident memory come from Linux's /proc. Last, the canvas must show,
// pixel for pixel, the mosaic and the fill that the core computes.
//   bench/editor_outside_bench.sh [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/effects/effects.h"
#include "e2e/driver.h"
#include "linux_process.h"

namespace {

using murkel::Rect;

constexpr int kWidth = 4000, kHeight = 3000;
constexpr Rect kSelection{1000, 500, 3000, 2500};
constexpr WORD kOpen = 1001, kRevert = 1004, kFirstEffect = 2000, kFill = 2004, kUndo = 2005;

double now_ms() {
  LARGE_INTEGER frequency{}, count{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The command, handled, and then whatever redraw it left: the time a person waits.
double timed_command(e2e::Editor& editor, WORD id) {
  const double start = now_ms();
  if (!editor.command_and_wait(id)) throw std::runtime_error("command " + std::to_string(id) + " did not return");
  RedrawWindow(editor.canvas(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return now_ms() - start;
}

// File > Open; changes are dropped (No to saving them).
void open_through_dialog(e2e::Editor& editor, const std::string& path) {
  const bool modified = editor.title().find("[*") != std::string::npos;
  editor.command(kOpen);
  if (modified) {
    const HWND box = editor.wait_dialog().hwnd;
    e2e::Editor::press(box, IDNO);
    if (!e2e::wait_until([&] { return !IsWindow(box); })) throw std::runtime_error("the save question stayed open");
  }
  editor.answer_file_dialog(path);
  if (!e2e::wait_until([&] { return editor.title().find(path) != std::string::npos; }))
    throw std::runtime_error("the editor did not open " + path);
}

// Scrolled so that the selection's first pixel is the canvas's first, the
// button goes down there; scrolled on until its last pixel shows, it comes up there.
void drag_selection(e2e::Editor& editor) {
  editor.scroll(true, SB_THUMBPOSITION, kSelection.left);
  editor.scroll(false, SB_THUMBPOSITION, kSelection.top);
  RECT client{};
  GetClientRect(editor.canvas(), &client);
  const int end_x = kSelection.right - 1 - (client.right - 20), end_y = kSelection.bottom - 1 - (client.bottom - 20);
  // The press waits for the scroll: the drag field shows the offset it was pressed at.
  editor.mouse(WM_MOUSEMOVE, {5, 5});
  if (editor.wait_status_text(0, "x:1000,y:500") != "x:1000,y:500") throw std::runtime_error("the canvas did not scroll");
  editor.mouse(WM_LBUTTONDOWN, {5, 5});
  editor.scroll(true, SB_THUMBPOSITION, static_cast<WORD>(end_x));
  editor.scroll(false, SB_THUMBPOSITION, static_cast<WORD>(end_y));
  const POINT last{client.right - 20 + 5, client.bottom - 20 + 5};
  editor.mouse(WM_MOUSEMOVE, last);
  const std::string expected = "(0,0)-(" + std::to_string(kSelection.width() - 1) + "," +
                               std::to_string(kSelection.height() - 1) + ")";
  if (editor.wait_status_text(1, expected) != expected) throw std::runtime_error("the drag did not select " + expected);
  editor.mouse(WM_LBUTTONUP, last);
}

// Scrolled so that the selection's top-left corner shows with picture
// about it, the canvas's client area against `picture`, the selection's
// outline aside.
long long differences_shown(e2e::Editor& editor, const murkel::Image& picture) {
  const int sx = kSelection.left - 100, sy = kSelection.top - 100;
  editor.scroll(true, SB_THUMBPOSITION, static_cast<WORD>(sx));
  editor.scroll(false, SB_THUMBPOSITION, static_cast<WORD>(sy));
  editor.mouse(WM_MOUSEMOVE, {5, 5});
  const std::string at = "x:" + std::to_string(sx) + ",y:" + std::to_string(sy);
  if (editor.wait_status_text(0, at) != at) throw std::runtime_error("the canvas did not scroll");
  RECT client{};
  GetClientRect(editor.canvas(), &client);
  const std::vector<COLORREF> shot = editor.capture(client);
  long long differing = 0;
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) {
      const int px = x - 5 + sx, py = y - 5 + sy;
      if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) continue;
      const bool columns = px >= kSelection.left && px < kSelection.right;
      const bool rows = py >= kSelection.top && py < kSelection.bottom;
      const bool outline = (rows && (px == kSelection.left || px == kSelection.right - 1)) ||
                           (columns && (py == kSelection.top || py == kSelection.bottom - 1));
      if (!outline && shot[static_cast<std::size_t>(y) * client.right + x] != picture.pixels[static_cast<std::size_t>(py) * picture.width + px]) {
        ++differing;
      }
    }
  return differing;
}

int run(int runs) {
  e2e::TempFolder folder;
  const std::string big = folder.file("outside 4000x3000.bmp"), small = folder.file("outside 64x48.bmp");
  const murkel::Image picture = e2e::noise_picture(kWidth, kHeight);
  e2e::write_file(big, e2e::bmp_file(picture));
  e2e::write_file(small, e2e::bmp_file(e2e::noise_picture(64, 48)));

  e2e::Editor editor(folder.path);
  editor.main_window();
  const std::string program = e2e::Editor::bin_folder() + "\\murkel.exe";
  std::string process;
  e2e::wait_until([&] {
    process = murkel::linux_process_folder([&](const std::string& line) {
      return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str(), -1, program.c_str(), -1) == CSTR_EQUAL ||
             line == "\"" + program + "\"";
    });
    return !process.empty();
  }, 5000);
  // The baseline comes after a first Open of a small picture: the Open
  // dialog's own memory (the shell's libraries) is no memory of the picture.
  open_through_dialog(editor, small);
  Sleep(1000);
  const double resident_before = murkel::status_megabytes(process, "VmRSS");

  std::printf("murkel.exe from another process: 4000 x 3000 24-bit picture opened through the Open dialog,\n"
              "2000 x 2000 selection dragged, %d runs; time from the command sent to its handling and redraw done (ms)\n"
              "(the first effect after an Open and a drag, sent at once and after a 0.3 s pause; then repeated)\n",
              runs);
  std::printf("%-10s %8s %8s %8s %8s %8s %16s %16s %8s\n", "effect", "at once", "paused", "median", "min", "max",
              "faults at once", "faults paused", "faults");
  const char* names[] = {"mosaic", "blur", "diffusion", "scramble", "fill"};
  double work_peak = 0;
  for (WORD id = kFirstEffect; id <= kFill; ++id) {
    // The first effect after an Open and a drag: sent at once, and after
    // 0.3 s, a person's pause before the menu (the editor warms its new
    // memory meanwhile). Faults of those two, and per repeated run.
    double first[2] = {};
    long long first_faults[2] = {};
    bool peak_reset = false;
    for (int pause : {0, 1}) {
      open_through_dialog(editor, small);  // another size: new bitmaps, the blocks given back
      open_through_dialog(editor, big);
      drag_selection(editor);
      // The peak of the work alone: the Open dialog's own memory (the shell's) is left out.
      peak_reset = murkel::reset_peak_memory(process);
      Sleep(pause * 300);
      const long long faults_before = murkel::minor_page_faults(process);
      first[pause] = timed_command(editor, id);
      first_faults[pause] = murkel::minor_page_faults(process) - faults_before;
      if (peak_reset) work_peak = std::max(work_peak, murkel::status_megabytes(process, "VmHWM"));
    }
    std::vector<double> times;
    const long long faults_before = murkel::minor_page_faults(process);
    for (int i = 0; i < runs; ++i) times.push_back(timed_command(editor, id));
    const long long faults = murkel::minor_page_faults(process) - faults_before;
    std::printf("%-10s %8.1f %8.1f %8.1f %8.1f %8.1f %16lld %16lld %8.0f\n", names[id - kFirstEffect], first[0],
                first[1], median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), first_faults[0], first_faults[1],
                process.empty() ? -1.0 : static_cast<double>(faults) / runs);
    if (peak_reset) work_peak = std::max(work_peak, murkel::status_megabytes(process, "VmHWM"));
  }

  // Revert of the unchanged picture (same size: the bitmaps are reused),
  // beside LoadImageA; a mosaic and its Undo first, so that the effects'
  // blocks are held as they are after real work.
  open_through_dialog(editor, small);
  open_through_dialog(editor, big);
  drag_selection(editor);
  const bool peak_reset = murkel::reset_peak_memory(process);
  timed_command(editor, kFirstEffect);
  timed_command(editor, kUndo);
  if (editor.title().find("[*") != std::string::npos) throw std::runtime_error("Undo left the picture changed");
  std::vector<double> load_times, revert_times;
  const std::string here = murkel::this_linux_process();
  long long load_faults = 0, revert_faults = 0;
  for (int i = 0; i < runs; ++i) {
    long long faults = murkel::minor_page_faults(here);
    double start = now_ms();
    HANDLE loaded = LoadImageA(nullptr, big.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    load_times.push_back(now_ms() - start);
    load_faults += murkel::minor_page_faults(here) - faults;
    if (loaded == nullptr) throw std::runtime_error("LoadImageA refused the picture");
    DeleteObject(loaded);
    faults = murkel::minor_page_faults(process);
    revert_times.push_back(timed_command(editor, kRevert));
    revert_faults += murkel::minor_page_faults(process) - faults;
  }
  std::printf("Revert of the unchanged 12 MP picture, median of %d: %.1f ms, LoadImageA here %.1f ms (%.2fx); "
              "page faults each: %lld, LoadImageA %lld\n",
              runs, median(revert_times), median(load_times), median(revert_times) / median(load_times),
              revert_faults / runs, load_faults / runs);
  const double peak = murkel::status_megabytes(process, "VmHWM");
  if (peak_reset) work_peak = std::max(work_peak, peak);
  std::printf("editor's peak resident memory over %.1f MB with a 64 x 48 picture open: %.1f MB while effects and "
              "Reverts ran (%s), picture twice + 8 B per selected pixel: %.1f MB\n",
              resident_before, work_peak - resident_before,
              work_peak > 0 ? "Open dialogs left out" : "not readable here",
              (2.0 * 3 * kWidth * kHeight + 8.0 * kSelection.width() * kSelection.height()) / (1 << 20));

  // What the canvas shows after a mosaic, and after a fill on top of it
  // (Revert keeps the selection).
  murkel::Image expected = picture;
  murkel::put_block(expected, kSelection, murkel::mosaic(picture.view(), kSelection, 10, 10));
  timed_command(editor, kFirstEffect);
  const long long mosaic_wrong = differences_shown(editor, expected);
  murkel::put_block(expected, kSelection, murkel::fill(kSelection, RGB(0, 0, 0)));  // the first fill colour
  timed_command(editor, kFill);
  const long long fill_wrong = differences_shown(editor, expected);
  std::printf("canvas against the core's pixels: %lld differ after a mosaic, %lld after a fill\n", mosaic_wrong,
              fill_wrong);
  editor.close();
  return mosaic_wrong == 0 && fill_wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 11);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "editor_outside_bench: %s\n", error.what());
    return 2;
  }
}

// Where an effect over a whole picture is refused for want of memory: opens a
// SIDE x SIDE 24-bit picture in the real editor, in-process under Wine, selects
// all of it and applies a mosaic. Prints one line: "SIDE applied", "SIDE
// refused" (the editor said it had not the memory) or "SIDE not opened".
// One size per process, so that no earlier attempt shapes the address space.
//   bench/whole_picture_effect.sh SIDE...
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/document/document_commands.h"
#include "editor/effects/effect_commands.h"
#include "editor/main/startup.h"
#include "win32/ansi_text.h"

namespace murkel {
namespace {

// The file written a row at a time, so that this process holds no copy of it.
std::string write_picture(int side) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "murkel_whole_picture.bmp";
  const auto layout = bmp24_layout(side, side);
  std::FILE* file = layout ? std::fopen(path.c_str(), "wb") : nullptr;
  if (file == nullptr) return "";
  std::uint8_t header[kBmpHeaderSize];
  write_bmp24_header(*layout, header);
  std::fwrite(header, 1, sizeof header, file);
  std::vector<std::uint8_t> row(layout->row_size);
  for (int y = 0; y < side; ++y) {
    for (std::size_t x = 0; x < row.size(); ++x) row[x] = static_cast<std::uint8_t>(x * 7 + y * 3);
    std::fwrite(row.data(), 1, row.size(), file);
  }
  return std::fclose(file) == 0 ? path : "";
}

int run(int side) {
  const std::string path = write_picture(side);
  if (path.empty()) return std::printf("%d cannot write the picture\n", side), 1;
  init_application_state();
  create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  // Answers the editor's boxes ("cannot open", "not enough memory") and notes that one came.
  std::atomic<bool> done{false}, box{false};
  std::thread watcher([&] {
    while (!done) {
      if (HWND hwnd = FindWindowW(L"#32770", text::kDocumentCaption)) {
        box = true;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
      }
      Sleep(50);
    }
  });
  lstrcpyW(app.command_line_file_name, wide(path).c_str());
  open_command_line_image(app.canvas_window);
  const char* verdict = "not opened";
  if (app.bitmap.bmWidth == side && app.bitmap.bmHeight == side) {
    box = false;
    app.selection = Rect{0, 0, side, side};
    apply_effect(EffectCode::mosaic);
    verdict = app.modification_counter == 1 && !box ? "applied" : "refused";
  }
  done = true;
  watcher.join();
  DeleteFileA(path.c_str());
  std::printf("%d %s\n", side, verdict);
  return 0;
}

}  // namespace
}  // namespace murkel

int main(int argc, char** argv) { return argc == 2 ? murkel::run(std::atoi(argv[1])) : 2; }

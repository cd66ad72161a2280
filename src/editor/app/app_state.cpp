// The Application state and its start-up values.
#include "editor/app/app_state.h"

#include <string>

#include "core/text/command_line.h"
#include "editor/app/texts.h"

namespace murkel {

Application app;

namespace {

wchar_t* allocate_zeroed(SIZE_T characters) {
  return static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, characters * sizeof(wchar_t)));
}

}  // namespace

void init_application_state() {
  app.random.state = 1;
  use_language(interface_language(GetUserDefaultUILanguage()));
  InitializeCriticalSection(&app.view_lock);

  // Heap buffers, zero-filled, in this order; they live as long as the process.
  app.file_name = allocate_zeroed(kPathSize);
  app.title_buffer = allocate_zeroed(kTitleSize);
  app.command_line_copy = allocate_zeroed(kPathSize);
  app.command_line_file_name = allocate_zeroed(kPathSize);

  app.modification_counter = 0;
  app.mosaic_cell_width = 10;
  app.mosaic_cell_height = 10;
  app.blur_level = 2;
  app.scramble_level = 32;
  // A 32-bit process has some 2 GB of addresses for everything; a 64-bit
  // one is held by the machine's memory.
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  const std::uint64_t quarter = GlobalMemoryStatusEx(&memory) ? memory.ullTotalPhys / 4 : std::uint64_t{512} << 20;
  const std::uint64_t budget = sizeof(void*) == 4 ? std::uint64_t{512} << 20 : quarter;
  app.history.set_limits(HistoryLimits{100, static_cast<std::size_t>(budget)});
  for (COLORREF& colour : app.custom_colours) colour = RGB(255, 255, 255);
  app.status_field_edges[0] = 100;
  app.status_field_edges[1] = 300;
  app.status_field_edges[2] = 0;

  for (SCROLLINFO* record : {&app.horizontal_scroll, &app.vertical_scroll}) {
    *record = SCROLLINFO{};
    record->cbSize = sizeof(SCROLLINFO);
    record->fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  }

  app.colour_chooser = CHOOSECOLORW{};
  app.colour_chooser.lStructSize = sizeof(CHOOSECOLORW);
  app.colour_chooser.rgbResult = RGB(0, 0, 0);
  app.colour_chooser.lpCustColors = app.custom_colours;
  app.colour_chooser.Flags = CC_RGBINIT | CC_FULLOPEN;

  app.file_dialog_path = allocate_zeroed(kPathSize);
  app.file_dialog_file_title = allocate_zeroed(kPathSize);
  app.file_dialog = OPENFILENAMEW{};
  app.file_dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  app.file_dialog.lpstrFilter = texts().bitmap_filter;
  app.file_dialog.nFilterIndex = 0;
  app.file_dialog.lpstrFile = app.file_dialog_path;
  app.file_dialog.nMaxFile = kPathSize;
  app.file_dialog.lpstrFileTitle = app.file_dialog_file_title;
  app.file_dialog.nMaxFileTitle = kPathSize;
  app.file_dialog.lpstrDefExt = text::kDefaultExtension;

  // The file named as the second quoted item of the command line.
  const wchar_t* command_line = GetCommandLineW();
  lstrcpynW(app.command_line_copy, command_line, kPathSize);
  const std::wstring name = command_line_file_name(command_line);
  lstrcpynW(app.command_line_file_name, name.c_str(), kPathSize);
}

}  // namespace murkel

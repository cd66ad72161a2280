// The Application state: the one process-wide record every routine works on.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <cstdint>

#include "core/canvas/selection.h"
#include "core/effects/random_source.h"
#include "core/pixels.h"
#include "editor/app/transfer_blocks.h"

namespace murkel {

inline constexpr int kPathSize = 260;
inline constexpr int kTitleSize = 282;
inline constexpr int kStatusTextSize = 260;
inline constexpr int kStatusClearSize = 257;
inline constexpr int kFilterSize = 27;

struct Application {
  // Random source.
  RandomSource random;

  // Command line.
  char* command_line_copy = nullptr;
  char* command_line_file_name = nullptr;

  // Windows.
  HWND main_window = nullptr;
  HWND canvas_window = nullptr;  // stays empty until the canvas's creation returns

  // Document surfaces. Undo exchanges the two surfaces together with their
  // bitmaps: the loaded bitmap is always the one in the working image.
  HBITMAP loaded_bitmap = nullptr;
  HDC working_image = nullptr;
  HBITMAP undo_bitmap = nullptr;
  HDC undo_image = nullptr;
  // The effects' transfer blocks, kept while the picture keeps its size.
  TransferBlock source_block;
  TransferBlock result_block;

  // Menus.
  HMENU menu_bar = nullptr;
  HMENU file_menu = nullptr;
  HMENU edit_menu = nullptr;
  HMENU settings_menu = nullptr;
  HMENU help_menu = nullptr;

  // File dialog.
  BOOL file_dialog_result = FALSE;
  OPENFILENAMEA file_dialog{};
  char* file_dialog_filter = nullptr;
  char* file_dialog_path = nullptr;
  char* file_dialog_file_title = nullptr;

  // Document.
  std::atomic<int> last_answer{0};  // also written by the version check's thread
  char* file_name = nullptr;
  BITMAP bitmap{};  // picture width and height; 0 x 0 before any open

  // Canvas geometry.
  SIZE canvas_client{};
  SCROLLINFO horizontal_scroll{};
  SCROLLINFO vertical_scroll{};

  // Document, continued.
  char* title_buffer = nullptr;
  std::int16_t modification_counter = 0;

  // Selection (main thread only).
  Rect selection;

  // Mosaic settings (written by dialog threads).
  std::atomic<std::int32_t> mosaic_cell_width{0};
  std::atomic<std::int32_t> mosaic_cell_height{0};

  // Scrolling: shared with the drag loop.
  std::atomic<std::int32_t> scroll_x{0};
  std::atomic<std::int32_t> scroll_y{0};
  std::atomic<std::int32_t> anchor_scroll_x{0};
  std::atomic<std::int32_t> anchor_scroll_y{0};
  POINT drag_start_scroll{};

  // Effect settings.
  std::uint8_t undo_toggle = 0;
  std::atomic<std::uint8_t> blur_level{0};
  std::atomic<std::int16_t> scramble_level{0};
  CHOOSECOLORA colour_chooser{};
  COLORREF custom_colours[16]{};

  // Main window parts.
  HWND status_bar = nullptr;
  int status_height = 0;
  RECT client_rect{};
  RECT drag_window_rect{};
  RECT wheel_window_rect{};
  int status_field_edges[3]{};
  POINT last_mouse{};
  char position_text[kStatusTextSize]{};
  char selection_text[kStatusTextSize]{};

  // Canvas surfaces.
  HDC view_surface = nullptr;
  HBITMAP background_bitmap = nullptr;
  HDC background_surface = nullptr;
  int doubled_frame_width = 0;
  int horizontal_bar_height = 0;
  SelectionFlags selection_flags;  // main thread's press/release state
  std::atomic<bool> dragging{false};  // the drag loop runs while set
  std::atomic<std::uint32_t> drag_generation{0};  // a new press retires the running loop
  std::atomic<std::int32_t> drag_point_x{0};
  std::atomic<std::int32_t> drag_point_y{0};
  POINT wheel_cursor{};
  std::atomic<std::int32_t> drag_anchor_x{0};
  std::atomic<std::int32_t> drag_anchor_y{0};
  HDC scratch_surface = nullptr;
  HBITMAP scratch_bitmap = nullptr;
  SIZE surface_size{};  // size of the background and scratch bitmaps

  // Every drawing on the view surface happens under this lock (main thread
  // and drag loop alike).
  CRITICAL_SECTION view_lock{};
};

extern Application app;

// A picture is open once one has loaded (0 x 0 before).
inline bool picture_open() { return app.bitmap.bmWidth > 0 && app.bitmap.bmHeight > 0; }

// Start-up steps 1-4: heap buffers, start values, records, command line.
void init_application_state();

// Holds the view lock for a scope.
class ViewLock {
 public:
  ViewLock() { EnterCriticalSection(&app.view_lock); }
  ~ViewLock() { LeaveCriticalSection(&app.view_lock); }
  ViewLock(const ViewLock&) = delete;
  ViewLock& operator=(const ViewLock&) = delete;
};

}  // namespace murkel

// The Application state: the one process-wide record every routine works on.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/canvas/selection.h"
#include "core/canvas/selection_edit.h"
#include "core/canvas/zoom.h"
#include "core/canvas/zoom_pixels.h"
#include "core/document/transparency.h"
#include "core/effects/random_source.h"
#include "core/pixels.h"
#include "editor/app/page_warmer.h"
#include "editor/app/picture_step.h"
#include "editor/app/transfer_blocks.h"

namespace murkel {

inline constexpr int kPathSize = 260;
inline constexpr int kTitleSize = 282;
inline constexpr int kStatusTextSize = 260;
inline constexpr int kStatusClearSize = 257;

// What the view block holds at its origin: the zoomed pixels `zoomed` of
// the picture as it stood at a count of its changes, at a zoom.
struct ShownView {
  std::uint32_t picture_changes = 0;
  Zoom zoom{0, 0};  // no zoom: nothing held
  Rect zoomed;
  friend constexpr bool operator==(const ShownView&, const ShownView&) = default;
};

struct Application {
  // Start-up: the command line and the window handles. The main thread writes
  // them while it makes the windows; afterwards every thread only reads them.
  // Texts and file names are UTF-16, in buffers of as many characters as
  // the sizes above say.
  wchar_t* command_line_copy = nullptr;
  wchar_t* command_line_file_name = nullptr;
  HWND main_window = nullptr;
  HWND canvas_window = nullptr;  // stays empty until the canvas's creation returns
  HWND status_bar = nullptr;

  // Document: the picture, its history, its file and whether it is saved.
  // Main thread only, except that the surface, its bitmap and the picture
  // record change under the view lock, inside which the drag loop reads them.
  HBITMAP loaded_bitmap = nullptr;
  HDC working_image = nullptr;
  TransferBlock source_block;  // the effects' transfer blocks (main thread),
  TransferBlock result_block;  // kept while the picture keeps its size
  PageWarmer block_warmer;     // touches new blocks ahead of the first effect (main thread)
  BITMAP bitmap{};  // picture width and height; 0 x 0 before any open
  Transparency transparency;  // alpha of the picture; empty when opaque
  PictureHistory history;     // the steps behind and ahead, and the Undo toggle
  ByteBuffer spare_step;      // memory for the next step's bytes, warmed while the user chooses
  wchar_t* file_name = nullptr;
  wchar_t* title_buffer = nullptr;
  std::int16_t modification_counter = 0;  // the history's distance to the file, kept for the prompts
  RandomSource random;  // the scramble's, seeded at each scramble

  // View and scrolling: the canvas's surfaces, its size and the scroll offset.
  // The main thread writes them; the drag loop reads the offset (atomic) and
  // draws. Every drawing on the view surface, on either thread, holds the
  // view lock.
  CRITICAL_SECTION view_lock{};
  HDC view_surface = nullptr;
  HBITMAP background_bitmap = nullptr;
  HDC background_surface = nullptr;
  HDC scratch_surface = nullptr;
  HBITMAP scratch_bitmap = nullptr;
  SIZE surface_size{};  // size of the background and scratch bitmaps
  TransferBlock view_block;  // what the canvas shows of the picture, in the window's 32 bits
  ShownView view_shown;      // and of which picture, at which zoom
  std::uint32_t picture_changes = 0;  // counts every change of the working image's pixels or bitmap
  TransferBlock view_source_block;  // zoomed, a band of a picture of other formats in 32 bits
  ZoomScratch zoom_scratch;
  // One picture pixel spans zoom.num / zoom.den canvas pixels; the scroll
  // offset counts canvas pixels. The main thread changes the zoom under the
  // view lock, inside which the drag loop reads it.
  Zoom zoom = kActualSize;
  SIZE canvas_client{};
  SCROLLINFO horizontal_scroll{};
  SCROLLINFO vertical_scroll{};
  std::uint8_t scroll_bars_waiting = 0;  // records the bars take later (bit 0 horizontal, 1 vertical)
  std::atomic<std::int32_t> scroll_x{0};
  std::atomic<std::int32_t> scroll_y{0};
  POINT last_mouse{};  // main thread only, as is the position field's text
  wchar_t position_text[kStatusTextSize]{};
  wchar_t zoom_text[kStatusTextSize]{};  // the third field's

  // Selection and drag loop. The main thread owns the selection and the
  // press/release flags. A press sets the drag fields, then starts the loop;
  // from then on the loop writes the drag point and the selection field's
  // text, and the main thread moves the anchor with a scroll (under the view
  // lock) and reads the drag point at release. Shared fields are atomic.
  Rect selection;
  SelectionFlags selection_flags;
  std::atomic<bool> dragging{false};  // the drag loop runs while set
  std::atomic<std::uint32_t> drag_generation{0};  // a new press retires the running loop
  RECT drag_window_rect{};
  POINT drag_start_scroll{};
  std::atomic<std::int32_t> drag_anchor_x{0};
  std::atomic<std::int32_t> drag_anchor_y{0};
  std::atomic<std::int32_t> anchor_scroll_x{0};
  std::atomic<std::int32_t> anchor_scroll_y{0};
  std::atomic<std::int32_t> drag_point_x{0};
  std::atomic<std::int32_t> drag_point_y{0};
  wchar_t selection_text[kStatusTextSize]{};  // emptied by the main thread when the selection is cleared
  Grab edge_grab;  // the edges a press on the outline holds until the release (main thread)

  // Effect settings. The settings dialogs' threads show and set the mosaic
  // cell size and the two levels, each with one atomic load or store; the
  // main thread reads them when an effect starts. The colour chooser and its
  // colours: main thread only.
  std::atomic<std::int32_t> mosaic_cell_width{0};
  std::atomic<std::int32_t> mosaic_cell_height{0};
  std::atomic<std::uint8_t> blur_level{0};
  std::atomic<std::int16_t> scramble_level{0};
  CHOOSECOLORW colour_chooser{};
  COLORREF custom_colours[16]{};

  // Main window, menus and dialogs: layout, wheel routing, the menu bar and
  // the file dialog. Main thread only, except the last answer, which the
  // version check's dialog thread also writes (atomic).
  UINT dpi = 96;  // of the main window's monitor: the status fields' edges are at this DPI
  int status_height = 0;
  HFONT status_font = nullptr;  // made for `dpi`
  RECT client_rect{};
  int status_field_edges[3]{};
  int doubled_frame_width = 0;
  int horizontal_bar_height = 0;
  POINT wheel_cursor{};
  std::int32_t wheel_zoom_turned = 0;  // Ctrl+wheel deltas short of a notch
  RECT wheel_window_rect{};
  HMENU menu_bar = nullptr;
  HMENU file_menu = nullptr;
  HMENU edit_menu = nullptr;
  HMENU view_menu = nullptr;
  HMENU settings_menu = nullptr;
  HMENU help_menu = nullptr;
  BOOL file_dialog_result = FALSE;
  OPENFILENAMEW file_dialog{};
  wchar_t* file_dialog_path = nullptr;
  wchar_t* file_dialog_file_title = nullptr;
  std::atomic<int> last_answer{0};  // the answer of the last question box
  bool document_command_running = false;  // a File or Edit command (or a drop) has not returned yet

  // Find and hide: its window while open (main thread), and the boxes it
  // outlines on the canvas, which change under the view lock.
  HWND find_window = nullptr;
  std::vector<Rect> found_outlines;
};

extern Application app;

// A picture is open once one has loaded (0 x 0 before).
inline bool picture_open() { return app.bitmap.bmWidth > 0 && app.bitmap.bmHeight > 0; }

// Fills the record at start-up: heap buffers, start values, the dialog and
// chooser records, the file named on the command line.
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

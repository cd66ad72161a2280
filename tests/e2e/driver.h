// End-to-end driver: starts murkel.exe and works it from another process as a person would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Generous: the machines are shared and Wine is slow to start.
inline constexpr DWORD kTimeoutMs = 20000;

// Polls `condition` every 50 ms until it holds or `timeout_ms` passes.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs);

// Folder of the running test binary, with a trailing backslash.
std::string module_folder();

// A fresh folder under the temp folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }  // no trailing backslash
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Test pictures. Colours are 0x00BBGGRR; rows are given top-down.
using PixelFunction = std::function<COLORREF(int x, int y)>;
void write_bmp24(const std::string& path, int width, int height, const PixelFunction& pixel);
void write_bmp8(const std::string& path, int width, int height, const std::vector<COLORREF>& palette,
                const std::function<std::uint8_t(int x, int y)>& index);
void write_file(const std::string& path, const std::string& bytes);

// A block of screen pixels, row by row.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A message box or dialog of the editor's process.
struct DialogInfo {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;  // the message text (first non-empty Static child)
};

// Text of any window, read with WM_GETTEXT (works across processes).
std::string window_text(HWND hwnd);
std::string class_name(HWND hwnd);
std::vector<HWND> child_windows(HWND parent, const std::string& class_name);
// Visible descendants of any depth with that class, in window order.
std::vector<HWND> descendant_windows(HWND parent, const std::string& class_name);
// Sets a control's text with WM_SETTEXT (works across processes).
void set_window_text(HWND hwnd, const std::string& text);

// The running editor; terminates it at destruction if it is still alive.
class Editor {
 public:
  // Starts `"<bin>\murkel.exe"` (and ` "<picture>"` when given) in `working_folder`.
  Editor(const std::string& working_folder, const std::optional<std::string>& picture = std::nullopt);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  static std::string program_path();
  const std::string& command_line() const { return command_line_; }
  DWORD process_id() const { return process_.dwProcessId; }

  // The MAINWND frame (waits for it; visible only once start-up is over).
  HWND main_window(bool visible = true);
  HWND canvas();
  HWND status_bar();
  std::string title() { return window_text(main_window(false)); }

  // Status bar, read through a buffer placed in the editor's memory.
  std::string status_text(int part);
  std::vector<int> status_parts();
  // Waits until the field reads `expected`; returns what it read last.
  std::string wait_status_text(int part, const std::string& expected);

  // Top-level #32770 windows of the editor's process.
  std::vector<HWND> dialogs();
  // Visible top-level windows of the editor's process with that class.
  std::vector<HWND> windows(const std::string& class_name);
  DialogInfo wait_dialog();  // throws after the time-out
  static DialogInfo read_dialog(HWND dialog);
  // Presses a button of a message box or dialog by its identifier (IDOK, IDYES...).
  static void press_button(HWND dialog, int id);

  // Menu commands and closing.
  void command(WORD id);
  // Sends the command and returns once the editor has handled it; false when
  // it did not return within the time-out (for example a box is open).
  bool command_and_wait(WORD id, DWORD timeout_ms = kTimeoutMs);
  void close();
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> wait_exit(DWORD timeout_ms = kTimeoutMs);
  bool running();

  // Geometry of the canvas in screen coordinates.
  POINT canvas_to_screen(POINT client);
  SIZE canvas_client_size();
  RECT main_client_rect_on_screen();

  // Screen pixel at a canvas client point; a block of them in one read.
  COLORREF canvas_pixel(POINT client);
  Capture canvas_pixels(const RECT& client_rect);

  // Mouse as a person uses it: the editor reads GetCursorPos, so the cursor
  // goes there first and the button message follows. Press and release
  // return once the editor has handled them, so that the next cursor move
  // cannot overtake them.
  void mouse_move(POINT client);
  void mouse_press(POINT client);
  void mouse_release(POINT client);
  void cursor_to(POINT client);
  void wheel(POINT screen, bool towards_user);
  void scroll(bool horizontal, WORD code, WORD position = 0);
  // The canvas's scroll bar (GetScrollInfo); nothing when it cannot be read.
  std::optional<SCROLLINFO> scroll_info(bool horizontal);

 private:
  std::string command_line_;
  PROCESS_INFORMATION process_{};
  HANDLE job_ = nullptr;
  HWND main_window_ = nullptr;
};

// Clicks a button the way the mouse does (BM_CLICK); returns at once.
void click(HWND button);
// Identifiers of a message box's visible buttons (IDOK, IDYES, ...), in window order.
std::vector<int> visible_button_ids(HWND box);

// A small HTTP/1.1 server on 127.0.0.1 port 80, on a thread of this process.
// It serves the version file at /softs/version.txt (404 for other paths),
// or closes without a word when there is none, and keeps the bytes of each
// request it was sent. Throws when the port cannot be had.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  void set_version_file(const std::optional<std::string>& body);
  std::vector<std::string> requests();
  // Waits for the request count to reach `count`; false on time-out.
  bool wait_requests(size_t count);

 private:
  static DWORD WINAPI serve_thread(LPVOID self);
  void serve();
  void answer(UINT_PTR connection);
  UINT_PTR listener_;
  HANDLE thread_ = nullptr;
  std::mutex mutex_;
  std::optional<std::string> version_file_;
  std::vector<std::string> requests_;
};

// Which standard icon (IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION)
// a message box shows, told by comparing its icon's pixels on screen with
// each standard icon drawn here; nullptr when none matches.
LPCSTR message_box_icon(HWND box);

// Bytes as text for messages: printable ASCII kept, others as \xNN.
std::string escape(const std::string& bytes);

}  // namespace e2e

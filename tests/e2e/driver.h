// End-to-end driver: starts murkel.exe and works it from another process as a person would.
// Waits that run out throw std::runtime_error, which the test reports.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// Generous: the machines are shared and Wine is slow to start.
inline constexpr DWORD kTimeoutMs = 20000;

// Polls `condition` every 50 ms until it holds (true) or `timeout_ms` passes (false).
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs);

// A fresh folder under the temp folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

// Any window, across processes: its text, and its descendants of a class ("" for all) in window order.
std::string window_text(HWND hwnd);
void set_window_text(HWND hwnd, const std::string& text);
std::vector<HWND> descendants(HWND parent, const std::string& class_name = "", bool visible_only = false);
// Clicks a button as the mouse does (BM_CLICK); returns at once.
void click(HWND button);

// A message box or dialog of the editor: caption and message text (its first non-empty Static).
struct Dialog {
  HWND hwnd = nullptr;
  std::string caption, text;
};

// Screen pixels of a block, row by row, as COLORREF.
struct Capture {
  int width = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The running editor; terminated at destruction with whatever it started.
class Editor {
 public:
  // Starts `"<bin>\murkel.exe"`, and ` "<picture>"` when given, in `folder`.
  explicit Editor(const std::string& folder, const std::optional<std::string>& picture = std::nullopt);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  HWND main_window();  // the visible MAINWND frame
  HWND canvas();
  std::string title() { return window_text(main_window()); }
  // Status bar field, read through a buffer placed in the editor's memory.
  std::string status_text(int part);
  // Waits until the field reads `expected`; returns what it read last.
  std::string wait_status_text(int part, const std::string& expected);

  // Visible top-level windows of the editor with that class; the first #32770 to appear.
  std::vector<HWND> windows(const std::string& class_name);
  Dialog wait_dialog();
  // Presses a button of a box or dialog by its identifier (IDOK, IDYES...).
  static void press(HWND dialog, int id);

  void command(WORD id);
  // Sends the command and returns once it is handled; false when it did not
  // return in time (for example because a box is open).
  bool command_and_wait(WORD id, DWORD timeout_ms = kTimeoutMs);
  void close();
  std::optional<DWORD> wait_exit();  // the exit code, or nothing on time-out
  bool running();

  // Canvas client points: the cursor goes there first (the editor reads
  // GetCursorPos), then the message follows; button messages return once handled.
  void mouse(UINT message, POINT client);
  // A drag from `from` to `to` that the status field must report as `selection`.
  void drag(POINT from, POINT to, const std::string& selection);
  void scroll(bool horizontal, WORD code, WORD position = 0);
  Capture capture(const RECT& client_rect);
  COLORREF pixel(POINT client) { return capture({client.x, client.y, client.x + 1, client.y + 1}).pixels[0]; }

 private:
  std::string command_line_;
  PROCESS_INFORMATION process_{};
  HANDLE job_ = nullptr;
  HWND main_window_ = nullptr;
};

// A small HTTP/1.1 server on 127.0.0.1 port 80, on a thread of this process.
// It serves the version file at /softs/version.txt (404 for other paths), or
// closes without a word when there is none, and keeps each request's bytes.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  void set_version_file(const std::optional<std::string>& body);
  std::vector<std::string> requests();

 private:
  void serve();
  UINT_PTR listener_;
  std::thread thread_;
  std::mutex mutex_;
  std::optional<std::string> version_file_;
  std::vector<std::string> requests_;
};

}  // namespace e2e

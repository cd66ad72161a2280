// End-to-end driver: starts murkel.exe and works it from another process as a person would
// (waits that run out throw, and the test reports it); test pictures and what the canvas must show.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/codecs/bmp_writer.h"
#include "core/effects/effects.h"

namespace e2e {

inline constexpr DWORD kTimeoutMs = 20000;  // generous: the machines are shared and Wine is slow to start

// Polls `condition` every 50 ms until it holds (true) or the time passes (false).
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs);

// A fresh folder under the temp folder, removed with everything in it at the end.
struct TempFolder {
  TempFolder();
  ~TempFolder();
  std::string file(const std::string& name) const { return path + "\\" + name; }
  std::string path;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
// Names in the ANSI code page and as UTF-16, for files whose names it cannot hold.
std::wstring wide(const std::string& ansi_text);
void write_file(const std::wstring& path, const std::string& bytes);
std::string read_file(const std::wstring& path);
// The address Wine's browser is given for a file: file:// and its Unix path, percent-encoded.
std::string file_address(const std::string& windows_path);

// Wine's shell opens web pages with the browser named in its WineBrowser
// setting: for the life of this object, a script that writes down the addresses.
struct BrowserRecorder {
  BrowserRecorder();
  ~BrowserRecorder();
  std::string addresses();  // one a line, once none has come for half a second
  const std::string log;
};

// Any window, across processes: its text (read through the ANSI calls, or as UTF-16), and its
// descendants of a class ("" for all) in window order.
std::string window_text(HWND hwnd);
std::wstring wide_window_text(HWND hwnd);
void set_window_text(HWND hwnd, const std::string& text);
std::vector<HWND> descendants(HWND parent, const std::string& class_name = "", bool visible_only = false);
void click(HWND button);  // as the mouse does (BM_CLICK); returns at once

// A message box or dialog of the editor: caption and message text (its first non-empty Static).
struct Dialog { HWND hwnd = nullptr; std::string caption, text; };

// The running editor; terminated at destruction with whatever it started.
class Editor {
 public:
  // Starts `"<program>"` (by default <bin>\murkel.exe), and ` "<picture>"` when given, in `folder`.
  explicit Editor(const std::string& folder, const std::optional<std::string>& picture = std::nullopt,
                  const std::string& program = bin_folder() + "\\murkel.exe");
  // The same from a UTF-16 command line: `"<bin>\murkel.exe" "<picture>"`.
  Editor(const std::wstring& folder, const std::wstring& picture);
  static std::string bin_folder();  // the test's folder, which holds murkel.exe too
  ~Editor();

  HWND main_window();  // the visible MAINWND frame
  HWND canvas();
  std::string title() { return window_text(main_window()); }
  std::wstring wide_title() { return wide_window_text(main_window()); }
  // Status bar field, read through a buffer placed in the editor's memory.
  std::string status_text(int part);
  // Waits until the field reads `expected`; returns what it read last.
  std::string wait_status_text(int part, const std::string& expected);

  // Visible top-level windows of the editor with that class; the first #32770 to appear.
  std::vector<HWND> windows(const std::string& class_name);
  Dialog wait_dialog();
  // Presses a button of a box or dialog by its identifier (IDOK, IDYES...).
  static void press(HWND dialog, int id);
  // Types a path into the Open or Save As dialog now open and presses OK, or cancels it ("").
  void answer_file_dialog(const std::string& path);

  void command(WORD id);
  // Sends the command and returns once it is handled; false when it did not
  // return in time (for example because a box is open).
  bool command_and_wait(WORD id, DWORD timeout_ms = kTimeoutMs);
  void close();
  std::optional<DWORD> wait_exit();  // the exit code, or nothing on time-out
  bool running();
  // The file names of the programs the editor has started and that still run.
  std::vector<std::string> started_programs();

  // Canvas client points: the cursor goes there first (the editor reads
  // GetCursorPos), then the message follows; button messages return once handled.
  void mouse(UINT message, POINT client);
  // A drag from `from` to `to` that the status field must report as `selection`.
  void drag(POINT from, POINT to, const std::string& selection);
  void scroll(bool horizontal, WORD code, WORD position = 0);
  // Brings the editor to the front and types the keys as a person does (SendInput):
  // pressed in order, released in reverse, so {VK_CONTROL, 'V'} is Ctrl+V.
  void keys(std::initializer_list<WORD> keys);
  // Screen pixels of a block of the canvas, row by row.
  std::vector<COLORREF> capture(const RECT& client_rect);
  COLORREF pixel(POINT client) { return capture({client.x, client.y, client.x + 1, client.y + 1})[0]; }

 private:
  void start(std::wstring command_line, const std::wstring& folder);

  std::string command_line_;
  PROCESS_INFORMATION process_{};
  HANDLE job_ = nullptr;
  HWND main_window_ = nullptr;
};

// A small HTTP/1.1 server on 127.0.0.1 port 80, on a thread of this process.
// It answers with the version file, or closes without a word when there is
// none, and keeps each request's bytes.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  // The reply to the next requests, cut before each offset of the body in
  // `cuts` (0: between the header and the body), its pieces sent half a
  // second apart. With `hold_open` the connection then stays open until the
  // next call.
  void set_version_file(const std::optional<std::string>& body, std::vector<size_t> cuts = {}, bool hold_open = false);
  std::vector<std::string> requests();

 private:
  void serve();
  UINT_PTR listener_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::optional<std::string> version_file_;
  std::vector<size_t> cuts_;
  bool hold_open_ = false;
  int generation_ = 0;  // counts the calls, so that a held connection sees the next one
  bool stopping_ = false;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// nginx from Debian's packages, started on 127.0.0.1 port 80 with the
// configuration that CMake writes into the build tree, and stopped at the end.
// It serves the folder `root`: root + "\\softs\\version.txt" is the version file.
class NginxServer {
 public:
  NginxServer();
  ~NginxServer();
  const std::string root;

 private:
  void stop();
};

// ---- Pictures, their 24-bit files, and what the canvas must show of them.

// Every pixel its own colour, red differing from blue; another seed gives another picture.
inline murkel::Image noise_picture(int width, int height, std::uint32_t seed = 0) {
  murkel::Image image{width, height, std::vector<murkel::Colour>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ (seed * 83492791u);
      image.pixels[static_cast<std::size_t>(y) * width + x] = (h * 2654435761u >> 8) & 0xFFFFFF;
    }
  return image;
}

// The editor writes exactly this file of a picture (the Win32 tests hold its writer to the encoder).
inline std::string bmp_file(const murkel::Image& image) {
  const std::vector<std::uint8_t> bytes = murkel::encode_bmp24(image).bytes;
  return std::string(bytes.begin(), bytes.end());
}

// Waits for the canvas to show the picture at (5, 5) with the gray margin
// about it (the selection's outline aside), then reports the first difference.
inline void expect_shown(Editor& editor, const murkel::Image& picture, const murkel::Rect& s = {}) {
  const int w = picture.width + 10, h = picture.height + 10;
  std::vector<COLORREF> want(static_cast<std::size_t>(w) * h, RGB(128, 128, 128)), shot;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) want[(y + 5) * w + x + 5] = picture.pixels[y * picture.width + x];
  std::size_t i = 0;
  const bool same = wait_until([&] {
    shot = editor.capture({0, 0, w, h});
    for (i = 0; i < want.size(); ++i) {
      const int x = static_cast<int>(i % w) - 5, y = static_cast<int>(i / w) - 5;
      const bool columns = x >= s.left && x < s.right, rows = y >= s.top && y < s.bottom;
      const bool outline = (rows && (x == s.left || x == s.right - 1)) || (columns && (y == s.top || y == s.bottom - 1));
      if (!outline && shot[i] != want[i]) return false;
    }
    return true;
  }, 5000);
  EXPECT_TRUE(same) << "client (" << i % w << "," << i / w << ") shows " << std::hex << shot[i] << ", expected " << want[i];
}

}  // namespace e2e

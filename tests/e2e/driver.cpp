// End-to-end driver: process start, window lookup, cross-process status bar reads, mouse and pictures.
#include <winsock2.h>

#include "e2e/driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace e2e {
namespace {

constexpr DWORD kPollMs = 50;

struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle) CloseHandle(handle);
  }
};

// Memory in another process, freed when it goes out of scope.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, SIZE_T size) : process_(process), size_(size) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) throw std::runtime_error("VirtualAllocEx failed in the editor's process");
  }
  ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  LPARAM lparam() const { return reinterpret_cast<LPARAM>(address_); }
  std::string read(SIZE_T bytes) const {
    std::string data(bytes, '\0');
    SIZE_T done = 0;
    if (!ReadProcessMemory(process_, address_, data.data(), bytes, &done) || done != bytes) {
      throw std::runtime_error("ReadProcessMemory failed in the editor's process");
    }
    return data;
  }
  void clear() const {
    const std::string zeros(size_, '\0');
    WriteProcessMemory(process_, address_, zeros.data(), size_, nullptr);
  }

 private:
  HANDLE process_;
  SIZE_T size_;
  void* address_ = nullptr;
};

LRESULT send_with_timeout(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_NORMAL, kTimeoutMs, &result)) {
    throw std::runtime_error("the editor did not answer message 0x" + std::to_string(msg) + " in time");
  }
  return static_cast<LRESULT>(result);
}

struct WindowSearch {
  DWORD process_id;
  const std::string* wanted_class;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->process_id && class_name(hwnd) == *search->wanted_class) search->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> top_level_windows_of(DWORD process_id, const std::string& wanted_class) {
  WindowSearch search{process_id, &wanted_class, {}};
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void put_u16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void put_u32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// File header and 40-byte information header of an uncompressed bottom-up bitmap.
std::string bitmap_headers(int width, int height, int bits, int palette_size, std::uint32_t image_size) {
  const std::uint32_t offset = 14 + 40 + 4 * palette_size;
  std::string out = "BM";
  put_u32(out, offset + image_size);
  put_u32(out, 0);
  put_u32(out, offset);
  put_u32(out, 40);
  put_u32(out, static_cast<std::uint32_t>(width));
  put_u32(out, static_cast<std::uint32_t>(height));
  put_u16(out, 1);
  put_u16(out, static_cast<std::uint16_t>(bits));
  put_u32(out, 0);  // BI_RGB
  put_u32(out, image_size);
  put_u32(out, 2835);
  put_u32(out, 2835);
  put_u32(out, static_cast<std::uint32_t>(palette_size));
  put_u32(out, 0);
  return out;
}

}  // namespace

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
}

std::string module_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

TempFolder::TempFolder() {
  static int counter = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + "murkel-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  if (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot create the folder " + path_);
  }
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") DeleteFileA(file(name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void write_bmp24(const std::string& path, int width, int height, const PixelFunction& pixel) {
  const int row_size = (width * 3 + 3) & ~3;
  std::string out = bitmap_headers(width, height, 24, 0, static_cast<std::uint32_t>(row_size * height));
  for (int y = height - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(row_size), '\0');
    for (int x = 0; x < width; ++x) {
      const COLORREF c = pixel(x, y);
      row[3 * x] = static_cast<char>(GetBValue(c));
      row[3 * x + 1] = static_cast<char>(GetGValue(c));
      row[3 * x + 2] = static_cast<char>(GetRValue(c));
    }
    out += row;
  }
  write_file(path, out);
}

void write_bmp8(const std::string& path, int width, int height, const std::vector<COLORREF>& palette,
                const std::function<std::uint8_t(int x, int y)>& index) {
  const int row_size = (width + 3) & ~3;
  std::string out = bitmap_headers(width, height, 8, static_cast<int>(palette.size()),
                                   static_cast<std::uint32_t>(row_size * height));
  for (COLORREF c : palette) {
    out.push_back(static_cast<char>(GetBValue(c)));
    out.push_back(static_cast<char>(GetGValue(c)));
    out.push_back(static_cast<char>(GetRValue(c)));
    out.push_back('\0');
  }
  for (int y = height - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(row_size), '\0');
    for (int x = 0; x < width; ++x) row[x] = static_cast<char>(index(x, y));
    out += row;
  }
  write_file(path, out);
}

std::string window_text(HWND hwnd) {
  char buffer[1024] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           kTimeoutMs, &length)) {
    throw std::runtime_error("WM_GETTEXT got no answer in time");
  }
  return std::string(buffer, std::min<size_t>(length, sizeof(buffer) - 1));
}

std::string class_name(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

std::vector<HWND> child_windows(HWND parent, const std::string& wanted_class) {
  std::vector<HWND> found;
  for (HWND child = FindWindowExA(parent, nullptr, wanted_class.c_str(), nullptr); child;
       child = FindWindowExA(parent, child, wanted_class.c_str(), nullptr)) {
    found.push_back(child);
  }
  return found;
}

namespace {

BOOL CALLBACK collect_descendant(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  if (IsWindowVisible(hwnd) && class_name(hwnd) == *search->wanted_class) search->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> descendant_windows(HWND parent, const std::string& wanted_class) {
  WindowSearch search{0, &wanted_class, {}};
  EnumChildWindows(parent, collect_descendant, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void set_window_text(HWND hwnd, const std::string& text) {
  send_with_timeout(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string escape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

namespace {

// Count of the pixels of `icon`, drawn on `background` at the size of
// `rc`, that equal the screen inside `rc`.
int matching_pixels(HICON icon, const RECT& rc, COLORREF background, HDC screen) {
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  const RECT all{0, 0, width, height};
  FillRect(memory, &all, brush);
  DeleteObject(brush);
  DrawIconEx(memory, 0, 0, icon, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0, nullptr, DI_NORMAL);
  int matches = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (GetPixel(memory, x, y) == GetPixel(screen, rc.left + x, rc.top + y)) ++matches;
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return matches;
}

}  // namespace

LPCSTR message_box_icon(HWND box) {
  HWND icon_control = nullptr;
  for (HWND child : child_windows(box, "Static")) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) icon_control = child;
  }
  if (!icon_control) return nullptr;
  RECT rc{};
  GetWindowRect(icon_control, &rc);
  rc.right = std::min<LONG>(rc.right, rc.left + GetSystemMetrics(SM_CXICON));
  rc.bottom = std::min<LONG>(rc.bottom, rc.top + GetSystemMetrics(SM_CYICON));
  HDC screen = GetDC(nullptr);
  // The icon's see-through corners show the box's own background.
  const COLORREF background = GetPixel(screen, rc.left, rc.top);
  LPCSTR best = nullptr;
  int best_matches = 0;
  for (LPCSTR candidate : {IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION}) {
    const int matches = matching_pixels(LoadIconA(nullptr, candidate), rc, background, screen);
    if (matches > best_matches) {
      best = candidate;
      best_matches = matches;
    }
  }
  ReleaseDC(nullptr, screen);
  // Every pixel must agree: the four icons share much of their outline.
  return best_matches == (rc.right - rc.left) * (rc.bottom - rc.top) ? best : nullptr;
}

// --- Editor

std::string Editor::program_path() { return module_folder() + "murkel.exe"; }

Editor::Editor(const std::string& working_folder, const std::optional<std::string>& picture) {
  command_line_ = "\"" + program_path() + "\"";
  if (picture) command_line_ += " \"" + *picture + "\"";

  // A job takes the editor and whatever it starts (a help viewer), so that
  // nothing is left running after the test.
  job_ = CreateJobObjectA(nullptr, nullptr);
  if (job_) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::string line = command_line_;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      working_folder.c_str(), &startup, &process_)) {
    throw std::runtime_error("cannot start " + command_line_ + " (error " + std::to_string(GetLastError()) + ")");
  }
  if (job_) AssignProcessToJobObject(job_, process_.hProcess);
  ResumeThread(process_.hThread);
}

Editor::~Editor() {
  if (running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, kTimeoutMs);
  }
  if (job_) {
    TerminateJobObject(job_, 1);
    CloseHandle(job_);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Editor::running() { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

HWND Editor::main_window(bool visible) {
  if (main_window_ && (!visible || IsWindowVisible(main_window_))) return main_window_;
  const bool found = wait_until([&] {
    for (HWND hwnd : top_level_windows_of(process_.dwProcessId, "MAINWND")) {
      if (!visible || IsWindowVisible(hwnd)) {
        main_window_ = hwnd;
        return true;
      }
    }
    return !running();
  });
  if (!found || !main_window_) {
    throw std::runtime_error(std::string("no ") + (visible ? "visible " : "") + "MAINWND window of " +
                             command_line_ + (running() ? " within the time-out" : ": the process ended"));
  }
  return main_window_;
}

HWND Editor::canvas() {
  HWND hwnd = nullptr;
  wait_until([&] { return (hwnd = FindWindowExA(main_window(false), nullptr, "CANVUS", nullptr)) != nullptr; });
  if (!hwnd) throw std::runtime_error("the main window has no CANVUS child");
  return hwnd;
}

HWND Editor::status_bar() {
  HWND hwnd = nullptr;
  wait_until([&] { return (hwnd = FindWindowExA(main_window(false), nullptr, STATUSCLASSNAMEA, nullptr)) != nullptr; });
  if (!hwnd) throw std::runtime_error("the main window has no msctls_statusbar32 child");
  return hwnd;
}

std::string Editor::status_text(int part) {
  HWND bar = status_bar();
  RemoteBuffer buffer(process_.hProcess, 1024);
  buffer.clear();
  const LRESULT result = send_with_timeout(bar, SB_GETTEXTA, static_cast<WPARAM>(part), buffer.lparam());
  const std::string data = buffer.read(1024);
  return std::string(data.c_str(), std::min<size_t>(LOWORD(result), 1023));
}

std::vector<int> Editor::status_parts() {
  HWND bar = status_bar();
  constexpr int kMaxParts = 16;
  RemoteBuffer buffer(process_.hProcess, kMaxParts * sizeof(int));
  const auto count = static_cast<int>(send_with_timeout(bar, SB_GETPARTS, kMaxParts, buffer.lparam()));
  const std::string data = buffer.read(kMaxParts * sizeof(int));
  std::vector<int> parts(static_cast<size_t>(std::max(0, std::min(count, kMaxParts))));
  for (size_t i = 0; i < parts.size(); ++i) std::memcpy(&parts[i], data.data() + i * sizeof(int), sizeof(int));
  return parts;
}

std::string Editor::wait_status_text(int part, const std::string& expected) {
  std::string last;
  wait_until([&] { return (last = status_text(part)) == expected; });
  return last;
}

std::vector<HWND> Editor::dialogs() {
  std::vector<HWND> visible;
  for (HWND hwnd : top_level_windows_of(process_.dwProcessId, "#32770")) {
    if (IsWindowVisible(hwnd)) visible.push_back(hwnd);
  }
  return visible;
}

std::vector<HWND> Editor::windows(const std::string& class_name) {
  std::vector<HWND> visible;
  for (HWND hwnd : top_level_windows_of(process_.dwProcessId, class_name)) {
    if (IsWindowVisible(hwnd)) visible.push_back(hwnd);
  }
  return visible;
}

DialogInfo Editor::wait_dialog() {
  HWND found = nullptr;
  wait_until([&] {
    const std::vector<HWND> all = dialogs();
    if (!all.empty()) found = all.front();
    return found != nullptr || !running();
  });
  if (!found) {
    throw std::runtime_error("no dialog of " + command_line_ +
                             (running() ? " appeared within the time-out" : ": the process ended"));
  }
  return read_dialog(found);
}

DialogInfo Editor::read_dialog(HWND dialog) {
  DialogInfo info{dialog, window_text(dialog), {}};
  for (HWND child : child_windows(dialog, "Static")) {
    std::string text = window_text(child);
    if (!text.empty()) {
      info.text = std::move(text);
      break;
    }
  }
  return info;
}

void Editor::press_button(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

std::vector<int> visible_button_ids(HWND box) {
  std::vector<int> ids;
  for (HWND button : child_windows(box, "Button")) {
    if (IsWindowVisible(button)) ids.push_back(GetDlgCtrlID(button));
  }
  return ids;
}

void Editor::command(WORD id) { PostMessageA(main_window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool Editor::command_and_wait(WORD id, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(main_window(), WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, timeout_ms, &result) != 0;
}

void Editor::close() { PostMessageA(main_window(), WM_CLOSE, 0, 0); }

std::optional<DWORD> Editor::wait_exit(DWORD timeout_ms) {
  if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

POINT Editor::canvas_to_screen(POINT client) {
  ClientToScreen(canvas(), &client);
  return client;
}

SIZE Editor::canvas_client_size() {
  RECT rc{};
  GetClientRect(canvas(), &rc);
  return {rc.right, rc.bottom};
}

RECT Editor::main_client_rect_on_screen() {
  RECT rc{};
  GetClientRect(main_window(), &rc);
  MapWindowPoints(main_window(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

COLORREF Editor::canvas_pixel(POINT client) {
  const POINT screen = canvas_to_screen(client);
  HDC hdc = GetDC(nullptr);
  const COLORREF colour = GetPixel(hdc, screen.x, screen.y);
  ReleaseDC(nullptr, hdc);
  return colour;
}

Capture Editor::canvas_pixels(const RECT& client_rect) {
  const POINT origin = canvas_to_screen({client_rect.left, client_rect.top});
  Capture capture{client_rect.right - client_rect.left, client_rect.bottom - client_rect.top, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, capture.width, capture.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* words = static_cast<const std::uint32_t*>(bits);
  capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
  for (size_t i = 0; i < capture.pixels.size(); ++i) {
    const std::uint32_t w = words[i];  // 0x00RRGGBB
    capture.pixels[i] = RGB((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF);
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

void Editor::cursor_to(POINT client) {
  const POINT screen = canvas_to_screen(client);
  SetCursorPos(screen.x, screen.y);
}

void Editor::mouse_move(POINT client) {
  const POINT screen = canvas_to_screen(client);
  SetCursorPos(screen.x, screen.y);
  PostMessageA(canvas(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

void Editor::mouse_press(POINT client) {
  const POINT screen = canvas_to_screen(client);
  SetCursorPos(screen.x, screen.y);
  send_with_timeout(canvas(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
}

void Editor::mouse_release(POINT client) {
  const POINT screen = canvas_to_screen(client);
  SetCursorPos(screen.x, screen.y);
  send_with_timeout(canvas(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
}

void Editor::wheel(POINT screen, bool towards_user) {
  SetCursorPos(screen.x, screen.y);
  const auto distance = static_cast<WORD>(towards_user ? -WHEEL_DELTA : WHEEL_DELTA);
  PostMessageA(main_window(), WM_MOUSEWHEEL, MAKEWPARAM(0, distance), MAKELPARAM(screen.x, screen.y));
}

void Editor::scroll(bool horizontal, WORD code, WORD position) {
  PostMessageA(canvas(), horizontal ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, position), 0);
}

std::optional<SCROLLINFO> Editor::scroll_info(bool horizontal) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(canvas(), horizontal ? SB_HORZ : SB_VERT, &info)) return std::nullopt;
  return info;
}

// --- LoopbackHttpServer

LoopbackHttpServer::LoopbackHttpServer() {
  WSADATA data{};
  WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(80);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 8) != 0) {
    const int error = WSAGetLastError();
    closesocket(listener_);
    WSACleanup();
    throw std::runtime_error("cannot listen on 127.0.0.1:80 (error " + std::to_string(error) + ")");
  }
  thread_ = CreateThread(nullptr, 0, serve_thread, this, 0, nullptr);
}

LoopbackHttpServer::~LoopbackHttpServer() {
  closesocket(listener_);  // ends the accept loop
  WaitForSingleObject(thread_, kTimeoutMs);
  CloseHandle(thread_);
  WSACleanup();
}

void LoopbackHttpServer::set_version_file(const std::optional<std::string>& body) {
  std::lock_guard lock(mutex_);
  version_file_ = body;
}

std::vector<std::string> LoopbackHttpServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool LoopbackHttpServer::wait_requests(size_t count) {
  return wait_until([&] { return requests().size() >= count; });
}

DWORD WINAPI LoopbackHttpServer::serve_thread(LPVOID self) {
  static_cast<LoopbackHttpServer*>(self)->serve();
  return 0;
}

void LoopbackHttpServer::serve() {
  for (;;) {
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) return;
    answer(connection);
    closesocket(connection);
  }
}

// Reads the request: up to its 1024th byte, then whatever else arrives
// within a moment, so that a longer request shows in its length.
void LoopbackHttpServer::answer(UINT_PTR connection) {
  std::string request;
  char buffer[4096];
  for (;;) {
    const DWORD wait_ms = request.size() < 1024 ? 3000 : 300;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait_ms), sizeof(wait_ms));
    const int received = recv(connection, buffer, sizeof(buffer), 0);
    if (received <= 0) break;
    request.append(buffer, static_cast<size_t>(received));
  }
  std::optional<std::string> body;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    body = version_file_;
  }
  if (!body) return;
  const bool found = request.rfind("GET /softs/version.txt ", 0) == 0;
  const std::string content = found ? *body : "Not Found";
  const std::string reply = std::string(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                            "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(content.size()) +
                            "\r\nConnection: close\r\n\r\n" + content;
  send(connection, reply.data(), static_cast<int>(reply.size()), 0);
  shutdown(connection, SD_SEND);
}

}  // namespace e2e

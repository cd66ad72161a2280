// End-to-end driver: process start, window lookup, cross-process status bar reads, mouse, screen and a loopback server.
#include <winsock2.h>

#include "e2e/driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {
namespace {

LRESULT send_with_timeout(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_NORMAL, kTimeoutMs, &result)) {
    throw std::runtime_error("the editor did not answer message 0x" + std::to_string(msg) + " in time");
  }
  return static_cast<LRESULT>(result);
}

struct WindowSearch {
  DWORD process_id;  // 0: any
  std::string wanted_class;
  bool visible_only;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if ((search->process_id == 0 || owner == search->process_id) &&
      (search->wanted_class.empty() || search->wanted_class == name) && (!search->visible_only || IsWindowVisible(hwnd)))
    search->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  for (const ULONGLONG end = GetTickCount64() + timeout_ms;; Sleep(50)) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
  }
}

TempFolder::TempFolder() {
  static int counter = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  path = std::string(temp) + "murkel-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  if (!CreateDirectoryA(path.c_str(), nullptr)) throw std::runtime_error("cannot create the folder " + path);
}

namespace {
// Through the wide calls: the names inside may be of any script.
void remove_tree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    const std::wstring name = found.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) remove_tree(path);
    else DeleteFileW(path.c_str());
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryW(folder.c_str());
}
}  // namespace

TempFolder::~TempFolder() { remove_tree(wide(path)); }

std::wstring wide(const std::string& ansi_text) {
  std::wstring text(ansi_text.size(), L'\0');
  text.resize(MultiByteToWideChar(CP_ACP, 0, ansi_text.data(), static_cast<int>(ansi_text.size()), text.data(),
                                  static_cast<int>(text.size())));
  return text;
}

void write_file(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  const bool done = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!done) throw std::runtime_error("cannot write a file of a UTF-16 name");
}

std::string read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string file_address(const std::string& windows_path) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  const auto unix_name = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) throw std::runtime_error("not running under Wine");
  std::wstring wide(windows_path.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  char* name = unix_name(wide.c_str());
  if (!name) throw std::runtime_error("no Unix name for " + windows_path);
  std::string address = "file://";
  for (const unsigned char c : std::string(name)) {
    char escaped[4];
    snprintf(escaped, sizeof(escaped), "%%%02X", c);
    address += isalnum(c) || strchr("-._~/:", c) ? std::string(1, static_cast<char>(c)) : escaped;
  }
  HeapFree(GetProcessHeap(), 0, name);
  return address;
}

BrowserRecorder::BrowserRecorder() : log(std::string("Z:") + MURKEL_URL_RECORDER + ".log") {
  DeleteFileA(log.c_str());
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers", REG_SZ, MURKEL_URL_RECORDER,
                  sizeof(MURKEL_URL_RECORDER));
}

BrowserRecorder::~BrowserRecorder() {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers");
}

std::string BrowserRecorder::addresses() {
  std::string last = read_file(log), now;
  for (int quiet_ms = 0; quiet_ms < 500; quiet_ms += 50, last = now) {
    Sleep(50);
    if ((now = read_file(log)) != last) quiet_ms = 0;
  }
  return last;
}

std::string window_text(HWND hwnd) {
  char buffer[1024] = {};
  const LRESULT length = send_with_timeout(hwnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
  return std::string(buffer, std::min<size_t>(length, sizeof(buffer) - 1));
}

std::wstring wide_window_text(HWND hwnd) {
  wchar_t buffer[1024] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           kTimeoutMs, &length)) {
    throw std::runtime_error("the editor did not answer WM_GETTEXT in time");
  }
  return std::wstring(buffer, std::min<size_t>(length, std::size(buffer) - 1));
}

void set_window_text(HWND hwnd, const std::string& text) {
  send_with_timeout(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<HWND> descendants(HWND parent, const std::string& class_name, bool visible_only) {
  WindowSearch search{0, class_name, visible_only, {}};
  EnumChildWindows(parent, collect_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

// --- Editor

std::string Editor::bin_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  *strrchr(path, '\\') = '\0';
  return path;
}

Editor::Editor(const std::string& folder, const std::optional<std::string>& picture, const std::string& program) {
  command_line_ = "\"" + program + "\"";
  if (picture) command_line_ += " \"" + *picture + "\"";
  start(wide(command_line_), wide(folder));
}

Editor::Editor(const std::wstring& folder, const std::wstring& picture) {
  const std::wstring line = L"\"" + wide(bin_folder()) + L"\\murkel.exe\" \"" + picture + L"\"";
  command_line_ = "murkel.exe with a UTF-16 command line";
  start(line, folder);
}

void Editor::start(std::wstring command_line, const std::wstring& folder) {
  // A job takes the editor and whatever it starts (a help viewer), so that
  // nothing is left running after the test.
  job_ = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup{sizeof(startup)};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, folder.c_str(),
                      &startup, &process_)) {
    throw std::runtime_error("cannot start " + command_line_ + " (error " + std::to_string(GetLastError()) + ")");
  }
  AssignProcessToJobObject(job_, process_.hProcess);
  ResumeThread(process_.hThread);
}

Editor::~Editor() {
  TerminateJobObject(job_, 1);
  WaitForSingleObject(process_.hProcess, kTimeoutMs);
  CloseHandle(job_);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Editor::running() { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

std::vector<std::string> Editor::started_programs() {
  std::vector<std::string> lines;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{sizeof(entry)};
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ParentProcessID != process_.dwProcessId) continue;
    lines.push_back(entry.szExeFile);
  }
  CloseHandle(snapshot);
  return lines;
}

HWND Editor::main_window() {
  if (main_window_ && IsWindowVisible(main_window_)) return main_window_;
  wait_until([&] {
    const std::vector<HWND> found = windows("MAINWND");
    main_window_ = found.empty() ? nullptr : found.front();
    return main_window_ != nullptr || !running();
  });
  if (!main_window_) throw std::runtime_error("no visible MAINWND window of " + command_line_);
  return main_window_;
}

HWND Editor::canvas() { return descendants(main_window(), "CANVUS").at(0); }

std::string Editor::status_text(int part) {
  const HWND bar = descendants(main_window(), STATUSCLASSNAMEA).at(0);
  void* remote = VirtualAllocEx(process_.hProcess, nullptr, 1024, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  const auto length = LOWORD(send_with_timeout(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote)));
  std::string text(std::min<size_t>(length, 1023), '\0');
  ReadProcessMemory(process_.hProcess, remote, text.data(), text.size(), nullptr);
  VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
  return text;
}

std::string Editor::wait_status_text(int part, const std::string& expected) {
  std::string last;
  wait_until([&] { return (last = status_text(part)) == expected; });
  return last;
}

std::vector<HWND> Editor::windows(const std::string& class_name) {
  WindowSearch search{process_.dwProcessId, class_name, true, {}};
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Dialog Editor::wait_dialog() {
  std::vector<HWND> found;
  wait_until([&] { return !(found = windows("#32770")).empty() || !running(); });
  if (found.empty()) throw std::runtime_error("no dialog of " + command_line_ + " appeared");
  Dialog dialog{found.front(), window_text(found.front()), {}};
  for (HWND child : descendants(dialog.hwnd, "Static"))
    if (!(dialog.text = window_text(child)).empty()) break;
  return dialog;
}

void Editor::press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Editor::answer_file_dialog(const std::string& path) {
  const HWND dialog = wait_dialog().hwnd;
  std::vector<HWND> edits;
  if (!path.empty() && !wait_until([&] { return !(edits = descendants(dialog, "Edit", true)).empty(); }))
    throw std::runtime_error("the file dialog shows no name field");
  if (!path.empty()) set_window_text(edits.front(), path);
  press(dialog, path.empty() ? IDCANCEL : IDOK);
  if (!wait_until([&] { return !IsWindow(dialog); })) throw std::runtime_error("the file dialog stayed open");
}

void Editor::command(WORD id) { PostMessageA(main_window(), WM_COMMAND, id, 0); }

bool Editor::command_and_wait(WORD id, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(main_window(), WM_COMMAND, id, 0, SMTO_NORMAL, timeout_ms, &result) != 0;
}

void Editor::close() { PostMessageA(main_window(), WM_CLOSE, 0, 0); }

std::optional<DWORD> Editor::wait_exit() {
  DWORD code = 0;
  if (WaitForSingleObject(process_.hProcess, kTimeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void Editor::mouse(UINT message, POINT client) {
  POINT screen = client;
  ClientToScreen(canvas(), &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM at = MAKELPARAM(client.x, client.y);
  if (message == WM_MOUSEMOVE) PostMessageA(canvas(), message, 0, at);
  else send_with_timeout(canvas(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, at);
}

void Editor::drag(POINT from, POINT to, const std::string& selection) {
  // The press takes its anchor from the cursor, so the cursor must rest on
  // the press point first: Wine may still report where a previous test left
  // it. Seen there on two polls in a row.
  POINT screen = from;
  ClientToScreen(canvas(), &screen);
  int seen = 0;
  const bool rests = wait_until([&] {
    mouse(WM_MOUSEMOVE, from);
    POINT cursor{};
    GetCursorPos(&cursor);
    seen = cursor.x == screen.x && cursor.y == screen.y ? seen + 1 : 0;
    return seen >= 2;
  });
  if (!rests) throw std::runtime_error("the cursor does not stay on the press point");
  mouse(WM_LBUTTONDOWN, from);
  mouse(WM_MOUSEMOVE, to);
  if (wait_status_text(1, selection) != selection) throw std::runtime_error("the drag did not select " + selection);
  mouse(WM_LBUTTONUP, to);
}

void Editor::scroll(bool horizontal, WORD code, WORD position) {
  PostMessageA(canvas(), horizontal ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, position), 0);
}

void Editor::keys(std::initializer_list<WORD> keys) {
  const HWND frame = main_window();
  SetForegroundWindow(frame);
  if (!wait_until([&] { return GetForegroundWindow() == frame; })) throw std::runtime_error("the editor is not in front");
  std::vector<INPUT> inputs;
  const auto key = [&](WORD vk, DWORD flags) {
    INPUT input{INPUT_KEYBOARD};
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  for (WORD vk : keys) key(vk, 0);
  for (auto vk = std::rbegin(keys); vk != std::rend(keys); ++vk) key(*vk, KEYEVENTF_KEYUP);
  if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
    throw std::runtime_error("SendInput did not take the keys");
}

std::vector<COLORREF> Editor::capture(const RECT& client_rect) {
  POINT origin{client_rect.left, client_rect.top};
  ClientToScreen(canvas(), &origin);
  const int width = client_rect.right - client_rect.left, height = client_rect.bottom - client_rect.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* words = static_cast<const DWORD*>(bits);  // 0x00RRGGBB
  std::vector<COLORREF> capture;
  for (int i = 0; i < width * height; ++i) capture.push_back(RGB(words[i] >> 16, words[i] >> 8 & 0xFF, words[i] & 0xFF));
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
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
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 8) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1:80 (error " + std::to_string(WSAGetLastError()) + ")");
  thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  closesocket(listener_);  // ends the accept loop
  thread_.join();
  WSACleanup();
}

void LoopbackHttpServer::set_version_file(const std::optional<std::string>& body, std::vector<size_t> cuts,
                                          bool hold_open) {
  {
    std::lock_guard lock(mutex_);
    version_file_ = body;
    cuts_ = std::move(cuts);
    hold_open_ = hold_open;
    ++generation_;
  }
  released_.notify_all();
}

std::vector<std::string> LoopbackHttpServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

// Each request is read up to its 1024th byte, then whatever else arrives
// within a moment, so that a longer request shows in its length.
void LoopbackHttpServer::serve() {
  for (SOCKET connection; (connection = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET; closesocket(connection)) {
    std::string request;
    char buffer[4096];
    for (int received = 1; received > 0;) {
      const DWORD wait_ms = request.size() < 1024 ? 3000 : 300;
      setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait_ms), sizeof(wait_ms));
      if ((received = recv(connection, buffer, sizeof(buffer), 0)) > 0) request.append(buffer, received);
    }
    std::unique_lock lock(mutex_);
    requests_.push_back(request);
    const std::optional<std::string> body = version_file_;
    const std::vector<size_t> cuts = cuts_;
    const int generation = generation_;
    const bool hold_open = hold_open_;
    lock.unlock();
    if (!body) continue;
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body->size()) + "\r\nConnection: close\r\n\r\n";
    std::vector<size_t> ends;  // of the pieces, in the whole reply
    for (size_t cut : cuts) ends.push_back(header.size() + cut);
    ends.push_back(header.size() + body->size());
    const std::string reply = header + *body;
    for (size_t begin = 0, i = 0; i < ends.size(); begin = ends[i++]) {
      if (i > 0) Sleep(500);
      send(connection, reply.data() + begin, static_cast<int>(ends[i] - begin), 0);
    }
    lock.lock();
    released_.wait(lock, [&] { return !hold_open || generation_ != generation || stopping_; });
    lock.unlock();
    shutdown(connection, SD_SEND);
  }
}

// --- NginxServer

namespace {

// Wine starts a Unix program named by its Unix path as it starts a Windows one.
void run_unix(const std::string& command_line) {
  STARTUPINFOA startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    throw std::runtime_error("cannot run " + command_line);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

bool port_80_accepts() {
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(80);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool accepted = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  closesocket(probe);
  return accepted;
}

std::string windows_path(std::string unix_path) {
  std::replace(unix_path.begin(), unix_path.end(), '/', '\\');
  return "Z:" + unix_path;
}

const std::string kPidFile = windows_path(MURKEL_NGINX_DIR "/nginx.pid");

}  // namespace

NginxServer::NginxServer() : root(windows_path(MURKEL_NGINX_DIR "/www")) {
  if (std::string(MURKEL_NGINX).find("NOTFOUND") != std::string::npos)
    throw std::runtime_error("nginx is not installed (scripts/install-deps.sh installs it)");
  WSADATA data{};
  WSAStartup(MAKEWORD(2, 2), &data);
  stop();  // one left behind by a test run that died
  if (!wait_until([] { return !port_80_accepts(); }))
    throw std::runtime_error("port 80 of 127.0.0.1 is taken");
  DeleteFileA(windows_path(MURKEL_NGINX_DIR "/error.log").c_str());
  run_unix(MURKEL_NGINX " -p " MURKEL_NGINX_DIR " -c " MURKEL_NGINX_DIR "/nginx.conf -e " MURKEL_NGINX_DIR "/error.log");
  if (!wait_until(port_80_accepts))
    throw std::runtime_error("nginx did not start: " + read_file(windows_path(MURKEL_NGINX_DIR "/error.log")));
}

NginxServer::~NginxServer() {
  stop();
  WSACleanup();
}

// nginx removes its pid file when it has stopped.
void NginxServer::stop() {
  if (GetFileAttributesA(kPidFile.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  run_unix(MURKEL_NGINX " -p " MURKEL_NGINX_DIR " -c " MURKEL_NGINX_DIR "/nginx.conf -e " MURKEL_NGINX_DIR
                        "/error.log -s stop");
  wait_until([] { return GetFileAttributesA(kPidFile.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

}  // namespace e2e

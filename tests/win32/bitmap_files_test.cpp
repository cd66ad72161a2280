// Bitmap files in and out of the real editor, in-process: an opened file is
// the reader's picture in the file's own format, a written file is the
// encoder's file of the picture shown, and a failed save loses nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/startup.h"
#include "core/bmp_test_files.h"
#include "imagefile/bitmap_files.h"
#include "imagefile/bmp_reader.h"
#include "imagefile/bmp_writer.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

using bmp_test::Bytes;
using bmp_test::FileLayout;

// A file of width x |height| pixels (top-down when height < 0) whose raw
// values differ from pixel to pixel; colour-table files get `entries` colours.
FileLayout make_file(std::uint32_t header, int width, int height, int bits, int entries = 0,
                std::vector<std::uint32_t> masks = {}) {
  FileLayout s{header, width, height, static_cast<std::uint16_t>(bits), masks.empty() ? 0u : 3u};
  for (int i = 0; i < entries; ++i) s.palette.push_back(make_colour(i * 7 + 3, 255 - i, (i * 37) & 0xFF));
  s.colours_used = header == 12 ? 0 : entries;
  s.masks_present = !masks.empty();
  std::copy(masks.begin(), masks.end(), s.masks);
  std::vector<std::vector<std::uint32_t>> rows(std::abs(height), std::vector<std::uint32_t>(width));
  for (int y = 0; y < std::abs(height); ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = (x * 0x9E3779B1u) ^ (y * 0x85EBCA77u) ^ 0x5A3C96E1u;
      rows[y][x] = entries ? (v & 0xFFFF) % entries : bits == 32 ? v : v & ((1u << bits) - 1);
    }
  s.pixel_data = bmp_test::pack_rows(rows, bits, height < 0);
  return s;
}

FileLayout run_length(int bits, int width, int height, Bytes stream) {
  FileLayout s = make_file(40, width, height, bits, 16);
  s.compression = bits == 8 ? 1 : 2;
  s.pixel_data = std::move(stream);
  return s;
}

FileLayout with_byte(FileLayout s, std::size_t at, std::uint8_t value) {
  s.pixel_data[at] = value;
  return s;
}

struct FormatCase {
  const char* name;
  FileLayout file;
  int dib_bits;  // the opened picture's bits per pixel; 0: the file is refused
};

std::vector<FormatCase> format_cases() {
  return {
      {"1 bpp", make_file(40, 13, 5, 1, 2), 1},
      {"4 bpp, 11 of 16 colours", make_file(40, 7, 4, 4, 11), 4},
      {"8 bpp", make_file(40, 9, 6, 8, 256), 8},
      {"8 bpp, 20 colours, top-down", make_file(40, 5, -4, 8, 20), 8},
      {"8 bpp V5 header", make_file(124, 6, 3, 8, 40), 8},
      {"1 bpp core header", make_file(12, 11, 3, 1, 2), 1},
      {"4 bpp core header", make_file(12, 5, 3, 4, 16), 4},
      {"8 bpp core header", make_file(12, 7, 4, 8, 256), 8},
      {"24 bpp core header", make_file(12, 5, 3, 24), 24},
      {"8 bpp run-length with delta",
       run_length(8, 4, 3, {3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 7, 0, 1}), 8},
      {"4 bpp run-length", run_length(4, 6, 2, {6, 0x1F, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1}), 4},
      {"16 bpp 5-5-5", make_file(40, 5, 3, 16), 16},
      {"16 bpp 5-6-5 bit fields", make_file(40, 5, 3, 16, 0, {0xF800, 0x07E0, 0x001F}), 16},
      {"16 bpp 5-6-5 V4 top-down", make_file(108, 3, -4, 16, 0, {0xF800, 0x07E0, 0x001F}), 16},
      {"16 bpp 4-4-4 bit fields", make_file(40, 4, 2, 16, 0, {0x0F00, 0x00F0, 0x000F}), 32},
      {"24 bpp", make_file(40, 5, 3, 24), 24},
      {"24 bpp top-down", make_file(40, 6, -5, 24), 24},
      {"32 bpp", make_file(40, 3, 2, 32), 32},
      {"32 bpp 10-10-10 bit fields", make_file(56, 3, 2, 32, 0, {0x3FF00000, 0x000FFC00, 0x000003FF}), 32},
      // Files our reader refuses, some of which Wine's loader would take.
      {"64-byte header", make_file(64, 3, 2, 24), 0},
      {"8 bpp run-length without end mark", run_length(8, 2, 1, {2, 1, 0, 0}), 0},
      {"index past a 2-colour table", with_byte(make_file(40, 4, 1, 8, 2), 1, 5), 0},
  };
}

std::string temp_folder() {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string path = std::string(folder) + "murkel_files_test";
  CreateDirectoryA(path.c_str(), nullptr);
  return path + "\\";
}

void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The picture of a bitmap through GDI, 32 bits per pixel, top row first, as 0x00BBGGRR.
std::vector<Colour> pixels_of(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  std::vector<std::uint32_t> bgra(static_cast<std::size_t>(width) * height);
  HDC dc = CreateCompatibleDC(nullptr);
  GetDIBits(dc, bitmap, 0, height, bgra.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  std::vector<Colour> colours;
  for (std::uint32_t v : bgra) colours.push_back(make_colour(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF));
  return colours;
}

// Runs `action` and answers the message box it shows with OK; the box's
// longest text ("" when no box came).
std::string answer_box(const std::function<void()>& action) {
  std::atomic<bool> done{false};
  std::string text;
  std::thread watcher([&] {
    for (; !done; Sleep(20)) {
      HWND box = FindWindowA("#32770", "MURKEL Pro");
      if (box == nullptr) continue;
      for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char line[2048] = {};
        GetWindowTextA(child, line, sizeof(line));
        if (std::string(line).size() > text.size()) text = line;
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return;
    }
  });
  action();
  done = true;
  watcher.join();
  return text;
}

bool undo_enabled() { return (GetMenuState(app.edit_menu, 0, MF_BYPOSITION) & MF_GRAYED) == 0; }

std::string window_title() {
  char title[400] = {};
  GetWindowTextA(app.main_window, title, sizeof(title));
  return title;
}

int temporary_files(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  HANDLE find = FindFirstFileA((folder + "*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 1;
  while (FindNextFileA(find, &found)) ++count;
  FindClose(find);
  return count;
}

// Opens the file as the command line would.
void open_file(const std::string& path) {
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);
}

class BitmapFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    init_application_state();
    create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  }
};

// For every format the reader takes, the loaded bitmap shows exactly the
// reader's pixels and keeps the file's bits per pixel and colour table;
// files the reader refuses are not loaded.
TEST_F(BitmapFilesTest, LoadedBitmapIsTheReadersPictureInTheFilesFormat) {
  const std::string path = temp_folder() + "format.bmp";
  for (const FormatCase& c : format_cases()) {
    const Bytes file = bmp_test::build_file(c.file);
    write_bytes(path, file);
    HBITMAP bitmap = load_bitmap_file(path.c_str());
    const DecodeResult decoded = decode_bmp(file);
    ASSERT_EQ(decoded.ok(), c.dib_bits != 0) << c.name << ": " << decoded.error;
    if (c.dib_bits == 0) {
      EXPECT_EQ(bitmap, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(bitmap, nullptr) << c.name;
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(dib), &dib), int{sizeof(dib)}) << c.name;
    EXPECT_EQ(dib.dsBm.bmBitsPixel, c.dib_bits) << c.name;
    EXPECT_EQ(pixels_of(bitmap, decoded.image.width, decoded.image.height), decoded.image.pixels) << c.name;
    if (c.dib_bits <= 8) {
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, bitmap);
      RGBQUAD table[256];
      const UINT entries = GetDIBColorTable(dc, 0, 256, table);
      SelectObject(dc, old);
      DeleteDC(dc);
      ASSERT_GE(entries, decoded.palette.size()) << c.name;
      for (UINT i = 0; i < decoded.palette.size(); ++i)
        EXPECT_EQ(make_colour(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue), decoded.palette[i]) << c.name;
    }
    DeleteObject(bitmap);
  }
}

// write_bitmap_file gives the encoder's bytes of the picture shown, over a
// longer file that was there, and leaves no temporary file behind.
TEST_F(BitmapFilesTest, WrittenFileIsTheEncodersFileOfThePictureShown) {
  const std::string folder = temp_folder();
  const std::string in = folder + "in.bmp", out = folder + "out.bmp";
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    for (const int width : {1, 4, 5}) {
      const FileLayout layout = make_file(40, width, 3, bits, bits <= 8 ? 1 << bits : 0);
      const Bytes file = bmp_test::build_file(layout);
      write_bytes(in, file);
      open_file(in);
      write_bytes(out, Bytes(5000, 0xAB));
      ASSERT_TRUE(write_bitmap_file(out.c_str())) << bits << " bpp, width " << width;
      EXPECT_EQ(read_bytes(out), encode_bmp24(decode_bmp(file).image).bytes) << bits << " bpp, width " << width;
    }
  }
  EXPECT_EQ(temporary_files(folder), 0);

  // After an Undo the working image is the other surface: its picture is written.
  std::swap(app.working_image, app.undo_image);
  PatBlt(app.working_image, 0, 0, 5, 3, WHITENESS);
  ASSERT_TRUE(write_bitmap_file(out.c_str()));
  std::swap(app.working_image, app.undo_image);
  EXPECT_EQ(read_bytes(out), encode_bmp24(Image{5, 3, std::vector<Colour>(15, 0xFFFFFF)}).bytes);
}

// A save that cannot be written is told, keeps the old file byte for byte,
// leaves no temporary file and leaves the document unsaved.
TEST_F(BitmapFilesTest, FailedSaveIsReportedAndLosesNothing) {
  const std::string folder = temp_folder();
  const std::string picture = folder + "picture.bmp";
  write_bytes(picture, bmp_test::build_file(make_file(40, 7, 5, 24)));
  const Bytes old_bytes = bmp_test::build_file(make_file(40, 2, 2, 24));
  enum Way { kReadOnly, kMissingFolder, kHeldOpen };
  struct FailCase {
    Way way;
    std::string target;
    const char* reason;  // CP932 bytes of the reason line
  } const cases[] = {
      {kReadOnly, folder + "read-only.bmp", "\x93\xC7\x82\xDD\x8E\xE6\x82\xE8\x90\xEA\x97\x70"},
      {kMissingFolder, folder + "no such folder\\x.bmp", "\x95\xDB\x91\xB6\x90\xE6"},
      {kHeldOpen, folder + "held.bmp", "\x91\xBC\x82\xCC\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80"},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.target);
    open_file(picture);
    if (c.way != kMissingFolder) write_bytes(c.target, old_bytes);
    if (c.way == kReadOnly) SetFileAttributesA(c.target.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = c.way == kHeldOpen
                      ? CreateFileA(c.target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    lstrcpyA(app.file_name, c.target.c_str());
    app.modification_counter = 2;
    enable_undo_item(true);
    set_document_title(true);
    const std::string title = window_title();

    const std::string message = answer_box(save_image);
    EXPECT_EQ(message.rfind("\x89\xE6\x91\x9C\x82\xF0\x95\xDB\x91\xB6", 0), 0u) << message;
    EXPECT_NE(message.find(c.target), std::string::npos);
    EXPECT_NE(message.find(c.reason), std::string::npos);
    EXPECT_EQ(app.modification_counter, 2);
    EXPECT_EQ(window_title(), title);
    EXPECT_TRUE(undo_enabled());
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    SetFileAttributesA(c.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (c.way != kMissingFolder) EXPECT_EQ(read_bytes(c.target), old_bytes);
    EXPECT_EQ(temporary_files(folder), 0);
  }

  // A picture whose file would pass the header's 32-bit sizes is refused.
  const std::string good = folder + "saved.bmp";
  DeleteFileA(good.c_str());
  lstrcpyA(app.file_name, good.c_str());
  const BITMAP record = app.bitmap;
  app.bitmap.bmWidth = 46341;
  app.bitmap.bmHeight = 15447;
  EXPECT_NE(answer_box(save_image).find("\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xE9"), std::string::npos);
  EXPECT_EQ(GetFileAttributesA(good.c_str()), INVALID_FILE_ATTRIBUTES);
  app.bitmap = record;

  // The same save where it can write: saved, and the document marked so.
  save_image();
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_FALSE(undo_enabled());
  EXPECT_EQ(window_title(), std::string("MURKEL_Pro\x84\x9F[") + good + "]");
  EXPECT_EQ(read_bytes(good), encode_bmp24(decode_bmp(read_bytes(picture)).image).bytes);
}

}  // namespace
}  // namespace murkel

// The real editor built in-process: window layout, scrolling and the redraw,
// the drag selection and its menu, effects and Undo on the working image,
// bitmap files in and out, and failures told without losing anything.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/bmp_test_files.h"
#include "win32/ansi_text.h"
#include "win32/picture_test_files.h"
#include "win32/text_screen.h"
#include "small_disk.h"
#include "core/codecs/bmp_file_io.h"
#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "editor/app/app_state.h"
#include "editor/app/dpi.h"
#include "editor/dialogs/dialog_windows.h"
#include "editor/app/page_warmer.h"
#include "editor/app/transfer_blocks.h"
#include "editor/app/texts.h"
#include "editor/canvas/canvas_window.h"
#include "editor/dialogs/find_window.h"
#include "core/codecs/packed_dib.h"
#include "editor/document/bitmap_files.h"
#include "editor/document/clipboard_commands.h"
#include "editor/document/document_commands.h"
#include "editor/document/history_commands.h"
#include "wic/wic_pictures.h"
#include "core/document/transparency.h"
#include "editor/effects/effect_commands.h"
#include "editor/main/main_window.h"
#include "editor/main/startup.h"
#include "editor/menus/menus.h"
#include "editor/view/canvas_view.h"
#include "core/canvas/zoom_pixels.h"

// Memory refusals: while set, every allocation through new of 1 MB or more is refused as long as the
// effects' transfer blocks are held, as when they have taken the last of the memory.
static std::atomic<bool> g_memory_short_while_blocks_held{false};

void* operator new(std::size_t size) {
  const bool blocks_held = murkel::app.source_block.bitmap != nullptr;
  if (g_memory_short_while_blocks_held && size >= (std::size_t{1} << 20) && blocks_held) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace murkel {
namespace {

using bmp_test::Bytes;
using picture_test::png_file;
using bmp_test::FileLayout;

std::string temp_path(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  CreateDirectoryA((std::string(folder) + "murkel_editor_test").c_str(), nullptr);
  return std::string(folder) + "murkel_editor_test\\" + name;
}

void write_bytes(const std::string& path, const Bytes& b) { EXPECT_EQ(write_file_atomically(path, b.data(), b.size()), ""); }
Bytes read_bytes(const std::string& path) { return read_file_bytes(path).bytes; }

// Every pixel its own colour, red differing from blue.
Image noisy_picture(int width, int height) {
  Image image{width, height, std::vector<Colour>(static_cast<size_t>(width) * height)};
  std::uint32_t state = 12345;
  for (Colour& c : image.pixels) c = ((state = state * 1103515245u + 12345u) >> 8) & 0xFFFFFF;
  return image;
}

// Writes the file and opens it as the command line does.
std::string open_file(const Bytes& file, const std::string& name = "picture.bmp") {
  const std::string path = temp_path(name);
  write_bytes(path, file);
  lstrcpyW(app.command_line_file_name, wide(path).c_str());
  open_command_line_image(app.canvas_window);
  return path;
}

// A bitmap's pixels through GDI, top row first, as 0x00BBGGRR.
std::vector<Colour> pixels_of(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  std::vector<Colour> pixels(static_cast<std::size_t>(width) * height);
  ViewLock lock;  // a drag loop may be drawing from the working image
  EXPECT_EQ(GetDIBits(app.working_image, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
  swap_red_and_blue(pixels.data(), pixels.size());
  return pixels;
}

Image working_picture() {
  ViewLock lock;
  return Image{app.bitmap.bmWidth, app.bitmap.bmHeight,
               pixels_of(static_cast<HBITMAP>(GetCurrentObject(app.working_image, OBJ_BITMAP)), app.bitmap.bmWidth,
                         app.bitmap.bmHeight)};
}

// How many pixels differ (-1: another size).
long difference(const Image& actual, const Image& expected) {
  if (actual.width != expected.width || actual.height != expected.height) return -1;
  return std::inner_product(actual.pixels.begin(), actual.pixels.end(), expected.pixels.begin(), 0L, std::plus<>(),
                            std::not_equal_to<>());
}

int bits_per_pixel(HBITMAP bitmap) {
  BITMAP record{};
  return GetObjectA(bitmap, sizeof(record), &record) ? record.bmBitsPixel : 0;
}

std::string window_title() {
  char title[400] = {};
  GetWindowTextA(app.main_window, title, sizeof(title));
  return title;
}

bool grayed(UINT position) { return (GetMenuState(app.edit_menu, position, MF_BYPOSITION) & MF_GRAYED) != 0; }

// Runs `action` and answers the editor's message box with `button`: the box's
// longest text ("" when none came), and whether it carried the warning icon.
struct Box { std::string text; bool warning = false; };
Box answer_box(const std::function<void()>& action, int button = IDOK) {
  std::atomic<bool> done{false};
  Box box;
  std::thread watcher([&] {
    HWND hwnd = nullptr;
    while (!done && (hwnd = FindWindowW(L"#32770", text::kDocumentCaption)) == nullptr) Sleep(20);
    for (HWND child = hwnd ? GetWindow(hwnd, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
      char line[2048] = {};
      GetWindowTextA(child, line, sizeof(line));
      if (std::string(line).size() > box.text.size()) box.text = line;
      box.warning |= reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == LoadIconA(nullptr, IDI_WARNING);
    }
    if (hwnd) PostMessageA(hwnd, WM_COMMAND, button, 0);
  });
  action();
  done = true;
  watcher.join();
  return box;
}

class EditorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    init_application_state();
    create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  }
};

// ---------------------------------------------------------------- canvas
// Canvas client size by resizing the frame around it.
void size_canvas(int width, int height) {
  RECT frame{}, canvas{};
  GetWindowRect(app.main_window, &frame);
  GetClientRect(app.canvas_window, &canvas);
  MoveWindow(app.main_window, frame.left, frame.top, frame.right - frame.left + width - canvas.right,
             frame.bottom - frame.top + height - canvas.bottom, TRUE);
}

TEST_F(EditorTest, LayoutScrollingWheelAndRedraw) {
  size_canvas(300, 200);
  RECT client{}, canvas{}, status{};
  GetClientRect(app.main_window, &client);
  GetWindowRect(app.canvas_window, &canvas);
  GetClientRect(app.status_bar, &status);
  int parts[4] = {};
  ASSERT_EQ(SendMessageA(app.status_bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 3);
  // The canvas one pixel wider than the client area, down to the status bar; fields end at 100, 300, past the edge.
  EXPECT_EQ((std::vector<long>{canvas.right - canvas.left, canvas.bottom - canvas.top, parts[0], parts[1], parts[2]}),
            (std::vector<long>{client.right + 1, client.bottom - status.bottom, 100, 300,
                               client.right + 2 * GetSystemMetrics(SM_CXDLGFRAME)}));

  const Image picture = noisy_picture(1000, 800);
  open_file(bmp_test::make_bmp24(picture), "large.bmp");
  const auto max = [](int bar) {
    SCROLLINFO info{sizeof(info), SIF_ALL};
    GetScrollInfo(app.canvas_window, bar, &info);
    return info.nMax;
  };
  EXPECT_EQ(std::vector<int>({app.canvas_client.cx, app.canvas_client.cy, max(SB_HORZ), max(SB_VERT)}),
            std::vector<int>({300, 200, 710, 610}));
  // Line steps stop exactly at the maximum; a page step is one pixel; widening keeps the offset
  // while the picture is still wider (the next step lands on the new maximum), sets it to 0 once it fits.
  std::vector<int> seen;  // offset and range after each step
  const auto note = [&] { seen.insert(seen.end(), {app.scroll_x.load(), std::max(max(SB_HORZ), 0)}); };
  for (int i = 0; i < 80; ++i) SendMessageA(app.canvas_window, WM_HSCROLL, SB_LINEDOWN, 0);
  note();
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_PAGEUP, 0);
  note();
  size_canvas(500, 200);
  note();
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_LINEDOWN, 0);
  note();
  size_canvas(1010, 200);
  note();
  EXPECT_EQ(seen, (std::vector<int>{710, 710, 709, 710, 709, 510, 510, 510, 0, 0}));

  // The wheel scrolls a line up or down, never above 0, and sideways level with the horizontal bar.
  size_canvas(300, 200);
  RECT rc{};
  GetWindowRect(app.canvas_window, &rc);
  const auto wheel = [](int x, int y, bool towards_user) {
    SetCursorPos(x, y);
    SendMessageA(app.main_window, WM_MOUSEWHEEL, MAKEWPARAM(0, towards_user ? -WHEEL_DELTA : WHEEL_DELTA), 0);
  };
  for (bool towards_user : {true, true, false, false, false}) wheel(rc.left + 50, rc.top + 50, towards_user);
  EXPECT_EQ(app.scroll_y, 0);
  wheel(rc.left + 50, rc.top + 50, true);
  wheel(rc.left + 50, rc.bottom - 2, true);
  EXPECT_EQ(app.scroll_y, 10);
  EXPECT_EQ(app.scroll_x, 10);

  // At the maximum the picture's last pixel stands 5 pixels from the canvas's edges, gray beyond.
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_BOTTOM, 0);
  SendMessageA(app.canvas_window, WM_VSCROLL, SB_BOTTOM, 0);
  HDC target = CreateCompatibleDC(app.view_surface);
  const int wide = GetSystemMetrics(SM_CXSCREEN) + 400, high = GetSystemMetrics(SM_CYSCREEN) + 300;
  HBITMAP bitmap = CreateCompatibleBitmap(app.view_surface, wide, high);
  SelectObject(target, bitmap);
  full_redraw(target);
  EXPECT_EQ((std::vector<COLORREF>{GetPixel(target, 294, 194), GetPixel(target, 295, 194), GetPixel(target, 294, 195)}),
            (std::vector<COLORREF>{picture.pixels.back(), RGB(128, 128, 128), RGB(128, 128, 128)}));
  // A canvas larger than the screen of start-up is painted whole (a frame cannot outgrow the screen, its child can).
  MoveWindow(app.canvas_window, 0, 0, wide, high, TRUE);
  PatBlt(target, 0, 0, wide, high, BLACKNESS);
  full_redraw(target);
  EXPECT_EQ((std::vector<COLORREF>{GetPixel(target, wide - 50, high - 50), GetPixel(target, wide - 50, 10)}),
            (std::vector<COLORREF>(2, RGB(128, 128, 128))));
  DeleteDC(target);
  DeleteObject(bitmap);

  // Moved to a monitor of 144 DPI: the status bar gets a font made for it and its taller height, the
  // canvas ends above it; a dialog's controls get a font made for its new DPI (192).
  const auto font_height = [](HWND hwnd) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return std::abs(font.lfHeight);
  };
  const LONG status_font_at_96 = font_height(app.status_bar);
  const int status_at_96 = app.status_height;
  RECT frame{};
  GetWindowRect(app.main_window, &frame);
  for (const UINT dpi : {144u, 96u}) {
    SendMessageW(app.main_window, kDpiChangedMessage, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    EXPECT_NEAR(font_height(app.status_bar), MulDiv(status_font_at_96, dpi, 96), 1) << dpi;
    GetClientRect(app.main_window, &client);
    GetWindowRect(app.canvas_window, &canvas);
    GetClientRect(app.status_bar, &status);
    EXPECT_EQ(canvas.bottom - canvas.top, client.bottom - status.bottom) << dpi;
    if (dpi == 144) EXPECT_GT(app.status_height, status_at_96);
  }
  EXPECT_EQ(app.status_height, status_at_96);
  start_dialog_thread(mosaic_settings_dialog);
  HWND dialog = nullptr;
  for (int i = 0; i < 250 && !dialog; ++i, Sleep(20)) dialog = FindWindowW(L"SETTINGS", texts().mosaic_settings_title);
  ASSERT_NE(dialog, nullptr);
  const HWND label = GetWindow(dialog, GW_CHILD);
  const LONG label_font_at_96 = font_height(label);
  GetWindowRect(dialog, &frame);
  SendMessageW(dialog, kDpiChangedMessage, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&frame));
  EXPECT_GT(label_font_at_96, 0);
  EXPECT_NEAR(font_height(label), 2 * label_font_at_96, 1);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
}

// A click selects its pixel and enables the effect items; the next click
// clears the selection and its field and grays them; Undo stays as it was.
TEST_F(EditorTest, SelectionEnablesTheEffectItemsAndTheClearingClickGraysThem) {
  open_file(bmp_test::make_bmp24(noisy_picture(200, 150)), "select.bmp");
  const auto click = [](POINT screen) {
    ClientToScreen(app.canvas_window, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
  };
  const auto effects_grayed = [] {
    int count = 0;
    for (UINT position = 2; position <= 8; ++position) count += grayed(position);
    return count;
  };
  ASSERT_EQ(effects_grayed(), 7);
  click(POINT{54, 74});
  EXPECT_EQ(app.selection, (Rect{49, 69, 50, 70}));
  EXPECT_EQ(effects_grayed(), 0);
  set_status_field(1, app.selection_text, "(49,69)-(49,69)");  // as a drag loop leaves it
  click(POINT{150, 120});  // out of reach of the outline's edges, which a press there would take
  EXPECT_EQ(app.selection, Rect{});
  EXPECT_EQ(effects_grayed(), 7);
  char field[64] = "?";
  SendMessageA(app.status_bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(field));
  EXPECT_STREQ(field, "") << "the selection field is emptied";
  EXPECT_TRUE(grayed(0)) << "Undo stays as it was";
}

// ---------------------------------------------------------------- zoom
// A picture with a colour table, which GDI copies for the canvas: 27 colours far apart.
Bytes palette_file(int width, int height) {
  FileLayout layout{40, width, height, 8, 0, {}, 27};
  std::vector<std::vector<std::uint32_t>> rows(height);
  for (int i = 0; i < width * height; ++i) rows[i / width].push_back(i * 7 % 27);
  for (Colour i = 0; i < 27; ++i) layout.palette.push_back(RGB(i % 3 * 127, i / 3 % 3 * 127, i / 9 * 127));
  layout.pixel_data = bmp_test::pack_rows(rows, 8, false);
  return bmp_test::build_file(layout);
}

std::string status_field(int field) {
  char text[300] = {};
  SendMessageA(app.status_bar, SB_GETTEXTA, field, reinterpret_cast<LPARAM>(text));
  return text;
}

// Runs the messages the drag loop (or a worker) sends until `done` holds (at most `ms`).
bool pump_until(const std::function<bool()>& done, int ms = 5000) {
  for (int i = 0; i < ms / 10 && !done(); ++i) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  return done();
}

// Pixels of the canvas as full_redraw draws it that differ from the core's
// zoomed picture at the scroll offset, with the gray margin about it.
long canvas_differences(const Image& picture, Zoom zoom, Point scroll) {
  const int w = app.canvas_client.cx, h = app.canvas_client.cy;
  HDC target = CreateCompatibleDC(app.view_surface);
  HBITMAP bitmap = CreateCompatibleBitmap(app.view_surface, app.surface_size.cx, app.surface_size.cy);
  SelectObject(target, bitmap);
  full_redraw(target);
  const std::vector<Colour> shown = pixels_of(bitmap, w, h);
  DeleteDC(target);
  DeleteObject(bitmap);
  std::vector<std::uint8_t> rows;  // the picture's own 24-bit rows
  for (Colour c : picture.pixels)
    rows.insert(rows.end(), {std::uint8_t(blue_of(c)), std::uint8_t(green_of(c)), std::uint8_t(red_of(c))});
  const ViewBlock view = visible_picture({picture.width, picture.height}, zoom, scroll, {w, h});
  const int bw = static_cast<int>(view.client.width()), bh = static_cast<int>(view.client.height());
  std::vector<std::uint8_t> block(std::size_t(bw) * bh * 4);
  ZoomScratch scratch;
  draw_zoomed(DibRows{rows.data(), picture.width * 3, 3, picture.width, picture.height}, zoom, view.zoomed,
              DibRows{block.data(), bw * 4, 4, bw, bh}, scratch);
  long differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int bx = x - view.client.left, by = y - view.client.top;
      const bool inside = bx >= 0 && by >= 0 && bx < bw && by < bh;
      const std::uint8_t* b = block.data() + (std::size_t(by) * bw + bx) * 4;
      differ += shown[std::size_t(y) * w + x] != (inside ? make_colour(b[2], b[1], b[0]) : RGB(128, 128, 128));
    }
  return differ;
}

// At fit, 50 % and 200 %, by menu command and by Ctrl+wheel: the canvas shows the core's zoomed
// picture (through a 32-bit copy for a colour table), the position and zoom fields read picture
// coordinates and the zoom, and a drag selects the picture pixels under it and outlines them where
// the picture shows them (past the picture's end, up to its last pixel).
TEST_F(EditorTest, ZoomedCanvasDragsSelectPicturePixels) {
  SendMessageA(app.main_window, WM_SIZE, SIZE_RESTORED, 0);  // the canvas fills the frame again
  size_canvas(400, 300);
  ASSERT_EQ((Point{app.canvas_client.cx, app.canvas_client.cy}), (Point{400, 300}));
  const Image noise = noisy_picture(1000, 800), small = noisy_picture(100, 80);
  const Bytes noise_file = bmp_test::make_bmp24(noise), colour_table = palette_file(1000, 800);
  const struct {
    const char* name;
    const Bytes& file;
    std::vector<WORD> commands;  // 0: Ctrl+wheel away from the user at the drag's start
    const char* zoom;
    Point scroll;
    POINT from, to;
    const char* position;
    Rect selection;
    const char* text;
    POINT outline_top_left, outline_bottom_right;
  } cases[] = {
      // 371/1024: a canvas pixel shows 2.76 picture pixels, and a picture pixel may straddle two
      {"fit", noise_file, {kCmdFitToWindow}, "36.23%", {0, 0}, {15, 25}, {54, 74}, "x:27,y:55",
       {27, 55, 139, 194}, "(27,55)-(138,193)", {14, 24}, {55, 75}},
      {"fit, colour table", colour_table, {kCmdFitToWindow}, "36.23%", {0, 0}, {15, 25}, {54, 74}, "x:27,y:55",
       {27, 55, 139, 194}, "(27,55)-(138,193)", {14, 24}, {55, 75}},
      {"50 %", noise_file, {kCmdZoomOut, kCmdZoomOut}, "50%", {0, 0}, {15, 25}, {254, 174}, "x:20,y:40",
       {20, 40, 500, 340}, "(20,40)-(499,339)", {15, 25}, {254, 174}},
      // picture pixel (100, 50) stays under the cursor; the field is less the press offset (50, 25)
      {"200 % about the cursor, colour table", colour_table, {0}, "200%", {100, 50}, {105, 55}, {144, 94},
       "x:100,y:50", {100, 50, 120, 70}, "(50,25)-(69,44)", {105, 55}, {144, 94}},
      {"200 %, past the picture's end", bmp_test::make_bmp24(small), {kCmdZoomIn}, "200%", {0, 0}, {15, 25},
       {380, 290}, "x:5,y:10", {5, 10, 100, 80}, "(5,10)-(99,79)", {15, 25}, {204, 164}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open_file(c.file, "zoom.bmp");
    const Image picture = decode_bmp(c.file).image;
    const auto screen = [](POINT p) { ClientToScreen(app.canvas_window, &p); return p; };
    SetCursorPos(screen(c.from).x, screen(c.from).y);
    for (WORD command : c.commands) {
      if (command == 0) SendMessageA(app.main_window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
      else SendMessageA(app.main_window, WM_COMMAND, command, 0);
    }
    EXPECT_EQ(status_field(2), c.zoom);
    EXPECT_EQ((Point{app.scroll_x, app.scroll_y}), c.scroll);
    EXPECT_EQ(canvas_differences(picture, app.zoom, c.scroll), 0);
    SendMessageA(app.canvas_window, WM_MOUSEMOVE, 0, MAKELPARAM(c.from.x, c.from.y));
    EXPECT_EQ(status_field(0), c.position);

    SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetCursorPos(screen(c.to).x, screen(c.to).y);
    EXPECT_TRUE(pump_until([&] { return status_field(1) == c.text; })) << status_field(1);
    SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(app.selection, c.selection);
    // What the view keeps is computed anew for an effect and for its Undo.
    app.colour_chooser.rgbResult = RGB(200, 30, 90);
    apply_effect(EffectCode::fill);
    EXPECT_EQ(canvas_differences(working_picture(), app.zoom, c.scroll), 0) << "after the fill";
    undo_command();
    EXPECT_EQ(canvas_differences(picture, app.zoom, c.scroll), 0) << "after its Undo";
    const POINT tl = c.outline_top_left, br = c.outline_bottom_right;
    const POINT beside[] = {{tl.x - 1, tl.y}, {tl.x, tl.y - 1}, {br.x + 1, br.y}, {br.x, br.y + 1}};
    std::vector<COLORREF> before;
    {
      ViewLock lock;
      show_working_image();  // the band goes; the outline is drawn anew
      for (POINT p : beside) before.push_back(GetPixel(app.view_surface, p.x, p.y));
    }
    draw_selection_outline();
    for (POINT p : {tl, br, POINT{tl.x, br.y}, POINT{br.x, tl.y}})
      EXPECT_EQ(GetPixel(app.view_surface, p.x, p.y), 0u) << "outline at " << p.x << "," << p.y;
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(GetPixel(app.view_surface, beside[i].x, beside[i].y), before[i]) << "beside the outline, " << i;
    // The next click, inside the outline (its edges would be taken), clears the selection.
    SetCursorPos(screen(POINT{(tl.x + br.x) / 2, (tl.y + br.y) / 2}).x, screen(POINT{(tl.x + br.x) / 2, (tl.y + br.y) / 2}).y);
    SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
    // Scrolled both ways: what stays in view is moved, what comes into view computed.
    for (const auto& [message, code] : {std::pair{WM_VSCROLL, SB_LINEDOWN}, {WM_HSCROLL, SB_LINEDOWN},
                                        {WM_HSCROLL, SB_LINEUP}, {WM_VSCROLL, SB_PAGEUP}, {WM_VSCROLL, SB_BOTTOM}}) {
      SendMessageA(app.canvas_window, message, code, 0);
      EXPECT_EQ(canvas_differences(picture, app.zoom, {app.scroll_x, app.scroll_y}), 0) << message << " " << code;
    }
  }
  // Zoomed in about the centre while the button is down, scrolled 10 before the press: the anchor stays
  // on the press's picture pixel (110, 50), the field less the press's offset of 10 picture pixels.
  open_file(noise_file, "zoom.bmp");
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_LINEDOWN, 0);
  POINT at{105, 55};
  ClientToScreen(app.canvas_window, &at);
  SetCursorPos(at.x, at.y);
  SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageA(app.main_window, WM_COMMAND, kCmdZoomIn, 0);
  SetCursorPos(at.x + 39, at.y + 39);
  EXPECT_TRUE(pump_until([&] { return status_field(1) == "(100,50)-(167,117)"; })) << status_field(1);
  SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(app.selection, (Rect{110, 50, 178, 118}));
  // Three small Ctrl+wheel deltas (one level) while the button is down, and a release before the loop's
  // next pass: the selection reaches the cursor of the release, outlined on screen at once.
  SetCursorPos(at.x + 20, at.y + 20);  // inside the outline, whose edges a press would take
  SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);  // clears the selection
  SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
  SetCursorPos(at.x, at.y);
  SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  for (int i = 0; i < 3; ++i) SendMessageA(app.main_window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 40), 0);
  EXPECT_EQ(status_field(2), "300%");
  SetCursorPos(at.x + 60, at.y + 45);
  SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
  const Point scroll{app.scroll_x, app.scroll_y};
  EXPECT_EQ(app.selection.right - 1, client_to_picture(105 + 60, scroll.x, app.zoom));
  EXPECT_EQ(app.selection.bottom - 1, client_to_picture(55 + 45, scroll.y, app.zoom));
  const Outline drawn = selection_outline(app.selection, scroll, app.zoom);
  for (POINT p : {POINT{drawn.top_left.x, drawn.top_left.y}, POINT{drawn.bottom_right.x, drawn.bottom_right.y}}) {
    ViewLock lock;
    EXPECT_EQ(GetPixel(app.view_surface, p.x, p.y), 0u) << "outline at " << p.x << "," << p.y;
  }
  SendMessageA(app.main_window, WM_COMMAND, kCmdActualSize, 0);
  EXPECT_EQ(status_field(2), "100%");
}

// ---------------------------------------------------------------- effects
// Each menu command gives exactly the core's colours on true-colour pictures,
// at the right and bottom edges (effects read past the picture) and partly
// outside it; Undo brings the picture back and a second Undo the effect.
TEST_F(EditorTest, EffectCommandsGiveTheCoreColours) {
  const Image original = noisy_picture(70, 50);
  app.mosaic_cell_width = 9;
  app.mosaic_cell_height = 4;
  app.blur_level = 1;
  app.colour_chooser.rgbResult = RGB(12, 200, 77);
  for (const Rect selection : {Rect{13, 7, 70, 50}, Rect{50, 30, 90, 70}}) {
    const struct { WORD command; std::vector<Colour> block; } cases[] = {
        {kCmdMosaic, mosaic(original.view(), selection, 9, 4)},
        {kCmdBlur, blur(original.view(), selection, 1)},
        {kCmdDiffusion, diffusion(original.view(), selection)},
        {kCmdFill, fill(selection, RGB(12, 200, 77))},
        {kCmdSecureMosaic, secure_mosaic(original.view(), selection, 9, 4)},
        {kCmdSecureBlur, secure_blur(original.view(), selection)},
    };
    for (int bits : {24, 32}) {
      for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << bits << " bpp, command " << c.command << ", selection left " << selection.left);
        const std::string path = open_file(bmp_test::make_bmp24(original, bits));
        app.selection = selection;
        SendMessageA(app.main_window, WM_COMMAND, c.command, 0);
        Image expected = original;
        put_block(expected, selection, c.block);
        EXPECT_EQ(difference(working_picture(), expected), 0);
        EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + path + "]");
        SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
        EXPECT_EQ(difference(working_picture(), original), 0);
        SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
        EXPECT_EQ(difference(working_picture(), expected), 0);
      }
    }
  }
  // The scramble is seeded with the tick count: one between those before and after gives the picture shown.
  const Rect s{5, 3, 45, 28};
  open_file(bmp_test::make_bmp24(original));
  app.selection = s;
  app.scramble_level = 32;
  const DWORD before = GetTickCount();
  SendMessageA(app.main_window, WM_COMMAND, kCmdScramble, 0);
  const DWORD after = GetTickCount();
  const Image shown = working_picture();
  bool found = false;
  for (DWORD seed = before; seed <= after && !found; ++seed) {
    RandomSource random;
    seed_random_source(random, seed);
    Image expected = original;
    put_block(expected, s, scramble(original.view(), s, 32, random));
    found = expected.pixels == shown.pixels && expected.pixels != original.pixels;
  }
  EXPECT_TRUE(found);
}

// A palette picture goes through GDI both ways and keeps its format; the
// diffusion only moves colours of the table, so the result is exact (the
// table's colours lie far apart: Wine's mapping is approximate).
TEST_F(EditorTest, PalettePictureStaysPaletteThroughEffectAndUndo) {
  const Image original = decode_bmp(palette_file(40, 20)).image;
  open_file(palette_file(40, 20));
  app.selection = Rect{3, 2, 35, 18};
  apply_effect(EffectCode::diffusion);
  Image expected = original;
  put_block(expected, app.selection, diffusion(original.view(), app.selection));
  EXPECT_EQ(difference(working_picture(), expected), 0);
  EXPECT_EQ(bits_per_pixel(app.loaded_bitmap), 8);
  undo_command();
  EXPECT_EQ(bits_per_pixel(app.loaded_bitmap), 8) << "Undo keeps the format too";
  EXPECT_EQ(difference(working_picture(), original), 0);
}

// The canvas holds the mouse from a press to its release, so that a release outside it ends the drag.
// Until then the drag loop draws from the working image, here helped by a drawer that does the same
// without the loop's pause: effects meanwhile (a palette picture, read and written through GDI) give
// the core's colours each time.
TEST_F(EditorTest, EffectsWhileTheDragLoopDrawsGiveTheCoreColours) {
  size_canvas(900, 700);
  open_file(palette_file(600, 400));
  app.selection_flags = SelectionFlags{};
  POINT press{100, 100};
  ClientToScreen(app.canvas_window, &press);
  SetCursorPos(press.x, press.y);
  SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ(GetCapture(), app.canvas_window);
  std::atomic<bool> stop{false};
  std::thread drawer([&] {
    for (; !stop; Sleep(0)) {
      ViewLock lock;
      show_working_image();
    }
  });
  for (int i = 0; i < 40; ++i) {
    // The loop's status text waits for this thread to take messages, as the editor does between commands.
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
    // Tiles from each corner stay inside the picture: white is no colour of the table.
    app.selection = Rect{i % 7, i % 5, 560 - i % 3, 380};
    Image expected = working_picture();
    put_block(expected, app.selection, diffusion(expected.view(), app.selection));
    apply_effect(EffectCode::diffusion);
    EXPECT_EQ(difference(working_picture(), expected), 0) << "effect " << i;
  }
  stop = true;
  drawer.join();
  SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

// Undo restores a picture larger than the screen whole and a second Undo
// redoes; a block too large for memory is told and changes nothing.
TEST_F(EditorTest, UndoRedoOfAPictureLargerThanTheScreenAndABlockTooLargeForMemory) {
  const Image original = noisy_picture(GetSystemMetrics(SM_CXSCREEN) + 300, GetSystemMetrics(SM_CYSCREEN) + 200);
  open_file(bmp_test::make_bmp24(original));
  app.selection = Rect{0, 0, original.width, original.height};
  app.colour_chooser.rgbResult = RGB(1, 2, 3);
  apply_effect(EffectCode::fill);
  const Image filled{original.width, original.height, std::vector<Colour>(original.pixels.size(), RGB(1, 2, 3))};
  EXPECT_EQ(difference(working_picture(), filled), 0);
  SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
  EXPECT_EQ(difference(working_picture(), original), 0);
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_EQ(GetCurrentObject(app.working_image, OBJ_BITMAP), app.loaded_bitmap) << "the bitmap follows its surface";
  SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
  EXPECT_EQ(difference(working_picture(), filled), 0);
  EXPECT_EQ(app.modification_counter, 1);

  app.selection = Rect{0, 0, 0x7FFFFFFF, 30000};  // a row of its result needs gigabytes
  const Box box = answer_box([] { apply_effect(EffectCode::mosaic); });
  EXPECT_EQ(box.text, ansi(texts().not_enough_memory));
  EXPECT_TRUE(box.warning);
  EXPECT_EQ(app.modification_counter, 1);
  EXPECT_EQ(difference(working_picture(), filled), 0);
  undo_command();  // the history still holds the picture before the fill
  EXPECT_EQ(difference(working_picture(), original), 0);
}

// The blocks kept from one command to the next never show in a result: selections that grow and
// change shape, on pictures read directly and through GDI; Reverts to the same size, to another
// size and to another format; an effect after a refusal; Undo after each.
TEST_F(EditorTest, MemoryKeptBetweenCommandsNeverShowsInAResult) {
  const auto diffuse_and_undo = [](const Rect& s) {
    SCOPED_TRACE(testing::Message() << app.bitmap.bmBitsPixel << " bpp, selection " << s.left << "," << s.top << ","
                                    << s.right << "," << s.bottom);
    const Image before = working_picture();
    Image expected = before;
    put_block(expected, s, diffusion(before.view(), s));
    app.selection = s;
    prepare_transfer_blocks(s);  // as at the end of a drag: blocks made ready and warmed
    apply_effect(EffectCode::diffusion);  // moves colours only: exact on a colour table too
    EXPECT_EQ(difference(working_picture(), expected), 0);
    undo_command();
    EXPECT_EQ(difference(working_picture(), before), 0);
  };
  const Image a = noisy_picture(70, 50), b = noisy_picture(45, 66);
  const std::string path = open_file(bmp_test::make_bmp24(a), "kept.bmp");
  for (const Rect s : {Rect{3, 2, 20, 9}, Rect{1, 1, 69, 49}, Rect{30, 0, 34, 50}, Rect{0, 40, 70, 42}}) diffuse_and_undo(s);

  const auto revert = [&](const Bytes& file) {
    write_bytes(path, file);
    app.modification_counter = 0;  // no question
    revert_image();
    EXPECT_EQ(difference(working_picture(), decode_bmp(file).image), 0);
  };
  revert(bmp_test::make_bmp24(a));
  diffuse_and_undo(Rect{10, 10, 60, 40});
  revert(bmp_test::make_bmp24(b));
  diffuse_and_undo(Rect{40, 3, 45, 60});

  // The same size in 8 bits: new bitmaps that keep the table, and blocks that GDI fills by rows, of
  // a shape that must change even where a block has pixels enough
  // (the 16 x 16 tiles from each selection's corner stay inside the picture: white is no colour of the table).
  FileLayout layout{40, 45, 66, 8, 0, {}, 27};
  std::vector<std::vector<std::uint32_t>> rows(66);
  for (int i = 0; i < 45 * 66; ++i) rows[i / 45].push_back(i * 7 % 27);
  for (Colour i = 0; i < 27; ++i) layout.palette.push_back(RGB(i % 3 * 127, i / 3 % 3 * 127, i / 9 * 127));
  layout.pixel_data = bmp_test::pack_rows(rows, 8, false);
  revert(bmp_test::build_file(layout));
  EXPECT_EQ(bits_per_pixel(app.loaded_bitmap), 8);
  for (const Rect s : {Rect{2, 2, 12, 8}, Rect{0, 0, 32, 20}, Rect{20, 0, 30, 64}}) diffuse_and_undo(s);

  app.selection = Rect{0, 0, 40000, 30000};  // refused: needs a block of gigabytes
  EXPECT_EQ(answer_box([] { apply_effect(EffectCode::diffusion); }).text, ansi(texts().not_enough_memory));
  diffuse_and_undo(Rect{5, 5, 37, 53});
}

// The warmer writes a zero at the start of each page of its ranges and
// nothing else, and nothing more once stop() has returned.
TEST(PageWarmer, WritesEachPagesFirstByteOnlyAndNothingAfterStop) {
  constexpr std::size_t kPage = 4096, kPages = 4096;
  std::vector<std::uint8_t> memory(kPage * kPages, 0xFF);
  const auto pages_reached = [&] {  // -1 when a byte past a page's start was written
    long count = 0;
    for (std::size_t i = 0; i < memory.size(); ++i) {
      if (memory[i] == 0 && i % kPage != 0) return -1L;
      count += memory[i] == 0;
    }
    return count;
  };
  PageWarmer warmer;
  warmer.start({{memory.data(), memory.size() / 2}, {memory.data() + memory.size() / 2, memory.size() / 2 - 1}});
  warmer.stop();
  const long reached = pages_reached();
  Sleep(50);
  EXPECT_EQ(pages_reached(), reached) << "written after stop()";
  warmer.start({{memory.data(), memory.size() / 2}, {memory.data() + memory.size() / 2, memory.size() / 2 - 1}});
  for (int i = 0; i < 100 && pages_reached() != static_cast<long>(kPages); ++i) Sleep(50);
  EXPECT_EQ(pages_reached(), static_cast<long>(kPages));
}

// ---------------------------------------------------------------- files
// For every format the reader takes, the loaded bitmap shows exactly the reader's pixels and keeps the
// file's bits per pixel where GDI has them (16-bit files of other masks than 5-5-5 and 5-6-5 become 32);
// files the reader refuses are not loaded; no program may write the file while it is read.
TEST_F(EditorTest, LoadedBitmapIsTheReadersPictureInTheFilesFormat) {
  std::vector<bmp_test::FormatCase> cases = bmp_test::format_cases();
  for (const std::size_t i : {0, 2, 12}) {  // files our reader refuses, some of which Wine's loader would take
    cases.push_back({"refused: " + cases[i].name, cases[i].layout});
    if (i == 0) cases.back().layout.header_size = 64;
    if (i == 12) cases.back().layout.pixel_data.resize(cases.back().layout.pixel_data.size() - 2);  // no end mark
    if (i == 2) cases.back().layout.pixel_data[0] = 0xF0;  // an index past the 9-entry table
  }
  const std::string path = temp_path("format.bmp");
  for (const auto& c : cases) {
    const Bytes file = bmp_test::build_file(c.layout);
    write_bytes(path, file);
    HBITMAP bitmap = nullptr;
    {
      BitmapFile reading(wide(path).c_str());
      // No program may write it, or cut it short, while it is read.
      EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr), INVALID_HANDLE_VALUE) << c.name;
      bitmap = reading.decoded_bitmap();
    }
    const DecodeResult decoded = decode_bmp(file);
    ASSERT_EQ(bitmap != nullptr, !c.expected.empty()) << c.name << ": " << decoded.error;
    if (bitmap == nullptr) continue;
    const std::uint32_t* m = c.layout.masks;
    const bool gdi_masks = !c.layout.masks_present || (m[0] == 0x7C00 && m[1] == 0x3E0) || (m[0] == 0xF800 && m[1] == 0x7E0);
    EXPECT_EQ(bits_per_pixel(bitmap), c.layout.bits == 16 && !gdi_masks ? 32 : c.layout.bits) << c.name;
    EXPECT_EQ(pixels_of(bitmap, decoded.image.width, decoded.image.height), decoded.image.pixels) << c.name;
    DeleteObject(bitmap);
  }
}

// write_bitmap_file gives the encoder's file of the picture shown over a
// longer file that was there; a save that cannot be written is told, keeps the
// old file byte for byte and the document unsaved; no temporary file is left.
TEST_F(EditorTest, SavedFileIsTheEncodersFileAndAFailedSaveLosesNothing) {
  const std::string out = temp_path("out.bmp");
  for (const bmp_test::FormatCase& c : bmp_test::format_cases()) {
    const Bytes file = bmp_test::build_file(c.layout);
    open_file(file, "in.bmp");
    write_bytes(out, Bytes(5000, 0xAB));
    ASSERT_TRUE(write_bitmap_file(wide(out).c_str())) << c.name;
    EXPECT_EQ(read_bytes(out), encode_bmp24(decode_bmp(file).image).bytes) << c.name;
  }
  // After an Undo the working image is the other surface: its picture is written.
  app.selection = Rect{0, 0, 2, 1};
  app.colour_chooser.rgbResult = RGB(255, 255, 255);
  apply_effect(EffectCode::fill);
  undo_command();
  undo_command();
  ASSERT_TRUE(write_bitmap_file(wide(out).c_str()));
  EXPECT_EQ(read_bytes(out), encode_bmp24(Image{2, 1, std::vector<Colour>(2, 0xFFFFFF)}).bytes);

  const Bytes picture = bmp_test::make_bmp24(noisy_picture(7, 5)), old_bytes(60, 0x55);
  enum Way { kReadOnly, kMissingFolder, kHeldOpen, kTooLarge };
  const struct { Way way; std::string target, reason; } cases[] = {
      {kReadOnly, temp_path("read-only.bmp"), ansi(texts().save_denied)},
      {kMissingFolder, temp_path("no such folder\\x.bmp"), ansi(texts().save_no_folder)},
      {kHeldOpen, temp_path("held.bmp"), ansi(texts().save_in_use)},
      // A picture whose file would pass the header's 32-bit sizes.
      {kTooLarge, temp_path("large.bmp"), ansi(texts().save_too_large)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    open_file(picture);
    if (c.way != kMissingFolder) write_bytes(c.target, old_bytes);
    if (c.way == kReadOnly) SetFileAttributesA(c.target.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = CreateFileA(c.way == kHeldOpen ? c.target.c_str() : "", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    const BITMAP record = app.bitmap;
    if (c.way == kTooLarge) app.bitmap.bmWidth = 46341, app.bitmap.bmHeight = 15447;
    lstrcpyW(app.file_name, wide(c.target).c_str());
    app.modification_counter = 2;
    enable_undo_item(true);
    set_document_title(true);
    const Box box = answer_box(save_image);
    EXPECT_EQ(box.text, ansi(texts().cannot_save) + "\n\n" + c.target + "\n\n" + c.reason);
    EXPECT_TRUE(box.warning);
    EXPECT_EQ(app.modification_counter, 2);
    EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + c.target + "]");
    EXPECT_FALSE(grayed(0));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    SetFileAttributesA(c.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (c.way != kMissingFolder) EXPECT_EQ(read_bytes(c.target), old_bytes);
    app.bitmap = record;
  }
  // The same save where it can write: saved, and the document marked so.
  lstrcpyW(app.file_name, wide(out).c_str());
  save_image();
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_TRUE(grayed(0));
  EXPECT_EQ(window_title(), ansi(text::kTitlePrefix) + out + "]");
  EXPECT_EQ(read_bytes(out), encode_bmp24(decode_bmp(picture).image).bytes);
  WIN32_FIND_DATAA found{};
  EXPECT_EQ(FindFirstFileA(temp_path("*.tmp").c_str(), &found), INVALID_HANDLE_VALUE) << found.cFileName;
}

Bytes clipboard_block(UINT format) {
  Bytes bytes;
  if (!OpenClipboard(app.main_window)) return bytes;
  if (HANDLE block = GetClipboardData(format)) {
    const auto* data = static_cast<const std::uint8_t*>(GlobalLock(block));
    bytes.assign(data, data + GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

// Memory that runs short while the effects' blocks hold theirs: Save in both writers, Copy and the
// Paste of what it copied give the blocks back and go on. Copy of a small selection, in either way
// of reading, needs no picture-sized memory, and a damaged file is refused without giving them back.
TEST_F(EditorTest, SaveCopyAndPasteGiveTheBlocksBackWhenMemoryIsShort) {
  const Image picture = noisy_picture(800, 600);
  const Bytes file = bmp_test::make_bmp24(picture);
  FileLayout layout{40, 800, 600, 8, 0, {0x123456, 0x654321}, 2};
  layout.pixel_data = Bytes(800 * 600, 1);
  const Bytes palette_file = bmp_test::build_file(layout);
  Bytes damaged = png_file(9, 9, 2, 8, std::vector<unsigned>(243, 7));
  damaged.resize(damaged.size() - 20);
  open_file(file, "short.bmp");
  const auto hold_blocks = [] {
    app.selection = Rect{0, 0, 800, 600};
    prepare_transfer_blocks(app.selection);
    return app.source_block.bitmap != nullptr;
  };
  g_memory_short_while_blocks_held = true;
  for (const char* name : {"short.bmp", "short.png"}) {
    ASSERT_TRUE(hold_blocks());
    lstrcpyW(app.file_name, wide(temp_path(name)).c_str());
    app.modification_counter = 1;
    EXPECT_EQ(answer_box(save_image).text, "") << name;
    EXPECT_EQ(app.modification_counter, 0) << name;
  }
  for (const Bytes* small_copy : {&file, &palette_file}) {
    open_file(*small_copy, "small copy.bmp");
    ASSERT_TRUE(hold_blocks());
    app.selection = Rect{500, 400, 700, 450};
    EXPECT_EQ(answer_box(copy_image).text, "");
    EXPECT_NE(app.source_block.bitmap, nullptr) << app.bitmap.bmBitsPixel << " bpp: memory given back for a small Copy";
  }
  const Bytes copied = clipboard_block(CF_DIB);
  EXPECT_EQ(decode_bmp(packed_dib_as_file(copied.data(), copied.size())).image.pixels,
            std::vector<Colour>(200 * 50, 0x654321));
  EXPECT_EQ(answer_box([&] { open_file(damaged, "damaged.png"); }).text, ansi(texts().cannot_open));
  EXPECT_NE(app.source_block.bitmap, nullptr) << "memory given back for a damaged file";
  open_file(file, "short.bmp");
  ASSERT_TRUE(hold_blocks());
  EXPECT_EQ(answer_box(copy_image).text, "");
  open_file(bmp_test::make_bmp24(Image{800, 600, std::vector<Colour>(480000, 0x123456)}), "other.bmp");
  ASSERT_TRUE(hold_blocks());
  EXPECT_EQ(answer_box(paste_image).text, "");
  g_memory_short_while_blocks_held = false;
  EXPECT_EQ(difference(working_picture(), picture), 0) << "the pasted picture";
  const Bytes png = read_bytes(temp_path("short.png"));
  EXPECT_EQ(decode_bmp(read_bytes(temp_path("short.bmp"))).image.pixels, picture.pixels);
  EXPECT_EQ(decode_picture_bytes(png.data(), png.size()).value_or(DecodedPicture{}).image.pixels, picture.pixels);
}

// ---------------------------------------------------------------- clipboard and drops
// Puts blocks on the clipboard, in this order, in place of what was there.
void put_on_clipboard(const std::vector<std::pair<UINT, Bytes>>& blocks, HBITMAP bitmap = nullptr) {
  ASSERT_TRUE(OpenClipboard(app.main_window));
  EmptyClipboard();
  for (const auto& [format, bytes] : blocks) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(GlobalLock(block)));
    GlobalUnlock(block);
    SetClipboardData(format, block);
  }
  if (bitmap) SetClipboardData(CF_BITMAP, bitmap);
  CloseClipboard();
}


Bytes rgba_png(int width, int height, const Bytes& rgba) {
  return png_file(width, height, 6, 8, std::vector<unsigned>(rgba.begin(), rgba.end()));
}

Bytes without_file_header(const Bytes& file) { return Bytes(file.begin() + 14, file.end()); }

bool paste_item_enabled() {
  SendMessageA(app.main_window, WM_INITMENU, reinterpret_cast<WPARAM>(app.menu_bar), 0);
  return !grayed(kEditPastePosition);
}

// With unsaved changes Paste asks as Open does, and Cancel keeps everything. Each clipboard form then
// becomes the untitled, unsaved document with exactly its pixels (No to the same question each time);
// Revert says there is no file, and Save goes through Save As.
TEST_F(EditorTest, PasteTakesEveryClipboardFormAsAnUntitledUnsavedPicture) {
  const Image picture = noisy_picture(13, 6), other = noisy_picture(9, 4);
  const std::string path = open_file(bmp_test::make_bmp24(other), "kept.bmp");
  app.selection = Rect{1, 1, 5, 3};
  apply_effect(EffectCode::fill);
  const Image changed = working_picture();
  put_on_clipboard({});
  EXPECT_FALSE(paste_item_enabled());
  put_on_clipboard({{CF_DIB, without_file_header(bmp_test::make_bmp24(picture))}});
  EXPECT_TRUE(paste_item_enabled());
  EXPECT_EQ(answer_box([] { SendMessageA(app.main_window, WM_COMMAND, kCmdPaste, 0); }, IDCANCEL).text,
            ansi(texts().save_prompt));
  EXPECT_EQ(difference(working_picture(), changed), 0);
  EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + path + "]");
  EXPECT_EQ(std::vector<int>({app.modification_counter, grayed(0), app.selection.right}), std::vector<int>({1, 0, 5}));

  // Red opaque, blue transparent (white), black at 60 % (gray 102) over white.
  const Image png_picture{3, 1, {0x0000FF, 0xFFFFFF, 0x666666}};
  const Bytes png = rgba_png(3, 1, {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 153});
  std::vector<std::vector<std::uint32_t>> rows;
  for (int y = 0; y < picture.height; ++y) {
    rows.emplace_back();
    for (int x = 0; x < picture.width; ++x) {
      const Colour c = picture.pixels[y * picture.width + x];
      rows.back().push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    }
  }
  FileLayout v5{124, picture.width, -picture.height, 32, 3, {}, 0, true, {0xFF0000, 0xFF00, 0xFF},
                bmp_test::pack_rows(rows, 32, true)};
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, picture.width, picture.height);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB};
  std::vector<Colour> bgr = picture.pixels;
  swap_red_and_blue(bgr.data(), bgr.size());
  SetDIBits(screen, ddb, 0, picture.height, bgr.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  const struct { const char* name; std::vector<std::pair<UINT, Bytes>> blocks; HBITMAP bitmap; Image expected; } cases[] = {
      {"PNG before the bitmap", {{CF_DIB, without_file_header(bmp_test::make_bmp24(picture))},
                                  {RegisterClipboardFormatA("PNG"), png}}, nullptr, png_picture},
      {"damaged PNG, then the bitmap", {{RegisterClipboardFormatA("PNG"), Bytes(png.begin(), png.begin() + 40)},
                                        {CF_DIB, without_file_header(bmp_test::make_bmp24(picture))}}, nullptr, picture},
      {"32-bit top-down version 5 bitmap", {{CF_DIBV5, without_file_header(bmp_test::build_file(v5))}}, nullptr, picture},
      {"bitmap handle", {}, ddb, picture},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    put_on_clipboard(c.blocks, c.bitmap);
    EXPECT_EQ(answer_box([] { paste_image(); }, IDNO).text, ansi(texts().save_prompt));
    EXPECT_EQ(difference(working_picture(), c.expected), 0);
    EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + ansi(texts().untitled) + "]");
    EXPECT_EQ(std::vector<int>({app.modification_counter, grayed(0), app.selection.right, app.file_name[0]}),
              std::vector<int>({1, 1, 0, 0}));
  }
  EXPECT_EQ(answer_box(revert_image).text, ansi(texts().no_file_to_revert));
  EXPECT_EQ(difference(working_picture(), picture), 0);
}

// For EnumThreadWindows: adds a message box or dialog to the vector at `boxes`.
BOOL CALLBACK add_if_box(HWND hwnd, LPARAM boxes) {
  char name[16] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (std::string(name) == "#32770") reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(hwnd);
  return TRUE;
}

// A drop handle as the shell makes it: the first of two files opens, named in the title. A drop while the
// save prompt of an Open is up is refused, as is a second Open: no second prompt, no open inside the first.
TEST_F(EditorTest, DroppedFilesOpenTheFirstButNotDuringTheSavePrompt) {
  const std::string first = temp_path("dropped first.bmp"), second = temp_path("dropped second.bmp");
  const Image picture = noisy_picture(21, 8);
  write_bytes(first, bmp_test::make_bmp24(picture));
  write_bytes(second, bmp_test::make_bmp24(noisy_picture(5, 5)));
  const std::string names = first + '\0' + second + '\0' + '\0';
  const auto drop = [&] {  // a new handle each time: the editor frees it
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto* files = static_cast<DROPFILES*>(GlobalLock(handle));
    files->pFiles = sizeof(DROPFILES);
    std::copy(names.begin(), names.end(), reinterpret_cast<char*>(files + 1));
    GlobalUnlock(handle);
    return reinterpret_cast<WPARAM>(handle);
  };
  const std::string kept = open_file(bmp_test::make_bmp24(noisy_picture(9, 9)), "kept.bmp");
  app.modification_counter = 1;
  // The user drops the files on the window and chooses Open again while the prompt is up, then
  // cancels every box there is.
  const DWORD editor_thread = GetCurrentThreadId();
  std::set<HWND> boxes;
  std::atomic<bool> done{false};
  std::thread user([&] {
    for (; !done; Sleep(50)) {
      std::vector<HWND> open;
      EnumThreadWindows(editor_thread, add_if_box, reinterpret_cast<LPARAM>(&open));
      for (HWND box : open) {
        if (boxes.insert(box).second && boxes.size() == 1) {
          SendMessageTimeoutA(app.main_window, WM_DROPFILES, drop(), 0, SMTO_NORMAL, 5000, nullptr);
          SendMessageTimeoutA(app.main_window, WM_COMMAND, kCmdOpen, 0, SMTO_NORMAL, 5000, nullptr);
        }
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      }
    }
  });
  SendMessageA(app.main_window, WM_COMMAND, kCmdOpen, 0);
  done = true;
  user.join();
  EXPECT_EQ(boxes.size(), 1u) << "a prompt inside the prompt";
  EXPECT_EQ(window_title(), ansi(text::kTitlePrefix) + kept + "]");
  app.modification_counter = 0;
  SendMessageA(app.main_window, WM_DROPFILES, drop(), 0);
  EXPECT_EQ(window_title(), ansi(text::kTitlePrefix) + first + "]");
  EXPECT_EQ(difference(working_picture(), picture), 0);
}

// The file dialog's name field: its first visible Edit.
BOOL CALLBACK find_name_field(HWND child, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  if (lstrcmpiW(name, L"Edit") != 0 || !IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// Names the ANSI code page cannot hold: a file dropped under such a name (a drop handle of UTF-16
// names) opens, named exactly in the title, and Save As writes the picture under another one.
TEST_F(EditorTest, DroppedFileAndSaveAsWithNamesOfAnyScript) {
  const std::wstring folder = wide(temp_path("")) + L"café 한국어 Ελληνικά 😀";
  const std::wstring dropped = folder + L"\\写真😀.bmp", saved = folder + L"\\Ελληνικά 한국어.bmp";
  const Image picture = noisy_picture(9, 7);
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW(saved.c_str());
  write_bytes(temp_path("named.tmp"), bmp_test::make_bmp24(picture));  // then given its name, which write_bytes cannot take
  ASSERT_TRUE(MoveFileExW(wide(temp_path("named.tmp")).c_str(), dropped.c_str(), MOVEFILE_REPLACE_EXISTING));
  app.modification_counter = 0;
  const std::wstring names = dropped + L'\0' + L'\0';
  HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(files + 1));
  GlobalUnlock(drop);
  EXPECT_EQ(answer_box([&] { SendMessageW(app.main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); }).text, "");
  const auto title = [] {
    wchar_t text[400] = {};
    GetWindowTextW(app.main_window, text, 400);
    return std::wstring(text);
  };
  EXPECT_TRUE(title() == text::kTitlePrefix + dropped + L"]") << ansi(title());

  // Save As, answered as a person would: the name typed into the dialog's name field, then OK.
  std::thread typist([&] {
    HWND dialog = nullptr, field = nullptr;
    for (int i = 0; i < 500 && !field; ++i, Sleep(20)) {
      if ((dialog = FindWindowW(L"#32770", nullptr)) == nullptr) continue;
      EnumChildWindows(dialog, find_name_field, reinterpret_cast<LPARAM>(&field));
    }
    if (field == nullptr) return;
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  EXPECT_EQ(answer_box([] { EXPECT_EQ(save_image_as(), 0); }).text, "");
  typist.join();
  EXPECT_TRUE(title() == text::kTitlePrefix + saved + L"]") << ansi(title());
  ASSERT_TRUE(MoveFileExW(saved.c_str(), wide(temp_path("saved back.bmp")).c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(read_bytes(temp_path("saved back.bmp")), encode_bmp24(picture).bytes);

  // A folder of 250 characters: a Save there works (its temporary file's path is longer than 259), and
  // Save As proposes a name of a format it does not write whole with .png, or says that it cannot.
  std::wstring long_folder = wide(temp_path(""));
  long_folder += std::wstring(250 - long_folder.size(), L'f');
  CreateDirectoryW((L"\\\\?\\" + long_folder).c_str(), nullptr);
  lstrcpyW(app.file_name, (long_folder + L"\\x.bmp").c_str());
  app.modification_counter = 1;
  EXPECT_EQ(answer_box(save_image).text, "");
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_EQ(read_bytes(ansi(long_folder + L"\\x.bmp")), encode_bmp24(picture).bytes);
  const struct { std::wstring name, proposed; std::string box; } proposals[] = {
      {long_folder + L"\\x.gif", long_folder + L"\\x.png", ""},
      {long_folder + L"\\abcd", long_folder + L"\\abcd.png", ""},  // 259 characters
      {long_folder + L"\\abcdefgh", L"", ansi(texts().name_too_long_as_png)},
  };
  for (const auto& c : proposals) {
    lstrcpyW(app.file_dialog_path, c.name.c_str());
    std::wstring proposed = L"(no dialog)";
    std::thread reader([&] {
      HWND dialog = nullptr, field = nullptr;
      for (int i = 0; i < 500 && !field; ++i, Sleep(20)) {
        if ((dialog = FindWindowW(L"#32770", nullptr)) != nullptr) EnumChildWindows(dialog, find_name_field, reinterpret_cast<LPARAM>(&field));
      }
      if (field == nullptr) return;
      proposed = app.file_dialog_path;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(answer_box([] { EXPECT_EQ(save_image_as(), 1); }).text, c.box) << ansi(c.name);
    reader.join();
    EXPECT_TRUE(proposed == c.proposed) << ansi(proposed);
  }
}

// Copy puts the selection cut to the picture, or the whole picture without one, as a 24-bit packed
// bitmap and as a PNG of the same pixels.
TEST_F(EditorTest, CopyPutsTheSelectionCutToThePictureAsBitmapAndPng) {
  const Image picture = noisy_picture(70, 50);
  open_file(bmp_test::make_bmp24(picture));
  for (const Rect selection : {Rect{50, 30, 90, 70}, Rect{}}) {
    app.selection = selection;
    SendMessageA(app.main_window, WM_COMMAND, kCmdCopy, 0);
    const Rect cut = selection.empty() ? Rect{0, 0, 70, 50} : Rect{50, 30, 70, 50};
    Image expected{cut.right - cut.left, cut.bottom - cut.top, {}};
    for (int y = cut.top; y < cut.bottom; ++y)
      for (int x = cut.left; x < cut.right; ++x) expected.pixels.push_back(picture.pixels[y * 70 + x]);
    const Bytes dib = clipboard_block(CF_DIB), png = clipboard_block(RegisterClipboardFormatA("PNG"));
    ASSERT_GT(dib.size(), 40u);
    EXPECT_EQ(dib[14], 24) << "bits per pixel";
    EXPECT_EQ(decode_bmp(packed_dib_as_file(dib.data(), dib.size())).image.pixels, expected.pixels);
    const std::optional<Image> from_png = decode_png_bytes(png.data(), png.size());
    ASSERT_TRUE(from_png);
    EXPECT_EQ(from_png->pixels, expected.pixels);
  }
}

// On a disk with too little room left, a Save of a 24-bit and of a palette
// picture fails while it writes; over a file that no rename can replace (a
// mount point), it fails at the last step. Each is told, keeps the old file
// byte for byte and the document unsaved, and leaves no temporary file.
TEST_F(EditorTest, SmallDiskSavesThatFailWhileWritingLoseNothing) {
  const std::string disk = small_disk::folder();
  ASSERT_NE(disk, "") << "runs under tests/small_disk.sh";
  const struct { Bytes picture; std::string target, reason; } cases[] = {
      {bmp_test::make_bmp24(noisy_picture(300, 200)), disk + "\\full24.bmp", ansi(texts().save_disk_full)},
      {palette_file(300, 200), disk + "\\full8.bmp", ansi(texts().save_disk_full)},
      {bmp_test::make_bmp24(noisy_picture(30, 20)), disk + "\\busy.bmp", ansi(texts().save_in_use)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    open_file(c.picture);
    if (!c.target.ends_with("busy.bmp")) write_bytes(c.target, c.picture);  // the file it came from
    lstrcpyW(app.file_name, wide(c.target).c_str());
    const Bytes old = read_bytes(c.target);
    app.selection = Rect{0, 0, 10, 10};
    apply_effect(EffectCode::fill);
    ASSERT_TRUE(small_disk::leave_room(disk + "\\filler", 60 * 1024));  // a third of the new file
    const Box box = answer_box(save_image);
    EXPECT_EQ(box.text, ansi(texts().cannot_save) + "\n\n" + c.target + "\n\n" + c.reason);
    EXPECT_EQ(app.modification_counter, 1);
    EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + c.target + "]");
    EXPECT_FALSE(grayed(0));
    EXPECT_EQ(read_bytes(c.target), old);
    DeleteFileA((disk + "\\filler").c_str());
    WIN32_FIND_DATAA found{};
    EXPECT_EQ(FindFirstFileA((disk + "\\*.tmp").c_str(), &found), INVALID_HANDLE_VALUE) << found.cFileName;
  }
}

// ---------------------------------------------------------------- pictures of other formats
// Straight colours and the alpha (empty: opaque) that a decoder must give for a picture.
struct Straight { Image image; std::vector<std::uint8_t> alpha; };

Image over_white(const Straight& s) {
  Image shown = s.image;
  put_over_white(shown, s.alpha);
  return shown;
}

// Opens the file through the command line's path; "" when no box came.
std::string open_picture(const Bytes& file, const std::string& name) {
  return answer_box([&] { open_file(file, name); }).text;
}

// The document holds exactly the picture: shown over white, its alpha, and the colours under transparency.
void expect_document(const Straight& expected) {
  EXPECT_EQ(difference(working_picture(), over_white(expected)), 0);
  EXPECT_EQ(app.transparency.alpha, expected.alpha);
  for (std::size_t i = 0; i < expected.alpha.size(); ++i)
    if (expected.alpha[i] != 255) EXPECT_EQ(app.transparency.colours.at(i), expected.image.pixels[i]) << "pixel " << i;
}

// A 5 x 3 PNG of every colour type and depth; its samples step through the range (16-bit ones in
// both bytes), and `expected` is what they stand for at 8 bits (16 bits rounded: (v * 255 + 32895) >> 16).
struct PngCase { const char* name; int type, depth; bool trns; int width = 5, height = 3; };
Bytes png_case(const PngCase& c, Straight& expected) {
  const int kW = c.width, kH = c.height;
  const int channels[] = {1, 0, 3, 1, 2, 0, 4};
  const unsigned top = (1u << c.depth) - 1;
  const auto scale = [&](unsigned v) { return c.depth == 16 ? (v * 255 + 32895) >> 16 : v * 255 / top; };
  std::vector<unsigned> samples;
  std::vector<std::pair<std::string, Bytes>> chunks;
  if (c.type == 3) {
    Bytes plte, trns = {0, 128};
    for (std::uint32_t k = 0; k <= std::min(top, 4u); ++k)
      plte.insert(plte.end(), {static_cast<std::uint8_t>(k * 50 + 10), static_cast<std::uint8_t>(200 - k * 30),
                               static_cast<std::uint8_t>(k * 40 + 1)});
    chunks = {{"PLTE", plte}};
    if (c.trns) chunks.push_back({"tRNS", trns});
  }
  expected = Straight{Image{kW, kH, {}}, {}};
  for (unsigned i = 0; i < unsigned(kW * kH); ++i) {
    unsigned v[4];
    for (int ch = 0; ch < channels[c.type]; ++ch) {
      v[ch] = c.depth == 16 ? (i * 40503u + ch * 9973u + 7) & 0xFFFF : (i * 5u + ch * 3u + 1) & top;
      if (c.type == 3) v[ch] = i % std::min(top + 1, 5u);
      samples.push_back(v[ch]);
    }
    unsigned r, g, b, a = 255;
    switch (c.type) {
      case 0: r = g = b = scale(v[0]); if (c.trns && v[0] == samples[2]) a = 0; break;
      case 2: r = scale(v[0]), g = scale(v[1]), b = scale(v[2]); break;
      case 3: r = v[0] * 50 + 10, g = 200 - v[0] * 30, b = v[0] * 40 + 1; if (c.trns && v[0] < 2) a = v[0] * 128; break;
      case 4: r = g = b = scale(v[0]), a = scale(v[1]); break;
      default: r = scale(v[0]), g = scale(v[1]), b = scale(v[2]), a = scale(v[3]); break;
    }
    expected.image.pixels.push_back(make_colour(r, g, b));
    expected.alpha.push_back(static_cast<std::uint8_t>(a));
  }
  if (c.type == 0 && c.trns) chunks = {{"tRNS", {static_cast<std::uint8_t>(samples[2] >> 8), static_cast<std::uint8_t>(samples[2])}}};
  if (std::all_of(expected.alpha.begin(), expected.alpha.end(), [](std::uint8_t a) { return a == 255; })) expected.alpha.clear();
  return png_file(kW, kH, c.type, c.depth, samples, chunks);
}

// Every PNG colour type and depth, a GIF with a transparent index, a TIFF with alpha and a JPEG open
// with their pixels; a damaged file and bytes of no picture are refused and change nothing.
TEST_F(EditorTest, PicturesOfEveryFormatOpenWithTheirPixels) {
  const PngCase pngs[] = {
      {"grey 1", 0, 1, false}, {"grey 2", 0, 2, false}, {"grey 4", 0, 4, false}, {"grey 8", 0, 8, false},
      {"grey 16", 0, 16, false}, {"grey 8 with tRNS", 0, 8, true}, {"RGB 8", 2, 8, false}, {"RGB 16", 2, 16, false},
      {"palette 1 with tRNS", 3, 1, true}, {"palette 2", 3, 2, false}, {"palette 4 with tRNS", 3, 4, true},
      {"palette 8 with tRNS", 3, 8, true}, {"grey and alpha 8", 4, 8, false}, {"grey and alpha 16", 4, 16, false},
      {"RGBA 8", 6, 8, false}, {"RGBA 16", 6, 16, false},
      // read a band of rows (about a megabyte) at a time: three bands and two
      {"RGBA 16, 8192 x 40", 6, 16, false, 8192, 40}, {"RGB 8, 8192 x 40", 2, 8, false, 8192, 40}};
  for (const PngCase& c : pngs) {
    SCOPED_TRACE(c.name);
    Straight expected;
    EXPECT_EQ(open_picture(png_case(c, expected), "picture.png"), "");
    expect_document(expected);
  }
  {
    SCOPED_TRACE("GIF, index 2 transparent");
    const std::vector<std::uint32_t> palette = {0x0000FF, 0x00FF00, 0x123456, 0xFF0000};
    const std::vector<unsigned> indices = {0, 1, 2, 3, 2, 1, 0, 3, 3};
    Straight expected{Image{3, 3, {}}, {}};
    for (unsigned k : indices) expected.image.pixels.push_back(palette[k]), expected.alpha.push_back(k == 2 ? 0 : 255);
    EXPECT_EQ(open_picture(picture_test::gif_file(3, 3, palette, 2, indices), "picture.gif"), "");
    expect_document(expected);
  }
  {
    SCOPED_TRACE("TIFF with alpha");
    Bytes rgba;
    Straight expected{Image{4, 2, {}}, {}};
    for (unsigned i = 0; i < 8; ++i) {
      const std::uint8_t r = i * 30, g = 255 - i * 20, b = i * 7 + 3, a = i == 0 ? 0 : i * 36 + 3;
      rgba.insert(rgba.end(), {r, g, b, a});
      expected.image.pixels.push_back(make_colour(r, g, b)), expected.alpha.push_back(a);
    }
    EXPECT_EQ(open_picture(picture_test::tiff_file(4, 2, rgba), "picture.tif"), "");
    expect_document(expected);
  }
  {
    // Flat 16 x 16 blocks on the JPEG's own block grid: only the blocks' mean colours are coded, and
    // quantising those (at the encoder's quality, 75 under Wine) plus the colour conversion's rounding
    // stays within a few levels. 6 allows for that; a swapped channel or a wrong row is off by far more.
    SCOPED_TRACE("JPEG");
    Image flat{32, 16, {}};
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) flat.pixels.push_back(x < 16 ? 0x3070D0 : 0xC08020);
    Bytes jpeg;
    ASSERT_TRUE(encode_picture_bytes(flat, {}, PictureFormat::jpeg, jpeg));
    EXPECT_EQ(open_picture(jpeg, "photo.jpg"), "");
    const Image shown = working_picture();
    ASSERT_EQ(shown.pixels.size(), flat.pixels.size());
    for (std::size_t i = 0; i < flat.pixels.size(); ++i)
      for (const auto channel : {red_of, green_of, blue_of})
        ASSERT_LE(std::abs(channel(shown.pixels[i]) - channel(flat.pixels[i])), 6) << "pixel " << i;
    EXPECT_TRUE(app.transparency.alpha.empty());
  }
  // Refused: the document stays the JPEG.
  const Image before = working_picture();
  Straight unused;
  const Bytes png = png_case(pngs[14], unused);
  for (const Bytes& bad : {Bytes(png.begin(), png.begin() + 60), Bytes{'n', 'o', ' ', 'p', 'i', 'c'}}) {
    EXPECT_EQ(open_picture(bad, "bad.png"), ansi(texts().cannot_open));
    EXPECT_EQ(difference(working_picture(), before), 0);
  }
}

// The largest working set of the process while `action` runs, sampled every 5 ms.
SIZE_T peak_working_set(const std::function<void()>& action) {
  std::atomic<bool> done{false};
  std::atomic<SIZE_T> peak{0};
  std::thread sampler([&] {
    for (PROCESS_MEMORY_COUNTERS c{}; !done; Sleep(5)) {
      if (GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c))) peak = std::max<SIZE_T>(peak, c.WorkingSetSize);
    }
  });
  action();
  done = true;
  sampler.join();
  return peak;
}

// Pictures made to hurt the platform's decoders: sizes past the limit claimed over a few bytes (the JPEG
// decoder takes the whole frame before any size check of ours could see it), a decompression bomb
// within the limit, files cut short and files with bits flipped. Each opens or is refused with the
// message, and the working set stays within 256 MB of where it was; a pasted PNG past the limit is refused.
TEST_F(EditorTest, HostilePicturesOpenOrAreRefusedInBoundedMemory) {
  Bytes jpeg, bomb;
  ASSERT_TRUE(encode_picture_bytes(noisy_picture(64, 48), {}, PictureFormat::jpeg, jpeg));
  ASSERT_TRUE(encode_picture_bytes(Image{2000, 2000, std::vector<Colour>(4000000, 0x336699)}, {}, PictureFormat::png, bomb));
  ASSERT_LT(bomb.size(), 100000u);
  const Bytes png = png_file(5, 3, 2, 8, std::vector<unsigned>(45, 77)), gif = picture_test::gif_file(3, 1, {0, 0xFF}, 1, {0, 1, 0});
  const Bytes tiff = picture_test::tiff_file(2, 1, Bytes(8, 200));
  const auto claiming = [](Bytes b, std::size_t at, const Bytes& size) {
    std::copy(size.begin(), size.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
  };
  const std::uint8_t frame_header[] = {0xFF, 0xC0};
  const std::size_t sof = std::search(jpeg.begin(), jpeg.end(), std::begin(frame_header), std::end(frame_header)) - jpeg.begin();
  ASSERT_LT(sof, jpeg.size());
  const struct { const char* name; Bytes file; } refused[] = {
      {"photo.jpg", claiming(jpeg, sof + 5, {0xFF, 0xDC, 0xFF, 0xDC})},  // 65500 x 65500
      {"picture.png", png_file(65500, 65500, 0, 8, {})},                 // rows of filter bytes alone
      {"frame.gif", claiming(gif, 38, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"scan.tif", claiming(tiff, 18, {0x70, 0x11, 0x01, 0})},           // 70000 x 1
  };
  std::vector<std::pair<std::string, Bytes>> hostile = {{"bomb.png", bomb}};
  for (const auto& [name, file] : {std::pair{"cut.jpg", jpeg}, {"cut.png", png}, {"cut.gif", gif}, {"cut.tif", tiff}}) {
    hostile.push_back({name, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2))});
    for (std::size_t i = 1; i < 4; ++i) {
      Bytes flipped = file;
      flipped[file.size() * i / 4] ^= static_cast<std::uint8_t>(1u << i);
      hostile.push_back({std::string("flipped") + (name + 3), flipped});
    }
  }
  PROCESS_MEMORY_COUNTERS before{};
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before));
  const SIZE_T peak = peak_working_set([&] {
    open_file(png, "start.png");
    for (const auto& c : refused) {
      EXPECT_EQ(open_picture(c.file, c.name), ansi(texts().cannot_open)) << c.name;
      EXPECT_EQ(std::vector<long>({app.bitmap.bmWidth, app.bitmap.bmHeight}), std::vector<long>({5, 3})) << c.name;
    }
    for (const auto& [name, file] : hostile) {
      const std::string box = open_picture(file, name);
      EXPECT_TRUE(box.empty() || box == ansi(texts().cannot_open)) << name << ": " << box;
    }
    EXPECT_EQ(open_picture(bomb, "bomb.png"), "");
    EXPECT_EQ(app.bitmap.bmWidth, 2000);
    put_on_clipboard({{RegisterClipboardFormatA("PNG"), refused[1].file}});
    EXPECT_EQ(answer_box(paste_image).text, ansi(texts().cannot_paste));
  });
  EXPECT_LT(peak - before.WorkingSetSize, SIZE_T{256} << 20);
}

// An effect on a transparent PNG makes its selection opaque and keeps every other pixel's colour and
// alpha; Undo and its redo take the alpha along. Saved as PNG and TIFF the file keeps them; as a
// bitmap and a JPEG, the picture is put over white.
TEST_F(EditorTest, TransparencyOutsideEffectsThroughUndoAndEachSavedFormat) {
  Straight original{Image{6, 4, {}}, {}};
  Bytes rgba;
  for (unsigned i = 0; i < 24; ++i) {
    const std::uint8_t r = i * 10, g = 250 - i * 9, b = i * 3 + 50, a = i % 3 == 0 ? 0 : i * 11;
    rgba.insert(rgba.end(), {r, g, b, a});
    original.image.pixels.push_back(make_colour(r, g, b)), original.alpha.push_back(a);
  }
  ASSERT_EQ(open_picture(rgba_png(6, 4, rgba), "transparent.png"), "");
  app.selection = Rect{1, 1, 4, 3};
  app.colour_chooser.rgbResult = 0x123456;
  Straight filled = original;
  for (int y = 1; y < 3; ++y)
    for (int x = 1; x < 4; ++x) filled.image.pixels[y * 6 + x] = 0x123456, filled.alpha[y * 6 + x] = 255;
  apply_effect(EffectCode::fill);
  expect_document(filled);
  undo_command();
  expect_document(original);
  undo_command();
  expect_document(filled);

  for (const char* name : {"saved.png", "saved.tif"}) {
    SCOPED_TRACE(name);
    lstrcpyW(app.file_name, wide(temp_path(name)).c_str());
    save_image();
    EXPECT_EQ(app.modification_counter, 0);
    const Bytes file = read_bytes(temp_path(name));
    const std::optional<DecodedPicture> saved = decode_picture_bytes(file.data(), file.size());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->image.pixels, filled.image.pixels);
    EXPECT_EQ(saved->alpha, filled.alpha);
  }
  lstrcpyW(app.file_name, wide(temp_path("saved.bmp")).c_str());
  save_image();
  const Bytes bmp = read_bytes(temp_path("saved.bmp"));
  EXPECT_EQ(decode_bmp(bmp).image.pixels, over_white(filled).pixels);
  lstrcpyW(app.file_name, wide(temp_path("saved.jpg")).c_str());
  save_image();
  const Bytes jpeg = read_bytes(temp_path("saved.jpg"));
  ASSERT_GT(jpeg.size(), 2u);
  EXPECT_EQ(std::vector<int>({jpeg[0], jpeg[1]}), std::vector<int>({0xFF, 0xD8}));
  const std::optional<DecodedPicture> from_jpeg = decode_picture_bytes(jpeg.data(), jpeg.size());
  ASSERT_TRUE(from_jpeg);
  EXPECT_TRUE(from_jpeg->alpha.empty());
  // The fill's flat block is the file's too (over white, within the JPEG's loss on a 6 x 4 picture).
  EXPECT_LE(std::abs(red_of(from_jpeg->image.pixels[6 + 2]) - 0x56), 24);
}

// ---------------------------------------------------------------- find and hide
HWND child_of(HWND parent, const wchar_t* class_name, const wchar_t* text = nullptr) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {}, caption[128] = {};
    GetClassNameW(child, name, 64);
    GetWindowTextW(child, caption, 128);
    if (lstrcmpiW(name, class_name) == 0 && (!text || lstrcmpW(caption, text) == 0)) return child;
  }
  return nullptr;
}

TEST_F(EditorTest, FindAndHideCoversTheCheckedItemsInOneStep) {
  const text_screen::Screen screen = text_screen::mail_screen();
  const std::string path = open_file(bmp_test::make_bmp24(screen.image), "find.bmp");
  app.selection = Rect{0, 0, 4, 4};  // an earlier effect, which Undo must not take back while the window is open
  app.colour_chooser.rgbResult = RGB(0, 0, 255);
  SendMessageA(app.main_window, WM_COMMAND, kCmdFill, 0);
  const Image before = working_picture();

  SendMessageA(app.main_window, WM_COMMAND, kCmdFind, 0);
  const HWND window = app.find_window;
  ASSERT_NE(window, nullptr);
  const Texts& t = texts();
  const HWND list = child_of(window, WC_LISTVIEWW), hide = child_of(window, L"BUTTON", t.find_hide);
  const HWND words = child_of(window, L"EDIT");
  ASSERT_TRUE(list && hide && words);
  EXPECT_FALSE(IsWindowEnabled(hide));  // until the words are read
  ASSERT_TRUE(pump_until([&] { return IsWindowEnabled(hide) != FALSE; }, 60000));
  EXPECT_EQ(ListView_GetItemCount(list), 2);
  // The document commands are refused meanwhile.
  SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
  SendMessageA(app.main_window, WM_COMMAND, kCmdFind, 0);
  EXPECT_EQ(difference(working_picture(), before), 0);
  EXPECT_EQ(app.find_window, window);

  // The kinds and words find again at once.
  const auto click = [&](const wchar_t* caption) { SendMessageW(child_of(window, L"BUTTON", caption), BM_CLICK, 0, 0); };
  for (int i = 1; i < 5; ++i) click(t.find_kinds[i]);
  EXPECT_EQ(ListView_GetItemCount(list), 1);
  click(t.find_kinds[0]);
  EXPECT_EQ(ListView_GetItemCount(list), 0);
  EXPECT_FALSE(IsWindowEnabled(hide));
  SetWindowTextW(words, L"TODAY, after");
  EXPECT_EQ(ListView_GetItemCount(list), 2);
  SetWindowTextW(words, L"");
  for (int i = 0; i < 5; ++i) click(t.find_kinds[i]);
  ASSERT_EQ(ListView_GetItemCount(list), 2);

  // Hide covers the checked items only, with the fill colour, as one step.
  ListView_SetCheckState(list, 1, FALSE);
  EXPECT_TRUE(IsWindowEnabled(hide));
  click(t.find_cover_fill);
  app.colour_chooser.rgbResult = RGB(255, 0, 255);
  SendMessageW(hide, BM_CLICK, 0, 0);
  EXPECT_EQ(app.find_window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  const Image hidden = working_picture();
  const Rect address = screen.secrets[0], phone = screen.secrets[1];
  long covered = 0, changed_elsewhere = 0;
  for (std::int32_t y = 0; y < hidden.height; ++y)
    for (std::int32_t x = 0; x < hidden.width; ++x) {
      const std::size_t i = std::size_t(y) * hidden.width + x;
      const bool in_address = x >= address.left && x < address.right && y >= address.top && y < address.bottom;
      const bool in_phone = x >= phone.left && x < phone.right && y >= phone.top && y < phone.bottom;
      if (in_address) covered += hidden.pixels[i] == 0xFF00FFu;
      if (in_phone && hidden.pixels[i] != before.pixels[i]) ++changed_elsewhere;
    }
  EXPECT_EQ(covered, address.width() * address.height());
  EXPECT_EQ(changed_elsewhere, 0);
  EXPECT_EQ(window_title(), ansi(text::kTitlePrefixModified) + path + "]");
  SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
  EXPECT_EQ(difference(working_picture(), before), 0);
  SendMessageA(app.main_window, WM_COMMAND, kCmdUndo, 0);
  EXPECT_EQ(difference(working_picture(), hidden), 0);

  // Closing stops a find that runs.
  SendMessageA(app.main_window, WM_COMMAND, kCmdFind, 0);
  ASSERT_NE(app.find_window, nullptr);
  close_find_window();
  EXPECT_EQ(app.find_window, nullptr);
}

}  // namespace
}  // namespace murkel

namespace murkel {
namespace {

// ---------------------------------------------------------------- editing: keys, selection, crop, history
// A key as the main loop takes it: through the editor's key table, with the modifiers held.
bool press_key(UINT vk, bool shift = false, bool control = false, bool alt = false) {
  static const HACCEL keys = create_accelerators();
  BYTE state[256] = {};
  state[VK_SHIFT] = shift ? 0x80 : 0;
  state[VK_CONTROL] = control ? 0x80 : 0;
  state[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(state);
  MSG message{app.main_window, alt ? static_cast<UINT>(WM_SYSKEYDOWN) : static_cast<UINT>(WM_KEYDOWN), vk,
              alt ? (1 << 29) : 0};
  const bool taken = TranslateAcceleratorW(app.main_window, keys, &message) != 0;
  BYTE none[256] = {};
  SetKeyboardState(none);
  return taken;
}

Image part_of(const Image& image, const Rect& r) {
  Image part{static_cast<int>(r.width()), static_cast<int>(r.height()), {}};
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) part.pixels.push_back(image.pixels[y * image.width + x]);
  return part;
}

// The effect keys act exactly while their items are enabled and give the menu's results; the
// arrows move and size the selection at once (outline and field), Esc clears it, Ctrl+A selects
// the whole picture.
TEST_F(EditorTest, KeysApplyEffectsAndMoveSizeSelectAndClearTheSelection) {
  const Image original = noisy_picture(120, 90);
  open_file(bmp_test::make_bmp24(original), "keys.bmp");
  EXPECT_TRUE(grayed(2));
  press_key('M');
  EXPECT_EQ(difference(working_picture(), original), 0) << "no selection: the key does nothing";

  app.selection_flags = SelectionFlags{false, true, false};
  enable_effect_items(true);
  app.selection = Rect{10, 10, 40, 30};
  const struct { UINT vk; bool shift; EffectCode code; } effects[] = {
      {'M', false, EffectCode::mosaic},   {'B', false, EffectCode::blur}, {'D', false, EffectCode::diffusion},
      {'F', false, EffectCode::fill},     {'M', true, EffectCode::secure_mosaic}, {'B', true, EffectCode::secure_blur},
  };
  for (const auto& e : effects) {
    SCOPED_TRACE(testing::Message() << static_cast<char>(e.vk) << (e.shift ? " with Shift" : ""));
    const Image before = working_picture();
    apply_effect(e.code);
    const Image by_menu = working_picture();
    undo_command();
    ASSERT_EQ(difference(working_picture(), before), 0);
    EXPECT_TRUE(press_key(e.vk, e.shift));
    EXPECT_EQ(difference(working_picture(), by_menu), 0);
  }
  const Image scrambled_from = working_picture();
  EXPECT_TRUE(press_key('S'));
  EXPECT_NE(difference(working_picture(), scrambled_from), 0);

  const struct { UINT vk; bool shift, control; Rect expected; } moves[] = {
      {VK_RIGHT, false, false, {11, 10, 41, 30}}, {VK_DOWN, true, false, {11, 20, 41, 40}},
      {VK_LEFT, true, false, {1, 20, 31, 40}},    {VK_LEFT, true, false, {0, 20, 30, 40}},  // stops at the edge
      {VK_UP, false, true, {0, 20, 30, 39}},      {VK_RIGHT, true, true, {0, 20, 40, 39}},
      {VK_LEFT, true, true, {0, 20, 30, 39}},
  };
  for (const auto& m : moves) {
    EXPECT_TRUE(press_key(m.vk, m.shift, m.control));
    EXPECT_EQ(app.selection, m.expected) << m.vk << " " << m.shift << m.control;
  }
  EXPECT_EQ(status_field(1), "(0,20)-(29,38)");
  EXPECT_TRUE(press_key(VK_ESCAPE));
  EXPECT_EQ(app.selection, Rect{});
  EXPECT_TRUE(grayed(2));
  EXPECT_TRUE(press_key(VK_LEFT));
  EXPECT_EQ(app.selection, Rect{}) << "no selection: the arrows do nothing";
  EXPECT_TRUE(press_key('A', false, true));
  EXPECT_EQ(app.selection, (Rect{0, 0, 120, 90}));
  EXPECT_FALSE(grayed(2));
  EXPECT_EQ(status_field(1), "(0,0)-(119,89)");
  clear_selection();
}

// A press within 3 pixels of the outline takes its edge or corner, shows the sizing arrows and
// drags it; a press elsewhere starts the clearing click as before.
TEST_F(EditorTest, OutlineEdgesAndCornersDragAndAPressElsewhereClears) {
  open_file(bmp_test::make_bmp24(noisy_picture(200, 150)), "edges.bmp");
  const auto at = [](int x, int y) {
    POINT screen{x, y};
    ClientToScreen(app.canvas_window, &screen);
    SetCursorPos(screen.x, screen.y);
  };
  const auto drag = [&](int x0, int y0, int x1, int y1) {
    at(x0, y0);
    SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    at(x1, y1);
    SendMessageA(app.canvas_window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y1));
    SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, MAKELPARAM(x1, y1));
  };
  const struct { int x0, y0, x1, y1; Rect expected; LPCSTR cursor; } cases[] = {
      // selection (10,20)-(50,70): outline x 15..54, y 25..74
      {54, 50, 64, 50, {10, 20, 60, 70}, IDC_SIZEWE},  {13, 40, 5, 40, {0, 20, 50, 70}, IDC_SIZEWE},
      {30, 23, 30, 35, {10, 30, 50, 70}, IDC_SIZENS},  {56, 76, 100, 90, {10, 20, 96, 86}, IDC_SIZENWSE},
      {54, 25, 40, 60, {10, 55, 36, 70}, IDC_SIZENESW}, {54, 50, 2, 50, {10, 20, 11, 70}, IDC_SIZEWE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0);
    app.selection = Rect{10, 20, 50, 70};
    app.selection_flags = SelectionFlags{false, true, false};
    at(c.x0, c.y0);
    EXPECT_EQ(SendMessageA(app.canvas_window, WM_SETCURSOR, reinterpret_cast<WPARAM>(app.canvas_window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, c.cursor));
    drag(c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(app.selection, c.expected);
    EXPECT_TRUE(app.selection_flags.selection_made);
  }
  app.selection = Rect{10, 20, 50, 70};
  at(30, 50);
  EXPECT_EQ(SendMessageA(app.canvas_window, WM_SETCURSOR, reinterpret_cast<WPARAM>(app.canvas_window),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            FALSE);
  drag(30, 50, 30, 50);
  EXPECT_EQ(app.selection, Rect{}) << "inside the outline: the clearing click";
}

// Crop keeps the part in the picture's own format (colour table, transparency), follows with the
// scroll ranges and title; Undo gives the whole picture back and Undo again the crop.
TEST_F(EditorTest, CropKeepsThePartsFormatAndUndoTakesItBackAndAgain) {
  size_canvas(300, 200);
  const Image noisy = noisy_picture(500, 400);
  const Image palette = decode_bmp(palette_file(80, 60)).image;
  const struct { const char* name; Bytes file; Image picture; Rect crop; } cases[] = {
      {"crop24.bmp", bmp_test::make_bmp24(noisy), noisy, {100, 50, 180, 170}},
      {"crop8.bmp", palette_file(80, 60), palette, {7, 3, 70, 58}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open_file(c.file, c.name);
    const int bits = bits_per_pixel(app.loaded_bitmap);
    app.selection = c.crop;
    app.selection_flags = SelectionFlags{false, true, false};
    EXPECT_TRUE(press_key('X', true, true));
    EXPECT_EQ(difference(working_picture(), part_of(c.picture, c.crop)), 0);
    EXPECT_EQ(bits_per_pixel(app.loaded_bitmap), bits);
    EXPECT_EQ(app.selection, Rect{});
    EXPECT_EQ(app.modification_counter, 1);
    EXPECT_NE(window_title().find("[*"), std::string::npos);
    EXPECT_EQ(app.horizontal_scroll.nMax, std::max<int>(0, static_cast<int>(c.crop.width()) + 10 - 300));
    undo_command();
    EXPECT_EQ(difference(working_picture(), c.picture), 0);
    EXPECT_EQ(app.horizontal_scroll.nMax, std::max(0, c.picture.width + 10 - 300));
    EXPECT_EQ(app.modification_counter, 0);
    undo_command();
    EXPECT_EQ(difference(working_picture(), part_of(c.picture, c.crop)), 0);
  }

  Straight original{Image{6, 4, {}}, {}};
  Bytes rgba;
  for (unsigned i = 0; i < 24; ++i) {
    const std::uint8_t a = i % 3 == 0 ? 0 : 200;
    rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 10), 40, 90, a});
    original.image.pixels.push_back(make_colour(i * 10, 40, 90)), original.alpha.push_back(a);
  }
  ASSERT_EQ(open_picture(rgba_png(6, 4, rgba), "crop.png"), "");
  app.selection = Rect{1, 1, 5, 3};
  crop_command();
  Straight part{part_of(original.image, Rect{1, 1, 5, 3}), {}};
  for (int y = 1; y < 3; ++y)
    for (int x = 1; x < 5; ++x) part.alpha.push_back(original.alpha[y * 6 + x]);
  expect_document(part);
  step_backward();
  expect_document(original);
  step_forward();
  expect_document(part);
}

// Every effect and crop is a step: back, back, forward, and a new effect drops the steps ahead;
// Save keeps the history (back past it is modified again), Open starts a new one; the memory
// budget drops the oldest steps first and never fails an effect.
TEST_F(EditorTest, HistoryWalksBackAndForwardOverEffectsAndCrops) {
  const Image original = noisy_picture(150, 100);
  open_file(bmp_test::make_bmp24(original), "history.bmp");
  std::vector<Image> states{original};
  app.colour_chooser.rgbResult = RGB(9, 8, 7);
  for (const Rect r : {Rect{0, 0, 60, 40}, Rect{30, 20, 100, 90}, Rect{5, 50, 140, 95}}) {
    app.selection = r;
    apply_effect(states.size() == 2 ? EffectCode::fill : EffectCode::diffusion);
    states.push_back(working_picture());
  }
  app.selection = Rect{20, 10, 130, 80};
  crop_command();
  states.push_back(working_picture());
  const auto at_state = [&](std::size_t i) { return difference(working_picture(), states[i]) == 0; };
  const auto step_items = [] { return std::pair<bool, bool>(!grayed(kEditStepBackwardPosition), !grayed(kEditStepForwardPosition)); };
  EXPECT_EQ(step_items(), (std::pair<bool, bool>(true, false)));
  step_backward();
  EXPECT_TRUE(at_state(3));
  step_backward();
  EXPECT_TRUE(at_state(2));
  EXPECT_EQ(app.modification_counter, 2);
  EXPECT_EQ(step_items(), (std::pair<bool, bool>(true, true)));
  step_forward();
  EXPECT_TRUE(at_state(3));
  undo_command();
  EXPECT_TRUE(at_state(2));
  undo_command();
  EXPECT_TRUE(at_state(3)) << "Undo after an Undo that went back goes forward again";
  step_backward();
  app.selection = Rect{0, 0, 10, 10};
  apply_effect(EffectCode::fill);
  EXPECT_EQ(step_items(), (std::pair<bool, bool>(true, false))) << "the steps ahead are gone";
  step_backward();
  EXPECT_TRUE(at_state(2));

  lstrcpyW(app.file_name, wide(temp_path("history_saved.bmp")).c_str());
  save_image();
  EXPECT_EQ(app.modification_counter, 0);
  step_backward();
  EXPECT_TRUE(at_state(1));
  EXPECT_EQ(app.modification_counter, 1);
  EXPECT_NE(window_title().find("[*"), std::string::npos);
  step_forward();
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_EQ(window_title().find("[*"), std::string::npos);

  // A budget of about two of these steps: the oldest go, an effect still works.
  open_file(bmp_test::make_bmp24(original), "history.bmp");
  EXPECT_EQ(step_items(), (std::pair<bool, bool>(false, false))) << "Open starts a new history";
  app.history.set_limits(HistoryLimits{100, 2 * 100 * 100 * 3 + 1000});
  for (int i = 0; i < 4; ++i) {
    app.selection = Rect{i * 10, 0, i * 10 + 100, 100};
    apply_effect(EffectCode::diffusion);
  }
  EXPECT_EQ(app.history.steps(), 2u);
  app.history.set_limits(HistoryLimits{100, std::size_t{512} << 20});
  app.selection = Rect{};
}

}  // namespace
}  // namespace murkel

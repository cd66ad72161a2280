// The real editor windows built in-process: pictures keep their pixel
// format, the canvas redraw covers a canvas larger than the screen, and
// the scroll ranges follow the picture and the canvas size.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/startup.h"
#include "canvas/canvas_window.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

void put_u16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

// A BMP of `bpp` 8 (grey palette, index = x) or 24 (red = x, blue = y),
// bottom-up unless `top_down`.
std::string write_picture(const std::string& name, int width, int height, int bpp, bool top_down = false) {
  const int palette = bpp == 8 ? 256 : 0;
  const int row = ((width * bpp + 31) / 32) * 4;
  const std::uint32_t offset = 54 + 4 * palette;
  std::vector<std::uint8_t> file{'B', 'M'};
  put_u32(file, offset + row * height);
  put_u32(file, 0);
  put_u32(file, offset);
  put_u32(file, 40);
  put_u32(file, width);
  put_u32(file, top_down ? -height : height);
  put_u16(file, 1);
  put_u16(file, bpp);
  for (int i = 0; i < 6; ++i) put_u32(file, i == 1 ? row * height : 0);
  for (int i = 0; i < palette; ++i) put_u32(file, i * 0x010101u);
  for (int i = 0; i < height; ++i) {
    const int y = top_down ? i : height - 1 - i;
    std::vector<std::uint8_t> bytes(row, 0);
    for (int x = 0; x < width; ++x) {
      if (bpp == 8) {
        bytes[x] = x & 0xFF;
      } else {
        bytes[3 * x] = y & 0xFF;          // blue
        bytes[3 * x + 1] = 0x40;          // green
        bytes[3 * x + 2] = x & 0xFF;      // red
      }
    }
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  return path;
}

// Canvas client size by resizing the frame around it.
void size_canvas(int width, int height) {
  RECT frame{}, client{};
  GetWindowRect(app.main_window, &frame);
  GetClientRect(app.main_window, &client);
  const int extra_w = (frame.right - frame.left) - client.right;
  const int extra_h = (frame.bottom - frame.top) - client.bottom;
  // The canvas is one pixel wider than the client area and as high as the
  // client area less the status bar (plus one); its bars take their part.
  RECT canvas{};
  GetClientRect(app.canvas_window, &canvas);
  RECT canvas_window{};
  GetWindowRect(app.canvas_window, &canvas_window);
  const int bars_w = (canvas_window.right - canvas_window.left) - canvas.right;
  const int bars_h = (canvas_window.bottom - canvas_window.top) - canvas.bottom;
  MoveWindow(app.main_window, 0, 0, width + bars_w - 1 + extra_w, height + bars_h - 1 + app.status_height + extra_h,
             TRUE);
}

SCROLLINFO scroll_info(int bar) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  GetScrollInfo(app.canvas_window, bar, &info);
  return info;
}

class CanvasWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    init_application_state();
    create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  }
};

TEST_F(CanvasWindowTest, EmptyCanvasHasDisabledBarsAndNoPicture) {
  EXPECT_EQ(app.bitmap.bmWidth, 0);
  EXPECT_EQ(app.bitmap.bmHeight, 0);
  EXPECT_LE(scroll_info(SB_HORZ).nMax, 0);
  EXPECT_LE(scroll_info(SB_VERT).nMax, 0);
}

TEST_F(CanvasWindowTest, PaletteFileStaysEightBitsPerPixel) {
  const std::string path = write_picture("murkel_canvas_8bpp.bmp", 37, 21, 8);
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);

  DIBSECTION dib{};
  ASSERT_EQ(GetObjectA(GetCurrentObject(app.working_image, OBJ_BITMAP), sizeof(dib), &dib), int{sizeof(dib)});
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 8);
  EXPECT_EQ(app.bitmap.bmWidth, 37);
  EXPECT_EQ(app.bitmap.bmHeight, 21);
  EXPECT_EQ(GetPixel(app.working_image, 20, 3), RGB(20, 20, 20));

  char title[400] = {};
  GetWindowTextA(app.main_window, title, sizeof(title));
  EXPECT_EQ(std::string(title), std::string("MURKEL_Pro\x84\x9F[") + path + "]");
  EXPECT_EQ(app.modification_counter, 0);
}

// The loader leaves top-down files black under Wine; the editor fills them
// again, keeping their pixel format.
TEST_F(CanvasWindowTest, TopDownFilesKeepTheirPixels) {
  for (int bpp : {24, 8}) {
    const std::string path = write_picture("murkel_canvas_top_down.bmp", 40, 30, bpp, true);
    lstrcpyA(app.command_line_file_name, path.c_str());
    open_command_line_image(app.canvas_window);
    DIBSECTION dib{};
    GetObjectA(GetCurrentObject(app.working_image, OBJ_BITMAP), sizeof(dib), &dib);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, bpp);
    const COLORREF expected_top = bpp == 8 ? RGB(33, 33, 33) : RGB(33, 0x40, 0);
    const COLORREF expected_bottom = bpp == 8 ? RGB(7, 7, 7) : RGB(7, 0x40, 29);
    EXPECT_EQ(GetPixel(app.working_image, 33, 0), expected_top) << bpp << " bpp, top row";
    EXPECT_EQ(GetPixel(app.working_image, 7, 29), expected_bottom) << bpp << " bpp, bottom row";
  }
}

TEST_F(CanvasWindowTest, ScrollRangesFollowPictureAndCanvas) {
  const std::string path = write_picture("murkel_canvas_big.bmp", 1000, 800, 24);
  size_canvas(300, 200);
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);
  ASSERT_EQ(app.canvas_client.cx, 300);
  ASSERT_EQ(app.canvas_client.cy, 200);
  EXPECT_EQ(scroll_info(SB_HORZ).nMax, 710);
  EXPECT_EQ(scroll_info(SB_VERT).nMax, 610);

  // Line steps stop exactly at the maximum.
  for (int i = 0; i < 80; ++i) SendMessageA(app.canvas_window, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(app.scroll_x, 710);
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_PAGEUP, 0);
  EXPECT_EQ(app.scroll_x, 709);

  // Widening keeps the offset while the picture is still wider...
  size_canvas(500, 200);
  EXPECT_EQ(app.scroll_x, 709);
  EXPECT_EQ(scroll_info(SB_HORZ).nMax, 510);
  SendMessageA(app.canvas_window, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(app.scroll_x, 510);
  // ...and sets it to 0 once the picture fits.
  size_canvas(1010, 200);
  EXPECT_EQ(app.scroll_x, 0);
  EXPECT_LE(scroll_info(SB_HORZ).nMax, 0);
}

bool effect_items_enabled() {
  bool all = true;
  for (UINT position = 2; position <= 6; ++position) {
    all = all && (GetMenuState(app.edit_menu, position, MF_BYPOSITION) & MF_GRAYED) == 0;
  }
  return all;
}

bool effect_items_grayed() {
  bool all = true;
  for (UINT position = 2; position <= 6; ++position) {
    all = all && (GetMenuState(app.edit_menu, position, MF_BYPOSITION) & MF_GRAYED) != 0;
  }
  return all;
}

// Press and release at canvas client points, with the cursor where a person's would be.
void click_canvas(POINT press, POINT release) {
  POINT screen = press;
  ClientToScreen(app.canvas_window, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageA(app.canvas_window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
  screen = release;
  ClientToScreen(app.canvas_window, &screen);
  SetCursorPos(screen.x, screen.y);
  // The drag loop follows the cursor every 50 ms; wait for it to get there,
  // answering its status bar messages as the editor's message loop would.
  RECT window{};
  GetWindowRect(app.canvas_window, &window);
  const Point expected = clamp_drag_point(Point{screen.x, screen.y}, Point{window.left, window.top},
                                          Point{app.bitmap.bmWidth, app.bitmap.bmHeight},
                                          Point{app.scroll_x, app.scroll_y});
  for (int waited = 0; waited < 5000 && app.dragging; waited += 10) {
    if (app.drag_point_x == expected.x && app.drag_point_y == expected.y) break;
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  SendMessageA(app.canvas_window, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
}

// The effect items follow the selection: enabled from the press, grayed by
// the click that clears it; Undo is not touched.
TEST_F(CanvasWindowTest, SelectionEnablesAndTheClearingClickGraysTheEffectItems) {
  const std::string path = write_picture("murkel_canvas_select.bmp", 200, 150, 24);
  size_canvas(400, 300);
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);
  ASSERT_TRUE(effect_items_grayed());

  click_canvas({54, 74}, {15, 25});
  EXPECT_EQ(app.selection, (Rect{10, 20, 50, 70}));
  EXPECT_TRUE(effect_items_enabled());

  click_canvas({100, 100}, {100, 100});
  EXPECT_EQ(app.selection, Rect{});
  EXPECT_TRUE(effect_items_grayed());
  EXPECT_NE(GetMenuState(app.edit_menu, 0, MF_BYPOSITION) & MF_GRAYED, 0u) << "Undo stays as it was";

  // Past the picture's right and bottom edges the drag stops at its last pixel.
  click_canvas({30, 30}, {390, 290});
  EXPECT_EQ(app.selection, (Rect{25, 25, 200, 150}));
  click_canvas({0, 0}, {0, 0});
}

TEST_F(CanvasWindowTest, RedrawCoversCanvasLargerThanTheScreen) {
  const int screen_w = GetSystemMetrics(SM_CXSCREEN);
  const int screen_h = GetSystemMetrics(SM_CYSCREEN);
  // A frame cannot outgrow the screen here, its child can.
  MoveWindow(app.canvas_window, 0, 0, screen_w + 400, screen_h + 300, TRUE);
  ASSERT_GT(app.canvas_client.cx, screen_w + 300);
  ASSERT_GT(app.canvas_client.cy, screen_h + 200);

  HDC screen = GetDC(nullptr);
  HDC target = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, screen_w + 300, screen_h + 200);
  SelectObject(target, bitmap);
  PatBlt(target, 0, 0, screen_w + 300, screen_h + 200, BLACKNESS);
  full_redraw(target);
  EXPECT_EQ(GetPixel(target, screen_w + 250, screen_h + 150), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(target, screen_w + 250, 10), RGB(128, 128, 128));
  DeleteDC(target);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace murkel

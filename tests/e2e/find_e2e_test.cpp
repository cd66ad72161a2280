// End to end, Find and hide on the real editor: a screen with an address and
// a phone number, Ctrl+F, the fill, Hide, Save; the saved file has every
// pixel of both covered and the rest as it was.
#include <gtest/gtest.h>

#include <string>

#include "core/codecs/bmp_reader.h"
#include "e2e/driver.h"
#include "win32/text_screen.h"

namespace {

using e2e::Editor;

HWND button(HWND window, const std::string& caption) {
  for (HWND child : e2e::descendants(window, "Button"))
    if (e2e::window_text(child) == caption) return child;
  return nullptr;
}

TEST(FindE2e, CtrlFThenHideWithTheFillAndSave) {
  e2e::TempFolder folder;
  const std::string path = folder.file("screen.bmp");
  const text_screen::Screen screen = text_screen::mail_screen();
  e2e::write_file(path, e2e::bmp_file(screen.image));
  Editor editor(folder.path, path);
  ASSERT_TRUE(e2e::wait_until([&] { return editor.title() == "MURKEL_Pro─[" + path + "]"; }));

  editor.keys({VK_CONTROL, 'F'});
  std::vector<HWND> found;
  ASSERT_TRUE(e2e::wait_until([&] { return !(found = editor.windows("FINDHIDE")).empty(); }));
  const HWND window = found.front();
  EXPECT_EQ(e2e::window_text(window), "検出して隠す");
  const HWND hide = button(window, "隠す"), fill = button(window, "塗りつぶし");
  ASSERT_TRUE(hide && fill);
  ASSERT_TRUE(e2e::wait_until([&] { return IsWindowEnabled(hide) != FALSE; }, 60000)) << "the find did not end";
  e2e::click(fill);
  ASSERT_TRUE(e2e::wait_until([&] { return SendMessageA(fill, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  e2e::click(hide);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(window); }));
  ASSERT_TRUE(e2e::wait_until([&] { return editor.title() == "MURKEL_Pro─[*" + path + "]"; }));

  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  const std::string file = e2e::read_file(path);
  const murkel::DecodeResult saved =
      murkel::decode_bmp(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  ASSERT_TRUE(saved.ok()) << saved.error;
  const murkel::Image& picture = saved.image;
  // The fill colour at start is black: every pixel of both, white ones between the letters too.
  for (const murkel::Rect& secret : screen.secrets)
    for (std::int32_t y = secret.top; y < secret.bottom; ++y)
      for (std::int32_t x = secret.left; x < secret.right; ++x)
        ASSERT_EQ(picture.pixels[std::size_t(y) * picture.width + x], 0u) << x << "," << y << " left uncovered";
  // The words around them stay: the first line's start, the second line's time.
  long kept = 0, white = 0;
  for (std::int32_t y = 0; y < picture.height; ++y)
    for (std::int32_t x = 0; x < 15; ++x, ++white)
      kept += picture.pixels[std::size_t(y) * picture.width + x] == screen.image.pixels[std::size_t(y) * picture.width + x];
  EXPECT_EQ(kept, white);
  const murkel::Rect after = {screen.secrets[1].right + 12, screen.secrets[1].top, 500, screen.secrets[1].bottom};
  long unchanged = 0;
  for (std::int32_t y = after.top; y < after.bottom; ++y)
    for (std::int32_t x = after.left; x < after.right; ++x)
      unchanged += picture.pixels[std::size_t(y) * picture.width + x] ==
                   screen.image.pixels[std::size_t(y) * picture.width + x];
  EXPECT_EQ(unchanged, after.width() * after.height()) << "the time after the phone number was covered";
}

}  // namespace

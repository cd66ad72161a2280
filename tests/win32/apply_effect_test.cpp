// Effects in the real editor, in-process: the bulk transfer gives exactly the
// core's colours, a palette picture stays one, Undo restores a picture larger
// than the screen whole, and a block too large for memory changes nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/startup.h"
#include "app/texts.h"
#include "core/bmp_test_files.h"
#include "effects/effect_commands.h"
#include "effects/effects.h"
#include "imagefile/document_commands.h"

namespace murkel {
namespace {

// Every pixel its own colour, red differing from blue.
Image noisy_picture(int width, int height) {
  Image image{width, height, std::vector<Colour>(static_cast<size_t>(width) * height)};
  std::uint32_t state = 12345;
  for (Colour& c : image.pixels) {
    state = state * 1103515245u + 12345u;
    c = (state >> 8) & 0xFFFFFF;
  }
  return image;
}

// Writes the picture as a file of 24 or 32 bits per pixel and opens it.
void open_picture(const Image& image, int bits) {
  std::vector<std::vector<std::uint32_t>> rows(image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const Colour c = image.pixels[static_cast<size_t>(y) * image.width + x];
      rows[y].push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    }
  bmp_test::FileLayout layout;
  layout.width = image.width;
  layout.height = image.height;
  layout.bits = static_cast<std::uint16_t>(bits);
  layout.pixel_data = bmp_test::pack_rows(rows, bits, false);
  const bmp_test::Bytes file = bmp_test::build_file(layout);
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "murkel_effect_" + std::to_string(bits) + ".bmp";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);
}

// The working image's pixels as colours, top row first.
Image working_picture() {
  const int width = app.bitmap.bmWidth, height = app.bitmap.bmHeight;
  Image image{width, height, std::vector<Colour>(static_cast<size_t>(width) * height)};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(app.working_image, OBJ_BITMAP));
  EXPECT_EQ(GetDIBits(app.working_image, bitmap, 0, height, image.pixels.data(), &info, DIB_RGB_COLORS), height);
  swap_red_and_blue(image.pixels.data(), image.pixels.size());
  return image;
}

int bits_per_pixel(HDC surface) {
  BITMAP bitmap{};
  GetObjectA(GetCurrentObject(surface, OBJ_BITMAP), sizeof(bitmap), &bitmap);
  return bitmap.bmBitsPixel;
}

// Pixels whose components differ by more than `tolerance`, the first few reported.
int count_differences(const Image& actual, const Image& expected, int tolerance = 0) {
  int wrong = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i) {
    const Colour a = actual.pixels[i], e = expected.pixels[i];
    const bool within = std::abs(red_of(a) - red_of(e)) <= tolerance && std::abs(green_of(a) - green_of(e)) <= tolerance &&
                      std::abs(blue_of(a) - blue_of(e)) <= tolerance;
    if (!within && ++wrong <= 3) {
      ADD_FAILURE() << "pixel (" << i % expected.width << "," << i / expected.width << ") is " << std::hex
                    << actual.pixels[i] << ", expected " << expected.pixels[i];
    }
  }
  return wrong;
}

class ApplyEffectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    init_application_state();
    create_editor_windows(GetModuleHandleA(nullptr), SW_SHOW);
  }
};

TEST_F(ApplyEffectTest, TransferGivesTheCoreColoursOnTrueColourPictures) {
  const Image original = noisy_picture(70, 50);
  // Reaches the right and bottom edges, so mosaic, blur and diffusion read
  // past the picture; cells and tiles do not divide it.
  const Rect selection{13, 7, 70, 50};
  app.mosaic_cell_width = 9;
  app.mosaic_cell_height = 4;
  app.blur_level = 1;
  app.colour_chooser.rgbResult = RGB(12, 200, 77);
  const struct {
    EffectCode code;
    std::vector<Colour> block;
  } cases[] = {
      {EffectCode::mosaic, mosaic(original.view(), selection, 9, 4)},
      {EffectCode::blur, blur(original.view(), selection, 1)},
      {EffectCode::diffusion, diffusion(original.view(), selection)},
      {EffectCode::fill, fill(selection, RGB(12, 200, 77))},
  };
  for (int bits : {24, 32}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << bits << " bpp, effect " << static_cast<int>(c.code));
      open_picture(original, bits);
      app.selection = selection;
      apply_effect(c.code);
      Image expected = original;
      put_block(expected, selection, c.block);
      EXPECT_EQ(count_differences(working_picture(), expected), 0);
      EXPECT_EQ(app.modification_counter, 1);
    }
  }
}

// Whatever the seed, every row of the selection is a rotation of itself by
// at most half the level, and nothing outside the selection moves.
TEST_F(ApplyEffectTest, ScrambleRotatesEachRowOfTheSelection) {
  const Image original = noisy_picture(60, 30);
  const Rect selection{5, 3, 45, 28};
  open_picture(original, 24);
  app.selection = selection;
  app.scramble_level = 32;
  apply_effect(EffectCode::scramble);
  const Image result = working_picture();
  int moved_rows = 0;
  for (int y = 0; y < original.height; ++y) {
    const bool in_rows = y >= selection.top && y < selection.bottom;
    int shift_found = -1;
    for (int d = -16; d <= 15 && in_rows && shift_found < 0; ++d) {
      bool same = true;
      for (int x = selection.left; x < selection.right && same; ++x) {
        const int source = selection.left + ((x - selection.left + d) % 40 + 40) % 40;
        same = result.pixels[y * 60 + x] == original.pixels[y * 60 + source];
      }
      if (same) shift_found = d;
    }
    if (in_rows) EXPECT_GE(shift_found, -16) << "row " << y << " is not a rotation within the level";
    if (shift_found > 0 || shift_found < -1) ++moved_rows;
    for (int x = 0; x < original.width; ++x) {
      if (!in_rows || x < selection.left || x >= selection.right)
        ASSERT_EQ(result.pixels[y * 60 + x], original.pixels[y * 60 + x]) << "outside at " << x << "," << y;
    }
  }
  EXPECT_GT(moved_rows, 0);
}

// The platform maps each new colour to a colour of the table; Wine's mapping
// is approximate (it may take a neighbouring grey), hence the tolerance.
TEST_F(ApplyEffectTest, PalettePictureStaysPaletteWithItsOwnColours) {
  Image original{40, 20, std::vector<Colour>(800)};
  for (int i = 0; i < 800; ++i) original.pixels[i] = (i * 7 % 256) * 0x010101u;
  bmp_test::FileLayout layout;
  layout.width = 40;
  layout.height = 20;
  layout.bits = 8;
  for (Colour g = 0; g < 256; ++g) layout.palette.push_back(g * 0x010101u);
  std::vector<std::vector<std::uint32_t>> rows(20);
  for (int i = 0; i < 800; ++i) rows[i / 40].push_back(i * 7 % 256);
  layout.pixel_data = bmp_test::pack_rows(rows, 8, false);
  const bmp_test::Bytes file = bmp_test::build_file(layout);
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "murkel_effect_8.bmp";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  lstrcpyA(app.command_line_file_name, path.c_str());
  open_command_line_image(app.canvas_window);

  const Rect selection{3, 2, 33, 19};
  app.selection = selection;
  app.mosaic_cell_width = 10;
  app.mosaic_cell_height = 10;
  apply_effect(EffectCode::mosaic);
  Image expected = original;
  put_block(expected, selection, mosaic(original.view(), selection, 10, 10));
  EXPECT_EQ(count_differences(working_picture(), expected, 8), 0);
  EXPECT_EQ(bits_per_pixel(app.working_image), 8);
  undo_command();
  EXPECT_EQ(bits_per_pixel(app.working_image), 8) << "the undo copy keeps the format too";
  EXPECT_EQ(count_differences(working_picture(), original), 0);
}

TEST_F(ApplyEffectTest, UndoRestoresAPictureLargerThanTheScreenWhole) {
  const Image original = noisy_picture(GetSystemMetrics(SM_CXSCREEN) + 300, GetSystemMetrics(SM_CYSCREEN) + 200);
  open_picture(original, 24);
  app.selection = Rect{0, 0, original.width, original.height};
  app.colour_chooser.rgbResult = RGB(1, 2, 3);
  apply_effect(EffectCode::fill);
  Image filled = original;
  std::fill(filled.pixels.begin(), filled.pixels.end(), RGB(1, 2, 3));
  EXPECT_EQ(count_differences(working_picture(), filled), 0);
  undo_command();
  EXPECT_EQ(count_differences(working_picture(), original), 0);
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_EQ(GetCurrentObject(app.working_image, OBJ_BITMAP), app.loaded_bitmap) << "the bitmap follows its surface";
  undo_command();
  EXPECT_EQ(count_differences(working_picture(), filled), 0);
  EXPECT_EQ(app.modification_counter, 1);
}

// Presses OK on the editor's next message box and returns its text.
std::string answer_message_box(std::atomic<bool>& done) {
  std::string text;
  while (!done) {
    HWND box = FindWindowA("#32770", text::kDocumentCaption);
    if (box != nullptr) {
      char buffer[512] = {};
      GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
      text = buffer;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      break;
    }
    Sleep(20);
  }
  return text;
}

TEST_F(ApplyEffectTest, BlockTooLargeForMemoryIsReportedAndChangesNothing) {
  const Image original = noisy_picture(30, 20);
  open_picture(original, 24);
  app.selection = Rect{0, 0, 30, 20};
  apply_effect(EffectCode::fill);  // the document now has one change to keep
  const Image before = working_picture();

  // A selection far beyond the picture needs a block of gigabytes.
  app.selection = Rect{0, 0, 40000, 30000};
  std::atomic<bool> done{false};
  std::string message;
  std::thread answer([&] { message = answer_message_box(done); });
  apply_effect(EffectCode::mosaic);
  done = true;
  answer.join();
  EXPECT_EQ(message, text::kNotEnoughMemory);
  EXPECT_EQ(app.modification_counter, 1);
  EXPECT_EQ(count_differences(working_picture(), before), 0);
  undo_command();  // the undo copy still holds the picture before the fill
  EXPECT_EQ(count_differences(working_picture(), original), 0);
}

}  // namespace
}  // namespace murkel

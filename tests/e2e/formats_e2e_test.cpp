// End to end, pictures other than bitmaps on the real editor: a PNG and a
// JPEG that carry metadata are opened, worked and saved in their own format
// with nothing but their pixels; a sideways photo opens and saves upright; a
// GIF is saved through Save As as PNG; a
// PNG that cannot be replaced keeps its old bytes. Judged by titles, boxes,
// the screen and the files' bytes.
#include <gtest/gtest.h>

#include <string>

#include "core/codecs/orientation.h"
#include "core/document/transparency.h"
#include "e2e/driver.h"
#include "wic/wic_pictures.h"
#include "win32/picture_test_files.h"

namespace {

using e2e::Editor;
using murkel::Colour;
using murkel::Image;
using picture_test::Bytes;

const std::string kTitle = "MURKEL_Pro─[", kModified = "MURKEL_Pro─[*";

void expect_title(Editor& editor, const std::string& expected) {
  std::string title;
  e2e::wait_until([&] { return (title = editor.title()) == expected; });
  EXPECT_EQ(title, expected);
}

std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::optional<murkel::DecodedPicture> decode(const std::string& file) {
  return murkel::decode_picture_bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
}

// Opens `path`, selects from image (10, 10) to the picture's end, fills it (black) and saves.
void fill_and_save(Editor& editor, const std::string& path, const std::string& selection) {
  expect_title(editor, kTitle + path + "]");
  editor.drag({15, 15}, {400, 300}, selection);
  ASSERT_TRUE(editor.command_and_wait(2004));
  expect_title(editor, kModified + path + "]");
  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  expect_title(editor, kTitle + path + "]");
}

// An EXIF block (APP1) as cameras write it: the camera's name in the first directory, and a GPS
// directory with the latitude 35 deg 39' 29.17" N.
Bytes exif_segment() {
  Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const auto le = [&tiff](std::uint32_t v, int n) { for (int k = 0; k < n; ++k) tiff.push_back(v >> 8 * k & 0xFF); };
  le(2, 2);
  le(0x010F, 2), le(2, 2), le(14, 4), le(38, 4);   // Make, at 38
  le(0x8825, 2), le(4, 2), le(1, 4), le(52, 4);    // GPS directory, at 52
  le(0, 4);                                         // 38 bytes so far
  for (char c : std::string("SecretCam 5000")) tiff.push_back(c);  // 14 bytes, to 52
  le(2, 2);
  le(1, 2), le(2, 2), le(2, 4), tiff.push_back('N'), tiff.push_back(0), le(0, 2);  // GPSLatitudeRef
  le(2, 2), le(5, 2), le(3, 4), le(82, 4);                                        // GPSLatitude, at 82
  le(0, 4);                                                                        // to 82
  for (std::uint32_t v : {35u, 1u, 39u, 1u, 2917u, 100u}) le(v, 4);
  Bytes app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  app1[2] = static_cast<std::uint8_t>((app1.size() - 2) >> 8), app1[3] = static_cast<std::uint8_t>(app1.size() - 2);
  return app1;
}

// A transparent PNG with an author text and a time: after a fill and Save, the file is a PNG of
// the filled pixels, with every other pixel's colour and alpha and none of the chunks. Made
// read-only, a second Save is refused and keeps that file byte for byte.
TEST(FormatsE2e, PngWithTextAndTimeSavesOnlyItsPixels) {
  e2e::TempFolder folder;
  const std::string path = folder.file("screenshot.png");
  constexpr int kW = 40, kH = 30;
  std::vector<unsigned> samples;
  murkel::DecodedPicture original{Image{kW, kH, {}}, {}}, filled;
  for (int i = 0; i < kW * kH; ++i) {
    const unsigned r = i * 7 % 256, g = 255 - i % 256, b = i * 13 % 256, a = i % 4 == 0 ? 0 : (i % 4 == 1 ? 100 : 255);
    samples.insert(samples.end(), {r, g, b, a});
    original.image.pixels.push_back(murkel::make_colour(r, g, b)), original.alpha.push_back(a);
  }
  const Bytes text = bytes_of(std::string("Author") + '\0' + "Hanako Secretname");
  e2e::write_file(path, text_of(picture_test::png_file(kW, kH, 6, 8, samples,
                                                       {{"tEXt", text}, {"tIME", {0x07, 0xE9, 5, 17, 9, 30, 0}}})));
  Editor editor(folder.path, path);
  Image shown = original.image;
  murkel::put_over_white(shown, original.alpha);
  e2e::expect_shown(editor, shown);
  fill_and_save(editor, path, "(10,10)-(39,29)");

  filled = original;
  for (int y = 10; y < kH; ++y)
    for (int x = 10; x < kW; ++x) filled.image.pixels[y * kW + x] = 0, filled.alpha[y * kW + x] = 255;
  const std::string file = e2e::read_file(path);
  EXPECT_EQ(file.substr(0, 8), "\x89PNG\r\n\x1A\n");
  for (const std::string leak : {"tEXt", "tIME", "Author", "Secretname"})
    EXPECT_EQ(file.find(leak), std::string::npos) << leak;
  const auto saved = decode(file);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->image.pixels, filled.image.pixels);
  EXPECT_EQ(saved->alpha, filled.alpha);

  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(editor.command_and_wait(2000));  // mosaic
  editor.command(1002);
  const e2e::Dialog box = editor.wait_dialog();
  EXPECT_EQ(box.text, "画像を保存できません。元のファイルは変更されていません。\n\n" + path +
                          "\n\nファイルが読み取り専用か、書き込みが許可されていません。");
  Editor::press(box.hwnd, IDOK);
  expect_title(editor, kModified + path + "]");
  EXPECT_TRUE(e2e::read_file(path) == file) << "the old file was changed";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A JPEG with EXIF (camera, GPS position): after a fill and Save it is a JPEG of the filled
// picture without any of the EXIF block. Its flat blocks come back within the loss of two
// JPEG codings (16 levels: each coding moves a flat block by a few, edges by more).
TEST(FormatsE2e, JpegWithExifSavesOnlyItsPixels) {
  e2e::TempFolder folder;
  const std::string path = folder.file("photo.jpg");
  Image flat{64, 48, {}};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) flat.pixels.push_back(x < 32 ? 0x3070D0 : 0x40B050);
  Bytes jpeg;
  ASSERT_TRUE(murkel::encode_picture_bytes(flat, {}, murkel::PictureFormat::jpeg, jpeg));
  const Bytes exif = exif_segment();
  jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
  e2e::write_file(path, text_of(jpeg));
  ASSERT_TRUE(decode(text_of(jpeg))) << "the EXIF block spoils the test file";
  Editor editor(folder.path, path);
  fill_and_save(editor, path, "(10,10)-(63,47)");

  const std::string file = e2e::read_file(path);
  EXPECT_EQ(file.substr(0, 2), "\xFF\xD8");
  const std::string latitude_seconds("\x65\x0B\x00\x00\x64\x00\x00\x00", 8);
  for (const std::string leak : {std::string("Exif"), std::string("SecretCam"), latitude_seconds})
    EXPECT_EQ(file.find(leak), std::string::npos) << leak;
  const auto saved = decode(file);
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->image.pixels.size(), flat.pixels.size());
  EXPECT_TRUE(saved->alpha.empty());
  for (const auto [x, y, expected] : {std::tuple{2, 2, 0x3070D0u}, {50, 2, 0x40B050u}, {30, 30, 0u}, {60, 40, 0u}}) {
    const Colour c = saved->image.pixels[y * 64 + x];
    for (const auto channel : {murkel::red_of, murkel::green_of, murkel::blue_of})
      EXPECT_LE(std::abs(channel(c) - channel(expected)), 16) << x << "," << y << ": " << std::hex << c;
  }
}

// A phone photo stored sideways, its EXIF saying orientation 6, opens turned a quarter clockwise:
// shown upright, and saved upright without the tag. Flat quadrants on the JPEG's block grid
// come back within the loss of two codings.
TEST(FormatsE2e, SidewaysPhotoOpensAndSavesUpright) {
  e2e::TempFolder folder;
  const std::string path = folder.file("phone.jpg");
  Image stored{64, 32, {}};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      stored.pixels.push_back(y < 16 ? (x < 32 ? 0x3070D0 : 0x40B050) : (x < 32 ? 0xC08020 : 0x202020));
  Bytes jpeg;
  ASSERT_TRUE(murkel::encode_picture_bytes(stored, {}, murkel::PictureFormat::jpeg, jpeg));
  const Bytes exif = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                      1,    0,    0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};  // orientation 6
  jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
  e2e::write_file(path, text_of(jpeg));
  const Image upright{32, 64, murkel::upright_pixels(stored.pixels.data(), 64, 32, 6)};
  const auto close_to = [](Colour a, Colour b) {
    for (const auto channel : {murkel::red_of, murkel::green_of, murkel::blue_of})
      if (std::abs(channel(a) - channel(b)) > 16) return false;
    return true;
  };
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  for (const auto [x, y] : {std::pair{8, 16}, {24, 16}, {8, 48}, {24, 48}}) {
    const Colour want = upright.pixels[y * 32 + x];
    EXPECT_TRUE(e2e::wait_until([&] { return close_to(editor.pixel({5 + x, 5 + y}), want); }, 5000)) << x << "," << y;
  }
  EXPECT_EQ(editor.pixel({5 + 33, 10}), RGB(128, 128, 128)) << "32 pixels wide";
  ASSERT_TRUE(editor.command_and_wait(1002)) << "Save asked something";
  const std::string file = e2e::read_file(path);
  EXPECT_EQ(file.find("Exif"), std::string::npos);
  const auto saved = decode(file);
  ASSERT_TRUE(saved);
  ASSERT_EQ((std::pair{saved->image.width, saved->image.height}), (std::pair{32, 64}));
  for (const auto [x, y] : {std::pair{8, 16}, {24, 16}, {8, 48}, {24, 48}})
    EXPECT_TRUE(close_to(saved->image.pixels[y * 32 + x], upright.pixels[y * 32 + x])) << x << "," << y;
}

// A GIF is saved through Save As, which proposes its name with .png; the PNG keeps its transparency.
TEST(FormatsE2e, GifSavesThroughSaveAsAsPng) {
  e2e::TempFolder folder;
  const std::string path = folder.file("moving.gif");
  const std::vector<unsigned> indices = {0, 1, 2, 1, 0, 2, 2, 2, 1};
  e2e::write_file(path, text_of(picture_test::gif_file(3, 3, {0x0000FF, 0x00FF00, 0xFF0000}, 2, indices)));
  Editor editor(folder.path, path);
  expect_title(editor, kTitle + path + "]");
  editor.command(1002);
  const HWND dialog = editor.wait_dialog().hwnd;
  std::vector<HWND> edits;
  e2e::wait_until([&] { return !(edits = e2e::descendants(dialog, "Edit", true)).empty(); });
  ASSERT_FALSE(edits.empty());
  EXPECT_TRUE(e2e::window_text(edits[0]).ends_with("moving.png")) << e2e::window_text(edits[0]);
  e2e::set_window_text(edits[0], folder.file("moving.png"));
  Editor::press(dialog, IDOK);
  expect_title(editor, kTitle + folder.file("moving.png") + "]");
  const auto saved = decode(e2e::read_file(folder.file("moving.png")));
  ASSERT_TRUE(saved);
  const std::vector<std::uint8_t> alpha = {255, 255, 0, 255, 255, 0, 0, 0, 255};
  EXPECT_EQ(saved->alpha, alpha);
  EXPECT_EQ(saved->image.pixels[1], 0x00FF00u);
}

}  // namespace

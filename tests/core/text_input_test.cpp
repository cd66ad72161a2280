// Text the user hands the editor: number text of the settings fields (decimal, "&H", "&O", with their
// stops and 32-bit wrap) and the picture named as the command line's second quoted item.
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/codecs/picture_format.h"
#include "core/text/command_line.h"
#include "core/text/number_text.h"

namespace murkel {
namespace {

TEST(NumberToText, TruncatesSaturatesAndNeverGivesMinusZero) {
  const struct { double value; const char* text; } cases[] = {
      {10, "10"}, {0, "0"}, {-5, "-5"}, {4096, "4096"}, {2147483647.0, "2147483647"}, {-2147483648.0, "-2147483648"},
      {-0.0, "0"}, {-0.25, "0"}, {-0.999, "0"}, {0.5, "0"}, {12.9, "12"}, {-12.9, "-12"},
      {2147483648.0, "2147483647"}, {1e300, "2147483647"},
      {-2147483649.0, "-2147483648"}, {-std::numeric_limits<double>::infinity(), "-2147483648"},
      {std::numeric_limits<double>::quiet_NaN(), "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(number_to_text(c.value), c.text) << c.value;
}

TEST(TextToNumber, Examples) {
  const struct { const char* text; std::int32_t value; } cases[] = {
      // decimal and its stops
      {"12", 12}, {"12abc", 12}, {"007", 7}, {"", 0}, {" 12", 0}, {"+7", 0},
      {"12 34", 12}, {"12+3", 12}, {"12-3", 12}, {"4096", 4096},
      // signs
      {"-7", -7}, {"--7", 0}, {"-", 0}, {"-0", 0}, {"-&H10", 0},
      // hexadecimal, either case
      {"&H1F", 31}, {"&hff", 255}, {"&Hff", 255}, {"&haB", 171}, {"&H1G", 1}, {"&H", 0},
      {"&H-1", 0}, {"&H7FFFFFFF", 2147483647},
      // octal
      {"&O17", 15}, {"&o17", 15}, {"&o8", 0}, {"&O178", 15}, {"&X1", 0}, {"&", 0}, {"&1", 0},
      // "." ends the whole part
      {"12.5", 12}, {"-12.7", -12}, {".5", 0}, {"1.2.3", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(text_to_number(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextToNumber, SumsWrapAroundIn32Bits) {
  const struct { const char* text; std::int32_t value; } cases[] = {
      {"2147483647", 2147483647}, {"2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()}, {"4294967295", -1}, {"4294967296", 0},
      {"4294967306", 10}, {"&HFFFFFFFF", -1}, {"&H100000001", 1}, {"&O37777777777", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(text_to_number(c.text), c.value) << c.text;
}

TEST(TextToNumber, NullAndHighBytes) {
  EXPECT_EQ(text_to_number(nullptr), 0);
  // A double-byte character (full-width digit one in code page 932) is not a digit.
  EXPECT_EQ(text_to_number("\x82\x50"), 0);
  EXPECT_EQ(text_to_number("&H1\x82\x50"), 1);
}

TEST(CommandLineFileName, QuotedItems) {
  const struct { const char* line; const char* name; } cases[] = {
      // quotes at 0, 8, 10 and 16
      {R"("app.exe" "x.bmp")", "x.bmp"},
      {R"("app.exe" "a b.bmp")", "a b.bmp"},
      {R"("C:\Program Files\app.exe" "D:\pics\my picture.bmp")", "D:\\pics\\my picture.bmp"},
      {R"("app.exe""x.bmp")", "x.bmp"},
      {R"("app.exe" "")", ""},
      {R"("app.exe" --flag "x.bmp" tail)", "x.bmp"},
      // quotes after the fourth are ignored
      {R"("app.exe" "x.bmp" "y.bmp")", "x.bmp"},
      {R"("app.exe" "x.bmp" ")", "x.bmp"},
      // fewer than four quotes: nothing
      {R"(app.exe "x.bmp")", ""},
      {R"("app.exe" x.bmp)", ""},
      {R"("app.exe")", ""},
      {R"("app.exe" "x.bmp)", ""},
      {"app.exe", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(command_line_file_name(c.line), c.name) << c.line;
}

TEST(CommandLineFileName, OnlyTheFirst256BytesAreScannedOfACutLine) {
  using namespace std::string_literals;
  // The quoted program, padding, and the name's quotes at positions `third` and `fourth`.
  const struct { std::size_t third, fourth, total; std::string name; } cases[] = {
      {200, 255, 300, std::string(54, 'a')},  // last scanned position
      {250, 256, 300, ""},                    // closing quote just past the scan
      {255, 258, 259, ""},                    // within the copy but not scanned
      {256, 258, 300, ""},                    // both past the scan: only two quotes
  };
  for (const auto& c : cases) {
    std::string line = R"("app.exe" )";
    line.resize(c.total, 'a');
    line[c.third] = line[c.fourth % c.total] = '"';
    EXPECT_EQ(command_line_file_name(line), c.name) << c.third << ' ' << c.fourth;
  }
  // Far longer than the 260-byte copy; the name is inside the scan.
  EXPECT_EQ(command_line_file_name(R"("app.exe" "x.bmp" )" + std::string(5000, 'z') + R"("y")"), "x.bmp");
  for (std::size_t total : {259u, 260u, 261u}) {
    std::string line = R"("app.exe" "x.bmp")";
    line.resize(total, ' ');
    EXPECT_EQ(command_line_file_name(line), "x.bmp") << total;
  }
  // Exactly three quotes: the fourth lies beyond the scanned bytes of a long line.
  EXPECT_EQ(command_line_file_name(R"("app.exe" ")" + std::string(400, 'n') + R"(")"), "");
  EXPECT_EQ(command_line_file_name("\"app.exe\"\0\"x.bmp\""s), "");
  EXPECT_EQ(command_line_file_name("\"app.exe\" \"x.bmp\"\0\"y\""s), "x.bmp");
}

// The name's last extension, in any letter case, says the format; a dot in a folder's name does not.
TEST(PictureFileNames, ExtensionGivesTheFormatAndPngReplacesIt) {
  const struct { const char* path; PictureFormat format; const char* as_png; } cases[] = {
      {"C:\\a\\b.BMP", PictureFormat::bmp, "C:\\a\\b.png"}, {"x.png", PictureFormat::png, "x.png"},
      {"x.JpEg", PictureFormat::jpeg, "x.png"}, {"x.jpg", PictureFormat::jpeg, "x.png"},
      {"x.tar.gif", PictureFormat::gif, "x.tar.png"}, {"x.Tif", PictureFormat::tiff, "x.png"},
      {"x.tiff", PictureFormat::tiff, "x.png"}, {"x.jpe", PictureFormat::other, "x.png"},
      {"C:\\v1.5\\photo", PictureFormat::other, "C:\\v1.5\\photo.png"}, {"x.png.bak", PictureFormat::other, "x.png.png"},
      {"x.", PictureFormat::other, "x.png"}, {"", PictureFormat::other, ".png"}};
  for (const auto& c : cases) {
    EXPECT_EQ(format_of_name(c.path), c.format) << c.path;
    EXPECT_EQ(with_extension(c.path, ".png"), c.as_png) << c.path;
  }
}

// The editor's wide command line and names: counted in characters, so that a name of any script stays
// whole; an extension character outside ASCII is no letter of a format (U+FF50 is not 'P').
TEST(WideNames, CommandLineAndExtensionsCountInCharacters) {
  // Outside the macros, whose text of their arguments is a narrow string of the build's code page.
  const std::wstring name = L"C:\\café 한국어 Ελληνικά\\写真😀.BMP", as_png = L"C:\\café 한국어 Ελληνικά\\写真😀.png";
  EXPECT_EQ(command_line_file_name(L"\"app.exe\" \"" + name + L"\" \"y\""), name);
  const std::wstring long_name = std::wstring(235, L'写') + L".bmp";  // closing quote at 250: scanned
  EXPECT_EQ(command_line_file_name(L"\"app.exe\" \"" + long_name + L"\""), long_name);
  EXPECT_EQ(command_line_file_name(L"\"app.exe\" \"" + std::wstring(250, L'写') + L"\""), L"");  // at 261: not
  EXPECT_EQ(format_of_name(name), PictureFormat::bmp);
  EXPECT_EQ(with_extension(name, L".png"), as_png);
  EXPECT_EQ(format_of_name(L"x.bm\uFF50"), PictureFormat::other);
  EXPECT_EQ(with_extension(L"C:\\v1.5\\写真", L".png"), L"C:\\v1.5\\写真.png");
}

}  // namespace
}  // namespace murkel

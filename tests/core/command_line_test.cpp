// Start-up file name taken from the command line's second quoted item.
#include <string>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace murkel {
namespace {

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

// A command line of the quoted program, then padding, then a quoted name
// whose quotes stand at the given positions.
std::string line_with_quotes_at(std::size_t third, std::size_t fourth, std::size_t total) {
  std::string line = R"("app.exe" )";
  line.resize(total, 'a');
  line[third] = '"';
  if (fourth < total) line[fourth] = '"';
  return line;
}

TEST(CommandLineFileName, OnlyTheFirst256BytesAreScanned) {
  const struct { std::size_t third, fourth, total; std::string name; } cases[] = {
      {200, 255, 300, std::string(54, 'a')},  // last scanned position
      {250, 256, 300, ""},                    // closing quote just past the scan
      {255, 258, 259, ""},                    // within the copy but not scanned
      {256, 258, 300, ""},                    // both past the scan: only two quotes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(command_line_file_name(line_with_quotes_at(c.third, c.fourth, c.total)), c.name)
        << c.third << ' ' << c.fourth;
  }
}

TEST(CommandLineFileName, LongLinesAreCutAndAZeroByteEndsTheLine) {
  using namespace std::string_literals;
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

}  // namespace
}  // namespace murkel

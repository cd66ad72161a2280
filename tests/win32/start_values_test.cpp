// Text bytes the editor shows and the Application state's values after start-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/texts.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytes_of(const char* text, size_t size) {
  const auto* first = reinterpret_cast<const unsigned char*>(text);
  return Bytes(first, first + size);
}

Bytes bytes_of(const char* text) { return bytes_of(text, std::strlen(text)); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class StartValuesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { murkel::init_application_state(); }
};

TEST_F(StartValuesTest, TitlePrefixEndsInTheBoxDrawingDashAndBracket) {
  const Bytes expected{0x4D, 0x55, 0x52, 0x4B, 0x45, 0x4C, 0x5F, 0x50, 0x72, 0x6F, 0x84, 0x9F, 0x5B};
  EXPECT_EQ(bytes_of(murkel::text::kTitlePrefix), expected);
  EXPECT_EQ(bytes_of(murkel::text::kTitlePrefixModified), concat({expected, {0x2A}}));
  EXPECT_EQ(bytes_of(murkel::text::kAppTitle), bytes_of("MURKEL_Pro"));
  EXPECT_EQ(bytes_of(murkel::text::kDocumentCaption), bytes_of("MURKEL Pro"));
}

TEST_F(StartValuesTest, FileDialogFilterIsOneEntryEndedByAnEmptyOne) {
  using murkel::app;
  ASSERT_NE(app.file_dialog_filter, nullptr);
  EXPECT_EQ(app.file_dialog.lpstrFilter, app.file_dialog_filter);
  const Bytes description{0x83, 0x72, 0x83, 0x62, 0x83, 0x67, 0x83, 0x7D, 0x83, 0x62,
                          0x83, 0x76, 0x28, 0x2A, 0x2E, 0x62, 0x6D, 0x70, 0x29};
  const Bytes expected = concat({description, {0x00}, bytes_of("*.bmp"), {0x00, 0x00}});
  ASSERT_EQ(expected.size(), 27u);
  EXPECT_EQ(bytes_of(app.file_dialog_filter, 27), expected);
  EXPECT_EQ(std::string(app.file_dialog_filter + 20), "*.bmp");
}

TEST_F(StartValuesTest, HelpMessageNamesTheFileInQuotesAfterTwoLineFeeds) {
  const Bytes not_found{0x83, 0x77, 0x83, 0x8B, 0x83, 0x76, 0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, 0x82, 0xAA,
                        0x8C, 0xA9, 0x82, 0xC2, 0x82, 0xA9, 0x82, 0xE8, 0x82, 0xDC, 0x82, 0xB9, 0x82, 0xF1, 0x81, 0x42};
  const Bytes same_folder{0x82, 0xAA, 0x93, 0xAF, 0x82, 0xB6, 0x83, 0x74, 0x83, 0x48, 0x83, 0x8B, 0x83, 0x5F,
                          0x93, 0xE0, 0x82, 0xC9, 0x82, 0xA0, 0x82, 0xE9, 0x82, 0xA9, 0x8A, 0x6D, 0x94, 0x46,
                          0x82, 0xB5, 0x82, 0xC4, 0x82, 0xAD, 0x82, 0xBE, 0x82, 0xB3, 0x82, 0xA2, 0x81, 0x42};
  EXPECT_EQ(bytes_of(murkel::text::kHelpNotFound),
            concat({not_found, {0x0A, 0x0A, 0x22}, bytes_of("MURKEL_PRO_HELP.HLP"), {0x22}, same_folder}));
  EXPECT_EQ(bytes_of(murkel::text::kHelpFile), bytes_of("MURKEL_PRO_HELP.HLP"));
}

TEST_F(StartValuesTest, SettingsRecordsAndStatusEdgesHaveTheirStartValues) {
  using murkel::app;
  EXPECT_EQ(app.random.state, 1u);
  EXPECT_EQ(app.modification_counter, 0);
  EXPECT_EQ(app.mosaic_cell_width, 10);
  EXPECT_EQ(app.mosaic_cell_height, 10);
  EXPECT_EQ(app.blur_level, 2);
  EXPECT_EQ(app.scramble_level, 32);
  EXPECT_EQ(app.undo_toggle, 0);
  for (COLORREF colour : app.custom_colours) EXPECT_EQ(colour, 0x00FFFFFFu);

  EXPECT_EQ(app.colour_chooser.lStructSize, 36u);
  EXPECT_EQ(app.colour_chooser.Flags, 3u);
  EXPECT_EQ(app.colour_chooser.rgbResult, 0u);
  EXPECT_EQ(app.colour_chooser.lpCustColors, app.custom_colours);
  EXPECT_EQ(app.colour_chooser.hwndOwner, nullptr);

  EXPECT_EQ(app.file_dialog.lStructSize, 76u);
  EXPECT_STREQ(app.file_dialog.lpstrDefExt, "bmp");
  EXPECT_EQ(app.file_dialog.nMaxFile, 260u);
  EXPECT_EQ(app.file_dialog.nMaxFileTitle, 260u);
  EXPECT_EQ(app.file_dialog.nFilterIndex, 0u);
  EXPECT_EQ(app.file_dialog.Flags, 0u);
  EXPECT_EQ(app.file_dialog.lpstrFile, app.file_dialog_path);
  EXPECT_EQ(app.file_dialog.lpstrFileTitle, app.file_dialog_file_title);
  EXPECT_EQ(app.file_dialog.lpstrInitialDir, nullptr);
  EXPECT_EQ(app.file_dialog.lpstrTitle, nullptr);
  ASSERT_NE(app.file_dialog_path, nullptr);
  EXPECT_EQ(app.file_dialog_path[0], '\0');

  EXPECT_EQ(app.status_field_edges[0], 100);
  EXPECT_EQ(app.status_field_edges[1], 300);
  EXPECT_EQ(app.status_field_edges[2], 0);

  for (const SCROLLINFO* record : {&app.horizontal_scroll, &app.vertical_scroll}) {
    EXPECT_EQ(record->cbSize, 28u);
    EXPECT_EQ(record->fMask, 0x1Fu);
    EXPECT_EQ(record->nMax, 0);
    EXPECT_EQ(record->nPos, 0);
  }
  ASSERT_NE(app.title_buffer, nullptr);
  ASSERT_NE(app.file_name, nullptr);
  EXPECT_EQ(app.file_name[0], '\0');
}

}  // namespace

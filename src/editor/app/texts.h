// Every text the user sees, in one place: held as UTF-16 and handed to the
// wide (W) calls. One table per interface language (texts.cpp), Japanese or
// English, chosen once at start; the names and captions below are the same
// in every language.
#pragma once

namespace murkel {

namespace text {

inline constexpr wchar_t kAppTitle[] = L"MURKEL_Pro";
inline constexpr wchar_t kTitlePrefix[] = L"MURKEL_Pro─[";
inline constexpr wchar_t kTitlePrefixModified[] = L"MURKEL_Pro─[*";
inline constexpr wchar_t kTitleSuffix[] = L"]";
inline constexpr wchar_t kDocumentCaption[] = L"MURKEL Pro";
// The old help file, looked for beside the program.
inline constexpr wchar_t kHelpFile[] = L"MURKEL_PRO_HELP.HLP";
inline constexpr wchar_t kDefaultExtension[] = L"bmp";

}  // namespace text

// The texts of one interface language. Filters hold their entries one after
// the other, each ended by a zero, and end with an empty entry.
struct Texts {
  // Menu bar and drop-down menus.
  const wchar_t* menu_file;
  const wchar_t* menu_open;
  const wchar_t* menu_save;
  const wchar_t* menu_save_as;
  const wchar_t* menu_revert;
  const wchar_t* menu_exit;
  const wchar_t* menu_edit;
  const wchar_t* menu_undo;
  const wchar_t* menu_mosaic;
  const wchar_t* menu_blur;
  const wchar_t* menu_diffusion;
  const wchar_t* menu_scramble;
  const wchar_t* menu_fill;
  const wchar_t* menu_secure_mosaic;
  const wchar_t* menu_secure_blur;
  const wchar_t* menu_copy;
  const wchar_t* menu_paste;
  const wchar_t* menu_find;
  const wchar_t* menu_step_backward;
  const wchar_t* menu_step_forward;
  const wchar_t* menu_select_all;
  const wchar_t* menu_crop;
  const wchar_t* menu_view;
  const wchar_t* menu_zoom_in;
  const wchar_t* menu_zoom_out;
  const wchar_t* menu_actual_size;
  const wchar_t* menu_fit_to_window;
  const wchar_t* menu_settings;
  const wchar_t* menu_mosaic_settings;
  const wchar_t* menu_blur_settings;
  const wchar_t* menu_scramble_settings;
  const wchar_t* menu_fill_colour;
  const wchar_t* menu_help;
  const wchar_t* menu_help_contents;
  const wchar_t* menu_version;

  // Help: the HTML page beside the program, and what is said when it cannot be shown.
  const wchar_t* html_help_file;
  const wchar_t* help_cannot_show;  // followed by the path
  const wchar_t* help_not_found;

  // Documents.
  const wchar_t* cannot_open;
  const wchar_t* save_prompt;
  const wchar_t* untitled;  // the title's name for a picture without a file (a pasted one)
  const wchar_t* no_file_to_revert;
  const wchar_t* revert_prompt;

  // Clipboard.
  const wchar_t* nothing_to_paste;
  const wchar_t* cannot_paste;
  const wchar_t* cannot_copy;

  // Effects.
  const wchar_t* not_enough_memory;
  const wchar_t* cannot_crop;

  // The Find and hide window. The count goes between found_before and found_after.
  const wchar_t* find_title;
  const wchar_t* find_running;
  const wchar_t* find_found_before;
  const wchar_t* find_found_after;
  const wchar_t* find_nothing;
  const wchar_t* find_no_data;  // followed by the folders looked in
  const wchar_t* find_failed;
  const wchar_t* find_kinds[5];  // e-mail, phone, card, IP, key: the check boxes and the list's kinds
  const wchar_t* find_kind_word;
  const wchar_t* find_words_label;
  const wchar_t* find_column_kind;
  const wchar_t* find_column_text;
  const wchar_t* find_cover_mosaic;
  const wchar_t* find_cover_blur;
  const wchar_t* find_cover_fill;
  const wchar_t* find_hide;
  const wchar_t* find_limits;  // what is not found

  // A save that fails: the first line, the path, then the reason.
  const wchar_t* cannot_save;
  const wchar_t* save_denied;
  const wchar_t* save_no_folder;
  const wchar_t* save_in_use;
  const wchar_t* save_disk_full;
  const wchar_t* save_too_large;
  const wchar_t* save_no_memory;
  const wchar_t* save_unknown_format;
  const wchar_t* save_cannot_encode;
  const wchar_t* name_too_long_as_png;  // Save As cannot propose the name with .png

  // File dialogs: the start filter (bitmaps); Open, every picture first and
  // then each format; Save As, the formats written, bitmap first.
  const wchar_t* bitmap_filter;
  const wchar_t* open_filter;
  const wchar_t* save_filter;

  // Settings dialogs.
  const wchar_t* mosaic_settings_title;
  const wchar_t* mosaic_height_label;
  const wchar_t* mosaic_width_label;
  const wchar_t* blur_settings_title;
  const wchar_t* blur_level_1;
  const wchar_t* blur_level_2;
  const wchar_t* blur_level_3;
  const wchar_t* scramble_settings_title;
  const wchar_t* scramble_level_label;
  const wchar_t* ok;
  const wchar_t* cancel;

  // Information dialog.
  const wchar_t* information_title;
  const wchar_t* name_line;
  const wchar_t* version_line;
  const wchar_t* date_line;
  const wchar_t* author_line;
  const wchar_t* check_button;

  // Latest-version check.
  const wchar_t* check_caption;
  const wchar_t* no_winsock;
  const wchar_t* no_socket;
  const wchar_t* cannot_connect;
  const wchar_t* cannot_send;
  const wchar_t* no_reply;
  const wchar_t* no_version_in_reply;
  const wchar_t* verdict_latest;
  const wchar_t* verdict_newer_before;  // the version text goes between before and after
  const wchar_t* verdict_newer_after;
  const wchar_t* verdict_unreleased_before;
  const wchar_t* verdict_unreleased_after;
};

enum class Language { japanese, english };

// Japanese for a Japanese user interface language (a LANGID, as
// GetUserDefaultUILanguage gives it), English for any other.
[[nodiscard]] Language interface_language(unsigned short ui_language);

// The table of a language.
[[nodiscard]] const Texts& texts_of(Language language);

// Chooses the language of texts(); Japanese until then.
void use_language(Language language);

// The texts of the interface language chosen.
[[nodiscard]] const Texts& texts();

}  // namespace murkel

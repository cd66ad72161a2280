// The tables of texts, one per interface language.
#include "editor/app/texts.h"

#include "core/version.h"

namespace murkel {
namespace {

// Under the Japanese locale another program reading these through the ANSI
// calls gets the code page 932 bytes they always were (the blanks in the
// information lines are ideographic spaces).
constexpr Texts kJapanese{
    .menu_file = L"ファイル(&F)",
    .menu_open = L"ファイルを開く(&O)",
    .menu_save = L"上書き保存(&S)",
    .menu_save_as = L"名前をつけて保存(&A)",
    .menu_revert = L"元の状態に戻す(&R)",
    .menu_exit = L"アプリケーションの終了(&E)",
    .menu_edit = L"編集(&E)",
    .menu_undo = L"元に戻す(&U)",
    .menu_mosaic = L"モザイク(&M)",
    .menu_blur = L"ぼかし(&G)",
    .menu_diffusion = L"拡散化(&B)",
    .menu_scramble = L"スクランブル(&S)",
    .menu_fill = L"塗りつぶし(&P)",
    .menu_secure_mosaic = L"モザイク (安全)",
    .menu_secure_blur = L"ぼかし (安全)",
    .menu_copy = L"コピー",
    .menu_paste = L"貼り付け",
    .menu_find = L"検出して隠す...",
    .menu_step_backward = L"前の状態へ",
    .menu_step_forward = L"次の状態へ",
    .menu_select_all = L"すべて選択",
    .menu_crop = L"切り抜き",
    .menu_view = L"表示(&V)",
    .menu_zoom_in = L"拡大(&I)",
    .menu_zoom_out = L"縮小(&O)",
    .menu_actual_size = L"実際のサイズ(&A)",
    .menu_fit_to_window = L"ウィンドウに合わせる(&F)",
    .menu_settings = L"設定(&S)",
    .menu_mosaic_settings = L"モザイクの設定(&M)",
    .menu_blur_settings = L"ぼかしの設定(&G)",
    .menu_scramble_settings = L"スクランブルの設定(&S)",
    .menu_fill_colour = L"塗りつぶし色の指定(&P)",
    .menu_help = L"ヘルプ(&H)",
    .menu_help_contents = L"ヘルプ(&H)",
    .menu_version = L"バージョン情報(&V)",

    .html_help_file = L"help\\index.html",
    .help_cannot_show = L"ヘルプを表示できません。次のファイルをWebブラウザで開いてください。\n\n",
    .help_not_found =
        L"ヘルプファイルが見つかりません。\n\n\"MURKEL_PRO_HELP.HLP\"が同じフォルダ内にあるか確認してください。",

    .cannot_open = L"画像が開けません。",
    .save_prompt = L"画像は変更されています。保存しますか?",
    .untitled = L"無題",
    .no_file_to_revert = L"この画像はファイルから開いたものではないため、元の状態に戻せません。",
    .revert_prompt = L"この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?",

    .nothing_to_paste = L"クリップボードに画像がありません。",
    .cannot_paste = L"クリップボードの画像を貼り付けられません。",
    .cannot_copy = L"画像をクリップボードにコピーできません。",

    .not_enough_memory = L"メモリが足りないため、この効果を適用できません。\n\n"
                         L"画像は変更されていません。選択範囲を小さくしてお試しください。",
    .cannot_crop = L"メモリが足りないため、切り抜きできません。\n\n画像は変更されていません。",

    .find_title = L"検出して隠す",
    .find_running = L"検出中…",
    .find_found_before = L"見つかった項目: ",
    .find_found_after = L" 件。隠す前に一つずつ確かめてください。",
    .find_nothing = L"見つかりませんでした。",
    .find_no_data = L"文字認識の言語データ (eng.traineddata と jpn.traineddata) が見つかりません。探した場所:\n",
    .find_failed = L"画像の文字を読み取れませんでした。",
    .find_kinds = {L"メールアドレス", L"電話番号", L"カード番号", L"IPアドレス", L"キーとトークン"},
    .find_kind_word = L"語句",
    .find_words_label = L"語句:",
    .find_column_kind = L"種類",
    .find_column_text = L"内容",
    .find_cover_mosaic = L"モザイク (安全)",
    .find_cover_blur = L"ぼかし (安全)",
    .find_cover_fill = L"塗りつぶし",
    .find_hide = L"隠す",
    .find_limits = L"写真の中の文字、手書き、ごく小さい文字や傾いた文字は見つかりません。",

    .cannot_save = L"画像を保存できません。元のファイルは変更されていません。",
    .save_denied = L"ファイルが読み取り専用か、書き込みが許可されていません。",
    .save_no_folder = L"保存先のフォルダが見つかりません。",
    .save_in_use = L"ファイルが他のプログラムで使用中です。",
    .save_disk_full = L"ディスクの空き容量が足りません。",
    .save_too_large = L"画像が大きすぎるため、ビットマップファイルに保存できません。",
    .save_no_memory = L"メモリが足りないため、保存できません。",
    .save_unknown_format =
        L"この拡張子の形式では保存できません。ファイル名の拡張子を .bmp、.png、.jpg、.tif のいずれかにしてください。",
    .save_cannot_encode = L"この形式の画像を作成できません。",
    .name_too_long_as_png = L"このファイルは、拡張子を .png にすると名前が長すぎます。"
                            L"保存するファイルの名前を指定してください。",

    .bitmap_filter = L"ビットマップ(*.bmp)\0*.bmp\0",
    .open_filter = L"画像ファイル(*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff)\0"
                   L"*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff\0"
                   L"ビットマップ(*.bmp)\0*.bmp\0PNG(*.png)\0*.png\0JPEG(*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
                   L"GIF(*.gif)\0*.gif\0TIFF(*.tif;*.tiff)\0*.tif;*.tiff\0",
    .save_filter = L"ビットマップ(*.bmp)\0*.bmp\0PNG(*.png)\0*.png\0JPEG(*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
                   L"TIFF(*.tif;*.tiff)\0*.tif;*.tiff\0",

    .mosaic_settings_title = L"モザイクの設定",
    .mosaic_height_label = L"モザイクの縦幅:",
    .mosaic_width_label = L"モザイクの横幅:",
    .blur_settings_title = L"ぼかしの設定",
    .blur_level_1 = L"レベル1(軽いぼかし)",
    .blur_level_2 = L"レベル2(通常ぼかし)",
    .blur_level_3 = L"レベル3(散乱ぼかし)",
    .scramble_settings_title = L"スクランブルの設定",
    .scramble_level_label = L"スクランブルレベル:",
    .ok = L"OK",
    .cancel = L"Cancel",

    .information_title = L"バージョン情報",
    .name_line = L"正式ソフト名:MURKEL_Pro",
    .version_line = L"バージョン　:" MURKEL_VERSION_TEXT,
    .date_line = L"完成日　　　:2004年1月22日",
    .author_line = L"著作者　　　:Quorvel",
    .check_button = L"最新バージョンのチェック",

    .check_caption = L"最新バージョンのチェック",
    .no_winsock = L"Winsockが利用できません。",
    .no_socket = L"ソケットが作成できません。",
    .cannot_connect = L"接続できません。",
    .cannot_send = L"サーバーに送信ができません。",
    .no_reply = L"サーバーから応答がありませんでした。",
    .no_version_in_reply = L"サーバーの応答に最新バージョンの情報がありませんでした。",
    .verdict_latest = L"このソフトは最新バージョンです。",
    .verdict_newer_before = L"このソフトは最新バージョンではありません。現在の最新バージョンは",
    .verdict_newer_after = L"です。最新バージョンにアップデートしますか。",
    .verdict_unreleased_before = L"このソフトは現在公式リリースされていません。現在の公式バージョンは",
    .verdict_unreleased_after = L"です。",
};

// Plain ASCII, so that it reads the same through the ANSI calls of any code page.
constexpr Texts kEnglish{
    .menu_file = L"&File",
    .menu_open = L"&Open...",
    .menu_save = L"&Save",
    .menu_save_as = L"Save &As...",
    .menu_revert = L"&Revert",
    .menu_exit = L"E&xit",
    .menu_edit = L"&Edit",
    .menu_undo = L"&Undo",
    .menu_mosaic = L"&Mosaic",
    .menu_blur = L"&Blur",
    .menu_diffusion = L"&Diffusion",
    .menu_scramble = L"&Scramble",
    .menu_fill = L"&Fill",
    .menu_secure_mosaic = L"Mosaic (secure)",
    .menu_secure_blur = L"Blur (secure)",
    .menu_copy = L"&Copy",
    .menu_paste = L"&Paste",
    .menu_find = L"Find and hide...",
    .menu_step_backward = L"Step backward",
    .menu_step_forward = L"Step forward",
    .menu_select_all = L"Select all",
    .menu_crop = L"Crop",
    .menu_view = L"&View",
    .menu_zoom_in = L"Zoom &In",
    .menu_zoom_out = L"Zoom &Out",
    .menu_actual_size = L"&Actual Size",
    .menu_fit_to_window = L"&Fit to Window",
    .menu_settings = L"&Settings",
    .menu_mosaic_settings = L"&Mosaic Settings...",
    .menu_blur_settings = L"&Blur Settings...",
    .menu_scramble_settings = L"&Scramble Settings...",
    .menu_fill_colour = L"&Fill Colour...",
    .menu_help = L"&Help",
    .menu_help_contents = L"&Help",
    .menu_version = L"&About MURKEL_Pro",

    .html_help_file = L"help\\index.en.html",
    .help_cannot_show = L"The help cannot be shown. Please open this file in a web browser:\n\n",
    .help_not_found =
        L"The help file cannot be found.\n\nPlease check that \"MURKEL_PRO_HELP.HLP\" is in the same folder.",

    .cannot_open = L"The picture cannot be opened.",
    .save_prompt = L"The picture has been changed. Do you want to save it?",
    .untitled = L"Untitled",
    .no_file_to_revert = L"This picture was not opened from a file, so it cannot be reverted.",
    .revert_prompt = L"Reverting discards all the changes made so far. Do you want to revert to the file?",

    .nothing_to_paste = L"There is no picture on the clipboard.",
    .cannot_paste = L"The picture on the clipboard cannot be pasted.",
    .cannot_copy = L"The picture cannot be copied to the clipboard.",

    .not_enough_memory = L"There is not enough memory to apply this effect.\n\n"
                         L"The picture has not been changed. Please try a smaller selection.",
    .cannot_crop = L"There is not enough memory to crop the picture.\n\nThe picture has not been changed.",

    .find_title = L"Find and hide",
    .find_running = L"Finding...",
    .find_found_before = L"Items found: ",
    .find_found_after = L". Check each before hiding.",
    .find_nothing = L"Nothing found.",
    .find_no_data = L"The OCR language data (eng.traineddata and jpn.traineddata) was not found. Looked in:\n",
    .find_failed = L"The picture's text could not be read.",
    .find_kinds = {L"E-mail addresses", L"Phone numbers", L"Card numbers", L"IP addresses", L"Keys and tokens"},
    .find_kind_word = L"Words",
    .find_words_label = L"Words:",
    .find_column_kind = L"Kind",
    .find_column_text = L"Text",
    .find_cover_mosaic = L"Mosaic (secure)",
    .find_cover_blur = L"Blur (secure)",
    .find_cover_fill = L"Fill",
    .find_hide = L"Hide",
    .find_limits = L"Not found: text in photos, handwriting, very small or rotated text.",

    .cannot_save = L"The picture cannot be saved. The original file has not been changed.",
    .save_denied = L"The file is read-only, or writing to it is not allowed.",
    .save_no_folder = L"The folder to save in cannot be found.",
    .save_in_use = L"The file is in use by another program.",
    .save_disk_full = L"There is not enough free space on the disk.",
    .save_too_large = L"The picture is too large to be saved as a bitmap file.",
    .save_no_memory = L"There is not enough memory to save the picture.",
    .save_unknown_format = L"Pictures cannot be saved in the format of this extension. Please end the file name "
                           L"with .bmp, .png, .jpg or .tif.",
    .save_cannot_encode = L"A picture of this format cannot be made.",
    .name_too_long_as_png = L"With the extension .png, this file's name would be too long. "
                            L"Please give the name to save the picture under.",

    .bitmap_filter = L"Bitmap (*.bmp)\0*.bmp\0",
    .open_filter = L"Pictures (*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff)\0"
                   L"*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff\0"
                   L"Bitmap (*.bmp)\0*.bmp\0PNG (*.png)\0*.png\0JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
                   L"GIF (*.gif)\0*.gif\0TIFF (*.tif;*.tiff)\0*.tif;*.tiff\0",
    .save_filter = L"Bitmap (*.bmp)\0*.bmp\0PNG (*.png)\0*.png\0JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
                   L"TIFF (*.tif;*.tiff)\0*.tif;*.tiff\0",

    .mosaic_settings_title = L"Mosaic Settings",
    .mosaic_height_label = L"Cell height:",
    .mosaic_width_label = L"Cell width:",
    .blur_settings_title = L"Blur Settings",
    .blur_level_1 = L"Level 1 (light)",
    .blur_level_2 = L"Level 2 (normal)",
    .blur_level_3 = L"Level 3 (scattered)",
    .scramble_settings_title = L"Scramble Settings",
    .scramble_level_label = L"Scramble level:",
    .ok = L"OK",
    .cancel = L"Cancel",

    .information_title = L"About MURKEL_Pro",
    .name_line = L"Product name: MURKEL_Pro",
    .version_line = L"Version: " MURKEL_VERSION_TEXT,
    .date_line = L"Completed: January 22, 2004",
    .author_line = L"Author: Quorvel",
    .check_button = L"Check for the Latest Version",

    .check_caption = L"Latest Version Check",
    .no_winsock = L"Winsock is not available.",
    .no_socket = L"A socket cannot be created.",
    .cannot_connect = L"Cannot connect to the server.",
    .cannot_send = L"Cannot send to the server.",
    .no_reply = L"There was no reply from the server.",
    .no_version_in_reply = L"The server's reply held no information on the latest version.",
    .verdict_latest = L"This is the latest version.",
    .verdict_newer_before = L"This is not the latest version. The latest version is ",
    .verdict_newer_after = L". Do you want to update to the latest version?",
    .verdict_unreleased_before = L"This version has not been officially released. The current official version is ",
    .verdict_unreleased_after = L".",
};

const Texts* chosen = &kJapanese;

}  // namespace

Language interface_language(unsigned short ui_language) {
  constexpr unsigned short kJapanesePrimary = 0x11;  // LANG_JAPANESE
  return (ui_language & 0x3FF) == kJapanesePrimary ? Language::japanese : Language::english;
}

const Texts& texts_of(Language language) { return language == Language::japanese ? kJapanese : kEnglish; }

void use_language(Language language) { chosen = &texts_of(language); }

const Texts& texts() { return *chosen; }

}  // namespace murkel

// Every text the user sees, in one place. Written in UTF-8 here; the Windows
// build compiles string literals to code page 932 (-fexec-charset=CP932), so
// these reach the ANSI calls as Shift-JIS bytes.
#pragma once

#include "core/version.h"

namespace murkel::text {

inline constexpr char kAppTitle[] = "MURKEL_Pro";
inline constexpr char kTitlePrefix[] = "MURKEL_Pro─[";
inline constexpr char kTitlePrefixModified[] = "MURKEL_Pro─[*";
inline constexpr char kTitleSuffix[] = "]";
inline constexpr char kDocumentCaption[] = "MURKEL Pro";

// Menu bar and drop-down menus.
inline constexpr char kMenuFile[] = "ファイル(&F)";
inline constexpr char kMenuOpen[] = "ファイルを開く(&O)";
inline constexpr char kMenuSave[] = "上書き保存(&S)";
inline constexpr char kMenuSaveAs[] = "名前をつけて保存(&A)";
inline constexpr char kMenuRevert[] = "元の状態に戻す(&R)";
inline constexpr char kMenuExit[] = "アプリケーションの終了(&E)";
inline constexpr char kMenuEdit[] = "編集(&E)";
inline constexpr char kMenuUndo[] = "元に戻す(&U)";
inline constexpr char kMenuMosaic[] = "モザイク(&M)";
inline constexpr char kMenuBlur[] = "ぼかし(&G)";
inline constexpr char kMenuDiffusion[] = "拡散化(&B)";
inline constexpr char kMenuScramble[] = "スクランブル(&S)";
inline constexpr char kMenuFill[] = "塗りつぶし(&P)";
inline constexpr char kMenuSecureMosaic[] = "モザイク (安全)";
inline constexpr char kMenuSecureBlur[] = "ぼかし (安全)";
inline constexpr char kMenuCopy[] = "コピー";
inline constexpr char kMenuPaste[] = "貼り付け";
inline constexpr char kMenuSettings[] = "設定(&S)";
inline constexpr char kMenuMosaicSettings[] = "モザイクの設定(&M)";
inline constexpr char kMenuBlurSettings[] = "ぼかしの設定(&G)";
inline constexpr char kMenuScrambleSettings[] = "スクランブルの設定(&S)";
inline constexpr char kMenuFillColour[] = "塗りつぶし色の指定(&P)";
inline constexpr char kMenuHelp[] = "ヘルプ(&H)";
inline constexpr char kMenuHelpContents[] = "ヘルプ(&H)";
inline constexpr char kMenuVersion[] = "バージョン情報(&V)";

// Help: the old help file, and the HTML help that ships beside the program.
inline constexpr char kHelpFile[] = "MURKEL_PRO_HELP.HLP";
inline constexpr char kHtmlHelpFile[] = "help\\index.html";
inline constexpr char kHelpCannotShow[] = "ヘルプを表示できません。次のファイルをWebブラウザで開いてください。\n\n";
inline constexpr char kHelpNotFound[] =
    "ヘルプファイルが見つかりません。\n\n\"MURKEL_PRO_HELP.HLP\"が同じフォルダ内にあるか確認してください。";

// Documents.
inline constexpr char kCannotOpen[] = "画像が開けません。";
inline constexpr char kSavePrompt[] = "画像は変更されています。保存しますか?";
// The title's name for a picture that has no file yet (a pasted one).
inline constexpr char kUntitled[] = "無題";
inline constexpr char kNoFileToRevert[] =
    "この画像はファイルから開いたものではないため、元の状態に戻せません。";
inline constexpr char kRevertPrompt[] = "この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?";

// Clipboard.
inline constexpr char kNothingToPaste[] = "クリップボードに画像がありません。";
inline constexpr char kCannotPaste[] = "クリップボードの画像を貼り付けられません。";
inline constexpr char kCannotCopy[] = "画像をクリップボードにコピーできません。";

// Effects.
inline constexpr char kNotEnoughMemory[] =
    "メモリが足りないため、この効果を適用できません。\n\n画像は変更されていません。選択範囲を小さくしてお試しください。";

// A save that fails: the first line, the path, then the reason.
inline constexpr char kCannotSave[] = "画像を保存できません。元のファイルは変更されていません。";
inline constexpr char kSaveDenied[] = "ファイルが読み取り専用か、書き込みが許可されていません。";
inline constexpr char kSaveNoFolder[] = "保存先のフォルダが見つかりません。";
inline constexpr char kSaveInUse[] = "ファイルが他のプログラムで使用中です。";
inline constexpr char kSaveDiskFull[] = "ディスクの空き容量が足りません。";
inline constexpr char kSaveTooLarge[] = "画像が大きすぎるため、ビットマップファイルに保存できません。";
inline constexpr char kSaveNoMemory[] = "メモリが足りないため、保存できません。";
inline constexpr char kSaveUnknownFormat[] =
    "この拡張子の形式では保存できません。ファイル名の拡張子を .bmp、.png、.jpg、.tif のいずれかにしてください。";
inline constexpr char kSaveCannotEncode[] = "この形式の画像を作成できません。";

// Open/Save As filter: description, NUL, pattern, NUL, NUL — 27 bytes in CP932.
inline constexpr char kBitmapFilter[] = "ビットマップ(*.bmp)\0*.bmp\0";
inline constexpr char kDefaultExtension[] = "bmp";
// Open: every picture first, then each format. Save As: the formats it
// writes, bitmap first (and chosen at first). Each ends with an empty entry.
inline constexpr char kOpenFilter[] =
    "画像ファイル(*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff)\0*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff\0"
    "ビットマップ(*.bmp)\0*.bmp\0PNG(*.png)\0*.png\0JPEG(*.jpg;*.jpeg)\0*.jpg;*.jpeg\0GIF(*.gif)\0*.gif\0"
    "TIFF(*.tif;*.tiff)\0*.tif;*.tiff\0";
inline constexpr char kSaveFilter[] =
    "ビットマップ(*.bmp)\0*.bmp\0PNG(*.png)\0*.png\0JPEG(*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
    "TIFF(*.tif;*.tiff)\0*.tif;*.tiff\0";

// Settings dialogs.
inline constexpr char kMosaicSettingsTitle[] = "モザイクの設定";
inline constexpr char kMosaicHeightLabel[] = "モザイクの縦幅:";
inline constexpr char kMosaicWidthLabel[] = "モザイクの横幅:";
inline constexpr char kBlurSettingsTitle[] = "ぼかしの設定";
inline constexpr char kBlurLevel1[] = "レベル1(軽いぼかし)";
inline constexpr char kBlurLevel2[] = "レベル2(通常ぼかし)";
inline constexpr char kBlurLevel3[] = "レベル3(散乱ぼかし)";
inline constexpr char kScrambleSettingsTitle[] = "スクランブルの設定";
inline constexpr char kScrambleLevelLabel[] = "スクランブルレベル:";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Cancel";

// Information dialog (the blanks in the lines are ideographic spaces).
inline constexpr char kInformationTitle[] = "バージョン情報";
inline constexpr char kNameLine[] = "正式ソフト名:MURKEL_Pro";
inline constexpr char kVersionLine[] = "バージョン　:" MURKEL_VERSION_TEXT;
inline constexpr char kDateLine[] = "完成日　　　:2004年1月22日";
inline constexpr char kAuthorLine[] = "著作者　　　:Quorvel";
inline constexpr char kCheckButton[] = "最新バージョンのチェック";

// Latest-version check.
inline constexpr char kCheckCaption[] = "最新バージョンのチェック";
inline constexpr char kNoWinsock[] = "Winsockが利用できません。";
inline constexpr char kNoSocket[] = "ソケットが作成できません。";
inline constexpr char kCannotConnect[] = "接続できません。";
inline constexpr char kCannotSend[] = "サーバーに送信ができません。";
inline constexpr char kNoReply[] = "サーバーから応答がありませんでした。";
inline constexpr char kNoVersionInReply[] = "サーバーの応答に最新バージョンの情報がありませんでした。";
inline constexpr char kVerdictLatest[] = "このソフトは最新バージョンです。";
inline constexpr char kVerdictNewerBefore[] = "このソフトは最新バージョンではありません。現在の最新バージョンは";
inline constexpr char kVerdictNewerAfter[] = "です。最新バージョンにアップデートしますか。";
inline constexpr char kVerdictUnreleasedBefore[] = "このソフトは現在公式リリースされていません。現在の公式バージョンは";
inline constexpr char kVerdictUnreleasedAfter[] = "です。";

}  // namespace murkel::text

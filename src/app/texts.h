// Every text the user sees, in one place. Written in UTF-8 here; the Windows
// build compiles string literals to code page 932 (-fexec-charset=CP932), so
// these reach the ANSI calls as Shift-JIS bytes.
#pragma once

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
inline constexpr char kMenuSettings[] = "設定(&S)";
inline constexpr char kMenuMosaicSettings[] = "モザイクの設定(&M)";
inline constexpr char kMenuBlurSettings[] = "ぼかしの設定(&G)";
inline constexpr char kMenuScrambleSettings[] = "スクランブルの設定(&S)";
inline constexpr char kMenuFillColour[] = "塗りつぶし色の指定(&P)";
inline constexpr char kMenuHelp[] = "ヘルプ(&H)";
inline constexpr char kMenuHelpContents[] = "ヘルプ(&H)";
inline constexpr char kMenuVersion[] = "バージョン情報(&V)";

// Help.
inline constexpr char kHelpFile[] = "MURKEL_PRO_HELP.HLP";
inline constexpr char kHelpNotFound[] =
    "ヘルプファイルが見つかりません。\n\n\"MURKEL_PRO_HELP.HLP\"が同じフォルダ内にあるか確認してください。";

// Documents.
inline constexpr char kCannotOpen[] = "画像が開けません。";
inline constexpr char kSavePrompt[] = "画像は変更されています。保存しますか?";
inline constexpr char kRevertPrompt[] = "この動作を行うと今までの編集内容が無効になります。元の状態に戻しますか?";

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

// Open/Save As filter: description, NUL, pattern, NUL, NUL — 27 bytes in CP932.
inline constexpr char kBitmapFilter[] = "ビットマップ(*.bmp)\0*.bmp\0";
inline constexpr char kDefaultExtension[] = "bmp";

}  // namespace murkel::text

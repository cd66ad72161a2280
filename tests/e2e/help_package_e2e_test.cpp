// End to end: Help opens the old help file beside the program, otherwise the
// HTML help in the browser, and tells of a missing help only when neither is
// there; the package for Windows users holds what it must, its program
// carries its manifest, and, unpacked into a folder with Japanese characters
// and blanks in its name, starts and opens its help.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace {

using e2e::Editor;

constexpr WORD kHelp = 4001;

void copy_file(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) throw std::runtime_error("cannot copy " + from);
}

TEST(HelpE2e, OldHelpFileElseHtmlHelpElseTheMessage) {
  e2e::BrowserRecorder browser;
  e2e::TempFolder current, beside;  // the editor's current folder, and the program's own
  const std::string program = beside.file("murkel.exe");
  copy_file(Editor::bin_folder() + "\\murkel.exe", program);
  e2e::write_file(current.file("MURKEL_PRO_HELP.HLP"), "help");  // not beside the program: it does not count
  Editor editor(current.path, std::nullopt, program);

  editor.command(kHelp);
  const e2e::Dialog box = editor.wait_dialog();
  EXPECT_EQ(box.caption + "|" + box.text,
            "MURKEL_Pro|ヘルプファイルが見つかりません。\n\n\"MURKEL_PRO_HELP.HLP\"が同じフォルダ内にあるか確認してください。");
  Editor::press(box.hwnd, IDOK);
  ASSERT_TRUE(e2e::wait_until([&] { return !IsWindow(box.hwnd); }));

  // The HTML help, through Wine's browser setting.
  CreateDirectoryA(beside.file("help").c_str(), nullptr);
  copy_file(Editor::bin_folder() + "\\help\\index.html", beside.file("help\\index.html"));
  EXPECT_TRUE(editor.command_and_wait(kHelp, 5000)) << "a box of the editor is open";
  EXPECT_EQ(browser.addresses(), e2e::file_address(beside.file("help\\index.html")) + "\n");

  // The old help file beside the program goes first, to the shell's viewer for it.
  e2e::write_file(beside.file("MURKEL_PRO_HELP.HLP"), "help");
  EXPECT_TRUE(editor.command_and_wait(kHelp, 5000)) << "a box of the editor is open";
  EXPECT_TRUE(e2e::wait_until([&] {
    const std::vector<std::string> started = editor.started_programs();
    return std::find(started.begin(), started.end(), "winhlp32.exe") != started.end();
  })) << "no help viewer started";
  EXPECT_EQ(browser.addresses(), e2e::file_address(beside.file("help\\index.html")) + "\n") << "no second page";
}

// Every file under `folder`, by its path inside it.
std::set<std::string> files_under(const std::string& folder, const std::string& prefix = "") {
  std::set<std::string> files;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(prefix + name);
    else files.merge(files_under(folder + "\\" + name, prefix + name + "\\"));
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return files;
}

// A string value of the version resource's block `block`.
std::string version_value(const std::vector<char>& info, const std::string& block, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = "\\StringFileInfo\\" + block + "\\" + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return "(none)";
  return std::string(value, length ? length - 1 : 0);
}

TEST(PackageE2e, HoldsWhatItMustAndItsProgramStartsAndOpensItsHelp) {
  const std::string name = std::string("MURKEL_Pro-1.2.0.0-win") + (sizeof(void*) == 8 ? "64" : "32");
  std::string unpacked = "Z:" MURKEL_PACKAGE_TEST_DIR "/" + name;
  std::replace(unpacked.begin(), unpacked.end(), '/', '\\');
  // The programs, the Japanese and the English help and each picture they show, the OCR's language
  // data and licences, the read-me and the licence; nothing else.
  std::set<std::string> expected = {"murkel.exe",
                                    "murkel-cli.exe",
                                    "readme.txt",
                                    "LICENSE.txt",
                                    "tessdata\\eng.traineddata",
                                    "tessdata\\jpn.traineddata",
                                    "licences\\Tesseract-LICENSE.txt",
                                    "licences\\Leptonica-LICENSE.txt"};
  for (const std::string page : {"index.html", "index.en.html"}) {
    const std::string help = e2e::read_file(unpacked + "\\help\\" + page);
    expected.insert("help\\" + page);
    const std::regex picture("src=\"([^\"]+)\"");
    for (std::sregex_iterator i(help.begin(), help.end(), picture), end; i != end; ++i) expected.insert("help\\" + (*i)[1].str());
  }
  EXPECT_GT(expected.size(), 30u) << "the help shows its pictures";
  EXPECT_EQ(files_under(unpacked), expected);
  for (const char* program : {"\\murkel.exe", "\\murkel-cli.exe"})
    EXPECT_TRUE(e2e::read_file(unpacked + program) == e2e::read_file(Editor::bin_folder() + program)) << program;
  EXPECT_EQ(e2e::read_file(unpacked + "\\LICENSE.txt"), e2e::read_file("Z:" MURKEL_SOURCE_DIR "/LICENSE.txt"));
  EXPECT_TRUE(e2e::read_file(unpacked + "\\tessdata\\jpn.traineddata") ==
              e2e::read_file(Editor::bin_folder() + "\\tessdata\\jpn.traineddata"));
  EXPECT_NE(e2e::read_file(unpacked + "\\licences\\Tesseract-LICENSE.txt").find("Apache License"), std::string::npos);
  // The read-me is Japanese text in code page 932 with CRLF line ends.
  const std::string readme = e2e::read_file(unpacked + "\\readme.txt");
  EXPECT_EQ(readme.rfind("MURKEL_Pro 1.2.0.0\r\n", 0), 0u);
  EXPECT_NE(readme.find("塗りつぶし"), std::string::npos);
  EXPECT_GT(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, readme.data(), static_cast<int>(readme.size()), nullptr, 0), 0);
  EXPECT_EQ(std::count(readme.begin(), readme.end(), '\n'), static_cast<long>(std::regex_replace(readme, std::regex("[^\r]"), "").size()));

  // The version resource: 1.2.0.0 in the fixed part and in the Japanese and the neutral block.
  const std::string exe = unpacked + "\\murkel.exe";
  std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), nullptr));
  ASSERT_FALSE(info.empty()) << "no version resource";
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                fixed->dwProductVersionLS}), std::vector<DWORD>({0x10002, 0, 0x10002, 0}));
  for (const char* block : {"041104B0", "000004B0"}) {
    EXPECT_EQ(version_value(info, block, "ProductName") + " " + version_value(info, block, "FileVersion") + " " +
                  version_value(info, block, "ProductVersion"), "MURKEL_Pro 1.2.0.0 1.2.0.0") << block;
  }
  EXPECT_EQ(version_value(info, "041104B0", "FileDescription"), "MURKEL_Pro ビットマップの一部を隠す画像エディタ");

  // The application manifest: Common Controls 6, per-monitor v2 DPI awareness with the system-aware
  // fallback, Windows 7, 8, 8.1 and 10/11, the program's own processor.
  const HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  const HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr) << "no manifest";
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                             SizeofResource(image, found));
  FreeLibrary(image);
  const std::vector<std::string> parts = {
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">true</dpiAware>",
      ">PerMonitorV2, System</dpiAwareness>", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
      std::string("processorArchitecture=\"") + (sizeof(void*) == 8 ? "amd64" : "x86") + "\""};
  for (const std::string& part : parts) EXPECT_NE(manifest.find(part), std::string::npos) << part;

  // Started from there, the program opens the help beside it.
  e2e::BrowserRecorder browser;
  e2e::TempFolder current;
  Editor editor(current.path, std::nullopt, exe);
  EXPECT_EQ(editor.title(), "MURKEL_Pro");
  EXPECT_TRUE(editor.command_and_wait(kHelp, 5000));
  EXPECT_EQ(browser.addresses(), e2e::file_address(unpacked + "\\help\\index.html") + "\n");
}

}  // namespace

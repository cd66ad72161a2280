// murkel-cli's Windows build, started as a user starts it (murkel-cli.exe
// beside this test), on files whose names only UTF-16 holds: photos through
// WIC come out upright and without their metadata, and a batch goes on past
// a damaged file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "wic/wic_pictures.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_all(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

fs::path beside_this_program(const wchar_t* name) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return fs::path(self).parent_path() / name;
}

// Runs murkel-cli.exe with the arguments, quoted; its error stream goes to
// a file. Returns its exit status.
int run(const std::vector<std::wstring>& args, const fs::path& errors) {
  std::wstring line = L"\"" + beside_this_program(L"murkel-cli.exe").wstring() + L"\"";
  for (const std::wstring& a : args) line += L" \"" + a + L"\"";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE err = CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = err;
  startup.hStdOutput = err;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(err);
    return -1;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(err);
  return static_cast<int>(status);
}

// A 20 x 40 JPEG stored on its side: the left 4 columns red, the rest blue,
// with an orientation-6 Exif segment that also holds a GPS pointer and a
// colour-profile segment, both with marked text.
Bytes side_jpeg() {
  murkel::Image image{20, 40, std::vector<murkel::Colour>(800, murkel::make_colour(0, 0, 255))};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 4; ++x) image.pixels[y * 20 + x] = murkel::make_colour(255, 0, 0);
  Bytes jpeg;
  EXPECT_TRUE(murkel::encode_picture_bytes(image, {}, murkel::PictureFormat::jpeg, jpeg, 100));
  const std::string exif("Exif\0\0MM\0*\0\0\0\x08\0\x02\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                         "\x88\x25\0\x04\0\0\0\x01\0\0\0\x26\0\0\0\0SECRET GPS", 54);
  const std::string icc = std::string("ICC_PROFILE\0\x01\x01", 14) + "SECRET profile";
  for (const std::string& segment : {icc, exif}) {
    const Bytes marker = {0xFF, std::uint8_t(segment[0] == 'E' ? 0xE1 : 0xE2), std::uint8_t((segment.size() + 2) >> 8),
                          std::uint8_t(segment.size() + 2)};
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    jpeg.insert(jpeg.begin() + 2, marker.begin(), marker.end());
  }
  return jpeg;
}

class WindowsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (L"murkel_cli_\u5199\u771f_" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// Names beyond any code page (Japanese, Greek, an emoji outside the BMP):
// each output is upright (the top rows red, the rest blue; the rectangle
// filled green at the top right), holds none of the input's metadata, and
// the one output format WIC has no encoder for is refused.
TEST_F(WindowsCli, PhotosOfAnyNameComeUprightWithoutMetadata) {
  const fs::path in = dir_ / L"\u5199\u771f_\u03a9_\U0001F600.jpg";
  write_all(in, side_jpeg());
  for (const wchar_t* name : {L"\u51fa\u529b_\U0001F600.png", L"\u51fa\u529b.JPG"}) {
    const fs::path out = dir_ / name;
    SCOPED_TRACE(reinterpret_cast<const char*>(out.filename().u8string().c_str()));
    // The rectangle is in the upright picture's coordinates (40 x 20).
    const int status = run({in.wstring(), out.wstring(), L"--rect", L"36,0,40,2", L"--fill", L"00FF00"}, dir_ / L"err.txt");
    const Bytes err = read_all(dir_ / L"err.txt");
    ASSERT_EQ(status, 0) << std::string(err.begin(), err.end());
    const Bytes file = read_all(out);
    EXPECT_EQ(std::search(file.begin(), file.end(), "SECRET", "SECRET" + 6), file.end());
    EXPECT_EQ(std::search(file.begin(), file.end(), "Exif", "Exif" + 4), file.end());
    const std::optional<murkel::DecodedPicture> read = murkel::decode_picture_bytes(file.data(), file.size());
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->image.width, 40);
    ASSERT_EQ(read->image.height, 20);
    const murkel::Colour top_left = read->image.pixels[5], middle = read->image.pixels[10 * 40 + 20];
    EXPECT_GT(murkel::red_of(top_left), 200);
    EXPECT_LT(murkel::blue_of(top_left), 60);
    EXPECT_LT(murkel::red_of(middle), 60);
    EXPECT_GT(murkel::blue_of(middle), 200);
    EXPECT_GT(murkel::green_of(read->image.pixels[39]), 200);
  }
  EXPECT_EQ(run({in.wstring(), (dir_ / L"x.webp").wstring()}, dir_ / L"err.txt"), 2);
  EXPECT_FALSE(fs::exists(dir_ / L"x.webp"));
}

// A batch into a folder of such a name: the good files are written, the
// damaged one is named in one line, and the status is 1.
TEST_F(WindowsCli, BatchOfAnyNameGoesOnPastADamagedFile) {
  const Bytes jpeg = side_jpeg();
  write_all(dir_ / L"a_\U0001F600.jpg", jpeg);
  write_all(dir_ / L"b_\u03a9.jpg", Bytes(jpeg.begin(), jpeg.begin() + 200));
  write_all(dir_ / L"c.jpg", jpeg);
  const fs::path out = dir_ / L"\u51fa\u529b";
  EXPECT_EQ(run({L"--out-dir", out.wstring(), L"--jobs", L"2", (dir_ / L"a_\U0001F600.jpg").wstring(),
                 (dir_ / L"b_\u03a9.jpg").wstring(), (dir_ / L"c.jpg").wstring(), L"--format", L"png"},
                dir_ / L"err.txt"),
            1);
  EXPECT_TRUE(fs::exists(out / L"a_\U0001F600.png"));
  EXPECT_TRUE(fs::exists(out / L"c.png"));
  EXPECT_FALSE(fs::exists(out / L"b_\u03a9.png"));
  const Bytes err = read_all(dir_ / L"err.txt");
  const std::string text(err.begin(), err.end());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_NE(text.find(reinterpret_cast<const char*>(u8"b_\u03a9.jpg")), std::string::npos) << text;
}

}  // namespace

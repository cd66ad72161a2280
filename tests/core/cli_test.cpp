// End-to-end tests of murkel-cli: the built program run on real files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bmp_test_files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using bmp_test::Bytes;
using murkel::Colour;
using murkel::Image;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

Bytes read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_all(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string text_of(const fs::path& path) {
  const Bytes b = read_all(path);
  return std::string(b.begin(), b.end());
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("murkel_cli_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program with its output streams caught in files outside the work folder.
  RunResult run(const std::vector<std::string>& args) {
    std::vector<std::string> all = {MURKEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out_path = (dir_ / "stdout.txt").string();
    const std::string err_path = (dir_ / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    RunResult result;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argv[0];
      return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
    result.out = text_of(out_path);
    result.err = text_of(err_path);
    return result;
  }

  std::string path(const std::string& name) const { return (dir_ / "work" / name).string(); }

  std::vector<std::string> work_files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / "work")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

Image image(int w, int h, std::vector<Colour> pixels) { return Image{w, h, std::move(pixels)}; }
Colour rgb(int r, int g, int b) { return murkel::make_colour(r, g, b); }

// The output must be the 24-bit file of exactly this picture.
void expect_output(const std::string& file, const Image& expected) {
  EXPECT_EQ(read_all(file), bmp_test::make_bmp24(expected));
}

TEST_F(Cli, MosaicIsBitExact) {
  struct Case {
    const char* name;
    Image input;
    std::vector<std::string> ops;
    Image expected;
  };
  const Case cases[] = {
      // Two 2 x 2 cells; averages 2.5 -> 2, 1.25 -> 1, 10.5 -> 10, 3.5 -> 4, 0.5 -> 0.
      {"whole picture, ties to even",
       image(4, 2, {rgb(0, 1, 255), rgb(1, 1, 255), rgb(10, 3, 0), rgb(10, 3, 0),  //
                    rgb(4, 1, 255), rgb(5, 2, 255), rgb(10, 3, 0), rgb(12, 5, 2)}),
       {"--mosaic", "2"},
       image(4, 2, {rgb(2, 1, 255), rgb(2, 1, 255), rgb(10, 4, 0), rgb(10, 4, 0),  //
                    rgb(2, 1, 255), rgb(2, 1, 255), rgb(10, 4, 0), rgb(10, 4, 0)})},
      // The 2 x 2 cell reaches below the picture: that row counts as white.
      // (10 + 20 + 255 + 255) / 4 = 135, (0 + 4 + 510) / 4 = 128.5 -> 128.
      {"cell past the picture edge, pixels outside the rect kept",
       image(3, 1, {rgb(1, 2, 3), rgb(10, 0, 100), rgb(20, 4, 50)}),
       {"--rect", "1,0,3,1", "--mosaic", "2x2"},
       image(3, 1, {rgb(1, 2, 3), rgb(135, 128, 165), rgb(135, 128, 165)})},
      // Cells 1 x 3 over a 2 x 1 selection: white below, 2 of 3 pixels outside.
      {"tall cells", image(2, 1, {rgb(0, 0, 0), rgb(255, 0, 30)}), {"--mosaic", "1x3"},
       image(2, 1, {rgb(170, 170, 170), rgb(255, 170, 180)})},
  };
  for (const Case& c : cases) {
    write_all(path("in.bmp"), bmp_test::make_bmp24(c.input));
    std::vector<std::string> args = {path("in.bmp"), path("out.bmp")};
    args.insert(args.end(), c.ops.begin(), c.ops.end());
    const RunResult r = run(args);
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.err, "") << c.name;
    SCOPED_TRACE(c.name);
    expect_output(path("out.bmp"), c.expected);
  }
}

TEST_F(Cli, OperationsRunLeftToRightOnTheSamePicture) {
  write_all(path("in.bmp"), bmp_test::make_bmp24(image(4, 1, {0, 0, 0, 0})));
  // The fill's white takes part in the mosaic that follows: (255 + 0) / 2 = 127.5 -> 128.
  const RunResult r = run({path("in.bmp"), path("out.bmp"), "--rect", "0,0,1,1", "--fill", "FFFFFF", "--rect",
                           "0,0,2,1", "--mosaic", "2x1", "--rect", "3,0,4,1", "--fill", "#0a0B0c"});
  ASSERT_EQ(r.status, 0) << r.err;
  expect_output(path("out.bmp"), image(4, 1, {rgb(128, 128, 128), rgb(128, 128, 128), 0, rgb(10, 11, 12)}));
}

TEST_F(Cli, FillTakesHexWithOrWithoutHash) {
  write_all(path("in.bmp"), bmp_test::make_bmp24(image(3, 2, {1, 2, 3, 4, 5, 6})));
  for (const std::string colour : {"123456", "#123456"}) {
    const RunResult r = run({path("in.bmp"), path("out.bmp"), "--fill", colour});
    ASSERT_EQ(r.status, 0) << r.err;
    // RR = 12, GG = 34, BB = 56; the file holds B, G, R.
    expect_output(path("out.bmp"), image(3, 2, std::vector<Colour>(6, 0x563412)));
  }
}

TEST_F(Cli, ReadsOtherFormatsAndWritesTwentyFourBits) {
  bmp_test::FileLayout s;
  s.width = 3;
  s.height = 2;
  s.bits = 8;
  s.palette = {rgb(255, 0, 0), rgb(0, 0, 255), rgb(1, 2, 3)};
  s.colours_used = 3;
  s.pixel_data = {2, 1, 0, 0, 0, 1, 2, 0};  // bottom row first
  write_all(path("in8.bmp"), bmp_test::build_file(s));
  const RunResult r = run({path("in8.bmp"), path("out.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  expect_output(path("out.bmp"), image(3, 2, {rgb(255, 0, 0), rgb(0, 0, 255), rgb(1, 2, 3),  //
                                              rgb(1, 2, 3), rgb(0, 0, 255), rgb(255, 0, 0)}));
}

TEST_F(Cli, ScrambleWithASeedRepeatsAndKeepsTheRestOfThePicture) {
  Image input{16, 8, {}};
  for (int i = 0; i < 16 * 8; ++i) input.pixels.push_back(rgb(i, 255 - i, i * 2));
  write_all(path("in.bmp"), bmp_test::make_bmp24(input));
  const auto scrambled = [&](const std::string& out) {
    const RunResult r = run({path("in.bmp"), path(out), "--seed", "12345", "--rect", "2,1,14,7", "--scramble", "32"});
    EXPECT_EQ(r.status, 0) << r.err;
    return read_all(path(out));
  };
  const Bytes first = scrambled("a.bmp");
  EXPECT_EQ(first, scrambled("b.bmp"));
  const Bytes original = bmp_test::make_bmp24(input);
  ASSERT_EQ(first.size(), original.size());
  EXPECT_NE(first, original);
  // Row 0 (the last row in the file) lies outside the rectangle.
  const std::size_t row = 48;
  EXPECT_TRUE(std::equal(first.end() - row, first.end(), original.end() - row));
}

TEST_F(Cli, HelpGoesToStandardOutput) {
  const RunResult r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("usage: murkel-cli INPUT.bmp OUTPUT.bmp", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("whole picture"), std::string::npos);
}

TEST_F(Cli, ErrorsGiveOneLineStatusTwoAndLeaveTheOutputAlone) {
  write_all(path("in.bmp"), bmp_test::make_bmp24(image(4, 2, std::vector<Colour>(8, 0x102030))));
  write_all(path("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
  Bytes cut = bmp_test::make_bmp24(image(4, 2, std::vector<Colour>(8, 1)));
  cut.resize(cut.size() - 5);
  write_all(path("cut.bmp"), cut);
  const std::string in = path("in.bmp");
  const std::string out = path("out.bmp");
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"missing input", {path("absent.bmp"), out, "--blur", "1"}},
      {"input is not a bitmap", {path("text.bmp"), out}},
      {"truncated bitmap", {path("cut.bmp"), out}},
      {"input is a folder", {(dir_ / "work").string(), out}},
      {"unknown option", {in, out, "--sharpen", "3"}},
      {"unknown short option", {in, out, "-x"}},
      {"no files", {"--blur", "1"}},
      {"no output file", {in}},
      {"third file", {in, out, path("more.bmp")}},
      {"file after an operation", {in, "--blur", "1", out}},
      {"blur level 4", {in, out, "--blur", "4"}},
      {"blur level -1", {in, out, "--blur", "-1"}},
      {"blur without level", {in, out, "--blur"}},
      {"mosaic trailing junk", {in, out, "--mosaic", "10q"}},
      {"mosaic 0", {in, out, "--mosaic", "0"}},
      {"mosaic overflow", {in, out, "--mosaic", "99999999999"}},
      {"mosaic empty height", {in, out, "--mosaic", "3x"}},
      {"mosaic without size", {in, out, "--rect", "0,0,1,1", "--mosaic"}},
      {"scramble out of range", {in, out, "--scramble", "40000"}},
      {"scramble with spaces", {in, out, "--scramble", " 5"}},
      {"seed not a number", {in, out, "--seed", "abc", "--scramble", "5"}},
      {"seed negative", {in, out, "--seed", "-1", "--scramble", "5"}},
      {"seed twice", {in, out, "--seed", "1", "--seed", "2"}},
      {"fill bad digit", {in, out, "--fill", "12345G"}},
      {"fill too long", {in, out, "--fill", "#1234567"}},
      {"fill too short", {in, out, "--fill", "#12345"}},
      {"rect with three values", {in, out, "--rect", "1,2,3", "--fill", "000000"}},
      {"rect with five values", {in, out, "--rect", "0,0,1,1,1"}},
      {"rect past the right edge", {in, out, "--rect", "0,0,5,2", "--fill", "000000"}},
      {"rect past the bottom", {in, out, "--rect", "0,0,4,3"}},
      {"rect negative", {in, out, "--rect", "-1,0,2,2"}},
      {"rect reversed", {in, out, "--rect", "3,0,1,2"}},
      {"bad rect after a good operation", {in, out, "--fill", "FFFFFF", "--rect", "0,0,9,9", "--blur", "1"}},
      {"output folder missing", {in, path("no/such/out.bmp")}},
      {"output is a folder", {in, (dir_ / "work").string()}},
  };
  for (const bool existed : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (existed ? ", output existed" : ""));
      const Bytes old = {'o', 'l', 'd'};
      if (existed) write_all(out, old);
      else fs::remove(out);
      const std::vector<std::string> before = work_files();
      const RunResult r = run(c.args);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err.rfind("murkel-cli: ", 0), 0u) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_EQ(work_files(), before);
      if (existed) EXPECT_EQ(read_all(out), old);
      else EXPECT_FALSE(fs::exists(out));
    }
  }
}

TEST_F(Cli, OutputMayReplaceTheInput) {
  write_all(path("pic.bmp"), bmp_test::make_bmp24(image(2, 2, {1, 2, 3, 4})));
  const RunResult r = run({path("pic.bmp"), path("pic.bmp"), "--fill", "000000"});
  ASSERT_EQ(r.status, 0) << r.err;
  expect_output(path("pic.bmp"), image(2, 2, {0, 0, 0, 0}));
  EXPECT_EQ(work_files(), std::vector<std::string>{"pic.bmp"});
}

}  // namespace

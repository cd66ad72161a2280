// End-to-end tests of murkel-cli: the built program run on real files.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

#include "bmp_test_files.h"
#include "core/codecs/png_codec.h"
#include "core/effects/effects.h"

namespace {

namespace fs = std::filesystem;
using bmp_test::Bytes;
using murkel::Colour;
using murkel::Image;
using murkel::Rect;

struct RunResult { int status = -1; std::string out, err; };

Bytes read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_all(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string text_of(const fs::path& path) { const Bytes b = read_all(path); return {b.begin(), b.end()}; }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("murkel_cli_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program with standard input from a file and its output streams caught in files.
  RunResult run(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
    std::string command = MURKEL_CLI_PATH;
    for (const std::string& a : args) command += " '" + a + "'";
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    const int status = std::system((command + " <'" + input + "' >" + out.string() + " 2>" + err.string()).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000, text_of(out), text_of(err)};
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

Colour rgb(int r, int g, int b) { return murkel::make_colour(r, g, b); }

// A PNG written with libpng from samples as stored (channels per pixel, top row first).
struct PngSpec {
  int colour_type = PNG_COLOR_TYPE_RGB, depth = 8;
  bool interlaced = false;
  int width = 7, height = 5;
  std::vector<unsigned> samples;
  std::vector<png_color> palette;
  std::vector<png_byte> trans;  // palette alpha
  bool key = false;             // a tRNS colour key: the first pixel's samples
  std::vector<std::pair<std::string, std::string>> chunks;  // written raw before the pixels
};

Bytes make_png(const PngSpec& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp p, png_bytep d, size_t n) {
    static_cast<Bytes*>(png_get_io_ptr(p))->insert(static_cast<Bytes*>(png_get_io_ptr(p))->end(), d, d + n);
  }, nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.depth, s.colour_type,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  png_color_16 key{};
  if (s.key) key = {0, png_uint_16(s.samples[0]), png_uint_16(s.samples[1]), png_uint_16(s.samples[2]), key.red};
  if (s.key || !s.trans.empty())
    png_set_tRNS(png, info, s.trans.data(), static_cast<int>(s.trans.size()), s.key ? &key : nullptr);
  png_write_info(png, info);
  for (const auto& [name, data] : s.chunks)
    png_write_chunk(png, reinterpret_cast<png_const_bytep>(name.c_str()),
                    reinterpret_cast<png_const_bytep>(data.data()), data.size());
  if (!s.samples.empty()) {  // else the chunks were the whole file
    png_set_interlace_handling(png);
    const std::size_t per_row = s.samples.size() / s.height;
    std::vector<Bytes> rows(s.height, Bytes((per_row * s.depth + 7) / 8));
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) pointers.push_back(row.data());
    for (std::size_t i = 0, bit = 0; i < s.samples.size(); ++i, bit = (i % per_row) * s.depth) {
      png_bytep at = pointers[i / per_row] + bit / 8;
      if (s.depth == 16) at[0] = png_byte(s.samples[i] >> 8), at[1] = png_byte(s.samples[i]);
      else at[0] |= png_byte(s.samples[i] << (8 - s.depth - bit % 8));
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

struct Op {
  Rect rect;
  int kind = 0, a = 0, b = 0;  // mosaic W x H, blur N, diffusion, scramble N, fill 0xBBGGRR, secure mosaic W x H, secure blur
};

// What the operations make, computed with the core's effects: results under a selection are opaque.
void apply(Image& image, std::vector<std::uint8_t>& alpha, const std::vector<Op>& ops, std::uint32_t seed) {
  for (const Op& op : ops) {
    const murkel::PixelView view = image.view();
    murkel::RandomSource random;
    murkel::seed_random_source(random, seed);
    const std::vector<Colour> block = op.kind == 0   ? murkel::mosaic(view, op.rect, op.a, op.b)
                                      : op.kind == 1 ? murkel::blur(view, op.rect, std::uint16_t(op.a))
                                      : op.kind == 2 ? murkel::diffusion(view, op.rect)
                                      : op.kind == 3 ? murkel::scramble(view, op.rect, op.a, random)
                                      : op.kind == 4 ? murkel::fill(op.rect, Colour(op.a))
                                      : op.kind == 5 ? murkel::secure_mosaic(view, op.rect, op.a, op.b)
                                                     : murkel::secure_blur(view, op.rect);
    murkel::put_block(image, op.rect, block);
    for (int y = op.rect.top; y < op.rect.bottom && !alpha.empty(); ++y)
      std::fill_n(alpha.begin() + y * image.width + op.rect.left, op.rect.right - op.rect.left, 255);
  }
}

murkel::PngDecodeResult decode_file(const std::string& file) {
  const Bytes bytes = read_all(file);
  return murkel::decode_png(bytes.data(), bytes.size());
}

TEST_F(Cli, MatchesTheCoreEffectsInBitmapAndPngOutput) {
  std::mt19937 random(11);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int trial = 0; trial < 40; ++trial) {
    Image image{pick(1, 40), pick(1, 30), {}};
    for (int i = 0; i < image.width * image.height; ++i) image.pixels.push_back(Colour(pick(0, 0xFFFFFF)));
    write_all(path("in.bmp"), bmp_test::make_bmp24(image));
    const std::uint32_t seed = std::uint32_t(pick(0, 1 << 30)) * 3;
    // Odd trials write PNG (the extension in any case); some replace their input.
    const std::string out = path(trial % 5 == 4 ? "in.bmp" : trial % 2 ? "out.PNG" : "out.bmp");
    std::vector<std::string> args = {path("in.bmp"), out, "--seed", std::to_string(seed)};
    std::vector<Op> ops(pick(1, 3));
    for (Op& op : ops) {
      const int left = pick(0, image.width), top = pick(0, image.height);
      op = {Rect{left, top, pick(left, image.width), pick(top, image.height)}, pick(0, 6), 0, pick(1, 12)};
      op.a = std::vector<int>{pick(1, 12), pick(0, 3), 0, pick(-40, 100), pick(0, 0xFFFFFF), pick(1, 12), 0}[op.kind];
      char text[64];
      std::snprintf(text, sizeof text, "%d,%d,%d,%d", left, top, op.rect.right, op.rect.bottom);
      args.insert(args.end(), {"--rect", text});
      const char* formats[] = {"--mosaic %dx%d", "--blur %d", "--diffusion", "--scramble %d",
                               trial % 3 ? "--fill %02X%02X%02X" : "--fill #%02x%02x%02x", "--secure-mosaic %dx%d",
                               "--secure-blur"};
      std::snprintf(text, sizeof text, formats[op.kind], op.kind == 4 ? op.a & 255 : op.a,
                    op.kind == 4 ? op.a >> 8 & 255 : op.b, op.a >> 16);
      args.push_back(std::string(text).substr(0, std::string(text).find(' ')));
      if (op.kind != 2 && op.kind != 6) args.push_back(std::string(text).substr(std::string(text).find(' ') + 1));
    }
    std::vector<std::uint8_t> no_alpha;  // a bitmap input has none
    apply(image, no_alpha, ops, seed);
    const RunResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    if (out.ends_with(".PNG")) EXPECT_EQ(decode_file(out).image.pixels, image.pixels) << ::testing::PrintToString(args);
    else EXPECT_EQ(read_all(out), bmp_test::make_bmp24(image)) << ::testing::PrintToString(args);
  }
}

TEST_F(Cli, ReadsEveryPngKindAsImageMagickDoes) {
  const png_color colours[] = {{255, 0, 7}, {0, 9, 255}, {1, 2, 3}, {200, 100, 50}, {7, 77, 177}};
  struct Case { int type, depth; bool interlaced; int trans, width = 7, height = 5; };  // trans -1: a colour key
  const Case cases[] = {
      {PNG_COLOR_TYPE_GRAY, 1, false, 0},       {PNG_COLOR_TYPE_GRAY, 2, true, 0},
      {PNG_COLOR_TYPE_GRAY, 4, false, -1},      {PNG_COLOR_TYPE_GRAY, 8, false, 0},
      {PNG_COLOR_TYPE_GRAY, 16, true, -1},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 0},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, true, 0}, {PNG_COLOR_TYPE_PALETTE, 1, false, 0},
      {PNG_COLOR_TYPE_PALETTE, 2, true, 0},     {PNG_COLOR_TYPE_PALETTE, 4, false, 2},
      {PNG_COLOR_TYPE_PALETTE, 8, true, 5},     {PNG_COLOR_TYPE_RGB, 8, false, -1},
      {PNG_COLOR_TYPE_RGB, 16, false, 0},       {PNG_COLOR_TYPE_RGB_ALPHA, 8, true, 0},
      {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, 0},
      // Large enough for the writer's pieces on several cores.
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 0, 600, 500},
  };
  const bool have_imagemagick = std::system("convert -version >/dev/null 2>&1") == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "colour type " << c.type << ", " << c.depth << " bits, tRNS " << c.trans);
    PngSpec s{c.type, c.depth, c.interlaced, c.width, c.height};
    const bool palette = c.type == PNG_COLOR_TYPE_PALETTE;
    const int channels = palette ? 1 : png_byte((c.type & 2 ? 3 : 1) + (c.type & 4 ? 1 : 0));
    const unsigned top = palette ? std::min(5u, (1u << c.depth)) : (1u << c.depth);
    for (int i = 0; i < c.width * c.height * channels; ++i) s.samples.push_back((i * 2654435761u >> 7) % top);
    if (palette) s.palette.assign(colours, colours + top);
    s.trans = std::vector<png_byte>{0, 128, 255, 9, 60}, s.trans.resize(std::max(c.trans, 0));
    s.key = c.trans < 0;
    write_all(path("in.png"), make_png(s));
    // Expected: 8 bits per sample, scaled with rounding.
    const unsigned max = (1u << c.depth) - 1;
    const auto scale = [&](unsigned v) { return int((v * 255 + max / 2) / max); };
    Image image{c.width, c.height, {}};
    std::vector<std::uint8_t> alpha;
    for (int p = 0; p < c.width * c.height; ++p) {
      const unsigned* v = &s.samples[p * channels];
      const bool keyed = s.key && std::equal(v, v + channels, s.samples.begin());
      if (palette) image.pixels.push_back(rgb(s.palette[*v].red, s.palette[*v].green, s.palette[*v].blue));
      else image.pixels.push_back(channels < 3 ? rgb(scale(v[0]), scale(v[0]), scale(v[0]))
                                               : rgb(scale(v[0]), scale(v[1]), scale(v[2])));
      if (c.type & 4) alpha.push_back(std::uint8_t(scale(v[channels - 1])));
      else if (c.trans) alpha.push_back(palette ? (*v < s.trans.size() ? s.trans[*v] : 255) : keyed ? 0 : 255);
    }
    const RunResult r = run({path("in.png"), path("out.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string note = "murkel-cli: note: '" + path("in.png") + "' has 16 bits per channel; the output has 8\n";
    EXPECT_EQ(r.err, c.depth == 16 ? note : "");
    const murkel::PngDecodeResult out = decode_file(path("out.png"));
    ASSERT_TRUE(out.ok()) << out.error;
    EXPECT_EQ(out.image.pixels, image.pixels);
    EXPECT_EQ(out.alpha, alpha);
    if (!have_imagemagick) continue;
    // ImageMagick reduces 16 bits without rounding: its 16-bit samples are compared, scaled as above.
    const std::string depth = c.depth == 16 ? " -depth 16 -endian MSB" : " -depth 8";
    ASSERT_EQ(std::system(("convert " + path("in.png") + depth + " rgba:" + path("im.rgba")).c_str()), 0);
    Bytes rgba, im = read_all(path("im.rgba"));
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
      for (int k : {0, 8, 16, 32})
        rgba.push_back(k < 32 ? (image.pixels[i] >> k) & 255 : alpha.empty() ? 255 : alpha[i]);
    for (std::size_t i = 0; c.depth == 16 && i < rgba.size(); ++i)
      im[i] = png_byte(scale(im[2 * i] << 8 | im[2 * i + 1]));
    im.resize(rgba.size());
    EXPECT_EQ(im, rgba);
  }
}

// What murkel-cli writes, read back by ImageMagick: pictures of several
// compressed pieces joined into one stream (RGB and RGBA; noise over whole
// pieces, coded without matches, and over part of one, searched quickly),
// and of at most 256 colours written as palettes of 1 to 8 bits (with their
// alphas); each read from a PNG that libpng wrote with all its filters, and
// each file at most a tenth larger than ImageMagick's of the same picture.
TEST_F(Cli, PngFilesOfPiecesAndPalettesReadBackExactly) {
  // Rows noise_from..noise_to-1 are noise of the bits in noise_mask.
  struct Case {
    const char* name;
    int width, height, colours;
    bool alpha;
    int type, depth, noise_from, noise_to, noise_mask;
  };
  const Case cases[] = {
      {"RGB in pieces", 1500, 800, 0, false, 2, 8, 0, 0, 0},
      {"RGBA in pieces", 1100, 900, 0, true, 6, 8, 0, 0, 0},
      {"noise, then bands", 1500, 1000, 0, false, 2, 8, 0, 600, 255},
      {"bands, then noise of 7 bits", 1500, 1000, 0, false, 2, 8, 400, 1000, 127},
      {"2 colours", 301, 20, 2, false, 3, 1, 0, 0, 0},
      {"4 colours and alpha", 99, 30, 4, true, 3, 2, 0, 0, 0},
      {"16 colours", 64, 64, 16, false, 3, 4, 0, 0, 0},
      {"256 colours and alpha", 200, 90, 128, true, 3, 8, 0, 0, 0},
      {"257 colours", 257, 9, 257, false, 2, 8, 0, 0, 0},
  };
  std::mt19937 random(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int channels = c.alpha ? 4 : 3;
    PngSpec file{c.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, 8, false, c.width, c.height, {}};
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        // Bands and steps with noise in a corner, or colour i of a table of
        // distinct colours, half of them translucent when there is alpha.
        const int i = c.colours ? (x * 7 + y * 3) % c.colours : 0;
        const bool noisy = x > c.width / 2 && y > c.height / 2;
        const unsigned v[4] = {c.colours ? unsigned(i) & 255 : unsigned(x / 9 * 5 + (noisy ? random() % 64 : 0)) & 255,
                               c.colours ? unsigned(i * 3 / 2) & 255 : unsigned(y / 4 * 3) & 255,
                               c.colours ? unsigned(i >> 8) * 90 : unsigned(x ^ y) & 255,
                               c.colours ? (i % 2 ? 255u : 100u) : unsigned(x + y) & 255};
        file.samples.insert(file.samples.end(), v, v + channels);
        if (y >= c.noise_from && y < c.noise_to)
          for (int k = 1; k <= channels; ++k) file.samples.end()[-k] = unsigned(random()) & unsigned(c.noise_mask);
      }
    write_all(path("in.png"), make_png(file));
    const RunResult r = run({path("in.png"), path("out.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes out = read_all(path("out.png"));
    ASSERT_GT(out.size(), 26u);
    EXPECT_EQ(out[25], c.type);
    EXPECT_EQ(out[24], c.depth);
    const std::string format = c.alpha ? " rgba:" : " rgb:";
    ASSERT_EQ(std::system(("/usr/bin/convert " + path("out.png") + " -depth 8" + format + path("out.raw")).c_str()), 0);
    const Bytes raw = read_all(path("out.raw"));
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), file.samples.begin(), file.samples.end()));
    ASSERT_EQ(std::system(("/usr/bin/convert " + path("in.png") + " " + path("im.png")).c_str()), 0);
    EXPECT_LE(double(out.size()), 1.1 * double(fs::file_size(path("im.png"))));
  }
}

TEST_F(Cli, NothingOfTheInputLeaks) {
  // Transparent pixels hide a secret colour, partly under the selections.
  PngSpec s{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 40, 30};
  Image image{40, 30, {}};
  std::vector<std::uint8_t> alpha;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool hidden = x >= 10 && x < 30 && y >= 5 && y < 25;
      image.pixels.push_back(hidden ? rgb(0x12, 0x34, 0x56) : rgb(x * 6, y * 8, 99));
      alpha.push_back(hidden ? 0 : std::uint8_t(x * y % 256));
      s.samples.insert(s.samples.end(), {image.pixels.back() & 255u, image.pixels.back() >> 8 & 255u,
                                         image.pixels.back() >> 16, alpha.back()});
    }
  const auto raw = [](const auto& text) { return std::string(text, sizeof text - 1); };
  s.chunks = {{"tEXt", raw("Comment\0SECRET text")}, {"tIME", raw("\7\xe8\1\2\3\4\5")},
              {"eXIf", raw("MM\0*SECRET exif")}, {"iCCP", raw("SECRET profile\0\0\x78\x9c\3\0\0\0\0\1")}};
  write_all(path("in.png"), make_png(s));
  apply(image, alpha, {{Rect{5, 3, 20, 20}, 4, 0x0000FF}, {Rect{20, 10, 35, 28}, 0, 4, 4}}, 0);
  const RunResult r = run({path("in.png"), path("out.png"), "--rect", "5,3,20,20", "--fill", "FF0000", "--rect",
                           "20,10,35,28", "--mosaic", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Bytes file = read_all(path("out.png"));
  std::vector<std::string> chunks;  // the kinds in order, repeats once
  for (std::size_t at = 8; at + 8 <= file.size();
       at += 12 + (std::size_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3])) {
    const std::string kind(file.begin() + at + 4, file.begin() + at + 8);
    if (chunks.empty() || chunks.back() != kind) chunks.push_back(kind);
  }
  EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(std::search(file.begin(), file.end(), "SECRET", "SECRET" + 6), file.end());
  const murkel::PngDecodeResult out = decode_file(path("out.png"));
  EXPECT_EQ(out.image.pixels, image.pixels);
  EXPECT_EQ(out.alpha, alpha);
}

TEST_F(Cli, StandardInputAndOutputGiveTheFileResults) {
  PngSpec s{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 9, 4};
  for (unsigned i = 0; i < 72; ++i) s.samples.push_back(i * 7 % 256);
  write_all(path("in.png"), make_png(s));
  for (const std::string format : {"png", "bmp"}) {
    ASSERT_EQ(run({path("in.png"), path("out." + format), "--rect", "2,1,8,3", "--blur", "2"}).status, 0);
    const RunResult r = run({"-", "-", "--format", format, "--rect", "2,1,8,3", "--blur", "2"}, path("in.png"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, text_of(path("out." + format)));
  }
}

TEST_F(Cli, HelpTellsWhichEffectHidesWhat) {
  const RunResult r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("usage: murkel-cli INPUT OUTPUT", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("only --fill, --secure-mosaic and --secure-blur remove"), std::string::npos);
  EXPECT_NE(r.out.find("Finders propose, you review"), std::string::npos);
}

TEST_F(Cli, ErrorsGiveOneLineStatusTwoAndLeaveTheOutputAlone) {
  write_all(path("in.bmp"), bmp_test::make_bmp24(Image{4, 2, std::vector<Colour>(8, 0x102030)}));
  write_all(path("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
  const Bytes bmp = bmp_test::make_bmp24(Image{4, 2, std::vector<Colour>(8, 1)});
  write_all(path("cut.bmp"), Bytes(bmp.begin(), bmp.end() - 5));
  Bytes png = make_png(PngSpec{PNG_COLOR_TYPE_RGB, 8, false, 50, 40, std::vector<unsigned>(6000, 7)});
  write_all(path("short.png"), Bytes(png.begin(), png.end() - 30));
  png[png.size() - 20] ^= 1;  // inside the IDAT: its checksum fails
  write_all(path("crc.png"), png);
  PngSpec huge{PNG_COLOR_TYPE_GRAY, 1, false, 100000, 100000};
  huge.chunks = {{"IDAT", "x"}, {"IEND", ""}};
  write_all(path("huge.png"), make_png(huge));
  const std::string in = path("in.bmp");
  const std::string out = path("out.bmp");
  struct Case { const char* name; std::vector<std::string> args; };
  const Case cases[] = {
      {"missing input", {path("absent.bmp"), out, "--blur", "1"}}, {"input is not a picture", {path("text.bmp"), out}},
      {"truncated bitmap", {path("cut.bmp"), out}}, {"truncated PNG", {path("short.png"), path("out.png")}},
      {"PNG with a bad checksum", {path("crc.png"), out}}, {"PNG too large to decode", {path("huge.png"), out}},
      {"empty standard input", {"-", out}}, {"input is a folder", {(dir_ / "work").string(), out}},
      {"unknown output extension", {in, path("out.jpx")}}, {"standard output without --format", {in, "-"}},
      {"unknown format", {in, out, "--format", "gif"}}, {"unknown option", {in, out, "--sharpen", "3"}},
      {"unknown short option", {in, out, "-x"}}, {"no files", {"--blur", "1"}},
      {"no output file", {in}}, {"third file", {in, out, path("more.bmp")}},
      {"file after an operation", {in, "--blur", "1", out}}, {"blur level 4", {in, out, "--blur", "4"}},
      {"blur without level", {in, out, "--blur"}}, {"mosaic trailing junk", {in, out, "--mosaic", "10q"}},
      {"mosaic 0", {in, out, "--mosaic", "0"}}, {"mosaic overflow", {in, out, "--mosaic", "99999999999"}},
      {"mosaic empty height", {in, out, "--mosaic", "3x"}}, {"scramble out of range", {in, out, "--scramble", "40000"}},
      {"scramble with spaces", {in, out, "--scramble", " 5"}},
      {"seed negative", {in, out, "--seed", "-1", "--scramble", "5"}},
      {"seed twice", {in, out, "--seed", "1", "--seed", "2"}}, {"fill bad digit", {in, out, "--fill", "12345G"}},
      {"fill too long", {in, out, "--fill", "#1234567"}},
      {"rect with three values", {in, out, "--rect", "1,2,3", "--fill", "000000"}},
      {"rect past the right edge", {in, out, "--rect", "0,0,5,2", "--fill", "000000"}},
      {"rect past the bottom", {in, out, "--rect", "0,0,4,3"}}, {"rect negative", {in, out, "--rect", "-1,0,2,2"}},
      {"rect reversed", {in, out, "--rect", "3,0,1,2"}},
      {"bad rect after a good operation", {in, out, "--fill", "FFFFFF", "--rect", "0,0,9,9", "--blur", "1"}},
      {"output folder missing", {in, path("no/such/out.png")}},
      {"output is a folder", {in, (dir_ / "work").string(), "--format", "bmp"}},
      {"unknown find kind", {in, out, "--find", "email,fax"}}, {"blank find word", {in, out, "--find-text", " "}},
      {"bad expression", {in, out, "--find-regex", "(ab"}}, {"unknown language", {in, out, "--lang", "deu"}},
      {"list without a finder", {in, "--list-found"}},
      {"quality 0", {in, out, "--quality", "0"}}, {"jobs without a folder", {in, out, "--jobs", "2"}},
      {"folder without inputs", {"--out-dir", path("d")}}, {"folder and standard input", {"--out-dir", path("d"), "-"}},
      {"list and picture to standard output", {in, "-", "--format", "bmp", "--find", "all", "--list-found"}},
  };
  for (const bool existed : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (existed ? ", output existed" : ""));
      const Bytes old = {'o', 'l', 'd'};
      for (const std::string& file : {out, path("out.png")}) existed ? write_all(file, old) : (void)fs::remove(file);
      const std::vector<std::string> before = work_files();
      const RunResult r = run(c.args);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err.rfind("murkel-cli: ", 0), 0u) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_EQ(work_files(), before);
      for (const std::string& file : {out, path("out.png")})
        if (existed) EXPECT_EQ(read_all(file), old);
    }
  }
}

// Screens rendered with the installed fonts, light English and dark
// Japanese: every pixel of every secret lies under a found box, and an
// operation after the finder covers exactly those boxes.
TEST_F(Cli, FindsTheSecretsOfRenderedScreensAndCoversThem) {
  const std::string shots = (dir_ / "shots").string();
  ASSERT_EQ(std::system(("python3 " MURKEL_SOURCE_DIR "/tools/make_screenshots.py '" + shots +
                         "' test-light-en test-dark-ja").c_str()),
            0);
  for (const std::string scene : {"test-light-en", "test-dark-ja"}) {
    SCOPED_TRACE(scene);
    const std::string shot = shots + "/" + scene + ".png";
    const RunResult listed = run({shot, "--find", "all", "--list-found"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto boxes = [](const std::string& tsv) {
      std::vector<Rect> out;
      std::istringstream in(tsv);
      for (std::string line; std::getline(in, line);) {
        Rect r;
        if (std::sscanf(line.c_str(), "%*[^\t]\t%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom) == 4) out.push_back(r);
      }
      return out;
    };
    const std::vector<Rect> found = boxes(listed.out), secrets = boxes(text_of(shots + "/" + scene + ".tsv"));
    ASSERT_GE(secrets.size(), 2u);
    EXPECT_LE(found.size(), secrets.size() + 1) << listed.out;  // dates, times and versions are no secrets
    const RunResult filled = run({shot, path("out.png"), "--find", "all", "--fill", "FF00FF"});
    ASSERT_EQ(filled.status, 0) << filled.err;
    const Bytes png = read_all(path("out.png"));
    const murkel::PngDecodeResult out = murkel::decode_png(png.data(), png.size());
    ASSERT_TRUE(out.ok());
    EXPECT_NE(out.image.pixels[0], rgb(255, 0, 255));  // nothing but the boxes is covered
    for (const Rect& secret : secrets)
      for (std::int32_t y = secret.top; y < secret.bottom; ++y)
        for (std::int32_t x = secret.left; x < secret.right; ++x) {
          const bool under = std::any_of(found.begin(), found.end(), [&](const Rect& f) {
            return x >= f.left && x < f.right && y >= f.top && y < f.bottom;
          });
          ASSERT_TRUE(under) << "secret pixel " << x << "," << y << " not found:\n" << listed.out;
          ASSERT_EQ(out.image.pixels[std::size_t(y) * out.image.width + x], rgb(255, 0, 255)) << x << "," << y;
        }
  }
  // Without the language data: one line that names where it looked, no output.
  fs::create_directories(dir_ / "empty");
  ::setenv("MURKEL_TESSDATA", (dir_ / "empty").c_str(), 1);
  const RunResult r = run({shots + "/test-light-en.png", path("none.png"), "--find", "email", "--fill", "000000"});
  ::unsetenv("MURKEL_TESSDATA");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find((dir_ / "empty").string()), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_FALSE(fs::exists(path("none.png")));
}

// A JPEG stored on its side with orientation 6, a GPS position and a colour
// profile: it comes out upright (a red left column becomes the top row) with
// neither; each format comes in and goes out.
TEST_F(Cli, PhotosComeUprightWithoutMetadataInEveryFormat) {
  ASSERT_EQ(std::system(("convert -size 20x40 xc:blue -fill red -draw 'rectangle 0,0 3,39' -quality 100 " +
                         path("plain.jpg")).c_str()), 0);
  Bytes jpeg = read_all(path("plain.jpg"));
  const std::string exif("Exif\0\0MM\0*\0\0\0\x08\0\x02\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                         "\x88\x25\0\x04\0\0\0\x01\0\0\0\x26\0\0\0\0SECRET GPS", 54);
  const std::string icc = std::string("ICC_PROFILE\0\x01\x01", 14) + "SECRET profile";
  for (const std::string& segment : {icc, exif}) {
    const Bytes marker = {0xFF, std::uint8_t(segment[0] == 'E' ? 0xE1 : 0xE2), std::uint8_t((segment.size() + 2) >> 8),
                          std::uint8_t(segment.size() + 2)};
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    jpeg.insert(jpeg.begin() + 2, marker.begin(), marker.end());
  }
  write_all(path("side.jpg"), jpeg);
  for (const std::string out : {"up.png", "up.jpg", "up.webp", "up.bmp"}) {
    SCOPED_TRACE(out);
    const RunResult r = run({path("side.jpg"), path(out)});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes file = read_all(path(out));
    EXPECT_EQ(std::search(file.begin(), file.end(), "SECRET", "SECRET" + 6), file.end());
    EXPECT_EQ(std::search(file.begin(), file.end(), "Exif", "Exif" + 4), file.end());
    ASSERT_EQ(std::system(("convert " + path(out) + " -depth 8 rgb:" + path("up.rgb")).c_str()), 0);
    const Bytes rgb = read_all(path("up.rgb"));
    ASSERT_EQ(rgb.size(), 40u * 20 * 3);
    EXPECT_GT(rgb[3 * 20], 200);   // the top row, left half: red
    EXPECT_LT(rgb[3 * 20 + 2], 60);
    EXPECT_LT(rgb[3 * 40 * 10], 60);  // the middle row: blue
  }
  // Every input format by content, whatever its name.
  for (const std::string in : {"a.webp", "b.tif", "c.gif", "d.heic"}) {
    ASSERT_EQ(std::system(("convert -size 6x4 xc:red " + path(in)).c_str()), 0);
    fs::rename(path(in), path(in + ".pic"));
    const RunResult r = run({path(in + ".pic"), path("o.png"), "--rect", "0,0,2,2", "--fill", "0000FF"});
    ASSERT_EQ(r.status, 0) << in << ": " << r.err;
    const murkel::PngDecodeResult out = decode_file(path("o.png"));
    ASSERT_EQ(out.image.pixels.size(), 24u) << in;
    EXPECT_EQ(out.image.pixels[0], rgb(0, 0, 255)) << in;
    EXPECT_GT(out.image.pixels[23] & 255, 200u) << in;
  }
}

// Colour profiles made with lcms2: sRGB with its red and blue primaries
// exchanged (its pixels are sRGB's with red and blue exchanged), and a linear
// grey. Each is applied to the pixels and left out, in a PNG's iCCP chunk
// (read quickly, and by libpng) and a JPEG; a chunk whose checksum fails, or
// whose profile inflates past the limit, is left out unapplied.
TEST_F(Cli, ColourProfilesBecomeSrgbPixels) {
  const auto saved = [](cmsHPROFILE profile) {
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(profile, nullptr, &n);
    Bytes bytes(n);
    cmsSaveProfileToMem(profile, bytes.data(), &n);
    cmsCloseProfile(profile);
    return bytes;
  };
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsToneCurve* curve = static_cast<cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag));
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  const cmsCIExyY d65{0.3127, 0.3290, 1};
  const cmsCIExyYTRIPLE exchanged_primaries{{0.15, 0.06, 1}, {0.30, 0.60, 1}, {0.64, 0.33, 1}};
  const Bytes exchanged = saved(cmsCreateRGBProfile(&d65, &exchanged_primaries, curves));
  const Bytes grey = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
  cmsFreeToneCurve(linear);
  cmsCloseProfile(srgb);
  Bytes huge = exchanged;  // still a sound profile, its size in its header
  huge.resize(murkel::kMaxPngProfileBytes + 1);
  for (int k = 0; k < 4; ++k) huge[k] = std::uint8_t(huge.size() >> (24 - 8 * k));
  const auto srgb_of_linear = [](unsigned v) {
    const double l = v / 255.0;
    return unsigned(std::nearbyint(255 * (l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055)));
  };
  enum Expect { red_and_blue_exchanged, linear_grey_encoded, unchanged };
  struct Case { const char* name; int type; bool interlaced; const Bytes& profile; Expect expect; bool jpeg, damaged; };
  const Case cases[] = {
      {"RGB", PNG_COLOR_TYPE_RGB, false, exchanged, red_and_blue_exchanged, false, false},
      {"RGBA, interlaced", PNG_COLOR_TYPE_RGB_ALPHA, true, exchanged, red_and_blue_exchanged, false, false},
      {"grey", PNG_COLOR_TYPE_GRAY, false, grey, linear_grey_encoded, false, false},
      {"JPEG", PNG_COLOR_TYPE_RGB, false, exchanged, red_and_blue_exchanged, true, false},
      {"checksum fails", PNG_COLOR_TYPE_RGB, false, exchanged, unchanged, false, true},
      {"past the limit", PNG_COLOR_TYPE_RGB, false, huge, unchanged, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int channels = c.type == PNG_COLOR_TYPE_GRAY ? 1 : c.type == PNG_COLOR_TYPE_RGB ? 3 : 4;
    PngSpec s{c.type, 8, c.interlaced, 9, 6};
    for (int i = 0; i < 9 * 6 * channels; ++i)
      s.samples.push_back(channels == 4 && i % 4 == 3 ? 99 + i % 150 : (i * 97 + i / 3 * 31) % 256);
    write_all(path("plain.png"), make_png(s));
    std::string plain = path("plain.png");
    Bytes file;
    if (c.jpeg) {
      plain = path("plain.jpg");
      ASSERT_EQ(run({path("plain.png"), plain, "--quality", "100"}).status, 0);
      file = read_all(plain);
      const std::size_t length = c.profile.size() + 16;
      const Bytes marker = {0xFF, 0xE2, std::uint8_t(length >> 8), std::uint8_t(length), 'I', 'C', 'C', '_', 'P',
                            'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
      file.insert(file.begin() + 2, c.profile.begin(), c.profile.end());
      file.insert(file.begin() + 2, marker.begin(), marker.end());
    } else {
      uLongf size = compressBound(uLong(c.profile.size()));
      std::string chunk = std::string("profile\0\0", 9) + std::string(size, '\0');
      ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&chunk[9]), &size, c.profile.data(), uLong(c.profile.size()), 9),
                Z_OK);
      chunk.resize(9 + size);
      s.chunks = {{"iCCP", chunk}};
      file = make_png(s);
      if (c.damaged) file[33 + 8 + chunk.size() + 3] ^= 1;  // the checksum after IHDR and iCCP
    }
    write_all(path("with.pic"), file);
    ASSERT_EQ(run({plain, path("base.png")}).status, 0);
    const RunResult r = run({path("with.pic"), path("out.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes out_file = read_all(path("out.png"));
    EXPECT_EQ(std::search(out_file.begin(), out_file.end(), "iCCP", "iCCP" + 4), out_file.end());
    const murkel::PngDecodeResult base = decode_file(path("base.png")), out = decode_file(path("out.png"));
    ASSERT_EQ(out.image.pixels.size(), base.image.pixels.size());
    EXPECT_EQ(out.alpha, base.alpha);
    std::size_t wrong = 0, first = 0;
    for (std::size_t i = 0; i < base.image.pixels.size(); ++i) {
      const Colour b = base.image.pixels[i];
      const unsigned red = b & 255, green = b >> 8 & 255, blue = b >> 16, v = srgb_of_linear(red);
      const Colour want = c.expect == red_and_blue_exchanged ? rgb(blue, green, red)
                          : c.expect == linear_grey_encoded  ? rgb(v, v, v)
                                                             : b;
      for (int k : {0, 8, 16})
        if (std::abs(int(out.image.pixels[i] >> k & 255) - int(want >> k & 255)) > (c.expect == unchanged ? 0 : 1))
          first = wrong++ ? first : i;
    }
    EXPECT_EQ(wrong, 0u) << "first at pixel " << first << ": " << std::hex << out.image.pixels[first] << " from "
                         << base.image.pixels[first];
  }
}

// A damaged file among good ones: the others are written, one line names it,
// the status is 1, and an output that would replace its input is refused.
TEST_F(Cli, BatchGoesOnPastABadFile) {
  for (const std::string name : {"a.bmp", "b.bmp", "d.bmp"})
    write_all(path(name), bmp_test::make_bmp24(Image{5, 3, std::vector<Colour>(15, 0x102030)}));
  write_all(path("c.bmp"), Bytes{'B', 'M', 1, 2});
  const Bytes own = read_all(path("a.bmp"));
  const RunResult r = run({"--out-dir", (dir_ / "out").string(), "--jobs", "2", path("a.bmp"), path("b.bmp"),
                           path("c.bmp"), path("d.bmp"), "--format", "png", "--fill", "FF0000"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("c.bmp"), std::string::npos) << r.err;
  for (const std::string name : {"a.png", "b.png", "d.png"})
    EXPECT_EQ(decode_file((dir_ / "out" / name).string()).image.pixels, std::vector<Colour>(15, rgb(255, 0, 0)));
  EXPECT_FALSE(fs::exists(dir_ / "out" / "c.png"));
  const RunResult self = run({"--out-dir", (dir_ / "work").string(), path("a.bmp"), path("b.bmp"), "--fill", "00FF00"});
  EXPECT_EQ(self.status, 1);
  EXPECT_EQ(std::count(self.err.begin(), self.err.end(), '\n'), 2) << self.err;
  EXPECT_EQ(read_all(path("a.bmp")), own);
}

// Noise: nothing for a PNG to compress.
Bytes noise_bmp(int width, int height) {
  Image image{width, height, {}};
  std::mt19937 random(5);
  for (int i = 0; i < width * height; ++i) image.pixels.push_back(Colour(random() & 0xFFFFFF));
  return bmp_test::make_bmp24(image);
}

// On a disk with too little room left, and over an output that no rename can
// replace (a mount point), in both formats: status 2, one line that says why,
// the old output kept byte for byte, no temporary file left.
TEST_F(Cli, SmallDiskWritesThatFailKeepTheOldOutput) {
  const char* disk = std::getenv("MURKEL_SMALL_DISK");
  ASSERT_NE(disk, nullptr) << "runs under tests/small_disk.sh";
  write_all(path("in.bmp"), noise_bmp(400, 300));  // 360 KB out in either format
  write_all(path("small.bmp"), noise_bmp(4, 2));
  struct statvfs room{};
  ASSERT_EQ(statvfs(disk, &room), 0);
  write_all(fs::path(disk) / "filler", Bytes(room.f_bavail * room.f_frsize - 100 * 1024));
  const std::string out_bmp = std::string(disk) + "/out.bmp", out_png = std::string(disk) + "/out.png";
  const std::string busy = std::string(disk) + "/busy.bmp";
  const Bytes old = {'o', 'l', 'd'};
  for (const std::string& file : {out_bmp, out_png}) write_all(file, old);
  const struct { std::vector<std::string> args; std::string output; int error; } cases[] = {
      {{path("in.bmp"), out_bmp, "--rect", "0,0,1,1", "--fill", "000000"}, out_bmp, ENOSPC},
      {{path("in.bmp"), out_png, "--rect", "0,0,1,1", "--fill", "000000"}, out_png, ENOSPC},
      {{path("small.bmp"), busy, "--mosaic", "3"}, busy, EBUSY},
      {{path("small.bmp"), busy, "--format", "png"}, busy, EBUSY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "murkel-cli: cannot write '" + c.output + "': " + std::strerror(c.error) + "\n");
    EXPECT_EQ(read_all(c.output), old);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(disk)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{".busy", "busy.bmp", "filler", "out.bmp", "out.png"}));
  }
}

// Killed while it writes a large output, at several moments: the output is
// the old file or the new one whole, and no part of a file is left beside it.
TEST_F(Cli, KilledWhileWritingLeavesTheOldOrTheNewOutput) {
  write_all(path("in.bmp"), noise_bmp(3000, 2000));  // 18 MB
  const std::string out = path("out.bmp"), work = (dir_ / "work").string();
  const std::vector<std::string> args = {MURKEL_CLI_PATH, path("in.bmp"), out, "--rect", "0,0,99,99", "--fill", "000000"};
  ASSERT_EQ(run(std::vector<std::string>(args.begin() + 1, args.end())).status, 0);
  const Bytes whole = read_all(out), old = {'o', 'l', 'd'};
  // A file of the output's folder other than the input, open in the process: the output being written.
  const auto writing = [&](pid_t pid) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
      const std::string target = fs::read_symlink(fd.path(), ec).string();
      if (target.rfind(work + "/", 0) == 0 && target != path("in.bmp")) return true;
    }
    return false;
  };
  int caught_writing = 0;
  // Microseconds after the write began; -1: as soon as the program runs, before it writes.
  for (const int delay : {-1, 0, 0, 200, 1000, 3000, 10000}) {
    SCOPED_TRACE(delay);
    write_all(out, old);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    bool ended = false;
    while (delay >= 0 && !(ended = waitpid(pid, &status, WNOHANG) == pid) && !writing(pid)) {}
    if (!ended) {
      caught_writing += delay >= 0;
      std::this_thread::sleep_for(std::chrono::microseconds(std::max(delay, 0)));
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    const Bytes now = read_all(out);
    EXPECT_TRUE(now == old || now == whole) << now.size() << " bytes of " << whole.size();
    // Killed between naming the new file and putting it in place, a whole copy stays beside the output.
    for (const std::string& name : work_files())
      if (name != "in.bmp" && name != "out.bmp") {
        EXPECT_TRUE(name.starts_with("out.bmp.") && read_all(dir_ / "work" / name) == whole) << name << " is left";
        fs::remove(dir_ / "work" / name);
      }
  }
  EXPECT_GE(caught_writing, 3) << "the program wrote too fast to be killed while it wrote";
}

}  // namespace

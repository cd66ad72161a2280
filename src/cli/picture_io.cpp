// Reads and writes murkel-cli's pictures; PNG only where libpng was found.
#include "cli/picture_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "core/codecs/bmp_file_io.h"
#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "core/codecs/picture_format.h"
#include "core/document/transparency.h"
#if MURKEL_HAVE_PNG
#include "core/codecs/png_codec.h"
#endif
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace murkel::cli {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr const char* kNoPng = "this build of murkel-cli reads and writes bitmap files only";
constexpr std::size_t kMaxInput = std::size_t{1} << 31;

std::string shown_name(const std::string& path) { return path == "-" ? "standard input" : "'" + path + "'"; }

std::string read_standard_input(std::vector<std::uint8_t>& bytes) {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  bytes.clear();
  std::size_t used = 0;
  for (;;) {
    if (bytes.size() - used < 65536) bytes.resize(used + std::max<std::size_t>(65536, used));
    used += std::fread(bytes.data() + used, 1, bytes.size() - used, stdin);
    if (std::ferror(stdin)) return "cannot read standard input: " + std::generic_category().message(errno);
    if (std::feof(stdin)) break;
    if (used > kMaxInput) return "cannot read standard input: more than " + std::to_string(kMaxInput) + " bytes";
  }
  bytes.resize(used);
  return {};
}

}  // namespace

std::string choose_output_format(const Options& options, FileFormat& format) {
  if (options.format) {
    format = *options.format;
  } else if (options.output == "-") {
    return "standard output needs --format png or --format bmp";
  } else {
    const PictureFormat named = format_of_name(options.output);
    if (named == PictureFormat::png) format = FileFormat::png;
    else if (named == PictureFormat::bmp) format = FileFormat::bmp;
    else return "cannot tell the format of '" + options.output + "' from its name: use .png or .bmp, or --format";
  }
#if !MURKEL_HAVE_PNG
  if (format == FileFormat::png) return std::string(kNoPng) + ", not PNG";
#endif
  return {};
}

std::string read_picture(const std::string& input, std::vector<std::uint8_t>& bytes, Picture& picture,
                         [[maybe_unused]] std::vector<std::string>& notes) {
  if (input == "-") {
    if (std::string error = read_standard_input(bytes); !error.empty()) return error;
  } else {
    FileBytes file = read_file_bytes(input, kMaxInput);
    if (!file.ok()) return file.error;
    bytes = std::move(file.bytes);
  }
  const bool png = bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
  if (png) {
#if MURKEL_HAVE_PNG
    PngDecodeResult decoded = decode_png(bytes.data(), bytes.size());
    if (!decoded.ok()) return "cannot read " + shown_name(input) + ": damaged PNG file: " + decoded.error;
    if (decoded.reduced_from_16_bits)
      notes.push_back("note: " + shown_name(input) + " has 16 bits per channel; the output has 8");
    picture.image = std::move(decoded.image);
    picture.alpha = std::move(decoded.alpha);
    return {};
#else
    return "cannot read " + shown_name(input) + ": it is a PNG file, and " + kNoPng;
#endif
  }
  if (!looks_like_bitmap_file(bytes.data(), bytes.size()))
    return "cannot read " + shown_name(input) + ": not a bitmap or PNG file";
  DecodeResult decoded = decode_bmp(bytes);
  if (!decoded.ok()) return "cannot read " + shown_name(input) + ": " + decoded.error;
  picture.image = std::move(decoded.image);
  picture.alpha.clear();
  return {};
}

std::string write_picture(const std::string& output, FileFormat format, Picture& picture,
                          std::vector<std::uint8_t>& bytes, std::vector<std::string>& notes) {
  const std::string name = output == "-" ? "standard output" : "'" + output + "'";
  std::string error;
  if (format == FileFormat::png) {
#if MURKEL_HAVE_PNG
    error = encode_png_into(picture.image, picture.alpha, bytes);
#else
    error = kNoPng;
#endif
  } else {
    // A bitmap file has no transparency: it holds the picture as a viewer shows it on a white page.
    if (put_over_white(picture.image, picture.alpha))
      notes.push_back("note: a bitmap file has no transparency; transparent pixels are shown over white");
    error = encode_bmp24_into(picture.image, bytes);
  }
  if (!error.empty()) return "cannot write " + name + ": " + error;
  if (output != "-") return write_file_atomically(output, bytes.data(), bytes.size());
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
    return "cannot write standard output: " + std::generic_category().message(errno);
  return {};
}

}  // namespace murkel::cli

// Reads and writes murkel-cli's pictures: bitmap files by the core's codec;
// natively PNG by libpng and libdeflate and JPEG, WebP, TIFF, GIF and HEIF by
// their libraries; in the Windows build every other format through WIC, the
// codec room the editor uses.
#include "cli/picture_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "core/codecs/bmp_file_io.h"
#include "core/codecs/bmp_reader.h"
#include "core/codecs/bmp_writer.h"
#include "core/codecs/picture_format.h"
#include "core/codecs/picture_header.h"
#include "core/document/transparency.h"
#if MURKEL_HAVE_PNG
#include "core/codecs/png_codec.h"
#endif
#if MURKEL_HAVE_NATIVE_CODECS
#include "cli/native_pictures.h"
#endif
#if MURKEL_HAVE_WIC
#include "core/codecs/orientation.h"
#include "wic/wic_pictures.h"
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

#if MURKEL_HAVE_WIC
// Any picture WIC decodes (WebP and HEIF where the system has their codecs),
// checked first by the core's header reader where it knows the format,
// turned upright by its orientation tag (JPEG, TIFF), its colours converted
// to sRGB where it carries a colour profile.
std::string read_through_wic(const std::string& input, const std::vector<std::uint8_t>& bytes, Picture& picture) {
  const std::string name = shown_name(input);
  const PictureHeader header = read_picture_header(bytes.data(), bytes.size());
  if (header.format != PictureFormat::other && !header.ok()) return "cannot read " + name + ": " + header.error;
  DecodeFailure why = DecodeFailure::none;
  DecodeOptions options;
  options.webp_and_heif = true;
  options.to_srgb = true;
  options.failure = &why;
  std::optional<DecodedPicture> decoded = decode_picture_bytes(bytes.data(), bytes.size(), options);
  switch (why) {
    case DecodeFailure::none: break;
    case DecodeFailure::not_a_picture:
      return "cannot read " + name + ": not a bitmap, PNG, JPEG, GIF, TIFF, WebP or HEIF file";
    case DecodeFailure::no_codec:
      return "cannot read " + name + ": this system has no decoder for its format (WebP and HEIF need the system's codecs)";
    case DecodeFailure::too_large: return "cannot read " + name + ": the picture is larger than the editor opens";
    case DecodeFailure::damaged: return "cannot read " + name + ": damaged file, or one the system's decoder refuses";
    case DecodeFailure::memory: throw std::bad_alloc();
  }
  if (!decoded) return "cannot read " + name + ": the system's decoder failed";
  const bool photo = header.format == PictureFormat::jpeg || header.format == PictureFormat::tiff;
  const int orientation = photo ? picture_orientation(bytes.data(), bytes.size()) : kUpright;
  if (!decoded->alpha.empty())
    decoded->alpha = upright_pixels(decoded->alpha.data(), decoded->image.width, decoded->image.height, orientation);
  make_upright(decoded->image, orientation);
  picture.image = std::move(decoded->image);
  picture.alpha = std::move(decoded->alpha);
  picture.lossless = header.format == PictureFormat::png || header.format == PictureFormat::gif ||
                     header.format == PictureFormat::tiff;
  return {};
}
#endif

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

// Pixels not fully opaque are blended over white, as a viewer shows them on a white page.
bool blend_over_white(Picture& picture) {
  const bool blended = put_over_white(picture.image, picture.alpha);
  picture.alpha.clear();
  return blended;
}

const char* extension_of(FileFormat format) {
  switch (format) {
    case FileFormat::png: return ".png";
    case FileFormat::jpeg: return ".jpg";
    case FileFormat::webp: return ".webp";
    case FileFormat::bmp: break;
  }
  return ".bmp";
}

std::string choose_output_format(const Options& options, const std::string& output, FileFormat& format) {
  if (options.format) {
    format = *options.format;
  } else if (output == "-") {
    return "standard output needs --format";
  } else {
    const PictureFormat named = format_of_name(output);
    std::string extension = output.size() >= 5 ? output.substr(output.size() - 5) : "";
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (named == PictureFormat::png) format = FileFormat::png;
    else if (named == PictureFormat::bmp) format = FileFormat::bmp;
    else if (named == PictureFormat::jpeg) format = FileFormat::jpeg;
    else if (extension == ".webp") format = FileFormat::webp;
    else return "cannot tell the format of '" + output + "' from its name: use .png, .bmp, .jpg or .webp, or --format";
  }
#if MURKEL_HAVE_WIC
  // The platform's imaging component has no WebP encoder.
  if (format == FileFormat::webp) return "the Windows build of murkel-cli cannot write WebP: use .png, .jpg or .bmp";
#elif !MURKEL_HAVE_NATIVE_CODECS
#if !MURKEL_HAVE_PNG
  if (format == FileFormat::png) return std::string(kNoPng) + ", not PNG";
#endif
  if (format == FileFormat::jpeg || format == FileFormat::webp)
    return "this build of murkel-cli writes bitmap and PNG files only";
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
  picture.lossless = true;
  const bool png = bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
  if (png) {
    if (const PictureHeader header = read_picture_header(bytes.data(), bytes.size()); !header.ok())
      return "cannot read " + shown_name(input) + ": " + header.error;
#if MURKEL_HAVE_PNG
    PngDecodeResult decoded = decode_png(bytes.data(), bytes.size());
    if (!decoded.ok()) return "cannot read " + shown_name(input) + ": damaged PNG file: " + decoded.error;
    if (decoded.reduced_from_16_bits)
      notes.push_back("note: " + shown_name(input) + " has 16 bits per channel; the output has 8");
    picture.image = std::move(decoded.image);
    picture.alpha = std::move(decoded.alpha);
#if MURKEL_HAVE_NATIVE_CODECS
    convert_to_srgb(picture, decoded.icc_profile);
#endif
    return {};
#elif MURKEL_HAVE_WIC
    return read_through_wic(input, bytes, picture);
#else
    return "cannot read " + shown_name(input) + ": it is a PNG file, and " + kNoPng;
#endif
  }
#if MURKEL_HAVE_NATIVE_CODECS
  if (const char* kind = native_format_of(bytes.data(), bytes.size())) {
    if (std::string error = decode_native(bytes.data(), bytes.size(), picture, picture.lossless); !error.empty())
      return "cannot read " + shown_name(input) + " (" + kind + "): " + error;
    return {};
  }
  constexpr const char* kKnown = "a bitmap, PNG, JPEG, WebP, TIFF, GIF or HEIF file";
#elif !MURKEL_HAVE_WIC
  constexpr const char* kKnown = "a bitmap or PNG file";
#endif
#if MURKEL_HAVE_WIC
  if (!looks_like_bitmap_file(bytes.data(), bytes.size())) return read_through_wic(input, bytes, picture);
#else
  if (!looks_like_bitmap_file(bytes.data(), bytes.size())) return "cannot read " + shown_name(input) + ": not " + kKnown;
#endif
  DecodeResult decoded = decode_bmp(bytes);
  if (!decoded.ok()) return "cannot read " + shown_name(input) + ": " + decoded.error;
  picture.image = std::move(decoded.image);
  picture.alpha.clear();
  return {};
}

std::string write_picture(const std::string& output, FileFormat format, const Options& options, Picture& picture,
                          std::vector<std::uint8_t>& bytes, std::vector<std::string>& notes) {
  const std::string name = output == "-" ? "standard output" : "'" + output + "'";
  std::string error;
  if (format == FileFormat::png) {
#if MURKEL_HAVE_PNG
    error = encode_png_into(picture.image, picture.alpha, bytes);
#elif MURKEL_HAVE_WIC
    if (!encode_picture_bytes(picture.image, picture.alpha, PictureFormat::png, bytes))
      error = "the system's PNG encoder failed";
#else
    error = kNoPng;
#endif
  } else if (format == FileFormat::jpeg || format == FileFormat::webp) {
#if MURKEL_HAVE_WIC
    if (format == FileFormat::webp) {
      error = "the Windows build of murkel-cli cannot write WebP";
    } else {
      if (blend_over_white(picture))
        notes.push_back("note: a JPEG file has no transparency; transparent pixels are shown over white");
      if (!encode_picture_bytes(picture.image, {}, PictureFormat::jpeg, bytes, options.quality.value_or(92)))
        error = "the system's JPEG encoder failed";
    }
#elif MURKEL_HAVE_NATIVE_CODECS
    if (format == FileFormat::jpeg) {
      if (blend_over_white(picture))
        notes.push_back("note: a JPEG file has no transparency; transparent pixels are shown over white");
      error = encode_jpeg_into(picture, options.quality.value_or(92), bytes);
    } else {
      // Lossless from a lossless input unless a quality is asked for.
      const bool lossless = picture.lossless && !options.quality;
      error = encode_webp_into(picture, lossless, options.quality.value_or(90), bytes);
    }
#else
    (void)options;
    error = "this build of murkel-cli writes bitmap and PNG files only";
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

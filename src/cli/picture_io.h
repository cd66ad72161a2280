// murkel-cli's pictures in and out: files or the standard streams, in every format the build has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "core/pixels.h"

namespace murkel::cli {

struct Picture {
  Image image;
  std::vector<std::uint8_t> alpha;  // one per pixel when the input has transparency, else empty
  bool lossless = true;             // the input kept its pixels exactly (not JPEG, HEIF or lossy WebP)
};

// Blends pixels not fully opaque over white, for outputs without
// transparency; returns whether any was. The alpha is dropped.
bool blend_over_white(Picture& picture);

// The output's format: --format, else the extension (.png, .bmp, .jpg,
// .jpeg or .webp, any case). Returns an empty string or the reason there is none.
[[nodiscard]] std::string choose_output_format(const Options& options, const std::string& output,
                                               FileFormat& format);

// The extension written for a format (".png").
[[nodiscard]] const char* extension_of(FileFormat format);

// Reads the input (a file, or standard input for "-") and decodes it by its
// content into picture; bytes keeps the file for reuse. Notes for the user
// (a 16-bit input) are added to notes. Returns an empty string or the reason.
[[nodiscard]] std::string read_picture(const std::string& input, std::vector<std::uint8_t>& bytes, Picture& picture,
                                       std::vector<std::string>& notes);

// Encodes into bytes (reusing its storage) and writes it: atomically to a
// file, or to standard output for "-". Returns an empty string or the reason.
[[nodiscard]] std::string write_picture(const std::string& output, FileFormat format, const Options& options,
                                        Picture& picture,
                                        std::vector<std::uint8_t>& bytes, std::vector<std::string>& notes);

}  // namespace murkel::cli

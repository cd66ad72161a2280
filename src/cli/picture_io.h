// murkel-cli's pictures in and out: files or the standard streams, bitmap or PNG.
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
};

// The output's format: --format, else the extension (.png or .bmp, any case).
// Returns an empty string or the reason there is none.
[[nodiscard]] std::string choose_output_format(const Options& options, FileFormat& format);

// Reads the input (a file, or standard input for "-") and decodes it by its
// content into picture; bytes keeps the file for reuse. Notes for the user
// (a 16-bit input) are added to notes. Returns an empty string or the reason.
[[nodiscard]] std::string read_picture(const std::string& input, std::vector<std::uint8_t>& bytes, Picture& picture,
                                       std::vector<std::string>& notes);

// Encodes into bytes (reusing its storage) and writes it: atomically to a
// file, or to standard output for "-". Returns an empty string or the reason.
[[nodiscard]] std::string write_picture(const std::string& output, FileFormat format, Picture& picture,
                                        std::vector<std::uint8_t>& bytes, std::vector<std::string>& notes);

}  // namespace murkel::cli

// Command-line parsing of murkel-cli: files, seed and the list of operations.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/find/text_finder.h"
#include "core/pixels.h"

namespace murkel::cli {

enum class FileFormat { bmp, png, jpeg, webp };

// `found`: from here on the selections are the boxes of what the finders
// found, each its own selection, until the next --rect.
enum class OperationKind { rect, mosaic, blur, diffusion, scramble, fill, secure_mosaic, secure_blur, found };

struct Operation {
  OperationKind kind = OperationKind::rect;
  Rect rect;                 // rect
  std::int32_t cell_width = 0;   // mosaic, secure mosaic
  std::int32_t cell_height = 0;  // mosaic, secure mosaic
  std::int32_t level = 0;        // blur, scramble
  Colour colour = 0;             // fill
};

struct Options {
  bool help = false;
  std::string input;
  std::string output;                // "-": standard output, as "-" input is standard input
  std::optional<FileFormat> format;  // --format; otherwise the output's extension decides
  std::optional<int> quality;        // --quality of a JPEG or lossy WebP output
  std::string out_dir;               // --out-dir: every file argument is an input, written there
  std::vector<std::string> inputs;   // with --out-dir
  unsigned jobs = 0;                 // --jobs: files at once; 0 for the machine's cores
  std::optional<std::uint32_t> seed;
  std::vector<Operation> operations;  // in command-line order
  FindRequest find;                   // every --find, --find-text and --find-regex, added up
  std::string languages = "eng+jpn";  // --lang: the OCR's languages
  bool list_found = false;            // --list-found: one line per item on standard output
};

struct ParseResult {
  Options options;
  std::string error;  // empty on success
};

[[nodiscard]] ParseResult parse_arguments(const std::vector<std::string>& args);

[[nodiscard]] const char* usage_text();

}  // namespace murkel::cli

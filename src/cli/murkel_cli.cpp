// murkel-cli: applies the editor's effects to a bitmap file from the command line.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "effects/effects.h"
#include "imagefile/bmp_file_io.h"
#include "imagefile/bmp_reader.h"
#include "imagefile/bmp_writer.h"

namespace {

using namespace murkel;
using cli::Operation;
using cli::OperationKind;

constexpr int kExitError = 2;

int fail(const std::string& message) {
  std::fprintf(stderr, "murkel-cli: %s\n", message.c_str());
  return kExitError;
}

// The millisecond tick count, as the editor seeds each scramble.
std::uint32_t tick_count() {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

std::string rect_text(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// Runs the operations in order; returns an empty string or the reason to stop.
std::string apply_operations(Image& image, const cli::Options& options) {
  Rect selection{0, 0, image.width, image.height};
  for (const Operation& op : options.operations) {
    const PixelView view = image.view();
    std::vector<Colour> block;
    switch (op.kind) {
      case OperationKind::rect: {
        const Rect& r = op.rect;
        if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || r.right > image.width ||
            r.bottom > image.height)
          return "rectangle " + rect_text(r) + " does not lie within the " + std::to_string(image.width) + " x " +
                 std::to_string(image.height) + " picture";
        selection = r;
        continue;
      }
      case OperationKind::mosaic:
        block = mosaic(view, selection, op.cell_width, op.cell_height);
        break;
      case OperationKind::blur:
        block = blur(view, selection, static_cast<std::uint16_t>(op.level));
        break;
      case OperationKind::diffusion:
        block = diffusion(view, selection);
        break;
      case OperationKind::scramble: {
        RandomSource random;
        seed_random_source(random, options.seed ? *options.seed : tick_count());
        block = scramble(view, selection, op.level, random);
        break;
      }
      case OperationKind::fill:
        block = fill(selection, op.colour);
        break;
    }
    put_block(image, selection, block);
  }
  return {};
}

int run(const std::vector<std::string>& args) {
  const cli::ParseResult parsed = cli::parse_arguments(args);
  if (parsed.options.help) {
    std::fputs(cli::usage_text(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kExitError;
  }
  if (!parsed.error.empty()) return fail(parsed.error + " (see --help)");
  const cli::Options& options = parsed.options;

  FileBytes input = read_file_bytes(options.input);
  if (!input.ok()) return fail(input.error);
  DecodeResult decoded = decode_bmp(input.bytes);
  if (!decoded.ok()) return fail("cannot read '" + options.input + "': " + decoded.error);

  Image& image = decoded.image;
  if (std::string error = apply_operations(image, options); !error.empty()) return fail(error);

  // The file's own buffer takes the output: a 24-bit input needs no new memory.
  std::vector<std::uint8_t>& file = input.bytes;
  if (std::string error = encode_bmp24_into(image, file); !error.empty())
    return fail("cannot write '" + options.output + "': " + error);
  if (std::string error = write_file_atomically(options.output, file.data(), file.size()); !error.empty())
    return fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    return fail("not enough memory");
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}

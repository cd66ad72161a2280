// murkel-cli: applies the editor's effects to pictures from the command line, one file
// or a batch, over rectangles it is given or over what it finds in the picture's text.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>  // the program's own file name, its arguments
#include <shellapi.h>

#include <cwchar>
#endif

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/picture_io.h"
#include "core/document/transparency.h"
#include "core/effects/effects.h"
#include "core/find/text_finder.h"
#include "ocr/ocr_reader.h"

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

// The folders the OCR's language data may be in, in the order they are
// tried: the one MURKEL_TESSDATA names, when set, is the only one.
std::vector<std::string> language_data_folders() {
  std::vector<std::string> folders;
  if (const char* given = std::getenv("MURKEL_TESSDATA"); given && *given) return {given};
  std::error_code ec;
#ifdef _WIN32
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  const std::filesystem::path self(program);
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
  if (!self.empty()) {
    const std::u8string beside = (self.parent_path() / "tessdata").u8string();
    folders.emplace_back(beside.begin(), beside.end());
  }
#ifdef MURKEL_SYSTEM_TESSDATA
  folders.emplace_back(MURKEL_SYSTEM_TESSDATA);
#endif
  return folders;
}

// Reads the picture's text and finds what the options ask for; lists it when asked.
std::string find_boxes(const Image& image, const cli::Options& options, std::vector<Rect>& boxes) {
  const LanguageData data = find_language_data(language_data_folders(), options.languages);
  if (!data.error.empty()) return data.error + " (set MURKEL_TESSDATA to the folder that holds them)";
  const OcrOutcome read = read_words(image.view(), data.folder, options.languages, 2);
  if (!read.error.empty()) return read.error;
  const std::vector<FoundItem> items = find_items(read.words, options.find, image.width, image.height);
  boxes.clear();
  for (const FoundItem& item : items) {
    boxes.push_back(item.box);
    if (options.list_found)
      std::printf("%s\t%s\t%s\n", std::string(kind_name(item.kind)).c_str(), rect_text(item.box).c_str(),
                  item.text.c_str());
  }
  if (options.list_found && std::fflush(stdout) != 0) return "cannot write the list to standard output";
  return {};
}

// Runs the operations in order; returns an empty string or the reason to stop.
// Each operation works on every selection in turn. What an effect made is
// opaque, so that a viewer shows it and nothing under it.
std::string apply_operations(cli::Picture& picture, const cli::Options& options) {
  Image& image = picture.image;
  std::vector<Rect> selections{Rect{0, 0, image.width, image.height}};
  for (const Operation& op : options.operations) {
    if (op.kind == OperationKind::rect) {
      const Rect& r = op.rect;
      if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || r.right > image.width ||
          r.bottom > image.height)
        return "rectangle " + rect_text(r) + " does not lie within the " + std::to_string(image.width) + " x " +
               std::to_string(image.height) + " picture";
      selections = {r};
      continue;
    }
    if (op.kind == OperationKind::found) {
      if (std::string error = find_boxes(image, options, selections); !error.empty()) return error;
      continue;
    }
    for (const Rect& selection : selections) {
      const PixelView view = image.view();
      std::vector<Colour> block;
      switch (op.kind) {
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
        case OperationKind::secure_mosaic:
          block = secure_mosaic(view, selection, op.cell_width, op.cell_height);
          break;
        case OperationKind::secure_blur:
          block = secure_blur(view, selection);
          break;
        case OperationKind::rect:
        case OperationKind::found:
          break;
      }
      put_block(image, selection, block);
      make_opaque(picture.alpha, image.width, selection);
    }
  }
  return {};
}

// One input to one output (or to none when only listing what was found).
std::string process_file(const cli::Options& options, const std::string& input, const std::string& output,
                         std::vector<std::string>& notes, bool name_the_input) {
  cli::FileFormat format = cli::FileFormat::bmp;
  if (!output.empty())
    if (std::string error = cli::choose_output_format(options, output, format); !error.empty()) return error;
  // One buffer holds the input file and then the output file.
  std::vector<std::uint8_t> bytes;
  cli::Picture picture;
  if (std::string error = cli::read_picture(input, bytes, picture, notes); !error.empty()) return error;
  if (std::string error = apply_operations(picture, options); !error.empty())
    return name_the_input ? "'" + input + "': " + error : error;
  if (output.empty()) return {};
  return cli::write_picture(output, format, options, picture, bytes, notes);
}

int run(const std::vector<std::string>& args) {
  const cli::ParseResult parsed = cli::parse_arguments(args);
  if (parsed.options.help) {
    std::fputs(cli::usage_text(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kExitError;
  }
  if (!parsed.error.empty()) return fail(parsed.error + " (see --help)");
  const cli::Options& options = parsed.options;
  if (!options.out_dir.empty())
    return cli::run_batch(options, [&](const std::string& input, const std::string& output,
                                       std::vector<std::string>& notes) {
      return process_file(options, input, output, notes, true);
    });

  std::vector<std::string> notes;
  if (std::string error = process_file(options, options.input, options.output, notes, false); !error.empty())
    return fail(error);
  for (const std::string& note : notes) std::fprintf(stderr, "murkel-cli: %s\n", note.c_str());
  return 0;
}

}  // namespace

#ifdef _WIN32
namespace {

// The arguments as the system holds them, UTF-16, in UTF-8: the ANSI ones
// would turn a name outside the code page into question marks.
std::vector<std::string> utf8_arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) throw std::bad_alloc();
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    const int length = static_cast<int>(std::wcslen(wide[i]));
    std::string text(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_UTF8, 0, wide[i], length, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], length, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    args.push_back(std::move(text));
  }
  LocalFree(wide);
  return args;
}

}  // namespace
#endif

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#if defined(SIGPIPE)
  // A closed pipe on standard output is a write error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  try {
#ifdef _WIN32
    // Messages name files in UTF-8, as the arguments were read.
    SetConsoleOutputCP(CP_UTF8);
    return run(utf8_arguments());
#else
    return run(std::vector<std::string>(argv + 1, argv + argc));
#endif
  } catch (const std::bad_alloc&) {
    return fail("not enough memory");
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}

// Strict parsing of murkel-cli's arguments: whole numbers only, no trailing text.
#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace murkel::cli {
namespace {

// A decimal integer in [low, high], all of the text and nothing else.
bool parse_int(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& out) {
  if (text.empty()) return false;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return false;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool parse_rect(std::string_view text, Rect& rect) {
  std::int64_t v[4];
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = i < 3 ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return false;
    if (!parse_int(text.substr(0, comma), std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::int32_t>::max(), v[i]))
      return false;
    text.remove_prefix(i < 3 ? comma + 1 : comma);
  }
  rect = Rect{static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[2]),
              static_cast<std::int32_t>(v[3])};
  return true;
}

bool parse_cells(std::string_view text, std::int32_t& width, std::int32_t& height) {
  const std::size_t x = text.find('x');
  std::int64_t w = 0;
  std::int64_t h = 0;
  const std::int64_t max = std::numeric_limits<std::int32_t>::max();
  if (!parse_int(text.substr(0, x), 1, max, w)) return false;
  if (x == std::string_view::npos) {
    h = w;
  } else if (!parse_int(text.substr(x + 1), 1, max, h)) {
    return false;
  }
  width = static_cast<std::int32_t>(w);
  height = static_cast<std::int32_t>(h);
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parse_colour(std::string_view text, Colour& colour) {
  if (!text.empty() && text[0] == '#') text.remove_prefix(1);
  if (text.size() != 6) return false;
  int component[3];
  for (int i = 0; i < 3; ++i) {
    const int hi = hex_digit(text[2 * i]);
    const int lo = hex_digit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    component[i] = hi * 16 + lo;
  }
  colour = make_colour(component[0], component[1], component[2]);
  return true;
}

std::string quoted(std::string_view text) {
  std::string out(1, '\'');
  out.append(text);
  out.push_back('\'');
  return out;
}

}  // namespace

const char* usage_text() {
  return "usage: murkel-cli INPUT OUTPUT [--format F] [--quality N] [--seed N] OPERATION...\n"
         "       murkel-cli --out-dir DIR [--jobs N] INPUT... [--format F] OPERATION...\n"
         "       murkel-cli INPUT [OUTPUT] FINDER... --list-found [OPERATION...]\n"
#if MURKEL_HAVE_NATIVE_CODECS
         "Applies the editor's effects to a picture: bitmap, PNG, JPEG, WebP, TIFF (the\n"
         "first page), GIF (the first frame) or HEIF/HEIC, told apart by content. JPEG\n"
         "and TIFF photos are turned upright by their orientation tag (HEIC by its own\n"
         "turns) before anything else, so --rect is in the coordinates a viewer shows;\n"
         "colours with a colour profile are converted to sRGB.\n"
         "The output's extension, .png, .bmp, .jpg/.jpeg or .webp in any case, or\n"
         "--format picks its format: PNG as 8-bit RGB (RGBA when the input has\n"
         "transparency), bitmap as 24 bits, JPEG at quality 92, WebP lossless from a\n"
         "lossless input (bitmap, PNG, GIF, TIFF, lossless WebP), else at quality 90.\n"
         "A PNG of at most 256 colours is written with a palette (1 to 8 bits).\n"
#elif MURKEL_HAVE_WIC
         "Applies the editor's effects to a picture: bitmap, PNG, JPEG, TIFF (the first\n"
         "page), GIF (the first frame), and WebP and HEIF where Windows has their\n"
         "codecs, told apart by content and read through Windows' imaging component.\n"
         "JPEG and TIFF photos are turned upright by their orientation tag before\n"
         "anything else, so --rect is in the coordinates a viewer shows; colours with\n"
         "a colour profile are converted to sRGB.\n"
         "The output's extension, .png, .bmp or .jpg/.jpeg in any case, or --format\n"
         "picks its format: PNG as 8-bit RGB (RGBA when the input has transparency),\n"
         "bitmap as 24 bits, JPEG at quality 92. This build writes no WebP.\n"
         "File names may hold characters of any language.\n"
#elif MURKEL_HAVE_PNG
         "Applies the editor's effects to a bitmap or PNG file (told apart by content).\n"
         "The output's extension, .png or .bmp in any case, or --format picks its format:\n"
         "PNG as 8-bit RGB (RGBA when the input has transparency), bitmap as 24 bits.\n"
#else
         "Applies the editor's effects to a bitmap file and writes a 24-bit bitmap file.\n"
         "This build reads and writes bitmap files only (it was made without libpng).\n"
#endif
         "INPUT '-' reads standard input; OUTPUT '-' writes standard output (give --format).\n"
         "Operations run left to right on the same picture.\n"
         "\n"
         "  --rect L,T,R,B   selection for the operations that follow: image coordinates,\n"
         "                   right and bottom exclusive, within the picture\n"
         "                   (0 <= L <= R <= width, 0 <= T <= B <= height);\n"
         "                   before the first --rect the selection is the whole picture\n"
         "  --mosaic W[xH]   mosaic with cells W x H pixels (H defaults to W; at least 1)\n"
         "  --blur N         blur at level N (0..3; 0 keeps every pixel)\n"
         "  --diffusion      16 x 16 diffusion\n"
         "  --scramble N     scramble at level N (-32768..32767); each scramble seeds the\n"
         "                   random source with --seed, or with the millisecond tick count\n"
         "  --fill RRGGBB    fill with that colour (hex, '#RRGGBB' or 'RRGGBB')\n"
         "  --secure-mosaic W[xH]\n"
         "                   mosaic of W x H cells whose colours come only from the\n"
         "                   pixels around the selection, none from under it\n"
         "  --secure-blur    smooth blend of the pixels around the selection, none\n"
         "                   from under it\n"
         "\n"
         "FINDING WHAT TO HIDE: the picture's text is read by OCR (English and Japanese)\n"
         "and what the finders ask for becomes the selections of the operations after\n"
         "them, each found box its own selection, until the next --rect.\n"
         "  --find KIND[,KIND...]\n"
         "                   email, phone, card (Luhn-valid 13 to 19 digits), ip (IPv4,\n"
         "                   IPv6), key (API keys, tokens, private-key lines and long\n"
         "                   random-looking strings) or all\n"
         "  --find-text WORD words to find, any letter case, one misread letter in eight\n"
         "                   allowed (repeatable)\n"
         "  --find-regex RE  a regular expression (ECMAScript) over each line (repeatable)\n"
         "  --lang L         the OCR's languages: eng, jpn or eng+jpn (the default)\n"
         "  --list-found     print KIND<TAB>L,T,R,B<TAB>TEXT per item on standard output;\n"
         "                   OUTPUT may then be left out\n"
         "  Finders propose, you review: check the list or the output before sharing.\n"
         "  Not found: text in photos of paper or screens, handwriting, very small\n"
         "  (under about 8 pixels) or rotated text, and words the OCR misreads beyond\n"
         "  repair. The language data (eng.traineddata, jpn.traineddata) is looked for\n"
         "  in tessdata beside the program, then in the system's Tesseract folder, or\n"
         "  only in the folder that MURKEL_TESSDATA names.\n"
         "\n"
         "  --seed N         seed of the scramble's random source (0..4294967295)\n"
         "  --format F       output format: png, bmp, jpg or webp (webp natively only)\n"
         "  --quality N      quality of a JPEG output (1..100, default 92), or of a WebP\n"
         "                   output, which it makes lossy (default: lossless from a\n"
         "                   lossless input, else 90)\n"
         "\n"
         "BATCHES: --out-dir DIR makes every file argument an input; each is written to\n"
         "DIR (made when missing) under its own name, with the extension of --format when\n"
         "given. --jobs N works on N files at once (default: the machine's cores). A file\n"
         "that fails gets one line on standard error and the others go on; the exit\n"
         "status is then 1. No output replaces its own input or another's output, and\n"
         "each is written whole or not at all. On a terminal the progress (37/1000) is\n"
         "shown on standard error.\n"
         "  --help           show this text\n"
         "\n"
         "WHICH EFFECT HIDES WHAT: only --fill, --secure-mosaic and --secure-blur remove\n"
         "what they cover: nothing of it is left in the result. Mosaic and blur of text\n"
         "and faces can often be recovered; scramble only shifts rows, which matching\n"
         "neighbouring rows undoes; diffusion is a fixed permutation without a key, which\n"
         "anyone with this program inverts exactly. For anything secret, use --fill, or\n"
         "--secure-mosaic or --secure-blur where it should look like a mosaic or a blur.\n"
         "\n"
         "The output carries none of the input's metadata (text, EXIF with GPS, XMP,\n"
         "IPTC, times, colour profiles). Pixels under a selection come out opaque; every\n"
         "other pixel keeps its colour and alpha (16-bit PNG files are reduced to 8 bits\n"
         "per channel, and a bitmap or JPEG output shows transparent pixels over white). With no operation the\n"
         "picture is written unchanged.\n"
         "On any error one line goes to standard error, the exit status is 2 and the\n"
         "output file is left as it was (in a batch: status 1 for failed files, 2 for\n"
         "bad arguments).\n";
}

ParseResult parse_arguments(const std::vector<std::string>& args) {
  ParseResult result;
  Options& options = result.options;
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      options.help = true;
      return result;
    }

  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-' || arg[1] != '-') {
      if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
        result.error = "unknown option " + quoted(arg);
        return result;
      }
      if (!options.operations.empty() || options.seed) {
        result.error = "unexpected argument " + quoted(arg) + " (the input and output files come first)";
        return result;
      }
      files.push_back(arg);
      continue;
    }
    const bool takes_value = arg == "--rect" || arg == "--mosaic" || arg == "--blur" || arg == "--scramble" ||
                             arg == "--fill" || arg == "--seed" || arg == "--format" || arg == "--secure-mosaic" ||
                             arg == "--find" || arg == "--find-text" || arg == "--find-regex" || arg == "--lang" ||
                             arg == "--quality" || arg == "--out-dir" || arg == "--jobs";
    if (!takes_value && arg != "--diffusion" && arg != "--secure-blur" && arg != "--list-found") {
      result.error = "unknown option " + quoted(arg);
      return result;
    }
    std::string_view value;
    if (takes_value) {
      if (i + 1 >= args.size()) {
        result.error = arg + " needs a value";
        return result;
      }
      value = args[++i];
    }
    const auto bad = [&](const char* what) {
      result.error = "bad value " + quoted(value) + " for " + arg + ": " + what;
      return result;
    };

    Operation op;
    std::int64_t number = 0;
    if (arg == "--seed") {
      if (options.seed) {
        result.error = "--seed given twice";
        return result;
      }
      if (!parse_int(value, 0, std::numeric_limits<std::uint32_t>::max(), number))
        return bad("expected a whole number from 0 to 4294967295");
      options.seed = static_cast<std::uint32_t>(number);
      continue;
    }
    if (arg == "--format") {
      if (options.format) {
        result.error = "--format given twice";
        return result;
      }
      if (value == "png") options.format = FileFormat::png;
      else if (value == "bmp") options.format = FileFormat::bmp;
      else if (value == "jpg" || value == "jpeg") options.format = FileFormat::jpeg;
      else if (value == "webp") options.format = FileFormat::webp;
      else return bad("expected png, bmp, jpg or webp");
      continue;
    }
    if (arg == "--quality" || arg == "--jobs") {
      const bool quality = arg == "--quality";
      if (quality ? options.quality.has_value() : options.jobs != 0) {
        result.error = arg + " given twice";
        return result;
      }
      if (!parse_int(value, 1, quality ? 100 : 256, number))
        return bad(quality ? "expected a whole number from 1 to 100" : "expected a whole number from 1 to 256");
      if (quality) options.quality = static_cast<int>(number);
      else options.jobs = static_cast<unsigned>(number);
      continue;
    }
    if (arg == "--out-dir") {
      if (!options.out_dir.empty()) {
        result.error = "--out-dir given twice";
        return result;
      }
      if (value.empty()) return bad("expected a folder");
      options.out_dir = std::string(value);
      continue;
    }
    if (arg == "--list-found") {
      options.list_found = true;
      continue;
    }
    if (arg == "--lang") {
      if (value != "eng" && value != "jpn" && value != "eng+jpn" && value != "jpn+eng")
        return bad("expected eng, jpn or eng+jpn");
      options.languages = std::string(value);
      continue;
    }
    if (arg == "--find" || arg == "--find-text" || arg == "--find-regex") {
      if (arg == "--find") {
        const KindList list = parse_find_kinds(value);
        if (!list.error.empty()) return bad(list.error.c_str());
        options.find.kinds = options.find.kinds | list.kinds;
      } else if (arg == "--find-text") {
        if (const std::string why = find_text_error(value); !why.empty()) return bad(why.c_str());
        options.find.texts.emplace_back(value);
      } else {
        if (const std::string why = find_regex_error(std::string(value)); !why.empty()) return bad(why.c_str());
        options.find.regexes.emplace_back(value);
      }
      // The first finder marks where the found boxes become the selections.
      const bool marked = std::any_of(options.operations.begin(), options.operations.end(),
                                      [](const Operation& o) { return o.kind == OperationKind::found; });
      if (!marked) {
        Operation found;
        found.kind = OperationKind::found;
        options.operations.push_back(found);
      }
      continue;
    }
    if (arg == "--rect") {
      op.kind = OperationKind::rect;
      if (!parse_rect(value, op.rect)) return bad("expected L,T,R,B");
    } else if (arg == "--mosaic" || arg == "--secure-mosaic") {
      op.kind = arg == "--mosaic" ? OperationKind::mosaic : OperationKind::secure_mosaic;
      if (!parse_cells(value, op.cell_width, op.cell_height))
        return bad("expected W or WxH, whole numbers of at least 1");
    } else if (arg == "--blur") {
      op.kind = OperationKind::blur;
      if (!parse_int(value, 0, 3, number)) return bad("expected a level from 0 to 3");
      op.level = static_cast<std::int32_t>(number);
    } else if (arg == "--scramble") {
      op.kind = OperationKind::scramble;
      if (!parse_int(value, -32768, 32767, number)) return bad("expected a level from -32768 to 32767");
      op.level = static_cast<std::int32_t>(number);
    } else if (arg == "--fill") {
      op.kind = OperationKind::fill;
      if (!parse_colour(value, op.colour)) return bad("expected RRGGBB or #RRGGBB in hex");
    } else if (arg == "--secure-blur") {
      op.kind = OperationKind::secure_blur;
    } else {
      op.kind = OperationKind::diffusion;
    }
    options.operations.push_back(op);
  }
  const bool finding = std::any_of(options.operations.begin(), options.operations.end(),
                                   [](const Operation& o) { return o.kind == OperationKind::found; });
  if (options.list_found && !finding) {
    result.error = "--list-found needs --find, --find-text or --find-regex";
    return result;
  }
  if (!options.out_dir.empty()) {
    if (files.empty()) {
      result.error = "--out-dir needs at least one input file";
      return result;
    }
    if (options.list_found) {
      result.error = "--list-found works on one file, not with --out-dir";
      return result;
    }
    if (std::find(files.begin(), files.end(), "-") != files.end()) {
      result.error = "--out-dir takes files, not standard input";
      return result;
    }
    options.inputs = std::move(files);
    return result;
  }
  if (options.jobs != 0) {
    result.error = "--jobs needs --out-dir";
    return result;
  }
  // Listing alone needs no output file.
  const std::size_t needed = options.list_found && files.size() == 1 ? 1 : 2;
  if (files.size() < needed) {
    result.error = files.empty() ? "missing the input and output files" : "missing the output file";
    return result;
  }
  if (files.size() > 2) {
    result.error = "unexpected argument " + quoted(files[2]);
    return result;
  }
  options.input = files[0];
  if (files.size() == 2) options.output = files[1];
  if (options.list_found && options.output == "-") {
    result.error = "--list-found writes to standard output, so the output file cannot be '-'";
    return result;
  }
  if (options.output.empty() && std::any_of(options.operations.begin(), options.operations.end(),
                                            [](const Operation& o) { return o.kind != OperationKind::found; })) {
    result.error = "missing the output file";
    return result;
  }
  return result;
}

}  // namespace murkel::cli

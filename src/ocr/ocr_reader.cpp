// The OCR engine over a prepared picture: bands read on threads of their
// own, each by an engine instance of its own (the engine's own threads gain
// nothing), words mapped back to picture pixels.
#include "ocr/ocr_reader.h"

#include <allheaders.h>  // Leptonica
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>
#include <thread>
#ifdef _OPENMP
#include <omp.h>
#endif

#include "core/find/ocr_picture.h"

namespace murkel {
namespace {

std::filesystem::path path_of(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The engine's file reads, by UTF-8 names, so that a folder of any name works
// on Windows too (the engine's own reads take names in the ANSI code page).
bool read_file(const char* name, std::vector<char>* data) {
  std::ifstream in(path_of(name), std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::vector<std::string> language_list(const std::string& languages) {
  std::vector<std::string> out;
  std::stringstream in(languages);
  for (std::string name; std::getline(in, name, '+');)
    if (!name.empty()) out.push_back(name);
  return out;
}

struct Band {
  std::int32_t top = 0;     // rows of the prepared picture
  std::int32_t bottom = 0;
  OcrProgress* progress = nullptr;
  std::atomic<int>* percents = nullptr;  // one per band
  int index = 0;
  int count = 1;
  tesseract::ETEXT_DESC monitor;
  std::vector<OcrWord> words;  // lines numbered within the band
  std::string error;
  bool cancelled = false;
};

// Called by the engine between words: passes the band's progress on and
// tells it whether to stop.
bool keep_or_cancel(void* data, int) {
  Band& band = *static_cast<Band*>(data);
  if (!band.progress) return false;
  band.percents[band.index] = band.monitor.progress;
  int sum = 0;
  for (int i = 0; i < band.count; ++i) sum += band.percents[i];
  band.progress->percent = sum / band.count;
  return band.progress->cancel.load();
}

#ifdef _WIN32
constexpr const char* kNullDevice = "nul";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

void read_band_with_engine(const GreyPicture& grey, const std::string& folder, const std::string& languages,
                           Band& band) {
  tesseract::TessBaseAPI engine;
  if (engine.Init(folder.c_str(), 0, languages.c_str(), tesseract::OEM_LSTM_ONLY, nullptr, 0, nullptr, nullptr, false,
                  read_file) != 0) {
    band.error = "the OCR engine could not load its language data (" + languages + ") from " + folder;
    return;
  }
  engine.SetVariable("debug_file", kNullDevice);
  // Sparse text: a screen is not a page of columns; every line of it counts.
  engine.SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
  engine.SetImage(grey.pixels.data() + static_cast<std::ptrdiff_t>(band.top) * grey.width, grey.width,
                  band.bottom - band.top, 1, grey.width);
  engine.SetSourceResolution(96 * grey.scale);
  band.monitor.cancel = keep_or_cancel;
  band.monitor.cancel_this = &band;
  const int result = engine.Recognize(&band.monitor);
  if (band.progress && band.progress->cancel) {
    band.cancelled = true;
    return;
  }
  if (result != 0) {
    band.error = "the OCR engine could not read the picture";
    return;
  }
  std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
  if (!it) return;
  int line = -1;
  const std::int32_t scale = grey.scale;
  do {
    if (it->Empty(tesseract::RIL_WORD)) continue;
    if (line < 0 || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) ++line;
    const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!text || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) continue;
    OcrWord word;
    word.text = text.get();
    word.box = Rect{left / scale, (band.top + top) / scale, (right + scale - 1) / scale,
                    (band.top + bottom + scale - 1) / scale};
    word.line = line;
    word.confidence = it->Confidence(tesseract::RIL_WORD);
    band.words.push_back(std::move(word));
  } while (it->Next(tesseract::RIL_WORD));
}

// A band's thread must not end by an exception: the reason goes with the band.
void read_band(const GreyPicture& grey, const std::string& folder, const std::string& languages, Band& band) {
  try {
    read_band_with_engine(grey, folder, languages, band);
  } catch (const std::bad_alloc&) {
    band.words.clear();
    band.error = "not enough memory to read the picture";
  } catch (const std::exception& e) {
    band.words.clear();
    band.error = std::string("the OCR engine failed: ") + e.what();
  }
}

}  // namespace

LanguageData find_language_data(const std::vector<std::string>& folders, const std::string& languages) {
  const std::vector<std::string> names = language_list(languages);
  std::string looked;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::error_code ec;
    const bool all = std::all_of(names.begin(), names.end(), [&](const std::string& name) {
      return std::filesystem::is_regular_file(path_of(folder) / path_of(name + ".traineddata"), ec);
    });
    if (all && !names.empty()) return LanguageData{folder, {}};
    looked += (looked.empty() ? "" : ", ") + folder;
  }
  std::string files;
  for (const std::string& name : names) files += (files.empty() ? "" : " and ") + name + ".traineddata";
  return LanguageData{{}, "no OCR language data: " + files + " not found in " + (looked.empty() ? "no folder" : looked)};
}

OcrOutcome read_words(const PixelView& picture, const std::string& folder, const std::string& languages, int threads,
                      OcrProgress* progress) {
  // Quiet: the engine's image library warns of every file format it lacks.
  setMsgSeverity(L_SEVERITY_NONE);
#ifdef _OPENMP
  // One thread per band: the engine's own OpenMP teams only compete with them.
  omp_set_max_active_levels(0);
#endif
  OcrOutcome outcome;
  const GreyPicture grey = prepare_for_ocr(picture);
  if (grey.pixels.empty()) return outcome;

  std::vector<std::int32_t> edges = band_cuts(grey, std::max(1, threads));
  edges.insert(edges.begin(), 0);
  edges.push_back(grey.height);
  const int count = static_cast<int>(edges.size()) - 1;
  std::vector<std::atomic<int>> percents(static_cast<std::size_t>(count));
  std::vector<std::unique_ptr<Band>> bands;
  for (int i = 0; i < count; ++i) {
    auto band = std::make_unique<Band>();
    band->top = edges[i];
    band->bottom = edges[i + 1];
    band->progress = progress;
    band->percents = percents.data();
    band->index = i;
    band->count = count;
    bands.push_back(std::move(band));
  }
  // A band whose thread cannot be had is read here, after the first.
  std::vector<std::thread> workers;
  std::vector<int> here{0};
  for (int i = 1; i < count; ++i) {
    try {
      workers.emplace_back(read_band, std::cref(grey), folder, languages, std::ref(*bands[i]));
    } catch (const std::system_error&) {
      here.push_back(i);
    }
  }
  for (int i : here) read_band(grey, folder, languages, *bands[i]);
  for (std::thread& worker : workers) worker.join();

  int lines = 0;
  for (const std::unique_ptr<Band>& band : bands) {
    if (band->cancelled) outcome.cancelled = true;
    if (!band->error.empty() && outcome.error.empty()) outcome.error = band->error;
    int last = -1;
    for (OcrWord& word : band->words) {
      last = std::max(last, word.line);
      word.line += lines;
      outcome.words.push_back(std::move(word));
    }
    lines += last + 1;
  }
  if (outcome.cancelled || !outcome.error.empty()) outcome.words.clear();
  if (progress && !outcome.cancelled) progress->percent = 100;
  return outcome;
}

}  // namespace murkel

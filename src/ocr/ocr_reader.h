// Reading the words of a picture, with their boxes, through the OCR engine.
// Used by the editor (on a worker thread) and by murkel-cli; no platform
// headers, file names in UTF-8.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "core/find/text_finder.h"
#include "core/pixels.h"

namespace murkel {

// Shared with the thread that reads: it sets `percent` as it goes and stops
// soon after `cancel` is set.
struct OcrProgress {
  std::atomic<bool> cancel{false};
  std::atomic<int> percent{0};
};

struct OcrOutcome {
  std::vector<OcrWord> words;  // in picture coordinates, lines in reading order
  std::string error;           // empty when the picture was read
  bool cancelled = false;
};

// The first of `folders` that holds the data of every language of
// `languages` ("eng", "jpn" or "eng+jpn"); empty folders are passed over.
// When none does, `error` says which file is missing and where it looked.
struct LanguageData {
  std::string folder;
  std::string error;
};
[[nodiscard]] LanguageData find_language_data(const std::vector<std::string>& folders, const std::string& languages);

// Reads every word of the picture with the language data in `folder`, on up
// to `threads` threads (bands of the picture cut between lines of text).
[[nodiscard]] OcrOutcome read_words(const PixelView& picture, const std::string& folder,
                                    const std::string& languages, int threads, OcrProgress* progress = nullptr);

}  // namespace murkel

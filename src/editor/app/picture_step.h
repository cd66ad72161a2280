// One step of the picture's history, as the editor keeps it: the bytes of
// the rows it changed, or for a step that changed the whole picture (a
// crop) the other picture itself. While the step stands it holds the
// picture as it was before; once taken back, as it was after.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "core/document/history.h"
#include "core/document/step_areas.h"
#include "core/document/transparency.h"
#include "core/pixels.h"

namespace murkel {

// A bitmap owned by a step, deleted with it.
class OwnedBitmap {
 public:
  OwnedBitmap() = default;
  explicit OwnedBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  OwnedBitmap(OwnedBitmap&& other) noexcept : bitmap_(std::exchange(other.bitmap_, nullptr)) {}
  OwnedBitmap& operator=(OwnedBitmap&& other) noexcept {
    std::swap(bitmap_, other.bitmap_);
    return *this;
  }
  ~OwnedBitmap() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  [[nodiscard]] HBITMAP get() const { return bitmap_; }
  // Puts `bitmap` in and hands out the one held.
  HBITMAP exchange(HBITMAP bitmap) { return std::exchange(bitmap_, bitmap); }

 private:
  HBITMAP bitmap_ = nullptr;
};

struct PictureStep {
  std::vector<Rect> areas;  // disjoint areas of the picture's rows (step_areas)
  ByteBuffer pixels;        // their bytes, one area after the other
  ByteBuffer alpha;         // the same of the alpha (none for an opaque picture)
  OwnedBitmap picture;      // a step over the whole picture: the other picture,
  Transparency transparency;  // its transparency
  std::size_t picture_bytes = 0;

  [[nodiscard]] std::size_t bytes() const {
    return pixels.size + alpha.size + picture_bytes + areas.size() * sizeof(Rect);
  }
};

using PictureHistory = History<PictureStep>;

}  // namespace murkel

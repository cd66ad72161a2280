// The effects' transfer blocks, kept between effects.
#include "editor/app/transfer_blocks.h"

#include "editor/app/app_state.h"

namespace murkel {

void release_transfer_block(TransferBlock& block) {
  if (block.dc != nullptr) {
    SelectObject(block.dc, block.previous);
    DeleteDC(block.dc);
  }
  if (block.bitmap != nullptr) DeleteObject(block.bitmap);
  block = TransferBlock{};
}

bool reserve_transfer_block(TransferBlock& block, std::int64_t width, std::int64_t height, bool shaped) {
  const std::int64_t held = std::int64_t{block.width} * block.height;
  if (block.pixels != nullptr &&
      (shaped ? width <= block.width && height <= block.height : width * height <= held)) {
    return true;
  }
  release_transfer_block(block);
  // One block stays below 2 GB in either build: a DIB section's size must
  // fit the header's signed 32-bit fields (and a 32-bit process could not
  // map more anyway).
  if (width <= 0 || height <= 0 || height > 0x7FFFFFFF / 4 / width) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  block.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  block.dc = block.bitmap != nullptr && bits != nullptr ? CreateCompatibleDC(nullptr) : nullptr;
  if (block.dc == nullptr) {
    release_transfer_block(block);
    return false;
  }
  block.previous = SelectObject(block.dc, block.bitmap);
  block.pixels = static_cast<Colour*>(bits);
  block.width = static_cast<std::int32_t>(width);
  block.height = static_cast<std::int32_t>(height);
  return true;
}

bool release_transfer_blocks() {
  const bool held = app.source_block.bitmap != nullptr || app.result_block.bitmap != nullptr;
  release_transfer_block(app.source_block);
  release_transfer_block(app.result_block);
  return held;
}

}  // namespace murkel

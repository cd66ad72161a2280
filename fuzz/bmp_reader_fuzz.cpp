// libFuzzer entry: the bitmap reader and writer on arbitrary bytes as a bitmap file.
#include "bitmap_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::check_bitmap_file(data, size);
  return 0;
}

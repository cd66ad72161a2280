// libFuzzer entry: arbitrary bytes as a packed bitmap on the clipboard (an information header that may
// claim any size, format and table, in a block of any size), put behind the file header Paste gives
// it and decoded as Paste decodes it.
#include "bitmap_file_check.h"
#include "core/codecs/packed_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file = murkel::packed_dib_as_file(data, size);
  if (file.size() != size + 14) std::abort();
  fuzz::check_bitmap_file(file.data(), file.size());
  return 0;
}

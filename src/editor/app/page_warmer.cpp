// Touching fresh pages ahead of the command that needs them.
#include "editor/app/page_warmer.h"

#include <cstdint>
#include <utility>

namespace murkel {

void PageWarmer::start(std::vector<MemoryRange> ranges) {
  stop();
  ranges_ = std::move(ranges);
  stopping_ = false;
  thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
  if (thread_ != nullptr) SetThreadPriority(thread_, THREAD_PRIORITY_BELOW_NORMAL);
}

void PageWarmer::stop() {
  if (thread_ == nullptr) return;
  stopping_ = true;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI PageWarmer::run(LPVOID warmer) {
  auto* self = static_cast<PageWarmer*>(warmer);
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  for (const MemoryRange& range : self->ranges_) {
    auto* bytes = static_cast<volatile std::uint8_t*>(range.base);
    for (std::size_t offset = 0; offset < range.size; offset += page) {
      if (self->stopping_.load(std::memory_order_relaxed)) return 0;
      bytes[offset] = 0;
    }
  }
  return 0;
}

}  // namespace murkel

// Fresh memory costs a page fault on its first touch, and on some machines
// those faults cost more than the command that makes them. A warmer touches
// memory that a command will soon use, on a thread of its own, while the
// user is still choosing the command.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <vector>

namespace murkel {

struct MemoryRange {
  void* base = nullptr;
  std::size_t size = 0;
};

// Main thread only. The memory must hold nothing of value while it is
// warmed (a new undo bitmap, the effects' blocks between effects): each
// page gets a zero written into it. stop() before the memory is used or
// freed.
class PageWarmer {
 public:
  PageWarmer() = default;
  PageWarmer(const PageWarmer&) = delete;
  PageWarmer& operator=(const PageWarmer&) = delete;
  ~PageWarmer() { stop(); }

  // Warms the ranges, after stopping any warming still going on. Without a
  // thread (none could be made), nothing is warmed: the command pays then.
  void start(std::vector<MemoryRange> ranges);
  // Returns once the thread no longer touches memory; what it did not reach
  // stays cold.
  void stop();

 private:
  static DWORD WINAPI run(LPVOID warmer);

  std::vector<MemoryRange> ranges_;
  std::atomic<bool> stopping_{false};
  HANDLE thread_ = nullptr;
};

}  // namespace murkel

// The bytes of a movable memory block (the clipboard's, a stream's), locked
// for a scope and unlocked however the scope is left, an exception included.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace murkel {

class LockedBlock {
 public:
  explicit LockedBlock(HGLOBAL block) : block_(block) {
    data_ = block_ != nullptr ? static_cast<std::uint8_t*>(GlobalLock(block_)) : nullptr;
    size_ = data_ != nullptr ? GlobalSize(block_) : 0;
  }
  ~LockedBlock() {
    if (data_ != nullptr) GlobalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  [[nodiscard]] std::uint8_t* data() const { return data_; }  // nullptr when it could not be locked
  [[nodiscard]] std::size_t size() const { return size_; }

 private:
  HGLOBAL block_;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace murkel

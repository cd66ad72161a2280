// Whole-file reads and atomic whole-file writes for the bitmap codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace murkel {

struct FileBytes {
  std::vector<std::uint8_t> bytes;
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Paths are UTF-8 text everywhere (on Windows too, where the program reads
// its arguments as UTF-16), so that a file of any name can be read and written.
[[nodiscard]] std::filesystem::path path_from_utf8(const std::string& text);
[[nodiscard]] std::string utf8_of(const std::filesystem::path& path);

// Reads a whole file in one go. Files larger than max_size are refused.
[[nodiscard]] FileBytes read_file_bytes(const std::string& path, std::size_t max_size = std::size_t{1} << 31);

// Writes bytes to a temporary file in the same folder and renames it over
// path, so that a failed write leaves whatever was at path untouched and no
// temporary behind. On Linux the temporary file has no name until it is
// whole, so that even a process killed while it writes leaves nothing behind
// (at most, killed between naming and renaming, a whole PATH.XXXXXXXX.tmp);
// elsewhere a kill leaves a partial PATH.XXXXXXXX.tmp beside path. Returns an
// empty string on success, else the reason.
[[nodiscard]] std::string write_file_atomically(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace murkel

// Whole-file reads and atomic whole-file writes with readable error messages.
#include "core/codecs/bmp_file_io.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <random>
#include <system_error>

#if defined(__linux__)
#include <fcntl.h>
#endif

namespace murkel {
namespace {

std::string errno_text(int error) { return std::generic_category().message(error); }

struct FileCloser {
  std::FILE* file;
  ~FileCloser() {
    if (file) std::fclose(file);
  }
};

}  // namespace

FileBytes read_file_bytes(const std::string& path, std::size_t max_size) {
  FileBytes result;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    result.error = "cannot open '" + path + "': " + errno_text(errno);
    return result;
  }
  FileCloser closer{file};
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    result.error = "cannot read '" + path + "': it is a folder";
    return result;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    result.error = "cannot read '" + path + "': " + ec.message();
    return result;
  }
  if (size > max_size) {
    result.error = "cannot read '" + path + "': the file is too large (" + std::to_string(size) + " bytes)";
    return result;
  }
  try {
    result.bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    result.error = "cannot read '" + path + "': not enough memory for " + std::to_string(size) + " bytes";
    return result;
  }
  const std::size_t got = size ? std::fread(result.bytes.data(), 1, result.bytes.size(), file) : 0;
  if (got != result.bytes.size() || std::ferror(file)) {
    result.bytes.clear();
    result.error = "cannot read '" + path + "': the read stopped early";
    return result;
  }
  return result;
}

std::string write_file_atomically(const std::string& path, const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (fs::is_directory(target, ec)) return "cannot write '" + path + "': it is a folder";

  // A name beside the target that nobody else uses.
  std::mt19937_64 pick(std::random_device{}() ^
                       static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::path temp;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 16 && !file; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08llx.tmp", static_cast<unsigned long long>(pick() & 0xFFFFFFFFu));
    temp = target;
    temp += suffix;
    if (fs::exists(temp, ec)) continue;
    file = std::fopen(temp.string().c_str(), "wb");
    if (!file) return "cannot write '" + path + "': " + errno_text(errno);
  }
  if (!file) return "cannot write '" + path + "': no free temporary name beside it";

#if defined(__linux__)
  // Blocks reserved up front: ext4 then need not flush the whole new file
  // when the rename replaces an old one. Only a hint; the write checks itself.
  if (size > 0) (void)fallocate(fileno(file), 0, 0, static_cast<off_t>(size));
#endif
  bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  int error = written ? 0 : errno;
  if (std::fflush(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    fs::remove(temp, ec);
    return "cannot write '" + path + "': " + errno_text(error ? error : EIO);
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return "cannot write '" + path + "': " + ec.message();
  }
  return {};
}

}  // namespace murkel

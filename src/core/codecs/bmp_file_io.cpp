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
#include <unistd.h>
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

std::FILE* open_file(const std::filesystem::path& path, bool write) {
#if defined(_WIN32)
  return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

}  // namespace

std::filesystem::path path_from_utf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8_of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

FileBytes read_file_bytes(const std::string& path, std::size_t max_size) {
  FileBytes result;
  const std::filesystem::path file_path = path_from_utf8(path);
  std::FILE* file = open_file(file_path, false);
  if (!file) {
    result.error = "cannot open '" + path + "': " + errno_text(errno);
    return result;
  }
  FileCloser closer{file};
  std::error_code ec;
  if (std::filesystem::is_directory(file_path, ec)) {
    result.error = "cannot read '" + path + "': it is a folder";
    return result;
  }
  const auto size = std::filesystem::file_size(file_path, ec);
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
  const fs::path target = path_from_utf8(path);
  if (fs::is_directory(target, ec)) return "cannot write '" + path + "': it is a folder";
  const auto failed = [&path](const std::string& why) { return "cannot write '" + path + "': " + why; };

  // Names beside the target that nobody else uses.
  std::mt19937_64 pick(std::random_device{}() ^
                       static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  const auto temp_name = [&] {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08llx.tmp", static_cast<unsigned long long>(pick() & 0xFFFFFFFFu));
    fs::path temp = target;
    return temp += suffix;
  };
  fs::path temp;

#if defined(__linux__) && defined(O_TMPFILE)
  // The new file is made without a name and named only once it is whole, so
  // that a process killed while it writes leaves nothing behind. Where the
  // file system cannot do that, a named temporary file follows below.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (const int fd = open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666); fd >= 0) {
    // Blocks reserved up front: ext4 then need not flush the whole new file
    // when the rename replaces an old one. Only a hint; the write checks itself.
    if (size > 0) (void)fallocate(fd, 0, 0, static_cast<off_t>(size));
    int error = 0;
    for (std::size_t done = 0; done < size && error == 0;) {
      const ssize_t n = write(fd, data + done, size - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else if (n == 0 || errno != EINTR) error = n == 0 ? EIO : errno;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    bool named = false;
    for (int attempt = 0; attempt < 16 && error == 0 && !named; ++attempt) {
      temp = temp_name();
      named = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!named && errno != EEXIST) break;  // no /proc: the named way below
    }
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
      if (named) fs::remove(temp, ec);
      return failed(errno_text(error));
    }
    if (named) {
      fs::rename(temp, target, ec);
      if (!ec) return {};
      std::error_code ignored;
      fs::remove(temp, ignored);
      return failed(ec.message());
    }
  }
#endif

  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 16 && !file; ++attempt) {
    temp = temp_name();
    if (fs::exists(temp, ec)) continue;
    file = open_file(temp, true);
    if (!file) return failed(errno_text(errno));
  }
  if (!file) return failed("no free temporary name beside it");

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
    return failed(errno_text(error ? error : EIO));
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return failed(ec.message());
  }
  return {};
}

}  // namespace murkel

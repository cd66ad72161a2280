// File name extensions to picture formats.
#include "core/codecs/picture_format.h"

#include <cctype>
#include <string>

namespace murkel {

namespace {

// Where the name's extension starts (its dot), or npos.
std::size_t extension_start(std::string_view path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t separator = path.find_last_of("\\/");
  if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator)) {
    return std::string_view::npos;
  }
  return dot;
}

}  // namespace

std::string with_extension(std::string_view path, std::string_view extension) {
  std::string name(path.substr(0, extension_start(path)));
  name += extension;
  return name;
}

PictureFormat format_of_name(std::string_view path) {
  const std::size_t dot = extension_start(path);
  if (dot == std::string_view::npos) return PictureFormat::other;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "bmp") return PictureFormat::bmp;
  if (ext == "png") return PictureFormat::png;
  if (ext == "jpg" || ext == "jpeg") return PictureFormat::jpeg;
  if (ext == "gif") return PictureFormat::gif;
  if (ext == "tif" || ext == "tiff") return PictureFormat::tiff;
  return PictureFormat::other;
}

bool looks_like_bitmap_file(const unsigned char* data, std::size_t size) {
  return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

}  // namespace murkel

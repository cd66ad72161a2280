// PNG bytes in and out through the platform's imaging component (WIC).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/pixels.h"

namespace murkel {

// The picture of PNG bytes, made opaque over white; nothing when the bytes
// are no PNG the platform decodes, the picture is larger than the editor
// opens, or memory is short.
[[nodiscard]] std::optional<Image> decode_png_bytes(const std::uint8_t* data, std::size_t size);

// An 8-bit RGB PNG of the picture; false when the platform cannot make one.
[[nodiscard]] bool encode_png_bytes(const Image& image, std::vector<std::uint8_t>& out);

}  // namespace murkel

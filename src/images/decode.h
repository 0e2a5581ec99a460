// Image decoding by content (not by file name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "images/image.h"

namespace vorna {

// Decodes untrusted `bytes` into `out` (RGBA8, straight alpha). Returns false, leaving `out`
// empty, for anything it cannot decode safely: unknown formats, truncated or malformed data,
// or images larger than kMaxImageSide on a side.
bool DecodeImage(std::span<const uint8_t> bytes, Image* out);

// Reads and decodes the file at `path`.
bool DecodeImageFile(const std::string& path, Image* out);

inline constexpr int kMaxImageSide = 16384;

}  // namespace vorna

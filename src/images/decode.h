// Image decoding by content (not by file name).
//
// Every entry point here takes untrusted bytes: a hostile or damaged file gets a clean false,
// never a crash, a hang or an allocation beyond the limits below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "images/image.h"
#include "images/image_formats.h"

namespace vorna {

// Decodes untrusted `bytes` into `out` (RGBA8, straight alpha). Returns false, leaving `out`
// empty, for anything it cannot decode safely: unknown formats, truncated or malformed data,
// or images larger than kMaxImageSide on a side.
//
// Recognised by their first bytes: PNG, JPEG (baseline and progressive; grey, YCbCr, CMYK),
// BMP with a file header or as a packed DIB (1, 4, 8, 16, 24, 32 bits; RLE4, RLE8; bit
// fields; either row order), DDS (DXT1 to DXT5 and uncompressed mask layouts, also with the
// DX10 header), and TGA, which has no signature and is recognised by a consistent header.
// Pixels that an RLE bitmap skips come out transparent black.
bool DecodeImage(std::span<const uint8_t> bytes, Image* out);

// Reads and decodes the file at `path`. Fails for a missing file, a directory or anything that
// is not a regular file, a file larger than kMaxImageFileBytes, and whatever DecodeImage refuses.
bool DecodeImageFile(const std::string& path, Image* out);

inline constexpr int kMaxImageSide = 16384;

// Width x height may not exceed this either (a 256 MiB RGBA image), whatever the side lengths.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 26;

// Larger files are not read at all: no accepted image needs more bytes.
inline constexpr int64_t kMaxImageFileBytes = int64_t{512} << 20;

// The format DecodeImage would try for `bytes`, from their first bytes alone (see
// ImageFormatRowOfBytes).
ImageFormat DetectImageFormat(std::span<const uint8_t> bytes);

}  // namespace vorna

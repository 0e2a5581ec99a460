// The per-format decoders behind DecodeImage. Each takes the whole untrusted file, checks
// every size against the limits of decode.h and against what the bytes can still hold before
// allocating, and on success leaves a fully written RGBA8 image in `out`.
#pragma once

#include <cstdint>
#include <span>

#include "images/image.h"

namespace vorna::image_internal {

bool DecodePng(std::span<const uint8_t> bytes, Image* out);
bool DecodeJpeg(std::span<const uint8_t> bytes, Image* out);
bool DecodeBmp(std::span<const uint8_t> bytes, Image* out);
bool DecodeDds(std::span<const uint8_t> bytes, Image* out);
bool DecodeTga(std::span<const uint8_t> bytes, Image* out);

bool LooksLikePackedDib(std::span<const uint8_t> bytes);
bool LooksLikeTga(std::span<const uint8_t> bytes);

// True when a width x height image is within kMaxImageSide and kMaxImagePixels.
bool WithinImageLimits(int64_t width, int64_t height);

// Sizes `out` to width x height, every byte zero (transparent black). The caller has checked
// WithinImageLimits.
void AllocateImage(int width, int height, Image* out);

}  // namespace vorna::image_internal

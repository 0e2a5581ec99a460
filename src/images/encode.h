// Encoding captures to image files (image_formats.h names the encoder of each format).
//
// Captures are 24-bit: every encoder writes the red, green and blue channels of the image and
// ignores alpha.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "images/image.h"
#include "images/image_formats.h"
#include "io/atomic_file.h"

namespace vorna {

// Encodes `image` as `format` and writes it to `path` atomically (see WriteFileAtomically). The
// name is used as given, whatever its extension says. False, writing nothing, for a format
// without an encoder.
bool SaveImageFile(const Image& image, ImageFormat format, const std::string& path);

// The encoders. Each replaces `out` with the encoded file; false for an empty or inconsistent
// image, a side beyond the format's limit, or a library failure, and `out` is then empty. BMP:
// 24-bit bottom-up rows. GIF: 256 colours by QuantizeImage (quantize.h), no dithering. JPEG:
// baseline, quality 75, 4:2:0, the library's defaults. PNG: RGB 8-bit, zlib's default level. TIFF:
// RGB 8-bit, LZW with the horizontal predictor, 96 dpi.
bool EncodeBmp(const Image& image, std::vector<uint8_t>* out);
bool EncodeGif(const Image& image, std::vector<uint8_t>* out);
bool EncodeJpeg(const Image& image, std::vector<uint8_t>* out);
bool EncodePng(const Image& image, std::vector<uint8_t>* out);
bool EncodeTiff(const Image& image, std::vector<uint8_t>* out);

// PNG with its alpha: RGBA 8-bit, straight alpha, zlib's default level.
bool EncodePngWithAlpha(const Image& image, std::vector<uint8_t>* out);

// A GIF that plays `frames` (all of one size) one after another, each shown for
// `delay_centiseconds` (0..65535), and loops for ever. One palette of at most 256 colours serves
// every frame (QuantizeImage over all of them, no dithering); each frame after the first stores
// only the rectangle that changed. False for no frames, frames of different or empty sizes, a
// side beyond 65535 or a delay outside its range; `out` is then empty.
bool EncodeAnimatedGif(std::span<const Image> frames, int delay_centiseconds,
                       std::vector<uint8_t>* out);

// The same as an animated PNG (APNG: RGB 8-bit frames, full colour, looping for ever), which
// viewers without animation support show as its first frame. Same failures as the GIF, except
// that the sides may be as large as PNG allows.
bool EncodeAnimatedPng(std::span<const Image> frames, int delay_centiseconds,
                       std::vector<uint8_t>* out);

}  // namespace vorna

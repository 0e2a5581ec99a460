// Encoding captures to image files, chosen by MIME type.
//
// Captures are 24-bit: every encoder writes the red, green and blue channels of the image and
// ignores alpha.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "images/atomic_file.h"
#include "images/image.h"

namespace vorna {

struct ImageEncoder {
  std::string_view mime_type;  // "image/png"
  std::string_view extension;  // ".png", the one the save dialog adds to a name without a dot
  // Replaces `out` with the encoded file. False for an empty or inconsistent image, a side
  // beyond the format's limit, or a library failure; `out` is then empty.
  bool (*encode)(const Image& image, std::vector<uint8_t>* out);
};

// BMP, GIF, JPEG, PNG and TIFF, in that order (the order of the image save dialog's filters).
std::span<const ImageEncoder> ImageEncoders();

// The encoder whose MIME type equals `mime_type` exactly (case matters), or null.
const ImageEncoder* FindEncoder(std::string_view mime_type);

// Encodes `image` with `encoder` and writes it to `path` atomically (see WriteFileAtomically).
// The name is used as given, whatever its extension says.
bool SaveImageFile(const Image& image, const ImageEncoder& encoder, const std::string& path);

// The encoders themselves. BMP: 24-bit bottom-up rows. GIF: 256 colours by QuantizeImage
// (quantize.h), no dithering. JPEG: baseline, quality 75, 4:2:0, the library's defaults. PNG: RGB
// 8-bit, zlib's default level. TIFF: RGB 8-bit, LZW with the horizontal predictor, 96 dpi.
bool EncodeBmp(const Image& image, std::vector<uint8_t>* out);
bool EncodeGif(const Image& image, std::vector<uint8_t>* out);
bool EncodeJpeg(const Image& image, std::vector<uint8_t>* out);
bool EncodePng(const Image& image, std::vector<uint8_t>* out);
// PNG RGBA 8-bit: the one encoder that keeps alpha, for textures rather than captures.
bool EncodePngWithAlpha(const Image& image, std::vector<uint8_t>* out);
bool EncodeTiff(const Image& image, std::vector<uint8_t>* out);

}  // namespace vorna

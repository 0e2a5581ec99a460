#include "images/encode.h"

#include <array>
#include <exception>

namespace vorna {

namespace {

constexpr std::array<ImageEncoder, 5> kEncoders = {{
    {"image/bmp", ".bmp", EncodeBmp},
    {"image/gif", ".gif", EncodeGif},
    {"image/jpeg", ".jpg", EncodeJpeg},
    {"image/png", ".png", EncodePng},
    {"image/tiff", ".tif", EncodeTiff},
}};

}  // namespace

std::span<const ImageEncoder> ImageEncoders() { return kEncoders; }

const ImageEncoder* FindEncoder(std::string_view mime_type) {
  for (const ImageEncoder& encoder : kEncoders) {
    if (encoder.mime_type == mime_type) return &encoder;
  }
  return nullptr;
}

bool SaveImageFile(const Image& image, const ImageEncoder& encoder, const std::string& path) {
  try {
    std::vector<uint8_t> bytes;
    return encoder.encode(image, &bytes) && WriteFileAtomically(path, bytes);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vorna

#include "images/decode.h"

#include <exception>
#include <vector>

#include "images/decoders.h"
#include "io/whole_file.h"

namespace vorna {

namespace image_internal {

bool WithinImageLimits(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

void AllocateImage(int width, int height, Image* out) {
  out->width = width;
  out->height = height;
  out->rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
}

}  // namespace image_internal

ImageFormat DetectImageFormat(std::span<const uint8_t> bytes) {
  const ImageFormatRow* row = ImageFormatRowOfBytes(bytes);
  return row != nullptr ? row->format : ImageFormat::kUnknown;
}

bool DecodeImage(std::span<const uint8_t> bytes, Image* out) {
  *out = Image{};
  try {
    const ImageFormatRow* row = ImageFormatRowOfBytes(bytes);
    Image image;
    if (row == nullptr || !row->decode(bytes, &image) || !image.valid()) return false;
    *out = std::move(image);
    return true;
  } catch (const std::exception&) {
    // Allocation failure: a failed decode like any other.
    *out = Image{};
    return false;
  }
}

bool DecodeImageFile(const std::string& path, Image* out) {
  *out = Image{};
  try {
    FileBytes file;
    if (!ReadWholeFile(path, &file, nullptr, kMaxImageFileBytes)) return false;
    return DecodeImage(file.bytes(), out);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vorna

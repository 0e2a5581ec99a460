#include "images/decode.h"

#include <cstring>
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

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* magic, size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

}  // namespace

ImageFormat DetectImageFormat(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
  if (StartsWith(bytes, "\xff\xd8\xff", 3)) return ImageFormat::kJpeg;
  if (StartsWith(bytes, "BM", 2) || image_internal::LooksLikePackedDib(bytes)) {
    return ImageFormat::kBmp;
  }
  if (StartsWith(bytes, "DDS ", 4)) return ImageFormat::kDds;
  if (image_internal::LooksLikeTga(bytes)) return ImageFormat::kTga;
  return ImageFormat::kUnknown;
}

bool DecodeImage(std::span<const uint8_t> bytes, Image* out) {
  *out = Image{};
  try {
    Image image;
    bool ok = false;
    switch (DetectImageFormat(bytes)) {
      case ImageFormat::kPng:
        ok = image_internal::DecodePng(bytes, &image);
        break;
      case ImageFormat::kJpeg:
        ok = image_internal::DecodeJpeg(bytes, &image);
        break;
      case ImageFormat::kBmp:
        ok = image_internal::DecodeBmp(bytes, &image);
        break;
      case ImageFormat::kDds:
        ok = image_internal::DecodeDds(bytes, &image);
        break;
      case ImageFormat::kTga:
        ok = image_internal::DecodeTga(bytes, &image);
        break;
      case ImageFormat::kUnknown:
        break;
    }
    if (!ok || !image.valid()) return false;
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

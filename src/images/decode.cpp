#include "images/decode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <vector>

#include "images/decoders.h"

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

// Reads the whole regular file at `path`, refusing anything larger than kMaxImageFileBytes.
// Opening does not block, so that a name that turns out to be a FIFO fails instead of waiting
// for a writer.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
            info.st_size <= kMaxImageFileBytes;
  if (ok) {
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // The file shrank under us: decode what is there, the decoders check sizes anyway.
        ok = n == 0;
        bytes->resize(done);
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return ok;
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
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) return false;
    return DecodeImage(bytes, out);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vorna

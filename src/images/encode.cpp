#include "images/encode.h"

#include <exception>

namespace vorna {

bool SaveImageFile(const Image& image, ImageFormat format, const std::string& path) {
  if (format == ImageFormat::kUnknown) return false;
  const ImageFormatRow& row = ImageFormatRowOf(format);
  if (row.encode == nullptr) return false;
  try {
    std::vector<uint8_t> bytes;
    return row.encode(image, &bytes) && WriteFileAtomically(path, bytes);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vorna

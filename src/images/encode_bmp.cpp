#include <exception>
#include <limits>

#include "images/encode.h"
#include "io/little_endian.h"

namespace vorna {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int32_t kPixelsPerMetre = 3780;  // 96 dots per inch

}  // namespace

bool EncodeBmp(const Image& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid()) return false;
  const uint64_t stride = (static_cast<uint64_t>(image.width) * 3 + 3) / 4 * 4;
  const uint64_t pixel_bytes = stride * image.height;
  const uint64_t file_size = kFileHeaderSize + kInfoHeaderSize + pixel_bytes;
  if (file_size > std::numeric_limits<uint32_t>::max()) return false;
  try {
    out->reserve(file_size);
    out->push_back('B');
    out->push_back('M');
    AppendU32(*out, static_cast<uint32_t>(file_size));
    AppendU32(*out, 0);  // reserved
    AppendU32(*out, kFileHeaderSize + kInfoHeaderSize);
    AppendU32(*out, kInfoHeaderSize);
    AppendU32(*out, static_cast<uint32_t>(image.width));
    AppendU32(*out, static_cast<uint32_t>(image.height));  // positive: rows bottom to top
    AppendU16(*out, 1);                                    // planes
    AppendU16(*out, 24);
    AppendU32(*out, 0);  // uncompressed
    AppendU32(*out, static_cast<uint32_t>(pixel_bytes));
    AppendU32(*out, kPixelsPerMetre);
    AppendU32(*out, kPixelsPerMetre);
    AppendU32(*out, 0);  // colours used
    AppendU32(*out, 0);  // important colours
    const size_t padding = stride - static_cast<size_t>(image.width) * 3;
    for (int y = image.height - 1; y >= 0; --y) {
      const uint8_t* p = image.Pixel(0, y);
      for (int x = 0; x < image.width; ++x, p += 4) {
        out->push_back(p[2]);
        out->push_back(p[1]);
        out->push_back(p[0]);
      }
      out->insert(out->end(), padding, 0);
    }
    return true;
  } catch (const std::exception&) {
    out->clear();
    return false;
  }
}

}  // namespace vorna

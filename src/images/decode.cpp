#include "images/decode.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace vorna {

bool DecodeImage(std::span<const uint8_t> /*bytes*/, Image* out) {
  *out = Image{};
  return false;
}

bool DecodeImageFile(const std::string& path, Image* out) {
  *out = Image{};
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  return DecodeImage(bytes, out);
}

}  // namespace vorna

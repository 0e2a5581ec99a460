// Small images built byte by byte for the decoder tests.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "images/image.h"

namespace vorna::test {

using Bytes = std::vector<uint8_t>;

inline void Put8(Bytes* b, uint32_t v) { b->push_back(static_cast<uint8_t>(v)); }
inline void Put16(Bytes* b, uint32_t v) {
  Put8(b, v);
  Put8(b, v >> 8);
}
inline void Put32(Bytes* b, uint32_t v) {
  Put16(b, v);
  Put16(b, v >> 16);
}
inline void PutAll(Bytes* b, std::initializer_list<uint8_t> values) {
  for (uint8_t v : values) b->push_back(v);
}
// Header fields in a row; wide enough for every value a header stores, negative ones included.
inline void Put16s(Bytes* b, std::initializer_list<int64_t> values) {
  for (int64_t v : values) Put16(b, static_cast<uint32_t>(v));
}
inline void Put32s(Bytes* b, std::initializer_list<int64_t> values) {
  for (int64_t v : values) Put32(b, static_cast<uint32_t>(v));
}

// An image from rows of packed 0xRRGGBBAA values.
inline Image MakeImage(int width, int height, const std::vector<uint32_t>& pixels) {
  Image image;
  image.width = width;
  image.height = height;
  for (uint32_t p : pixels) {
    for (int shift = 24; shift >= 0; shift -= 8)
      image.rgba.push_back(static_cast<uint8_t>(p >> shift));
  }
  return image;
}

// A smooth image with many colours, like a shaded render.
inline Image Gradient(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgba.push_back(static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1)));
      image.rgba.push_back(static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1)));
      image.rgba.push_back(static_cast<uint8_t>((x + y) * 127 / (width + height)));
      image.rgba.push_back(255);
    }
  }
  return image;
}

// "" when `actual` has the size of `expected` and every channel within `tolerance`; otherwise a
// description of the first difference.
std::string FirstDifference(const Image& actual, const Image& expected, int tolerance = 0);

// `bytes` through DecodeImage, which must succeed.
Image Decoded(const Bytes& bytes);

// `image` with every alpha set to 255.
Image Opaque(Image image);

// The indices of the files in `files` that DecodeImage accepts, or that it refuses without
// leaving an empty image.
std::vector<size_t> Accepted(const std::vector<Bytes>& files);

struct BmpOptions {
  int bits = 24;
  bool top_down = false;
  uint32_t header_size = 40;  // 12, 40, 56 or 124 here
  bool file_header = true;
  // 16 and 32 bits: masks to store as bit fields; all zero means the default layout.
  std::array<uint32_t, 4> masks{};
};

// A bitmap of `image`. Palette depths take their palette from the image's colours in order of
// appearance (there must be few enough).
Bytes BuildBmp(const Image& image, const BmpOptions& options);

// A bitmap header for `bits` with a 256-entry palette (index i is grey i) followed by `data`
// as run-length compressed pixels (compression 1 for 8 bits, 2 for 4 bits).
Bytes BuildRleBmp(int width, int height, int bits, const Bytes& data);

struct TgaOptions {
  int image_type = 2;   // 1, 2, 3, or 9, 10, 11 with run-length packets
  int pixel_bits = 24;  // 15, 16, 24, 32; grey 8 or 16; colour-mapped 8
  int alpha_bits = 0;   // descriptor bits 0..3
  bool top_down = false;
  bool right_to_left = false;
  int map_first = 0;  // colour-mapped: index of the first map entry
};

// A TGA of `image`; colour-mapped images take a 24-bit map in order of appearance.
Bytes BuildTga(const Image& image, const TgaOptions& options);

}  // namespace vorna::test

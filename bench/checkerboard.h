// The 256 x 256 test texture the drawing benchmarks share: 32-pixel checks with gradients in
// green and blue, so that every mip level differs.
#pragma once

#include <memory>
#include <utility>

#include "images/image.h"

namespace vorna::bench {

inline std::shared_ptr<const Texture> Checkerboard() {
  Image image;
  image.width = image.height = 256;
  image.rgba.resize(256 * 256 * 4);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      uint8_t* p = image.Pixel(x, y);
      const bool light = ((x / 32) + (y / 32)) % 2 == 0;
      p[0] = light ? 240 : 40;
      p[1] = static_cast<uint8_t>(x);
      p[2] = static_cast<uint8_t>(y);
      p[3] = 255;
    }
  }
  return Texture::FromImage(std::move(image));
}

}  // namespace vorna::bench

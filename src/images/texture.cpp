#include <utility>

#include "images/image.h"

namespace vorna {

namespace {

// Box filter of the previous level: each texel averages the (up to) 2 x 2 texels it covers.
Image HalveImage(const Image& src) {
  Image dst;
  dst.width = src.width > 1 ? src.width / 2 : 1;
  dst.height = src.height > 1 ? src.height / 2 : 1;
  dst.rgba.resize(static_cast<size_t>(dst.width) * dst.height * 4);
  const int sx_step = src.width > 1 ? 2 : 1;
  const int sy_step = src.height > 1 ? 2 : 1;
  for (int y = 0; y < dst.height; ++y) {
    for (int x = 0; x < dst.width; ++x) {
      const int x0 = x * sx_step, y0 = y * sy_step;
      const int x1 = sx_step == 2 ? x0 + 1 : x0, y1 = sy_step == 2 ? y0 + 1 : y0;
      uint8_t* out = dst.Pixel(x, y);
      for (int c = 0; c < 4; ++c) {
        const int sum = src.Pixel(x0, y0)[c] + src.Pixel(x1, y0)[c] + src.Pixel(x0, y1)[c] +
                        src.Pixel(x1, y1)[c];
        out[c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  return dst;
}

}  // namespace

std::shared_ptr<const Texture> Texture::FromImage(Image image) {
  if (image.empty() || image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) {
    return nullptr;
  }
  auto texture = std::shared_ptr<Texture>(new Texture());
  texture->levels_.push_back(std::move(image));
  while (texture->levels_.back().width > 1 || texture->levels_.back().height > 1) {
    texture->levels_.push_back(HalveImage(texture->levels_.back()));
  }
  return texture;
}

}  // namespace vorna

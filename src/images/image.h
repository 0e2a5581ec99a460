// RGBA8 images and immutable textures with their mip chains.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vorna {

// Straight (not premultiplied) RGBA, 8 bits a channel, rows top to bottom without padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  bool empty() const { return width <= 0 || height <= 0; }
  const uint8_t* Pixel(int x, int y) const {
    return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
  }
  uint8_t* Pixel(int x, int y) { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

// A decoded image with its full mip chain down to 1 x 1. Built once, then shared read-only by
// every Part that names the same file.
class Texture {
 public:
  // Builds the chain from `image`; returns null for an empty image.
  static std::shared_ptr<const Texture> FromImage(Image image);

  int width() const { return levels_.front().width; }
  int height() const { return levels_.front().height; }
  const std::vector<Image>& levels() const { return levels_; }

 private:
  std::vector<Image> levels_;
};

}  // namespace vorna

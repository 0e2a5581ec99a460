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
  // Not empty, and `rgba` holds exactly width x height pixels.
  bool valid() const {
    return !empty() && rgba.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  }
  const uint8_t* Pixel(int x, int y) const {
    return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
  }
  uint8_t* Pixel(int x, int y) { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

// A decoded image with its full mip chain down to 1 x 1. Built once, then shared read-only by
// every Part that names the same file.
class Texture {
 public:
  // Builds the chain from `image`: level 0 is the image itself, each further level the box
  // mean of the one above (HalveImage in scale.h) down to 1 x 1. Returns null for an empty or
  // inconsistent image, or when memory runs out.
  static std::shared_ptr<const Texture> FromImage(Image image);

  int width() const { return levels_.front().width; }
  int height() const { return levels_.front().height; }
  // Largest first; the last level is 1 x 1.
  const std::vector<Image>& levels() const { return levels_; }

 private:
  std::vector<Image> levels_;
};

}  // namespace vorna

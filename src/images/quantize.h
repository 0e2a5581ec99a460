// Colour reduction for palette formats (GIF).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "images/image.h"

namespace vorna {

struct PalettedImage {
  int width = 0;
  int height = 0;
  std::vector<std::array<uint8_t, 3>> palette;  // red, green, blue
  std::vector<uint8_t> indices;                 // width x height, rows top to bottom
};

// Reduces the colours of `image` (alpha ignored) to at most `max_colours` (2..256). An image
// with no more colours than that keeps every colour exactly. Otherwise the palette comes from a
// median cut that always splits the box with the largest squared error, at the point along its
// widest channel that leaves the least error, then is refined by two rounds of k-means; each
// pixel takes its nearest palette colour, without dithering, so flat areas stay flat. Fails for
// an empty or inconsistent image or a `max_colours` outside 2..256.
bool QuantizeImage(const Image& image, int max_colours, PalettedImage* out);

}  // namespace vorna

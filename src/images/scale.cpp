#include "images/scale.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "images/decode.h"

namespace vorna {

namespace {

// How the source pixels of one axis cover an output pixel. On a common scale where a source
// pixel is `to` units long and an output pixel `from` units, output pixel i covers
// [i * from, (i + 1) * from), and each weight is the overlap with one source pixel; the weights
// of one output pixel add up to `from`.
struct Footprint {
  int first = 0;  // first source pixel
  std::vector<uint32_t> weights;
};

std::vector<Footprint> Footprints(int from, int to) {
  std::vector<Footprint> result(to);
  for (int i = 0; i < to; ++i) {
    const int64_t begin = int64_t{i} * from, end = begin + from;
    Footprint& f = result[i];
    f.first = static_cast<int>(begin / to);
    for (int64_t s = f.first; s * to < end; ++s) {
      const int64_t s_begin = s * to, s_end = s_begin + to;
      const int64_t overlap = std::min(end, s_end) - std::max(begin, s_begin);
      f.weights.push_back(static_cast<uint32_t>(overlap));
    }
  }
  return result;
}

// The exact 2 x 2 box of even sides (one side may be 1).
Image HalveEven(const Image& source, int width, int height) {
  Image result;
  result.width = width;
  result.height = height;
  result.rgba.resize(static_cast<size_t>(width) * height * 4);
  const int step_x = source.width > 1 ? 1 : 0;
  const int step_y = source.height > 1 ? 1 : 0;
  const int divisor_shift = step_x + step_y;
  const int half = (1 << divisor_shift) / 2;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row0 = source.Pixel(0, y * 2 * step_y);
    const uint8_t* row1 = source.Pixel(0, y * 2 * step_y + step_y);
    uint8_t* out = result.Pixel(0, y);
    for (int x = 0; x < width; ++x) {
      const size_t a = static_cast<size_t>(x) * 2 * step_x * 4, b = a + step_x * 4;
      for (int c = 0; c < 4; ++c, ++out) {
        const int sum = row0[a + c] + row0[b + c] + row1[a + c] + row1[b + c];
        *out = static_cast<uint8_t>(((sum >> (2 - divisor_shift)) + half) >> divisor_shift);
      }
    }
  }
  return result;
}

}  // namespace

Image ScaleImage(const Image& source, int width, int height) {
  if (!source.valid() || width < 1 || height < 1 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    return Image{};
  }
  const std::vector<Footprint> columns = Footprints(source.width, width);
  const std::vector<Footprint> rows = Footprints(source.height, height);
  const uint64_t total = static_cast<uint64_t>(source.width) * source.height;

  Image result;
  result.width = width;
  result.height = height;
  result.rgba.resize(static_cast<size_t>(width) * height * 4);
  // One source row filtered horizontally (sums weighted up to source.width), then rows summed
  // into the output row. The last filtered row is kept: neighbouring output rows share one.
  std::vector<uint32_t> filtered(static_cast<size_t>(width) * 4);
  std::vector<uint64_t> sums(static_cast<size_t>(width) * 4);
  int filtered_row = -1;
  for (int y = 0; y < height; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    const Footprint& rows_used = rows[y];
    for (size_t k = 0; k < rows_used.weights.size(); ++k) {
      const int sy = rows_used.first + static_cast<int>(k);
      if (sy != filtered_row) {
        const uint8_t* src = source.Pixel(0, sy);
        for (int x = 0; x < width; ++x) {
          const Footprint& f = columns[x];
          uint32_t acc[4] = {0, 0, 0, 0};
          for (size_t j = 0; j < f.weights.size(); ++j) {
            const uint8_t* p = src + (static_cast<size_t>(f.first) + j) * 4;
            for (int c = 0; c < 4; ++c) acc[c] += f.weights[j] * p[c];
          }
          for (int c = 0; c < 4; ++c) filtered[static_cast<size_t>(x) * 4 + c] = acc[c];
        }
        filtered_row = sy;
      }
      const uint64_t weight = rows_used.weights[k];
      for (size_t i = 0; i < sums.size(); ++i) sums[i] += weight * filtered[i];
    }
    uint8_t* out = result.Pixel(0, y);
    for (size_t i = 0; i < sums.size(); ++i) {
      out[i] = static_cast<uint8_t>((sums[i] + total / 2) / total);
    }
  }
  return result;
}

Image MakeThumbnail(const Image& capture) {
  return ScaleImage(capture, kThumbnailSide, kThumbnailSide);
}

Image HalveImage(const Image& source) {
  if (!source.valid()) return Image{};
  const int width = source.width > 1 ? source.width / 2 : 1;
  const int height = source.height > 1 ? source.height / 2 : 1;
  const bool even_x = source.width == 1 || source.width % 2 == 0;
  const bool even_y = source.height == 1 || source.height % 2 == 0;
  if (even_x && even_y) return HalveEven(source, width, height);
  return ScaleImage(source, width, height);
}

void Unpremultiply(Image& image) {
  for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    const int a = image.rgba[i + 3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) {
      image.rgba[i + c] =
          static_cast<uint8_t>(std::min(255, (image.rgba[i + c] * 255 + a / 2) / a));
    }
  }
}

}  // namespace vorna

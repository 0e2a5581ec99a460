#include "image_builders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "images/decode.h"

namespace vorna::test {

namespace {

using Rgba = std::array<uint8_t, 4>;

Rgba PixelOf(const Image& image, int x, int y) {
  Rgba p;
  std::memcpy(p.data(), image.Pixel(x, y), 4);
  return p;
}

// Colours in order of first appearance (RGB only) and each pixel's index.
std::vector<Rgba> PaletteOf(const Image& image, std::vector<int>* indices) {
  std::vector<Rgba> palette;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      Rgba p = PixelOf(image, x, y);
      p[3] = 255;
      auto it = std::find(palette.begin(), palette.end(), p);
      if (it == palette.end()) it = palette.insert(palette.end(), p);
      indices->push_back(static_cast<int>(it - palette.begin()));
    }
  }
  return palette;
}

uint32_t PackMasked(const Rgba& p, const std::array<uint32_t, 4>& masks) {
  uint32_t value = 0;
  for (int c = 0; c < 4; ++c) {
    if (masks[c] == 0) continue;
    const int shift = std::countr_zero(masks[c]);
    const uint64_t max = static_cast<uint64_t>(masks[c]) >> shift;
    value |= static_cast<uint32_t>((p[c] * max + 127) / 255) << shift;
  }
  return value;
}

}  // namespace

std::string FirstDifference(const Image& actual, const Image& expected, int tolerance) {
  if (actual.width != expected.width || actual.height != expected.height ||
      actual.rgba.size() != expected.rgba.size()) {
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) +
           ", expected " + std::to_string(expected.width) + "x" + std::to_string(expected.height);
  }
  for (size_t i = 0; i < actual.rgba.size(); ++i) {
    if (std::abs(actual.rgba[i] - expected.rgba[i]) > tolerance) {
      const size_t pixel = i / 4;
      return "pixel (" + std::to_string(pixel % actual.width) + ", " +
             std::to_string(pixel / actual.width) + ") channel " + std::to_string(i % 4) + ": " +
             std::to_string(actual.rgba[i]) + ", expected " + std::to_string(expected.rgba[i]);
    }
  }
  return "";
}

Image Decoded(const Bytes& bytes) {
  Image image;
  EXPECT_TRUE(DecodeImage(bytes, &image));
  return image;
}

Image Opaque(Image image) {
  for (size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
  return image;
}

std::vector<size_t> Accepted(const std::vector<Bytes>& files) {
  std::vector<size_t> accepted;
  for (size_t i = 0; i < files.size(); ++i) {
    Image image;
    if (DecodeImage(files[i], &image) || !image.empty()) accepted.push_back(i);
  }
  return accepted;
}

Bytes BuildBmp(const Image& image, const BmpOptions& options) {
  const int w = image.width, h = image.height, bits = options.bits;
  std::vector<int> indices;
  std::vector<Rgba> palette;
  if (bits <= 8) palette = PaletteOf(image, &indices);
  const bool bitfields = options.masks != std::array<uint32_t, 4>{};
  const uint32_t stride = (w * bits + 31) / 32 * 4;

  Bytes dib;
  if (options.header_size == 12) {
    Put32(&dib, 12);
    Put16s(&dib, {w, h, 1, bits});
  } else {
    Put32s(&dib, {options.header_size, w, options.top_down ? -h : h});
    Put16s(&dib, {1, bits});
    Put32s(&dib,
           {bitfields ? 3 : 0, stride * h, 2835, 2835, static_cast<int64_t>(palette.size()), 0});
    if (options.header_size > 40) {
      for (uint32_t m : options.masks) Put32(&dib, m);
      dib.resize(options.header_size, 0);
    } else if (bitfields) {
      for (int c = 0; c < 3; ++c) Put32(&dib, options.masks[c]);
    }
  }
  for (const Rgba& p : palette) {
    PutAll(&dib, {p[2], p[1], p[0]});
    if (options.header_size != 12) Put8(&dib, 0);
  }
  const size_t pixel_offset = dib.size();
  for (int row = 0; row < h; ++row) {
    const int y = options.top_down ? row : h - 1 - row;
    Bytes line;
    uint32_t acc = 0;
    int acc_bits = 0;
    for (int x = 0; x < w; ++x) {
      const Rgba p = PixelOf(image, x, y);
      if (bits <= 8) {
        acc = (acc << bits) | indices[static_cast<size_t>(y) * w + x];
        acc_bits += bits;
        if (acc_bits == 8) {
          Put8(&line, acc);
          acc = acc_bits = 0;
        }
      } else if (bits == 24) {
        PutAll(&line, {p[2], p[1], p[0]});
      } else if (bits == 16) {
        Put16(&line, PackMasked(p, bitfields ? options.masks
                                             : std::array<uint32_t, 4>{0x7C00, 0x3E0, 0x1F, 0}));
      } else if (bitfields) {
        Put32(&line, PackMasked(p, options.masks));
      } else {
        PutAll(&line, {p[2], p[1], p[0], p[3]});  // the fourth byte must be ignored
      }
    }
    if (acc_bits > 0) Put8(&line, acc << (8 - acc_bits));
    line.resize(stride, 0);
    dib.insert(dib.end(), line.begin(), line.end());
  }
  if (!options.file_header) return dib;
  Bytes file = {'B', 'M'};
  Put32s(&file,
         {static_cast<int64_t>(14 + dib.size()), 0, static_cast<int64_t>(14 + pixel_offset)});
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

Bytes BuildRleBmp(int width, int height, int bits, const Bytes& data) {
  Bytes file = {'B', 'M'};
  const uint32_t offset = 14 + 40 + 256 * 4;
  const int64_t size = static_cast<int64_t>(data.size());
  Put32s(&file, {offset + size, 0, offset, 40, width, height});
  Put16s(&file, {1, bits});
  Put32s(&file, {bits == 8 ? 1 : 2, size, 0, 0, 256, 0});  // no resolution, 256 colours
  for (int i = 0; i < 256; ++i) Put32(&file, i * 0x010101u);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

Bytes BuildTga(const Image& image, const TgaOptions& options) {
  const bool mapped = (options.image_type & 7) == 1;
  const bool grey = (options.image_type & 7) == 3;
  std::vector<int> indices;
  std::vector<Rgba> map;
  if (mapped) map = PaletteOf(image, &indices);
  Bytes file;
  PutAll(&file,
         {3, static_cast<uint8_t>(mapped ? 1 : 0), static_cast<uint8_t>(options.image_type)});
  Put16s(&file, {options.map_first, static_cast<int64_t>(map.size())});
  Put8(&file, mapped ? 24 : 0);
  Put16s(&file, {0, 0, image.width, image.height});  // origin, size
  Put8(&file, options.pixel_bits);
  Put8(&file,
       options.alpha_bits | (options.right_to_left ? 0x10 : 0) | (options.top_down ? 0x20 : 0));
  PutAll(&file, {'i', 'd', '!'});
  for (const Rgba& p : map) PutAll(&file, {p[2], p[1], p[0]});

  std::vector<Bytes> pixels;
  for (int row = 0; row < image.height; ++row) {
    for (int column = 0; column < image.width; ++column) {
      const int x = options.right_to_left ? image.width - 1 - column : column;
      const int y = options.top_down ? row : image.height - 1 - row;
      const Rgba p = PixelOf(image, x, y);
      Bytes b;
      if (mapped) {
        Put8(&b, indices[static_cast<size_t>(y) * image.width + x] + options.map_first);
      } else if (grey) {
        Put8(&b, p[0]);
        if (options.pixel_bits == 16) Put8(&b, p[3]);
      } else if (options.pixel_bits <= 16) {
        Put16(&b,
              ((p[0] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[2] >> 3) | (p[3] >= 128 ? 0x8000 : 0));
      } else {
        PutAll(&b, {p[2], p[1], p[0]});
        if (options.pixel_bits == 32) Put8(&b, p[3]);
      }
      pixels.push_back(b);
    }
  }
  if (options.image_type < 9) {
    for (const Bytes& b : pixels) file.insert(file.end(), b.begin(), b.end());
    return file;
  }
  // Runs of equal pixels become run packets, everything else raw packets; both hold at most
  // 128 pixels and may cross row ends.
  for (size_t i = 0; i < pixels.size();) {
    size_t run = 1;
    while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
    if (run > 1) {
      Put8(&file, 0x80 | (run - 1));
      file.insert(file.end(), pixels[i].begin(), pixels[i].end());
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < pixels.size() && raw < 128 &&
           (i + raw + 1 >= pixels.size() || pixels[i + raw] != pixels[i + raw + 1])) {
      ++raw;
    }
    Put8(&file, raw - 1);
    for (size_t k = 0; k < raw; ++k)
      file.insert(file.end(), pixels[i + k].begin(), pixels[i + k].end());
    i += raw;
  }
  return file;
}

}  // namespace vorna::test

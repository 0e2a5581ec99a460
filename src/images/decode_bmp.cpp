// BMP files and packed DIBs (the same bitmap without the 14-byte file header).

#include <algorithm>
#include <array>
#include <cstring>

#include "images/channel_mask.h"
#include "images/decode.h"
#include "images/decoders.h"
#include "io/little_endian.h"

namespace vorna::image_internal {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;

// Run-length data may skip pixels (end of line, delta, end of bitmap), so a tiny file can
// describe a large, mostly empty image. Such files are refused past this many pixels per byte,
// which real bitmaps never reach, so that a few bytes cannot demand a huge allocation.
constexpr uint64_t kMaxRlePixelsPerByte = 4096;

using Rgba = std::array<uint8_t, 4>;

struct BmpLayout {
  int width = 0;
  int height = 0;
  bool top_down = false;
  int bits = 0;
  uint32_t compression = kBiRgb;
  PixelMasks masks;
  // Indices beyond the file's palette read as opaque black.
  std::array<Rgba, 256> palette{};
  std::span<const uint8_t> pixels;
};

bool IsKnownHeaderSize(uint32_t size) {
  return size == kCoreHeaderSize || size == 40 || size == 52 || size == 56 || size == 64 ||
         size == 108 || size == 124;
}

bool IsValidBitCount(int bits, bool core) {
  if (core) return bits == 1 || bits == 4 || bits == 8 || bits == 24;
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool IsValidCompression(uint32_t header_size, uint32_t compression, int bits) {
  switch (compression) {
    case kBiRgb:
      return true;
    case kBiRle8:
      return bits == 8;
    case kBiRle4:
      return bits == 4;
    case kBiBitfields:
    case kBiAlphaBitfields:
      // The 64-byte header of the older OS/2 bitmaps numbers its compressions differently
      // (3 is Huffman coding there); those are not supported.
      return header_size != 64 && (bits == 16 || bits == 32);
    default:
      return false;
  }
}

bool ReadMasks(std::span<const uint8_t> dib, uint32_t header_size, uint32_t compression, int bits,
               size_t* after_header, PixelMasks* masks) {
  if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
    uint32_t m[4] = {0, 0, 0, 0};
    if (header_size >= 52) {
      for (int i = 0; i < 3; ++i) m[i] = LoadU32(dib.data() + 40 + 4 * i);
      if (header_size >= 56) m[3] = LoadU32(dib.data() + 52);
    } else {
      // A 40-byte header is followed by the masks themselves.
      const size_t count = compression == kBiAlphaBitfields ? 4 : 3;
      if (dib.size() < header_size + 4 * count) return false;
      for (size_t i = 0; i < count; ++i) m[i] = LoadU32(dib.data() + header_size + 4 * i);
      *after_header += 4 * count;
    }
    return masks->Set(m[0], m[1], m[2], m[3]);
  }
  // Without bit fields, 32-bit pixels are x8r8g8b8: the fourth byte is reserved, not alpha.
  if (bits == 16) return masks->Set(0x7C00, 0x03E0, 0x001F, 0);
  if (bits == 32) return masks->Set(0x00FF0000, 0x0000FF00, 0x000000FF, 0);
  return true;
}

bool ParseBmp(std::span<const uint8_t> bytes, BmpLayout* layout) {
  const bool has_file_header = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
  const size_t dib_start = has_file_header ? kFileHeaderSize : 0;
  if (bytes.size() < dib_start + 4) return false;
  const std::span<const uint8_t> dib = bytes.subspan(dib_start);
  const uint32_t header_size = LoadU32(dib.data());
  if (!IsKnownHeaderSize(header_size) || dib.size() < header_size) return false;
  const bool core = header_size == kCoreHeaderSize;

  int64_t width = 0;
  int64_t height = 0;
  uint32_t colours_used = 0;
  if (core) {
    width = LoadU16(dib.data() + 4);
    height = LoadU16(dib.data() + 6);
    layout->bits = LoadU16(dib.data() + 10);
  } else {
    width = LoadI32(dib.data() + 4);
    height = LoadI32(dib.data() + 8);
    layout->bits = LoadU16(dib.data() + 14);
    layout->compression = LoadU32(dib.data() + 16);
    colours_used = LoadU32(dib.data() + 32);
  }
  // A negative height marks rows stored top to bottom.
  layout->top_down = height < 0;
  height = height < 0 ? -height : height;
  if (!WithinImageLimits(width, height)) return false;
  layout->width = static_cast<int>(width);
  layout->height = static_cast<int>(height);
  if (!IsValidBitCount(layout->bits, core) ||
      !IsValidCompression(header_size, layout->compression, layout->bits)) {
    return false;
  }

  size_t after_header = header_size;
  if (!ReadMasks(dib, header_size, layout->compression, layout->bits, &after_header,
                 &layout->masks)) {
    return false;
  }

  const size_t entry_size = core ? 3 : 4;
  size_t palette_entries = 0;
  if (layout->bits <= 8) {
    palette_entries = size_t{1} << layout->bits;
    if (colours_used > 0 && colours_used < palette_entries) palette_entries = colours_used;
  } else if (colours_used <= dib.size() / 4) {
    // Deeper bitmaps may carry an optional palette; a packed DIB must skip it.
    palette_entries = colours_used;
  } else {
    return false;
  }

  size_t pixel_offset = 0;  // from the start of `dib`
  if (has_file_header) {
    const uint32_t offset = LoadU32(bytes.data() + 10);
    if (offset < dib_start + after_header || offset > bytes.size()) return false;
    pixel_offset = offset - dib_start;
    // Some writers store fewer palette entries than the header implies; the pixel data
    // offset tells where the palette really ends.
    if (layout->bits <= 8) {
      palette_entries = std::min(palette_entries, (pixel_offset - after_header) / entry_size);
    }
  } else {
    if (palette_entries > (dib.size() - after_header) / entry_size) return false;
    pixel_offset = after_header + palette_entries * entry_size;
  }

  for (Rgba& entry : layout->palette) entry = {0, 0, 0, 255};
  if (layout->bits <= 8) {
    for (size_t i = 0; i < palette_entries; ++i) {
      const uint8_t* p = dib.data() + after_header + i * entry_size;
      layout->palette[i] = {p[2], p[1], p[0], 255};
    }
  }
  layout->pixels = dib.subspan(pixel_offset);
  return true;
}

int RowToY(const BmpLayout& layout, int64_t row) {
  return static_cast<int>(layout.top_down ? row : layout.height - 1 - row);
}

bool DecodeUncompressed(const BmpLayout& layout, Image* out) {
  const uint64_t row_bits = static_cast<uint64_t>(layout.width) * layout.bits;
  const uint64_t stride = (row_bits + 31) / 32 * 4;
  const uint64_t row_bytes = (row_bits + 7) / 8;
  // The last row's padding is often missing; the pixels themselves must all be there.
  if (layout.pixels.size() < stride * (layout.height - 1) + row_bytes) return false;
  AllocateImage(layout.width, layout.height, out);
  const int bits = layout.bits;
  for (int row = 0; row < layout.height; ++row) {
    const uint8_t* src = layout.pixels.data() + stride * row;
    uint8_t* dst = out->Pixel(0, RowToY(layout, row));
    for (int x = 0; x < layout.width; ++x, dst += 4) {
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          const size_t bit = static_cast<size_t>(x) * bits;
          const int shift = 8 - bits - static_cast<int>(bit % 8);
          const int index = (src[bit / 8] >> shift) & ((1 << bits) - 1);
          std::memcpy(dst, layout.palette[index].data(), 4);
          break;
        }
        case 16:
          layout.masks.Unpack(LoadU16(src + 2 * x), dst);
          break;
        case 24:
          dst[0] = src[3 * x + 2];
          dst[1] = src[3 * x + 1];
          dst[2] = src[3 * x];
          dst[3] = 255;
          break;
        default:
          layout.masks.Unpack(LoadU32(src + 4 * x), dst);
          break;
      }
    }
  }
  return true;
}

// RLE8 and RLE4. Pixels the data never reaches stay transparent black; runs past the end of a
// row are cut off; data after the last row is ignored.
bool DecodeRunLength(const BmpLayout& layout, Image* out) {
  const std::span<const uint8_t> data = layout.pixels;
  const uint64_t pixels = static_cast<uint64_t>(layout.width) * layout.height;
  if (pixels > kMaxRlePixelsPerByte * data.size()) return false;
  AllocateImage(layout.width, layout.height, out);
  const bool rle8 = layout.compression == kBiRle8;
  const int width = layout.width;
  int x = 0;
  int64_t row = 0;
  size_t pos = 0;
  auto put = [&](int index) {
    if (x < width) std::memcpy(out->Pixel(x, RowToY(layout, row)), layout.palette[index].data(), 4);
    x = std::min(x + 1, width);
  };
  while (row < layout.height) {
    if (data.size() - pos < 2) return false;
    const int count = data[pos];
    const int value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i) {
        put(rle8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++row;
        break;
      case 1:  // end of bitmap
        return true;
      case 2:  // delta: move right and down
        if (data.size() - pos < 2) return false;
        x = std::min(x + data[pos], width);
        row += data[pos + 1];
        pos += 2;
        break;
      default: {  // a literal run of `value` pixels, padded to an even number of bytes
        const size_t literal_bytes = rle8 ? value : (value + 1) / 2;
        if (data.size() - pos < literal_bytes) return false;
        for (int i = 0; i < value && x < width; ++i) {
          const uint8_t b = data[pos + (rle8 ? i : i / 2)];
          put(rle8 ? b : (i % 2 == 0 ? b >> 4 : b & 0x0F));
        }
        pos += std::min(data.size() - pos, (literal_bytes + 1) & ~size_t{1});
        break;
      }
    }
  }
  return true;
}

}  // namespace

bool LooksLikePackedDib(std::span<const uint8_t> bytes) {
  if (bytes.size() < 16) return false;
  const uint32_t header_size = LoadU32(bytes.data());
  if (!IsKnownHeaderSize(header_size) || bytes.size() < header_size) return false;
  if (header_size == kCoreHeaderSize) {
    return LoadU16(bytes.data() + 8) == 1 && IsValidBitCount(LoadU16(bytes.data() + 10), true);
  }
  const int bits = LoadU16(bytes.data() + 14);
  return LoadU16(bytes.data() + 12) == 1 && IsValidBitCount(bits, false) &&
         IsValidCompression(header_size, LoadU32(bytes.data() + 16), bits);
}

bool DecodeBmp(std::span<const uint8_t> bytes, Image* out) {
  BmpLayout layout;
  if (!ParseBmp(bytes, &layout)) return false;
  if (layout.compression == kBiRle8 || layout.compression == kBiRle4) {
    return DecodeRunLength(layout, out);
  }
  return DecodeUncompressed(layout, out);
}

}  // namespace vorna::image_internal

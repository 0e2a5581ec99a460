// DDS: the top level of a 2-D texture (or the first face of a cube map), either block
// compressed (DXT1 to DXT5, also as BC1 to BC3 behind the DX10 header) or uncompressed with
// channel masks. The file's own mip levels are not read: textures build their chain from the
// top level.

#include <array>
#include <cstring>

#include "images/channel_mask.h"
#include "images/decode.h"
#include "images/decoders.h"
#include "io/little_endian.h"

namespace vorna::image_internal {

namespace {

constexpr size_t kMagicSize = 4;
constexpr size_t kHeaderSize = 124;
constexpr size_t kDx10HeaderSize = 20;

// Header fields, as offsets from the start of the 124-byte header.
constexpr size_t kHeightOffset = 8;
constexpr size_t kWidthOffset = 12;
constexpr size_t kFormatFlagsOffset = 76;
constexpr size_t kFourCcOffset = 80;
constexpr size_t kBitCountOffset = 84;
constexpr size_t kMasksOffset = 88;
constexpr size_t kCaps2Offset = 108;

constexpr uint32_t kAlphaPixels = 0x1;
constexpr uint32_t kAlphaOnly = 0x2;
constexpr uint32_t kFourCc = 0x4;
constexpr uint32_t kRgb = 0x40;
constexpr uint32_t kLuminance = 0x20000;
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t kDx10Texture2d = 3;

using Rgba = std::array<uint8_t, 4>;

enum class Layout { kDxt1, kDxt3, kDxt5, kMasks };

struct DdsFormat {
  Layout layout = Layout::kMasks;
  bool premultiplied = false;  // DXT2 and DXT4
  int bytes_per_pixel = 0;     // kMasks only
  PixelMasks masks;            // kMasks only
  bool luminance = false;      // kMasks: the red mask holds grey
};

constexpr uint32_t FourCc(const char (&code)[5]) {
  return static_cast<uint32_t>(code[0]) | (static_cast<uint32_t>(code[1]) << 8) |
         (static_cast<uint32_t>(code[2]) << 16) | (static_cast<uint32_t>(code[3]) << 24);
}

bool FormatFromFourCc(uint32_t four_cc, DdsFormat* format) {
  switch (four_cc) {
    case FourCc("DXT1"):
      format->layout = Layout::kDxt1;
      return true;
    case FourCc("DXT2"):
      format->premultiplied = true;
      [[fallthrough]];
    case FourCc("DXT3"):
      format->layout = Layout::kDxt3;
      return true;
    case FourCc("DXT4"):
      format->premultiplied = true;
      [[fallthrough]];
    case FourCc("DXT5"):
      format->layout = Layout::kDxt5;
      return true;
    default:
      return false;
  }
}

bool FormatFromDxgi(uint32_t dxgi, DdsFormat* format) {
  switch (dxgi) {
    case 70:  // BC1 typeless, unorm, sRGB
    case 71:
    case 72:
      format->layout = Layout::kDxt1;
      return true;
    case 73:  // BC2
    case 74:
    case 75:
      format->layout = Layout::kDxt3;
      return true;
    case 76:  // BC3
    case 77:
    case 78:
      format->layout = Layout::kDxt5;
      return true;
    case 27:  // R8G8B8A8 typeless, unorm, sRGB
    case 28:
    case 29:
      format->bytes_per_pixel = 4;
      return format->masks.Set(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    case 87:  // B8G8R8A8 unorm, typeless, sRGB
    case 90:
    case 91:
      format->bytes_per_pixel = 4;
      return format->masks.Set(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    case 88:  // B8G8R8X8 unorm, typeless, sRGB
    case 92:
    case 93:
      format->bytes_per_pixel = 4;
      return format->masks.Set(0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    default:
      return false;
  }
}

bool FormatFromMasks(const uint8_t* header, uint32_t flags, DdsFormat* format) {
  const uint32_t bits = LoadU32(header + kBitCountOffset);
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  format->bytes_per_pixel = static_cast<int>(bits / 8);
  uint32_t m[4];
  for (int i = 0; i < 4; ++i) m[i] = LoadU32(header + kMasksOffset + 4 * i);
  // Writers fill the alpha mask of x8r8g8b8 and similar layouts inconsistently; it counts only
  // when the flags say the pixels have alpha.
  const uint32_t alpha = (flags & (kAlphaPixels | kAlphaOnly)) != 0 ? m[3] : 0;
  if (flags & kRgb) {
    if (m[0] == 0 && m[1] == 0 && m[2] == 0) return false;
    return format->masks.Set(m[0], m[1], m[2], alpha);
  }
  if (flags & kLuminance) {
    format->luminance = true;
    return m[0] != 0 && format->masks.Set(m[0], 0, 0, alpha);
  }
  if (flags & kAlphaOnly) return alpha != 0 && format->masks.Set(0, 0, 0, alpha);
  return false;
}

uint8_t Mix(int a, int b, int weight_a, int weight_b) {
  const int total = weight_a + weight_b;
  return static_cast<uint8_t>((a * weight_a + b * weight_b + total / 2) / total);
}

Rgba Expand565(uint16_t v) {
  const int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return {static_cast<uint8_t>((r << 3) | (r >> 2)), static_cast<uint8_t>((g << 2) | (g >> 4)),
          static_cast<uint8_t>((b << 3) | (b >> 2)), 255};
}

// The 16 colours of an 8-byte colour block. Interpolated colours are rounded to nearest. DXT1
// switches to three colours and transparent black when the first endpoint is not greater than
// the second; the colour blocks of DXT2 to DXT5 always use four colours.
void DecodeColourBlock(const uint8_t* block, bool allow_transparent, Rgba* texels) {
  const uint16_t c0 = LoadU16(block), c1 = LoadU16(block + 2);
  Rgba palette[4] = {Expand565(c0), Expand565(c1), {}, {}};
  const Rgba& a = palette[0];
  const Rgba& b = palette[1];
  if (c0 > c1 || !allow_transparent) {
    for (int c = 0; c < 3; ++c) {
      palette[2][c] = Mix(a[c], b[c], 2, 1);
      palette[3][c] = Mix(a[c], b[c], 1, 2);
    }
    palette[2][3] = palette[3][3] = 255;
  } else {
    for (int c = 0; c < 3; ++c) palette[2][c] = Mix(a[c], b[c], 1, 1);
    palette[2][3] = 255;
    palette[3] = {0, 0, 0, 0};
  }
  const uint32_t indices = LoadU32(block + 4);
  for (int i = 0; i < 16; ++i) texels[i] = palette[(indices >> (2 * i)) & 3];
}

// DXT2 and DXT3: sixteen explicit 4-bit alphas.
void DecodeExplicitAlpha(const uint8_t* block, Rgba* texels) {
  for (int i = 0; i < 16; ++i) {
    const int nibble = (block[i / 2] >> (4 * (i % 2))) & 0x0F;
    texels[i][3] = static_cast<uint8_t>(nibble * 17);
  }
}

// DXT4 and DXT5: two endpoint alphas and 3-bit indices into eight alphas interpolated between
// them (or six, plus 0 and 255, when the first is not greater than the second).
void DecodeInterpolatedAlpha(const uint8_t* block, Rgba* texels) {
  const int a0 = block[0], a1 = block[1];
  int alphas[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) alphas[i + 1] = Mix(a0, a1, 7 - i, i);
  } else {
    for (int i = 1; i < 5; ++i) alphas[i + 1] = Mix(a0, a1, 5 - i, i);
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) texels[i][3] = static_cast<uint8_t>(alphas[(bits >> (3 * i)) & 7]);
}

void Unpremultiply(Rgba* texel) {
  const int a = (*texel)[3];
  for (int c = 0; c < 3; ++c) {
    const int v = a == 0 ? 0 : ((*texel)[c] * 255 + a / 2) / a;
    (*texel)[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

bool DecodeBlocks(const DdsFormat& format, std::span<const uint8_t> data, int width, int height,
                  Image* out) {
  const size_t block_bytes = format.layout == Layout::kDxt1 ? 8 : 16;
  const uint64_t blocks_x = (static_cast<uint64_t>(width) + 3) / 4;
  const uint64_t blocks_y = (static_cast<uint64_t>(height) + 3) / 4;
  if (data.size() / block_bytes < blocks_x * blocks_y) return false;
  AllocateImage(width, height, out);
  const uint8_t* block = data.data();
  Rgba texels[16];
  for (uint64_t by = 0; by < blocks_y; ++by) {
    for (uint64_t bx = 0; bx < blocks_x; ++bx, block += block_bytes) {
      switch (format.layout) {
        case Layout::kDxt1:
          DecodeColourBlock(block, true, texels);
          break;
        case Layout::kDxt3:
          DecodeColourBlock(block + 8, false, texels);
          DecodeExplicitAlpha(block, texels);
          break;
        default:
          DecodeColourBlock(block + 8, false, texels);
          DecodeInterpolatedAlpha(block, texels);
          break;
      }
      for (int i = 0; i < 16; ++i) {
        const uint64_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
        if (x >= static_cast<uint64_t>(width) || y >= static_cast<uint64_t>(height)) continue;
        if (format.premultiplied) Unpremultiply(&texels[i]);
        std::memcpy(out->Pixel(static_cast<int>(x), static_cast<int>(y)), texels[i].data(), 4);
      }
    }
  }
  return true;
}

bool DecodeMasked(const DdsFormat& format, std::span<const uint8_t> data, int width, int height,
                  Image* out) {
  // Rows are tightly packed: the pitch field is unreliable in files from many writers.
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  if (data.size() / format.bytes_per_pixel < pixels) return false;
  AllocateImage(width, height, out);
  const uint8_t* src = data.data();
  uint8_t* dst = out->rgba.data();
  for (uint64_t i = 0; i < pixels; ++i, src += format.bytes_per_pixel, dst += 4) {
    uint32_t pixel = 0;
    for (int b = 0; b < format.bytes_per_pixel; ++b)
      pixel |= static_cast<uint32_t>(src[b]) << (8 * b);
    format.masks.Unpack(pixel, dst);
    if (format.luminance) dst[1] = dst[2] = dst[0];
  }
  return true;
}

}  // namespace

bool DecodeDds(std::span<const uint8_t> bytes, Image* out) {
  if (bytes.size() < kMagicSize + kHeaderSize || std::memcmp(bytes.data(), "DDS ", 4) != 0) {
    return false;
  }
  const uint8_t* header = bytes.data() + kMagicSize;
  if (LoadU32(header) != kHeaderSize) return false;
  const int64_t width = LoadU32(header + kWidthOffset);
  const int64_t height = LoadU32(header + kHeightOffset);
  if (!WithinImageLimits(width, height)) return false;
  if (LoadU32(header + kCaps2Offset) & kCaps2Volume) return false;

  DdsFormat format;
  size_t data_offset = kMagicSize + kHeaderSize;
  const uint32_t flags = LoadU32(header + kFormatFlagsOffset);
  const uint32_t four_cc = LoadU32(header + kFourCcOffset);
  if ((flags & kFourCc) && four_cc == FourCc("DX10")) {
    if (bytes.size() < data_offset + kDx10HeaderSize) return false;
    const uint8_t* dx10 = bytes.data() + data_offset;
    if (LoadU32(dx10 + 4) != kDx10Texture2d || !FormatFromDxgi(LoadU32(dx10), &format)) {
      return false;
    }
    data_offset += kDx10HeaderSize;
  } else if (flags & kFourCc) {
    if (!FormatFromFourCc(four_cc, &format)) return false;
  } else if (!FormatFromMasks(header, flags, &format)) {
    return false;
  }

  const std::span<const uint8_t> data = bytes.subspan(data_offset);
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (format.layout == Layout::kMasks) return DecodeMasked(format, data, w, h, out);
  return DecodeBlocks(format, data, w, h, out);
}

}  // namespace vorna::image_internal

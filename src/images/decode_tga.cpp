// TGA: true colour, grey and colour-mapped images, raw or run-length encoded, in any of the
// four pixel orders. The format has no signature, so it is recognised by a header whose
// fields are all consistent.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "images/decode.h"
#include "images/decoders.h"
#include "io/little_endian.h"

namespace vorna::image_internal {

namespace {

constexpr size_t kHeaderSize = 18;

using Rgba = std::array<uint8_t, 4>;

struct TgaHeader {
  int id_length = 0;
  int colour_map_type = 0;
  int image_type = 0;
  int map_first = 0;
  int map_length = 0;
  int map_entry_bits = 0;
  int width = 0;
  int height = 0;
  int pixel_bits = 0;
  int descriptor = 0;

  bool colour_mapped() const { return image_type == 1 || image_type == 9; }
  bool grey() const { return image_type == 3 || image_type == 11; }
  bool run_length() const { return image_type >= 9; }
  int alpha_bits() const { return descriptor & 0x0F; }
  bool right_to_left() const { return (descriptor & 0x10) != 0; }
  bool top_down() const { return (descriptor & 0x20) != 0; }
  size_t map_bytes() const {
    return colour_map_type == 1 ? static_cast<size_t>(map_length) * ((map_entry_bits + 7) / 8) : 0;
  }
};

TgaHeader ReadHeader(const uint8_t* p) {
  TgaHeader h;
  h.id_length = p[0];
  h.colour_map_type = p[1];
  h.image_type = p[2];
  h.map_first = LoadU16(p + 3);
  h.map_length = LoadU16(p + 5);
  h.map_entry_bits = p[7];
  h.width = LoadU16(p + 12);
  h.height = LoadU16(p + 14);
  h.pixel_bits = p[16];
  h.descriptor = p[17];
  return h;
}

bool IsColourDepth(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

bool IsConsistent(const TgaHeader& h) {
  if (h.colour_map_type > 1) return false;
  const int type = h.image_type & ~8;
  if (type < 1 || type > 3) return false;
  if (h.width == 0 || h.height == 0) return false;
  if ((h.descriptor & 0xC0) != 0) return false;  // interleaved rows: never written in practice
  if (h.colour_map_type == 1 && (!IsColourDepth(h.map_entry_bits) || h.map_length == 0)) {
    return false;
  }
  if (h.colour_mapped()) {
    return h.colour_map_type == 1 && (h.pixel_bits == 8 || h.pixel_bits == 16);
  }
  if (h.grey()) return h.pixel_bits == 8 || h.pixel_bits == 16;
  return IsColourDepth(h.pixel_bits);
}

// One stored colour (pixel or colour-map entry) of 15, 16, 24 or 32 bits. Alpha is taken from
// the file only when the descriptor declares alpha bits: many writers leave the attribute bit
// or byte as zero in opaque images.
Rgba UnpackColour(const uint8_t* p, int bits, bool use_alpha) {
  switch (bits) {
    case 15:
    case 16: {
      const int v = LoadU16(p);
      auto expand = [](int five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); };
      const bool opaque = bits == 15 || !use_alpha || (v & 0x8000) != 0;
      return {expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31),
              static_cast<uint8_t>(opaque ? 255 : 0)};
    }
    case 24:
      return {p[2], p[1], p[0], 255};
    default:
      return {p[2], p[1], p[0], use_alpha ? p[3] : uint8_t{255}};
  }
}

class PixelUnpacker {
 public:
  PixelUnpacker(const TgaHeader& header, std::vector<Rgba> map)
      : header_(header), map_(std::move(map)) {}

  Rgba operator()(const uint8_t* p) const {
    if (header_.colour_mapped()) {
      const int index = (header_.pixel_bits == 8 ? p[0] : LoadU16(p)) - header_.map_first;
      // Indices outside the map read as opaque black.
      if (index < 0 || static_cast<size_t>(index) >= map_.size()) return {0, 0, 0, 255};
      return map_[index];
    }
    if (header_.grey()) {
      // 16-bit grey images carry alpha in their second byte.
      return {p[0], p[0], p[0], header_.pixel_bits == 16 ? p[1] : uint8_t{255}};
    }
    return UnpackColour(p, header_.pixel_bits, header_.alpha_bits() > 0);
  }

 private:
  const TgaHeader& header_;
  std::vector<Rgba> map_;
};

}  // namespace

bool LooksLikeTga(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return false;
  const TgaHeader header = ReadHeader(bytes.data());
  return IsConsistent(header) &&
         bytes.size() >= kHeaderSize + header.id_length + header.map_bytes();
}

bool DecodeTga(std::span<const uint8_t> bytes, Image* out) {
  if (!LooksLikeTga(bytes)) return false;
  const TgaHeader header = ReadHeader(bytes.data());
  if (!WithinImageLimits(header.width, header.height)) return false;

  const uint8_t* map_data = bytes.data() + kHeaderSize + header.id_length;
  std::vector<Rgba> map;
  if (header.colour_mapped()) {
    const int entry_bytes = (header.map_entry_bits + 7) / 8;
    map.resize(header.map_length);
    for (int i = 0; i < header.map_length; ++i) {
      map[i] =
          UnpackColour(map_data + i * entry_bytes, header.map_entry_bits, header.alpha_bits() > 0);
    }
  }
  const PixelUnpacker unpack(header, std::move(map));

  const std::span<const uint8_t> data =
      bytes.subspan(kHeaderSize + header.id_length + header.map_bytes());
  const size_t pixel_bytes = (header.pixel_bits + 7) / 8;
  const uint64_t pixels = static_cast<uint64_t>(header.width) * header.height;
  // A packet of one header byte and one pixel expands to at most 128 pixels.
  const uint64_t most_pixels =
      header.run_length() ? data.size() / (1 + pixel_bytes) * 128 : data.size() / pixel_bytes;
  if (pixels > most_pixels) return false;

  AllocateImage(header.width, header.height, out);
  // Pixels are stored as one stream; run-length packets may cross row ends.
  uint64_t written = 0;
  auto put = [&](const Rgba& colour) {
    const int row = static_cast<int>(written / header.width);
    const int column = static_cast<int>(written % header.width);
    const int x = header.right_to_left() ? header.width - 1 - column : column;
    const int y = header.top_down() ? row : header.height - 1 - row;
    std::memcpy(out->Pixel(x, y), colour.data(), 4);
    ++written;
  };
  size_t pos = 0;
  if (!header.run_length()) {
    for (uint64_t i = 0; i < pixels; ++i, pos += pixel_bytes) put(unpack(data.data() + pos));
    return true;
  }
  while (written < pixels) {
    if (data.size() - pos < 1 + pixel_bytes) return false;
    const int packet = data[pos++];
    const uint64_t count = std::min<uint64_t>((packet & 0x7F) + 1, pixels - written);
    if (packet & 0x80) {
      const Rgba colour = unpack(data.data() + pos);
      pos += pixel_bytes;
      for (uint64_t i = 0; i < count; ++i) put(colour);
    } else {
      if ((data.size() - pos) / pixel_bytes < count) return false;
      for (uint64_t i = 0; i < count; ++i, pos += pixel_bytes) put(unpack(data.data() + pos));
    }
  }
  return true;
}

}  // namespace vorna::image_internal

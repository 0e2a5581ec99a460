// Colour channels described by bit masks, as BMP bit fields and uncompressed DDS layouts store
// them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace vorna::image_internal {

class ChannelMask {
 public:
  ChannelMask() = default;

  // A zero mask is an absent channel. Fails for a mask whose bits are not contiguous.
  bool Set(uint32_t mask) {
    mask_ = mask;
    if (mask == 0) {
      shift_ = 0;
      max_ = 0;
      return true;
    }
    shift_ = std::countr_zero(mask);
    const uint64_t field = static_cast<uint64_t>(mask) >> shift_;
    if ((field & (field + 1)) != 0) return false;
    max_ = static_cast<uint32_t>(field);
    return true;
  }

  bool present() const { return mask_ != 0; }

  // The channel of `pixel` scaled to 0..255 with rounding; `absent` when there is no channel.
  uint8_t Extract(uint32_t pixel, uint8_t absent) const {
    if (mask_ == 0) return absent;
    const uint64_t v = (pixel & mask_) >> shift_;
    if (max_ == 255) return static_cast<uint8_t>(v);
    return static_cast<uint8_t>((v * 255 + max_ / 2) / max_);
  }

 private:
  uint32_t mask_ = 0;
  int shift_ = 0;
  uint32_t max_ = 0;
};

// Red, green, blue and alpha masks.
struct PixelMasks {
  std::array<ChannelMask, 4> channels;

  bool Set(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return channels[0].Set(red) && channels[1].Set(green) && channels[2].Set(blue) &&
           channels[3].Set(alpha);
  }

  void Unpack(uint32_t pixel, uint8_t* rgba) const {
    for (int c = 0; c < 3; ++c) rgba[c] = channels[c].Extract(pixel, 0);
    rgba[3] = channels[3].Extract(pixel, 255);
  }
};

}  // namespace vorna::image_internal

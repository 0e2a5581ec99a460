#include <gtest/gtest.h>

#include "image_builders.h"
#include "images/decode.h"

namespace vorna {
namespace {

using test::Bytes;
using test::Decoded;
using test::FirstDifference;

constexpr uint32_t kFourCc = 0x4;
constexpr uint32_t kRgb = 0x40;
constexpr uint32_t kAlphaPixels = 0x1;
constexpr uint32_t kLuminance = 0x20000;

Bytes CompressedDds(int width, int height, const char* four_cc, const Bytes& blocks) {
  return test::BuildDds(width, height, kFourCc, four_cc, 0, {}, blocks);
}

// A 4 x 4 image whose columns are palette[0] to palette[3], as index bytes 0b11100100 give.
Image Block(const std::array<uint32_t, 4>& palette) {
  std::vector<uint32_t> pixels;
  for (int i = 0; i < 16; ++i) pixels.push_back(palette[i % 4]);
  return test::MakeImage(4, 4, pixels);
}

TEST(DdsDecodeTest, Dxt1InterpolatesFourColoursOrThreeAndTransparency) {
  // Red 0xF800 over blue 0x001F: four colours, the middle two at 1/3 and 2/3.
  const Bytes four = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
  EXPECT_EQ(FirstDifference(Decoded(CompressedDds(4, 4, "DXT1", four)),
                            Block({0xFF0000FF, 0x0000FFFF, 0xAA0055FF, 0x5500AAFF})),
            "");
  // Endpoints swapped: three colours (the midpoint rounds up) and transparent black.
  const Bytes three = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
  EXPECT_EQ(FirstDifference(Decoded(CompressedDds(4, 4, "DXT1", three)),
                            Block({0x0000FFFF, 0xFF0000FF, 0x800080FF, 0x00000000})),
            "");
}

TEST(DdsDecodeTest, Dxt3AndDxt5DecodeTheirAlphaBlocks) {
  // DXT3: sixteen 4-bit alphas, low nibble first; white colour block.
  Bytes dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  const Image image3 = Decoded(CompressedDds(4, 4, "DXT3", dxt3));
  ASSERT_FALSE(image3.empty());
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(image3.rgba[4 * i + 3], i * 17) << i;
    EXPECT_EQ(image3.rgba[4 * i], 255) << i;
  }

  // DXT5 with 255 > 0: eight alphas 255, 0, then 1/7 steps rounded to nearest. Texel i takes
  // index i % 8; 3-bit indices are packed from the low bits up.
  auto alpha_block = [](int a0, int a1) {
    Bytes b = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= static_cast<uint64_t>(i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i) b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    test::PutAll(&b, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
    return b;
  };
  const int eight[8] = {255, 0, 219, 182, 146, 109, 73, 36};
  const Image image5 = Decoded(CompressedDds(4, 4, "DXT5", alpha_block(255, 0)));
  ASSERT_FALSE(image5.empty());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(image5.rgba[4 * i + 3], eight[i % 8]) << i;
  // 50 <= 100: six alphas in 1/5 steps, then 0 and 255.
  const int six[8] = {50, 100, 60, 70, 80, 90, 0, 255};
  const Image image6 = Decoded(CompressedDds(4, 4, "DXT5", alpha_block(50, 100)));
  ASSERT_FALSE(image6.empty());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(image6.rgba[4 * i + 3], six[i % 8]) << i;
}

TEST(DdsDecodeTest, PremultipliedAndPartialBlocks) {
  // DXT2 stores colour premultiplied by alpha: grey 0x7BEF (123: 5-bit channels widen by
  // repeating their top bits) at alpha 8/15 = 136 is 123 * 255 / 136 = 231 when straightened.
  const Bytes dxt2 = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88,
                      0xEF, 0x7B, 0xEF, 0x7B, 0,    0,    0,    0};
  const Image straight = Decoded(CompressedDds(4, 4, "DXT2", dxt2));
  ASSERT_FALSE(straight.empty());
  EXPECT_EQ(straight.Pixel(0, 0)[3], 136);
  EXPECT_EQ(straight.Pixel(0, 0)[0], 231);

  // 5 x 3 takes 2 x 1 blocks; texels outside the image are dropped.
  Bytes blocks = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0, 0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
  const Image image = Decoded(CompressedDds(5, 3, "DXT1", blocks));
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 3);
  EXPECT_EQ(image.Pixel(3, 2)[0], 255);
  EXPECT_EQ(image.Pixel(4, 2)[2], 255);
  EXPECT_EQ(image.Pixel(4, 2)[0], 0);
}

TEST(DdsDecodeTest, DecodesUncompressedLayouts) {
  const std::array<uint32_t, 4> argb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  const struct {
    uint32_t flags;
    int bits;
    std::array<uint32_t, 4> masks;
    uint32_t stored, expected;
  } cases[] = {
      {kRgb | kAlphaPixels, 32, argb, 0x80102030, 0x10203080},
      {kRgb, 32, argb, 0x00102030, 0x102030FF},  // an alpha mask without the flag is not alpha
      {kRgb, 16, {0xF800, 0x07E0, 0x001F, 0}, 0x7BEF, 0x7B7D7BFF},
      {kRgb | kAlphaPixels, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x7C00, 0xFF000000},
      {kLuminance | kAlphaPixels, 16, {0xFF, 0, 0, 0xFF00}, 0x8042, 0x42424280},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.stored);
    Bytes data;
    for (int i = 0; i < 6; ++i) {
      for (int b = 0; b < c.bits / 8; ++b) test::Put8(&data, c.stored >> (8 * b));
    }
    const Image expected = test::MakeImage(3, 2, std::vector<uint32_t>(6, c.expected));
    const Bytes file = test::BuildDds(3, 2, c.flags, nullptr, c.bits, c.masks, data);
    EXPECT_EQ(FirstDifference(Decoded(file), expected), "");
  }
  // The DX10 header names the layout by number: 28 is r8g8b8a8.
  Bytes dx10;
  test::Put32(&dx10, 28);
  test::Put32(&dx10, 3);  // 2-D texture
  test::Put32(&dx10, 0);
  test::Put32(&dx10, 1);
  test::Put32(&dx10, 0);
  test::PutAll(&dx10, {0x10, 0x20, 0x30, 0x40});
  EXPECT_EQ(FirstDifference(Decoded(CompressedDds(1, 1, "DX10", dx10)),
                            test::MakeImage(1, 1, {0x10203040})),
            "");
}

TEST(DdsDecodeTest, RefusesMalformedFiles) {
  const Bytes good = CompressedDds(8, 8, "DXT5", Bytes(64, 0));
  const std::vector<Bytes> cases = {
      Bytes(good.begin(), good.end() - 1),            // a block cut short
      test::Patched(good, 4, {100}),                  // header size 100
      test::Patched(good, 12, {0, 0}),                // height 0
      test::Patched(good, 16, {0x01, 0x40}),          // width 16385
      test::Patched(good, 84, {'D', 'X', 'T', '9'}),  // unknown FourCC
      test::Patched(good, 4 + 108, {0, 0, 0x20}),     // volume texture
      test::BuildDds(1, 1, kRgb, nullptr, 32, {0xF0F, 0xF0, 0xF000, 0}, Bytes(4, 0)),  // gaps
      test::BuildDds(1, 1, kRgb, nullptr, 12, {0xF00, 0xF0, 0xF, 0}, Bytes(4, 0)),     // 12 bits
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
}

}  // namespace
}  // namespace vorna

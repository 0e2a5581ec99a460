// BMP, TGA and DDS files built byte by byte: every layout, and damaged headers and data.
#include "images/decode.h"

#include <gtest/gtest.h>

#include "image_builders.h"

namespace vorna {
namespace {

using test::Bytes;
using test::Decoded;
using test::FirstDifference;
using test::Opaque;
using test::Patched;

// Odd width, so that rows need padding; one transparent pixel for the formats with alpha.
const Image kColours =
    test::MakeImage(3, 2, {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF, 0x000000FF, 0xFFFF0000});
const Image kMono =
    test::MakeImage(3, 2, {0x000000FF, 0xFFFFFFFF, 0x000000FF, 0xFFFFFFFF, 0xFFFFFFFF, 0x000000FF});
const Image kGrey =
    test::MakeImage(3, 2, {0x000000FF, 0x404040C0, 0x80808080, 0xC0C0C040, 0xFFFFFF00, 0x101010FF});

TEST(BmpDecodeTest, DecodesEveryLayout) {
  // Alpha survives only where a mask declares it; the 1-bit case takes a two-colour image.
  const struct {
    const char* name;
    test::BmpOptions options;
  } cases[] = {
      {"24 bits, bottom-up", {.bits = 24}},
      {"32 bits, fourth byte reserved", {.bits = 32}},
      {"32 bits, V5 alpha mask", {32, false, 124, true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}},
      {"32 bits, masks after the header", {.bits = 32, .masks = {0xFF, 0xFF00, 0xFF0000, 0}}},
      {"16 bits, 5-5-5", {.bits = 16}},
      {"16 bits, 5-6-5", {.bits = 16, .masks = {0xF800, 0x07E0, 0x001F, 0}}},
      {"16 bits, 1-5-5-5 in a V3 header", {16, false, 56, true, {0x7C00, 0x3E0, 0x1F, 0x8000}}},
      {"8 bits", {.bits = 8}},
      {"4 bits, top-down", {.bits = 4, .top_down = true}},
      {"1 bit", {.bits = 1}},
      {"core header, 3-byte palette", {.bits = 8, .header_size = 12}},
      {"packed DIB", {.bits = 8, .file_header = false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image& image = c.options.bits == 1 ? kMono : kColours;
    const Image expected = c.options.masks[3] != 0 ? image : Opaque(image);
    EXPECT_EQ(FirstDifference(Decoded(test::BuildBmp(image, c.options)), expected), "");
  }
}

TEST(BmpDecodeTest, RunLengthDataFillsRunsLiteralsAndSkips) {
  // 6 x 3, bottom-up: the first row of data is the bottom row. Grey palette: index i is grey i.
  const Bytes rle8 = {
      3, 10,                 // three pixels of 10
      0, 3,  20, 21, 22, 0,  // a literal run of three, padded to an even length
      0, 0,                  // end of line
      0, 2,  2,  1,          // delta: two right, one down (skips the rest of row 1)
      2, 30,                 // two pixels of 30 at x = 2, 3 of the top row
      9, 40,                 // a run past the end of the row is cut off
      0, 1,                  // end of bitmap
  };
  auto g = [](uint32_t v) { return v << 24 | v << 16 | v << 8 | 0xFF; };
  EXPECT_EQ(FirstDifference(Decoded(test::BuildRleBmp(6, 3, 8, rle8)),
                            test::MakeImage(6, 3,
                                            {0, 0, g(30), g(30), g(40), g(40),  // top row
                                             0, 0, 0, 0, 0, 0,  // skipped: transparent
                                             g(10), g(10), g(10), g(20), g(21), g(22)})),
            "");
  // RLE4 alternates the two nibbles of a run; literal nibbles are read in order.
  const Bytes rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  EXPECT_EQ(
      FirstDifference(Decoded(test::BuildRleBmp(8, 1, 4, rle4)),
                      test::MakeImage(8, 1, {g(1), g(2), g(1), g(2), g(1), g(3), g(4), g(5)})),
      "");
}

TEST(BmpDecodeTest, RefusesMalformedBitmaps) {
  const Bytes good = test::BuildBmp(kColours, {.bits = 24});
  const std::vector<Bytes> cases = {
      Patched(good, 18, {0, 0, 0, 0}),        // width 0
      Patched(good, 22, {0, 0, 0, 0x80}),     // height -2^31
      Patched(good, 18, {0x01, 0x40, 0, 0}),  // width 16385
      Patched(good, 28, {7, 0}),              // 7 bits per pixel
      Patched(good, 30, {1}),                 // RLE8 on a 24-bit bitmap
      Patched(good, 30, {4}),                 // embedded JPEG
      Patched(good, 10, {0xFF}),              // pixel data beyond the end
      Patched(good, 14, {41}),                // unknown header size
      Bytes(good.begin(), good.end() - 4),    // a pixel missing
      test::BuildBmp(kColours, {.bits = 32, .masks = {0xF0F, 0xF0, 0xF000, 0}}),  // gappy mask
      test::BuildRleBmp(16384, 16384, 8, {0, 1}),  // huge, from a few bytes
      test::BuildRleBmp(4, 1, 8, {2, 7}),          // data ends before the image does
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
  // Writers often leave out the padding of the last row; the pixels are all there.
  Image image;
  EXPECT_TRUE(DecodeImage(Bytes(good.begin(), good.end() - 3), &image));
}

TEST(TgaDecodeTest, DecodesEveryLayout) {
  // In top-down order, runs cross row ends.
  const Image runs = test::MakeImage(4, 3,
                                     {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF,  //
                                      0xFF0000FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF,  //
                                      0x0000FFFF, 0x0000FFFF, 0x0000FFFF, 0xFFFFFFFF});
  Image long_run = test::MakeImage(200, 2, std::vector<uint32_t>(400, 0x336699FF));
  long_run.rgba[4 * 300] = 0;  // runs of more than 128 pixels take several packets
  const struct {
    const char* name;
    const Image& image;
    test::TgaOptions options;
    bool keeps_alpha;
  } cases[] = {
      // clang-format off
      {"24 bits, bottom-up", kColours, {.image_type = 2}, false},
      {"32 bits with alpha, top-down", kColours, {2, 32, 8, true}, true},
      {"32 bits, alpha not declared", kColours, {.image_type = 2, .pixel_bits = 32}, false},
      {"16 bits with an alpha bit", kColours, {2, 16, 1}, true},
      {"right to left", kColours, {.image_type = 2, .right_to_left = true}, false},
      {"top-down, right to left", kColours, {2, 24, 0, true, true}, false},
      {"grey with alpha", kGrey, {.image_type = 3, .pixel_bits = 16}, true},
      {"colour map starting at 5", kColours, {1, 8, 0, false, false, 5}, false},
      {"run-length 24 bits", runs, {.image_type = 10, .top_down = true}, false},
      {"run-length, long runs", long_run, {10, 32, 8}, true},
      {"run-length colour-mapped", runs, {.image_type = 9, .pixel_bits = 8}, false},
      {"run-length grey", kGrey, {.image_type = 11, .pixel_bits = 8}, false},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FirstDifference(Decoded(test::BuildTga(c.image, c.options)),
                              c.keeps_alpha ? c.image : Opaque(c.image)),
              "");
  }
}

TEST(TgaDecodeTest, RefusesMalformedHeadersAndData) {
  const Bytes good = test::BuildTga(kColours, {.image_type = 10});
  const std::vector<Bytes> cases = {
      Patched(good, 2, {4}),                        // image type 4
      Patched(good, 1, {2}),                        // colour-map type 2
      Patched(good, 12, {0}),                       // width 0
      Patched(good, 16, {12}),                      // 12 bits per pixel
      Patched(good, 17, {0x40}),                    // interleaved
      Patched(good, 12, {0xFF, 0xFF, 0xFF, 0xFF}),  // 65535 x 65535
      Bytes(good.begin(), good.end() - 1),          // run-length data ends early
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
}

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
      Bytes(good.begin(), good.end() - 1),      // a block cut short
      Patched(good, 4, {100}),                  // header size 100
      Patched(good, 12, {0, 0}),                // height 0
      Patched(good, 16, {0x01, 0x40}),          // width 16385
      Patched(good, 84, {'D', 'X', 'T', '9'}),  // unknown FourCC
      Patched(good, 4 + 108, {0, 0, 0x20}),     // volume texture
      test::BuildDds(1, 1, kRgb, nullptr, 32, {0xF0F, 0xF0, 0xF000, 0}, Bytes(4, 0)),  // gaps
      test::BuildDds(1, 1, kRgb, nullptr, 12, {0xF00, 0xF0, 0xF, 0}, Bytes(4, 0)),     // 12 bits
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
}

}  // namespace
}  // namespace vorna

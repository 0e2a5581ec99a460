#include <gtest/gtest.h>

#include "image_builders.h"
#include "images/decode.h"

namespace vorna {
namespace {

using test::Bytes;
using test::FirstDifference;
using test::Opaque;

// Odd width, so that rows need padding; one transparent pixel for the formats with alpha.
Image Reference() {
  return test::MakeImage(3, 2,
                         {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF, 0x000000FF, 0xFFFF0000});
}

Image Mono() {
  return test::MakeImage(3, 2,
                         {0x000000FF, 0xFFFFFFFF, 0x000000FF, 0xFFFFFFFF, 0xFFFFFFFF, 0x000000FF});
}

Image Grey() {
  return test::MakeImage(3, 2,
                         {0x000000FF, 0x404040C0, 0x80808080, 0xC0C0C040, 0xFFFFFF00, 0x101010FF});
}

Image Decoded(const Bytes& bytes) {
  Image image;
  EXPECT_TRUE(DecodeImage(bytes, &image));
  return image;
}

TEST(BmpDecodeTest, DecodesEveryLayout) {
  struct Case {
    const char* name;
    Image image;
    test::BmpOptions options;
    bool keeps_alpha;
  };
  const Case cases[] = {
      {"24 bits, bottom-up", Reference(), {.bits = 24}, false},
      {"24 bits, top-down", Reference(), {.bits = 24, .top_down = true}, false},
      {"32 bits, fourth byte reserved", Reference(), {.bits = 32}, false},
      {"32 bits, bit fields with alpha",
       Reference(),
       {.bits = 32, .header_size = 124, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
       true},
      {"32 bits, masks after a 40-byte header",
       Reference(),
       {.bits = 32, .masks = {0xFF, 0xFF00, 0xFF0000, 0}},
       false},
      {"16 bits, 5-5-5", Reference(), {.bits = 16}, false},
      {"16 bits, 5-6-5", Reference(), {.bits = 16, .masks = {0xF800, 0x07E0, 0x001F, 0}}, false},
      {"16 bits, 1-5-5-5 with alpha",
       Reference(),
       {.bits = 16, .header_size = 56, .masks = {0x7C00, 0x03E0, 0x001F, 0x8000}},
       true},
      {"8 bits", Reference(), {.bits = 8}, false},
      {"4 bits, top-down", Reference(), {.bits = 4, .top_down = true}, false},
      {"1 bit", Mono(), {.bits = 1}, false},
      {"core header, 24 bits", Reference(), {.bits = 24, .header_size = 12}, false},
      {"core header, 8 bits", Reference(), {.bits = 8, .header_size = 12}, false},
      {"packed DIB, 8 bits", Reference(), {.bits = 8, .file_header = false}, false},
      {"packed DIB, bit fields",
       Reference(),
       {.bits = 32, .file_header = false, .masks = {0xFF0000, 0xFF00, 0xFF, 0}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = test::BuildBmp(c.image, c.options);
    EXPECT_EQ(DetectImageFormat(bytes), ImageFormat::kBmp);
    EXPECT_EQ(FirstDifference(Decoded(bytes), c.keeps_alpha ? c.image : Opaque(c.image)), "");
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
  const Image image = Decoded(test::BuildRleBmp(6, 3, 8, rle8));
  auto grey = [](uint32_t v) { return v << 24 | v << 16 | v << 8 | 0xFF; };
  const Image expected =
      test::MakeImage(6, 3,
                      {0, 0, grey(30), grey(30), grey(40), grey(40),  // top row
                       0, 0, 0, 0, 0, 0,                              // skipped: transparent
                       grey(10), grey(10), grey(10), grey(20), grey(21), grey(22)});  // bottom row
  EXPECT_EQ(FirstDifference(image, expected), "");

  // RLE4 alternates the two nibbles of a run; literal nibbles are read in order.
  const Bytes rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  const Image image4 = Decoded(test::BuildRleBmp(8, 1, 4, rle4));
  const Image expected4 = test::MakeImage(
      8, 1, {grey(1), grey(2), grey(1), grey(2), grey(1), grey(3), grey(4), grey(5)});
  EXPECT_EQ(FirstDifference(image4, expected4), "");
}

TEST(BmpDecodeTest, RefusesMalformedBitmaps) {
  const Bytes good = test::BuildBmp(Reference(), {.bits = 24});
  auto patched = [&](size_t offset, std::initializer_list<uint8_t> values) {
    Bytes b = good;
    std::copy(values.begin(), values.end(), b.begin() + offset);
    return b;
  };
  const Bytes cases[] = {
      patched(18, {0, 0, 0, 0}),            // width 0
      patched(22, {0, 0, 0, 0}),            // height 0
      patched(22, {0, 0, 0, 0x80}),         // height -2^31
      patched(18, {0x01, 0x40, 0, 0}),      // width 16385
      patched(28, {7, 0}),                  // 7 bits per pixel
      patched(30, {1, 0, 0, 0}),            // RLE8 on a 24-bit bitmap
      patched(30, {4, 0, 0, 0}),            // embedded JPEG
      patched(10, {0xFF, 0, 0, 0}),         // pixel data beyond the end
      patched(14, {41, 0, 0, 0}),           // unknown header size
      Bytes(good.begin(), good.end() - 4),  // a pixel missing
      test::BuildBmp(Reference(), {.bits = 32, .masks = {0xF0F, 0xF0, 0xF000, 0}}),  // gaps
      // 16384 x 16384 from a few bytes of run-length data
      test::BuildRleBmp(16384, 16384, 8, {0, 1}),
      test::BuildRleBmp(4, 1, 8, {2, 7}),  // data ends before the image does
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Image image;
    EXPECT_FALSE(DecodeImage(cases[i], &image));
    EXPECT_TRUE(image.empty());
  }
  // Writers often leave out the padding of the last row; the pixels are all there.
  Image image;
  EXPECT_TRUE(DecodeImage(Bytes(good.begin(), good.end() - 3), &image));
}

TEST(TgaDecodeTest, DecodesEveryLayout) {
  // Runs that cross row ends in top-down order.
  const Image runs = test::MakeImage(4, 3,
                                     {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF,  //
                                      0xFF0000FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF,  //
                                      0x0000FFFF, 0x0000FFFF, 0x0000FFFF, 0xFFFFFFFF});
  Image long_run = test::MakeImage(200, 2, std::vector<uint32_t>(400, 0x336699FF));
  long_run.rgba[4 * 300] = 0;
  struct Case {
    const char* name;
    Image image;
    test::TgaOptions options;
    bool keeps_alpha;
  };
  const Case cases[] = {
      {"24 bits, bottom-up", Reference(), {.image_type = 2, .pixel_bits = 24}, false},
      {"32 bits with alpha, top-down",
       Reference(),
       {.image_type = 2, .pixel_bits = 32, .alpha_bits = 8, .top_down = true},
       true},
      {"32 bits without declared alpha", Reference(), {.image_type = 2, .pixel_bits = 32}, false},
      {"16 bits with an alpha bit",
       Reference(),
       {.image_type = 2, .pixel_bits = 16, .alpha_bits = 1},
       true},
      {"15 bits", Reference(), {.image_type = 2, .pixel_bits = 15}, false},
      {"right to left", Reference(), {.image_type = 2, .right_to_left = true}, false},
      {"top-down, right to left",
       Reference(),
       {.image_type = 2, .top_down = true, .right_to_left = true},
       false},
      {"grey", Grey(), {.image_type = 3, .pixel_bits = 8}, false},
      {"grey with alpha", Grey(), {.image_type = 3, .pixel_bits = 16}, true},
      {"colour-mapped", Reference(), {.image_type = 1, .pixel_bits = 8}, false},
      {"colour map starting at 5",
       Reference(),
       {.image_type = 1, .pixel_bits = 8, .map_first = 5},
       false},
      {"run-length 24 bits", runs, {.image_type = 10, .top_down = true}, false},
      {"run-length 32 bits", runs, {.image_type = 10, .pixel_bits = 32, .alpha_bits = 8}, true},
      {"run-length, runs longer than a packet",
       long_run,
       {.image_type = 10, .pixel_bits = 32, .alpha_bits = 8},
       true},
      {"run-length colour-mapped",
       runs,
       {.image_type = 9, .pixel_bits = 8, .top_down = true},
       false},
      {"run-length grey", Grey(), {.image_type = 11, .pixel_bits = 8}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = test::BuildTga(c.image, c.options);
    EXPECT_EQ(DetectImageFormat(bytes), ImageFormat::kTga);
    EXPECT_EQ(FirstDifference(Decoded(bytes), c.keeps_alpha ? c.image : Opaque(c.image)), "");
  }
}

TEST(TgaDecodeTest, RefusesMalformedHeadersAndData) {
  const Bytes good = test::BuildTga(Reference(), {.image_type = 10});
  auto patched = [&](size_t offset, uint8_t value) {
    Bytes b = good;
    b[offset] = value;
    return b;
  };
  const Bytes cases[] = {
      patched(2, 4),                           // image type 4
      patched(1, 2),                           // colour-map type 2
      patched(12, 0),                          // width 0 (low byte; high byte is 0)
      patched(16, 12),                         // 12 bits per pixel
      patched(17, 0x40),                       // interleaved
      Bytes(good.begin(), good.end() - 1),     // run-length data ends early
      Bytes(good.begin(), good.begin() + 18),  // header only
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Image image;
    EXPECT_FALSE(DecodeImage(cases[i], &image));
  }
  // The header claims 65535 x 65535: refused before any allocation.
  Bytes huge = good;
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  Image image;
  EXPECT_FALSE(DecodeImage(huge, &image));
}

}  // namespace
}  // namespace vorna

// BMP and TGA files built byte by byte: every layout the decoders read.
#include "images/decode.h"

#include <gtest/gtest.h>

#include "image_builders.h"

namespace vorna {
namespace {

using test::Bytes;
using test::Decoded;
using test::FirstDifference;
using test::Opaque;

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
      0, 3,  20, 21, 22, 0,  // a literal run of three, padded to an even length
      3, 10,                 // three pixels of 10
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
                                             g(20), g(21), g(22), g(10), g(10), g(10)})),
            "");
  // RLE4 alternates the two nibbles of a run; literal nibbles are read in order, an odd count
  // taking its last byte whole before the padding.
  const Bytes rle4 = {3, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
  EXPECT_EQ(FirstDifference(
                Decoded(test::BuildRleBmp(10, 1, 4, rle4)),
                test::MakeImage(10, 1, {g(1), g(2), g(1), g(3), g(4), g(5), g(6), g(7), 0, 0})),
            "");
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
      {"24 bits declaring alpha bits", kColours, {2, 24, 8}, false},
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

}  // namespace
}  // namespace vorna

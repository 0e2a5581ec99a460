// Hostile and damaged files: every truncation, and headers that claim more than the file can
// hold. Also writes the fuzz seeds when asked.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "image_builders.h"
#include "images/decode.h"
#include "images/encode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::Bytes;

Bytes Encoded(const Image& image, bool (*encode)(const Image&, std::vector<uint8_t>*)) {
  Bytes bytes;
  EXPECT_TRUE(encode(image, &bytes));
  return bytes;
}

// One small valid file of each decoder path.
std::vector<std::pair<std::string, Bytes>> Samples() {
  const Image image = test::Gradient(8, 4);
  const Bytes block = {0xFF, 0x00, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49,
                       0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
  Bytes dxt5;
  for (int copy = 0; copy < 2; ++copy) {
    for (uint8_t b : block) dxt5.push_back(b);
  }
  return {
      {"rgb.png", Encoded(image, EncodePng)},
      {"baseline.jpg", Encoded(image, EncodeJpeg)},
      {"progressive.jpg", test::BuildJpeg(8, 4, 4, 4 /* CMYK */, true, Bytes(8 * 4 * 4, 0x60))},
      {"interlaced16.png", test::BuildPng(3, 3, 2 /* RGB */, 16, true, Bytes(3 * 3 * 6, 0x81))},
      {"palette2.png", test::BuildPng(5, 1, 3 /* palette */, 2, false, {0x1B, 0xC0},
                                      {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9}, {255, 0})},
      {"rgb24.bmp", test::BuildBmp(image, {.bits = 24})},
      {"palette4.bmp", test::BuildBmp(test::Gradient(8, 2), {.bits = 4, .top_down = true})},
      {"bitfields.dib", test::BuildBmp(image, {.bits = 16,
                                               .header_size = 124,
                                               .file_header = false,
                                               .masks = {0xF800, 0x07E0, 0x001F, 0}})},
      {"rle8.bmp",
       test::BuildRleBmp(6, 3, 8, {3, 10, 0, 3, 20, 21, 22, 0, 0, 0, 0, 2, 2, 1, 2, 30, 0, 1})},
      {"rle4.bmp", test::BuildRleBmp(8, 1, 4, {5, 0x12, 0, 3, 0x34, 0x50, 0, 1})},
      {"rle.tga", test::BuildTga(image, {.image_type = 10, .pixel_bits = 32, .alpha_bits = 8})},
      {"mapped.tga", test::BuildTga(test::Gradient(3, 3), {.image_type = 9, .pixel_bits = 8})},
      {"grey.tga", test::BuildTga(image, {.image_type = 3, .pixel_bits = 8})},
      {"dxt5.dds", test::BuildDds(8, 4, 0x4, "DXT5", 0, {}, dxt5)},
      {"dxt1.dds",
       test::BuildDds(4, 4, 0x4, "DXT1", 0, {}, Bytes(dxt5.begin() + 8, dxt5.begin() + 16))},
      {"argb.dds", test::BuildDds(2, 2, 0x41, nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                                  Bytes(16, 0x7F))},
  };
}

TEST(BadInputTest, SamplesDecodeAndEveryTruncationFails) {
  for (const auto& [name, bytes] : Samples()) {
    SCOPED_TRACE(name);
    Image image;
    ASSERT_TRUE(DecodeImage(bytes, &image));
    for (size_t length = 0; length < bytes.size(); ++length) {
      EXPECT_FALSE(DecodeImage(std::span(bytes.data(), length), &image)) << "length " << length;
      EXPECT_TRUE(image.empty());
    }
  }
}

// `png` with its IHDR width and height replaced and the chunk's CRC fixed.
Bytes WithPngSize(Bytes png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

// `jpeg` with the size in its start-of-frame marker replaced.
Bytes WithJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      break;
    }
  }
  return jpeg;
}

TEST(BadInputTest, SizesBeyondTheLimitsOrTheFileAreRefused) {
  const Bytes png = Encoded(test::Gradient(8, 4), EncodePng);
  const Bytes jpeg = Encoded(test::Gradient(8, 4), EncodeJpeg);
  const std::vector<Bytes> cases = {
      WithPngSize(png, 16385, 1),      // beyond the side limit
      WithPngSize(png, 16384, 16384),  // within it, but not from a few hundred bytes
      WithPngSize(png, 0, 4),         WithJpegSize(jpeg, 60000, 60000),
      WithJpegSize(jpeg, 4096, 4096),  // 16 M pixels cannot be in 600 bytes
      WithJpegSize(jpeg, 0, 4),
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
}

// With VORNA_IMAGES_SEED_DIR set, writes the samples there as fuzz seeds
// (fuzz/corpus/images_decode).
TEST(BadInputTest, WritesFuzzSeedsWhenAsked) {
  const char* directory = std::getenv("VORNA_IMAGES_SEED_DIR");
  if (directory == nullptr) GTEST_SKIP() << "VORNA_IMAGES_SEED_DIR not set";
  for (const auto& [name, bytes] : Samples()) {
    test::WriteFile(std::string(directory) + "/" + name, std::string(bytes.begin(), bytes.end()));
  }
}

}  // namespace
}  // namespace vorna

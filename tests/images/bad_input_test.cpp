// Hostile and damaged files: every truncation, headers that claim more than the file can hold,
// and paths that hold no image at all.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
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

// The fuzz seeds: one small valid file of each decoder path.
std::vector<std::pair<std::string, Bytes>> Samples() {
  std::vector<std::pair<std::string, Bytes>> samples;
  const std::string directory = std::string(VORNA_SOURCE_DIR) + "/fuzz/corpus/images_decode";
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    const std::string bytes = test::ReadFile(entry.path().string());
    samples.emplace_back(entry.path().filename().string(), Bytes(bytes.begin(), bytes.end()));
  }
  return samples;
}

// Every sample's pixels are pinned, row by row, in images/samples.txt (checked by hand: the
// inverted CMYK JPEG is full cyan from white, the plain one a quarter, half and three quarters
// of the inks; DXT2 and DXT4 colours come out of premultiplication, 0 where alpha is 0).
TEST(BadInputTest, SamplesDecodeAndEveryTruncationFails) {
  auto samples = Samples();
  std::sort(samples.begin(), samples.end());
  std::string pixels;
  for (const auto& [name, bytes] : samples) {
    SCOPED_TRACE(name);
    Image image;
    ASSERT_TRUE(DecodeImage(bytes, &image));
    pixels += name + " " + std::to_string(image.width) + "x" + std::to_string(image.height);
    for (size_t i = 0; i < image.rgba.size(); ++i) {
      pixels += i % (4 * image.width) == 0 ? "\n" : i % 4 == 0 ? " " : "";
      pixels += {"0123456789abcdef"[image.rgba[i] >> 4], "0123456789abcdef"[image.rgba[i] & 15]};
    }
    pixels += "\n";
    for (size_t length = 0; length < bytes.size(); ++length) {
      // A copy of exactly that size, so that the sanitizer build sees any read past its end.
      const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
      EXPECT_FALSE(DecodeImage(cut, &image)) << "length " << length;
      EXPECT_TRUE(image.empty());
    }
  }
  EXPECT_EQ(test::ReferenceFileDifference(pixels, "images/samples.txt"), "");
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

TEST(BadInputTest, HeadersThatCannotBeTrueAreRefused) {
  const Bytes png = Encoded(test::Gradient(8, 4), EncodePng);
  const Bytes jpeg = Encoded(test::Gradient(8, 4), EncodeJpeg);
  // Without the file header only a sound header tells a bitmap from other data; compression 3 in
  // the 64-byte OS/2 header is Huffman coding, not bit fields.
  Bytes two_planes = test::BuildBmp(test::Gradient(8, 4), {.file_header = false});
  two_planes[12] = 2;
  const std::vector<Bytes> cases = {
      WithPngSize(png, 16385, 1),      // beyond the side limit
      WithPngSize(png, 16384, 16384),  // within it, but not from a few hundred bytes
      WithPngSize(png, 0, 4),
      WithJpegSize(jpeg, 60000, 60000),
      WithJpegSize(jpeg, 4096, 4096),  // 16 M pixels cannot be in 600 bytes
      WithJpegSize(jpeg, 0, 4),
      two_planes,
      test::BuildBmp(test::Gradient(8, 4), {32, false, 64, true, {0xFF0000, 0xFF00, 0xFF, 0}}),
  };
  EXPECT_EQ(test::Accepted(cases), std::vector<size_t>{});
}

TEST(DecodeImageFileTest, FailsQuietlyForWhatIsNotAnImageFile) {
  test::TempDir dir;
  test::WriteFile(dir.File("empty.png"), "");
  test::WriteFile(dir.File("text.bmp"), "not a bitmap at all");
  ASSERT_EQ(::mkfifo(dir.File("fifo.png").c_str(), 0600), 0);  // must not wait for a writer
  for (const std::string& path : {dir.path(), dir.File("missing.png"), dir.File("empty.png"),
                                  dir.File("text.bmp"), dir.File("fifo.png"), std::string()}) {
    Image image;
    EXPECT_FALSE(DecodeImageFile(path, &image)) << path;
    EXPECT_TRUE(image.empty());
  }
}

}  // namespace
}  // namespace vorna

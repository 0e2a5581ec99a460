// PNG and JPEG decoding, and every encoder's output read back: TIFF by libtiff's RGBA reader,
// GIF by giflib, the others by our decoders (BMP also by a header check).

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image_builders.h"
#include "images/decode.h"
#include "images/encode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::Bytes;
using test::Decoded;
using test::FirstDifference;

Image Sized(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(static_cast<size_t>(width) * height * 4);
  return image;
}

TEST(PngDecodeTest, DecodesStoredLayoutsIntoRgba) {
  struct Case {
    const char* name;
    int width, colour_type, depth;
    bool interlaced;
    Bytes rows, palette, transparency;
    std::vector<uint32_t> expected;
  };
  // clang-format off
  const Case cases[] = {
      {"grey", 3, PNG_COLOR_TYPE_GRAY, 8, false, {0, 128, 255}, {}, {},
       {0x000000FF, 0x808080FF, 0xFFFFFFFF}},
      {"grey with alpha", 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {64, 128, 192, 0}, {}, {},
       {0x40404080, 0xC0C0C000}},
      {"1-bit grey", 3, PNG_COLOR_TYPE_GRAY, 1, false, {0xA0}, {}, {},
       {0xFFFFFFFF, 0x000000FF, 0xFFFFFFFF}},
      // Samples k * 257 scale to exactly k.
      {"16-bit RGB, interlaced", 2, PNG_COLOR_TYPE_RGB, 16, true,
       {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}, {}, {}, {0x010203FF, 0x040506FF}},
      {"2-bit palette with tRNS, interlaced", 5, PNG_COLOR_TYPE_PALETTE, 2, true, {0x1B, 0xC0},
       {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, {255, 128, 255, 0},
       {0xFF0000FF, 0x00FF0080, 0x0000FFFF, 0xFFFFFF00, 0xFFFFFF00}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes png = test::BuildPng(c.width, 1, c.colour_type, c.depth, c.interlaced, c.rows,
                                     c.palette, c.transparency);
    EXPECT_EQ(FirstDifference(Decoded(png), test::MakeImage(c.width, 1, c.expected)), "");
  }
}

TEST(JpegDecodeTest, DecodesGreyProgressiveAndCmyk) {
  Bytes grey(16 * 16);
  Image expected_grey = Sized(16, 16);
  for (size_t i = 0; i < grey.size(); ++i) {
    grey[i] = static_cast<uint8_t>(i % 16 * 16);
    std::memset(&expected_grey.rgba[4 * i], grey[i], 3);
    expected_grey.rgba[4 * i + 3] = 255;
  }
  for (const bool progressive : {false, true}) {
    const Bytes jpeg = test::BuildJpeg(16, 16, 1, JCS_GRAYSCALE, progressive, grey);
    EXPECT_EQ(FirstDifference(Decoded(jpeg), expected_grey, 4), "") << progressive;
  }
  // Adobe CMYK stores the inks inverted: (255, 0, 0, 255) is full magenta and yellow, no cyan
  // and no black, so red.
  Bytes cmyk;
  for (int i = 0; i < 64; ++i) test::PutAll(&cmyk, {255, 0, 0, 255});
  EXPECT_EQ(FirstDifference(Decoded(test::BuildJpeg(8, 8, 4, JCS_CMYK, false, cmyk)),
                            test::MakeImage(8, 8, std::vector<uint32_t>(64, 0xFF0000FF)), 3),
            "");
}

TEST(EncodeTest, FindsEncodersByExactMimeTypeInTheDialogOrder) {
  const char* const mime_types[] = {"image/bmp", "image/gif", "image/jpeg", "image/png",
                                    "image/tiff"};
  const char* const extensions[] = {".bmp", ".gif", ".jpg", ".png", ".tif"};
  ASSERT_EQ(ImageEncoders().size(), std::size(mime_types));
  for (size_t i = 0; i < std::size(mime_types); ++i) {
    EXPECT_EQ(FindEncoder(mime_types[i]), &ImageEncoders()[i]);
    EXPECT_EQ(ImageEncoders()[i].extension, extensions[i]);
    Bytes bytes = {1};
    EXPECT_FALSE(ImageEncoders()[i].encode(Image{}, &bytes));
    EXPECT_TRUE(bytes.empty());
  }
  for (const char* unknown : {"image/PNG", "image/x-png", "image/jpg", "", "image/png "}) {
    EXPECT_EQ(FindEncoder(unknown), nullptr) << unknown;
  }
}

TEST(EncodeTest, BmpIsA24BitBottomUpBitmap) {
  const Image image = test::Gradient(5, 3);  // 15 bytes a row, padded to 16
  Bytes bytes;
  ASSERT_TRUE(EncodeBmp(image, &bytes));
  ASSERT_EQ(bytes.size(), 54u + 16 * 3);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 bytes[at + 3] << 24);
  };
  EXPECT_EQ(u32(2), bytes.size());
  EXPECT_EQ(u32(22), 3u);                      // positive height: bottom-up
  EXPECT_EQ(bytes[54], image.Pixel(0, 2)[2]);  // bottom-left pixel first, blue first
  // The other header fields are the ones our decoder checks.
  EXPECT_EQ(FirstDifference(Decoded(bytes), image), "");
}

Image ReadTiffFile(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return Image{};
  uint32_t width = 0, height = 0;
  uint16_t compression = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  EXPECT_EQ(compression, COMPRESSION_LZW);
  Image image = Sized(width, height);
  // ABGR words, which on a little-endian machine are RGBA bytes.
  auto* raster = reinterpret_cast<uint32_t*>(image.rgba.data());
  if (!TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 0)) {
    image = Image{};
  }
  TIFFClose(tif);
  return image;
}

Image ReadGifFile(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return Image{};
  Image image;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1 && gif->SColorMap != nullptr) {
    image = Sized(gif->SWidth, gif->SHeight);
    for (int i = 0; i < image.width * image.height; ++i) {
      const GifColorType c = gif->SColorMap->Colors[gif->SavedImages[0].RasterBits[i]];
      uint8_t* p = &image.rgba[4 * i];
      p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue, p[3] = 255;
    }
  }
  DGifCloseFile(gif, &error);
  return image;
}

// PNG and JPEG come back through our own decoders, which the decoding tests above hold to files
// libpng and libjpeg wrote.
Image ReadOwnDecoder(const std::string& path) {
  Image image;
  EXPECT_TRUE(DecodeImageFile(path, &image));
  return image;
}

Image ReadBack(const Image& image, const char* mime_type, Image (*read)(const std::string&)) {
  test::TempDir dir;
  EXPECT_TRUE(SaveImageFile(image, *FindEncoder(mime_type), dir.File("capture")));
  return read(dir.File("capture"));
}

TEST(EncodeTest, OtherLibrariesReadOurFilesBack) {
  Image image = test::Gradient(23, 11);  // at most 253 colours: the GIF is exact too
  image.rgba[3] = 0;                     // alpha is never written
  const Image opaque = test::Opaque(image);
  EXPECT_EQ(FirstDifference(ReadBack(image, "image/png", ReadOwnDecoder), opaque), "");
  EXPECT_EQ(FirstDifference(ReadBack(image, "image/tiff", ReadTiffFile), opaque), "");
  EXPECT_EQ(FirstDifference(ReadBack(image, "image/gif", ReadGifFile), opaque), "");
  // JPEG is lossy: a smooth image stays within a small tolerance.
  const Image smooth = test::Gradient(64, 32);
  EXPECT_EQ(FirstDifference(ReadBack(smooth, "image/jpeg", ReadOwnDecoder), smooth, 12), "");
}

// After the first, a frame stores only the rectangle that changed (one pixel when nothing did)
// over the previous one.
TEST(EncodeTest, AnimatedGifStoresOnlyWhatChanged) {
  std::vector<Image> frames(3, test::Gradient(16, 8));
  frames[1].Pixel(5, 2)[0] ^= 0xFF;
  frames[1].Pixel(9, 6)[1] ^= 0xFF;
  frames[2] = frames[1];
  Bytes bytes;
  ASSERT_TRUE(EncodeAnimatedGif(frames, 7, &bytes));
  test::TempDir dir;
  test::WriteFile(dir.File("a.gif"), std::string(bytes.begin(), bytes.end()));
  int error = 0;
  GifFileType* gif = DGifOpenFileName(dir.File("a.gif").c_str(), &error);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  ASSERT_EQ(gif->ImageCount, 3);
  const int expected[3][4] = {{0, 0, 16, 8}, {5, 2, 5, 5}, {0, 0, 1, 1}};
  for (int f = 0; f < 3; ++f) {
    const GifImageDesc& d = gif->SavedImages[f].ImageDesc;
    EXPECT_EQ((std::array{d.Left, d.Top, d.Width, d.Height}), std::to_array(expected[f])) << f;
  }
  const GifColorType c = gif->SColorMap->Colors[gif->SavedImages[1].RasterBits[0]];
  EXPECT_EQ(
      (std::array{c.Red, c.Green, c.Blue}),
      (std::array{frames[1].Pixel(5, 2)[0], frames[1].Pixel(5, 2)[1], frames[1].Pixel(5, 2)[2]}));
  DGifCloseFile(gif, &error);
}

TEST(EncodeTest, GifQuantizesManyColoursWithoutBanding) {
  // A shaded surface: 1024 distinct colours along one smooth ramp, as a lit material gives,
  // must come out in steps too small to see. A fixed 3-3-2 cube errs by up to 36.
  Image ramp = Sized(1024, 2);
  for (int x = 0; x < 1024; ++x) {
    for (int y = 0; y < 2; ++y) {
      uint8_t* p = ramp.Pixel(x, y);
      p[0] = static_cast<uint8_t>(x / 4);
      p[1] = static_cast<uint8_t>(x * 3 / 16);
      p[2] = static_cast<uint8_t>(40 + x / 8);
      p[3] = 255;
    }
  }
  EXPECT_EQ(FirstDifference(ReadBack(ramp, "image/gif", ReadGifFile), ramp, 2), "");

  // A 2-D gradient of 4096 colours stays close everywhere and closer on average.
  const Image gradient = test::Gradient(64, 64);
  const Image read = ReadBack(gradient, "image/gif", ReadGifFile);
  ASSERT_EQ(FirstDifference(read, gradient, 12), "");
  double error = 0;
  for (size_t i = 0; i < read.rgba.size(); ++i) error += std::abs(read.rgba[i] - gradient.rgba[i]);
  EXPECT_LT(error / gradient.rgba.size(), 3.0);
}

}  // namespace
}  // namespace vorna

// Every encoder's output read back: TIFF by libtiff's RGBA reader,
// GIF by giflib, the others by our decoders (the BMP files vorna-cli writes are also references
// byte for byte); and saving a file.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "image_builders.h"
#include "images/decode.h"
#include "images/encode.h"
#include "images/image_formats.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::Bytes;
using test::Decoded;
using test::FirstDifference;

Image ReadTiffFile(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return Image{};
  uint32_t width = 0, height = 0;
  uint16_t compression = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  EXPECT_EQ(compression, COMPRESSION_LZW);
  Image image = test::MakeImage(width, height, std::vector<uint32_t>(width * height));
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
    image = test::MakeImage(gif->SWidth, gif->SHeight,
                            std::vector<uint32_t>(gif->SWidth * gif->SHeight));
    for (int i = 0; i < image.width * image.height; ++i) {
      const GifColorType c = gif->SColorMap->Colors[gif->SavedImages[0].RasterBits[i]];
      uint8_t* p = &image.rgba[4 * i];
      p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue, p[3] = 255;
    }
  }
  DGifCloseFile(gif, &error);
  return image;
}

// PNG and JPEG come back through our own decoders.
Image ReadOwnDecoder(const std::string& path) {
  Image image;
  EXPECT_TRUE(DecodeImageFile(path, &image));
  return image;
}

Image ReadBack(const Image& image, ImageFormat format, Image (*read)(const std::string&)) {
  test::TempDir dir;
  EXPECT_TRUE(SaveImageFile(image, format, dir.File("capture")));
  return read(dir.File("capture"));
}

TEST(EncodeTest, OtherLibrariesReadOurFilesBack) {
  Image image = test::Gradient(23, 11);  // at most 253 colours: the GIF is exact too
  image.rgba[3] = 0;                     // alpha is never written
  const Image opaque = test::Opaque(image);
  EXPECT_EQ(FirstDifference(ReadBack(image, ImageFormat::kPng, ReadOwnDecoder), opaque), "");
  EXPECT_EQ(FirstDifference(ReadBack(image, ImageFormat::kBmp, ReadOwnDecoder), opaque), "");
  EXPECT_EQ(FirstDifference(ReadBack(image, ImageFormat::kTiff, ReadTiffFile), opaque), "");
  EXPECT_EQ(FirstDifference(ReadBack(image, ImageFormat::kGif, ReadGifFile), opaque), "");
  // JPEG is lossy: a smooth image stays within a small tolerance.
  const Image smooth = test::Gradient(64, 32);
  EXPECT_EQ(FirstDifference(ReadBack(smooth, ImageFormat::kJpeg, ReadOwnDecoder), smooth, 12), "");
}

// After the first, a frame stores only the rectangle that changed (one pixel when nothing did)
// over the previous one.
TEST(EncodeTest, AnimatedGifStoresOnlyWhatChanged) {
  std::vector<Image> frames(3, test::Gradient(16, 8));
  frames[1].Pixel(0, 2)[0] ^= 0xFF;
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
  const int expected[3][4] = {{0, 0, 16, 8}, {0, 2, 10, 5}, {0, 0, 1, 1}};
  for (int f = 0; f < 3; ++f) {
    const GifImageDesc& d = gif->SavedImages[f].ImageDesc;
    EXPECT_EQ((std::array{d.Left, d.Top, d.Width, d.Height}), std::to_array(expected[f])) << f;
  }
  const GifColorType c = gif->SColorMap->Colors[gif->SavedImages[1].RasterBits[0]];
  EXPECT_EQ(
      (std::array{c.Red, c.Green, c.Blue}),
      (std::array{frames[1].Pixel(0, 2)[0], frames[1].Pixel(0, 2)[1], frames[1].Pixel(0, 2)[2]}));
  DGifCloseFile(gif, &error);
  for (const auto encode : {EncodeAnimatedGif, EncodeAnimatedPng}) {  // delays fit 16 bits
    EXPECT_TRUE(encode(frames, 65535, &bytes));
    EXPECT_FALSE(encode(frames, 65536, &bytes) || encode(frames, -1, &bytes) || !bytes.empty());
  }
}

TEST(EncodeTest, GifQuantizesManyColoursWithoutBanding) {
  // A shaded surface: 1024 distinct colours along one smooth ramp, as a lit material gives,
  // must come out in steps too small to see. A fixed 3-3-2 cube errs by up to 36.
  Image ramp = test::MakeImage(1024, 2, std::vector<uint32_t>(1024 * 2));
  for (int x = 0; x < 1024; ++x) {
    for (int y = 0; y < 2; ++y) {
      uint8_t* p = ramp.Pixel(x, y);
      p[0] = static_cast<uint8_t>(x / 4);
      p[1] = static_cast<uint8_t>(x * 3 / 16);
      p[2] = static_cast<uint8_t>(40 + x / 8);
      p[3] = 255;
    }
  }
  EXPECT_EQ(FirstDifference(ReadBack(ramp, ImageFormat::kGif, ReadGifFile), ramp, 2), "");

  // The mean difference a byte between an image and its GIF, none larger than `largest`.
  auto mean_error = [](const Image& image, int largest) {
    const Image read = ReadBack(image, ImageFormat::kGif, ReadGifFile);
    EXPECT_EQ(FirstDifference(read, image, largest), "");
    if (read.rgba.size() != image.rgba.size()) return 255.0;
    double error = 0;
    for (size_t i = 0; i < read.rgba.size(); ++i) error += std::abs(read.rgba[i] - image.rgba[i]);
    return error / image.rgba.size();
  };
  // A 2-D gradient of 4096 colours stays close everywhere and closer on average.
  const Image gradient = test::Gradient(64, 64);
  EXPECT_LT(mean_error(gradient, 12), 3.0);

  // 4096 scattered colours: the palette, refined around its members, errs less on average than the
  // median cut alone (7.0).
  Image scattered = gradient;
  uint32_t seed = 1;
  for (size_t i = 0; i < scattered.rgba.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    if (i % 4 != 3) scattered.rgba[i] = static_cast<uint8_t>(seed >> 16);
  }
  EXPECT_LT(mean_error(scattered, 255), 6.8);
}

TEST(SaveImageFileTest, ReplacesAtomicallyAndKeepsTheOldFileOnFailure) {
  test::TempDir dir;
  const std::string path = dir.File("view.tif");
  test::WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SaveImageFile(test::Gradient(4, 4), ImageFormat::kTiff, path));
  EXPECT_EQ(test::ReadFile(path).substr(0, 3), "II*");
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  test::WriteFile(path, "old");
  EXPECT_FALSE(SaveImageFile(Image{}, ImageFormat::kTiff, path));  // nothing to encode
  EXPECT_EQ(test::ReadFile(path), "old");
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_FALSE(SaveImageFile(test::Gradient(4, 4), ImageFormat::kBmp, dir.File("folder")));
  // view.tif and folder: no temporaries.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

// What a format's encoder writes is recognised as that format again, and a name's extension
// finds its format whatever the letter case.
TEST(ImageFormatTableTest, EncodedFilesAndNamesFindTheirRow) {
  for (const ImageFormatRow& row : ImageFormatRows()) {
    EXPECT_EQ(&ImageFormatRowOf(row.format), &row);
    if (row.encode == nullptr || row.recognise == nullptr) continue;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(row.encode(test::Gradient(5, 3), &bytes)) << row.mime_type;
    EXPECT_EQ(ImageFormatRowOfBytes(bytes), &row) << row.mime_type;
  }
  EXPECT_EQ(DetectImageFormat(Bytes(test::BuildBmp(test::Gradient(2, 2), {.file_header = false}))),
            ImageFormat::kDib);
  EXPECT_EQ(DetectImageFormat(Bytes{'G', 'I', 'F', '8', '9', 'a'}),
            ImageFormat::kUnknown);  // written, never read
  struct Name {
    const char* path;
    ImageFormat format;
  };
  for (const Name& c :
       {Name{"a/Shot.JPEG", ImageFormat::kJpeg}, Name{"shot.tiff", ImageFormat::kTiff},
        Name{"shot.Tif", ImageFormat::kTiff}, Name{"skin.dib", ImageFormat::kDib},
        Name{"v.png/shot", ImageFormat::kUnknown}, Name{"shot.pngx", ImageFormat::kUnknown}}) {
    const ImageFormatRow* row = ImageFormatRowForName(c.path);
    EXPECT_EQ(row == nullptr ? ImageFormat::kUnknown : row->format, c.format) << c.path;
  }
}

}  // namespace
}  // namespace vorna

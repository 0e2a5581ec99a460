// PNG and JPEG decoding, and every encoder read back by an independent decoder: libpng's
// simplified reader, libjpeg, libtiff's RGBA reader, giflib, and for BMP a byte-level header
// check besides our own decoder.

#include <gif_lib.h>
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
// clang-format on
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image_builders.h"
#include "images/decode.h"
#include "images/encode.h"
#include "images/quantize.h"

namespace vorna {
namespace {

using test::Bytes;
using test::FirstDifference;
using test::Opaque;

Image Decoded(const Bytes& bytes) {
  Image image;
  EXPECT_TRUE(DecodeImage(bytes, &image));
  return image;
}

Bytes Encoded(const Image& image, std::string_view mime_type) {
  const ImageEncoder* encoder = FindEncoder(mime_type);
  Bytes bytes;
  EXPECT_NE(encoder, nullptr);
  if (encoder != nullptr) {
    EXPECT_TRUE(encoder->encode(image, &bytes));
  }
  return bytes;
}

// libpng's simplified writer, for PNG layouts our encoder never produces. `samples` are in
// `format`; colour-mapped formats take `colour_map` (RGBA entries).
Bytes WritePng(int width, int height, png_uint_32 format, const std::vector<uint8_t>& samples,
               const std::vector<uint8_t>& colour_map = {}) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  image.colormap_entries = static_cast<png_uint_32>(colour_map.size() / 4);
  const void* map = colour_map.empty() ? nullptr : colour_map.data();
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, samples.data(), 0, map));
  Bytes bytes(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, samples.data(), 0, map));
  bytes.resize(size);
  return bytes;
}

TEST(PngDecodeTest, DecodesStoredLayoutsIntoRgba) {
  const Image grey = test::MakeImage(3, 1, {0x000000FF, 0x808080FF, 0xFFFFFFFF});
  EXPECT_EQ(FirstDifference(Decoded(WritePng(3, 1, PNG_FORMAT_GRAY, {0, 128, 255})), grey), "");
  const Image grey_alpha = test::MakeImage(2, 1, {0x40404080, 0xC0C0C000});
  EXPECT_EQ(FirstDifference(Decoded(WritePng(2, 1, PNG_FORMAT_GA, {64, 128, 192, 0})), grey_alpha),
            "");
  // A palette with a transparency chunk.
  const Image mapped = test::MakeImage(3, 1, {0x0000FF00, 0x00FF0080, 0xFF0000FF});
  EXPECT_EQ(FirstDifference(Decoded(WritePng(3, 1, PNG_FORMAT_RGBA_COLORMAP, {2, 1, 0},
                                             {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0})),
                            mapped),
            "");
  const Image colour = test::Gradient(7, 5);
  EXPECT_EQ(FirstDifference(Decoded(WritePng(7, 5, PNG_FORMAT_RGBA, colour.rgba)), colour), "");

  // Interlaced 16-bit RGB: samples k * 257 scale to exactly k.
  Bytes rgb16;
  for (int i = 0; i < 9 * 3; ++i)
    rgb16.insert(rgb16.end(), {static_cast<uint8_t>(i * 9), static_cast<uint8_t>(i * 9)});
  Image expected16 = test::MakeImage(3, 3, {});
  for (int i = 0; i < 9; ++i) {
    expected16.rgba.insert(expected16.rgba.end(),
                           {static_cast<uint8_t>(27 * i), static_cast<uint8_t>(27 * i + 9),
                            static_cast<uint8_t>(27 * i + 18), 255});
  }
  EXPECT_EQ(FirstDifference(Decoded(test::BuildPng(3, 3, PNG_COLOR_TYPE_RGB, 16, true, rgb16)),
                            expected16),
            "");
  // Interlaced 2-bit palette, the last entry transparent through tRNS: indices 0 1 2 3 3.
  const Image expected2 =
      test::MakeImage(5, 1, {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFF00, 0xFFFFFF00});
  EXPECT_EQ(
      FirstDifference(Decoded(test::BuildPng(5, 1, PNG_COLOR_TYPE_PALETTE, 2, true, {0x1B, 0xC0},
                                             {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255},
                                             {255, 255, 255, 0})),
                      expected2),
      "");
}

TEST(JpegDecodeTest, DecodesGreyProgressiveAndCmyk) {
  std::vector<uint8_t> grey(16 * 16);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i % 16 * 16);
  Image expected_grey;
  expected_grey.width = expected_grey.height = 16;
  for (uint8_t g : grey) expected_grey.rgba.insert(expected_grey.rgba.end(), {g, g, g, 255});
  EXPECT_EQ(FirstDifference(Decoded(test::BuildJpeg(16, 16, 1, JCS_GRAYSCALE, false, grey)),
                            expected_grey, 4),
            "");
  EXPECT_EQ(FirstDifference(Decoded(test::BuildJpeg(16, 16, 1, JCS_GRAYSCALE, true, grey)),
                            expected_grey, 4),
            "");
  // Adobe CMYK stores inverted inks: (255, 0, 0, 255) is full magenta and yellow, no cyan and
  // no black: red.
  std::vector<uint8_t> cmyk;
  for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
  EXPECT_EQ(FirstDifference(Decoded(test::BuildJpeg(8, 8, 4, JCS_CMYK, false, cmyk)),
                            test::MakeImage(8, 8, std::vector<uint32_t>(64, 0xFF0000FF)), 3),
            "");
}

TEST(EncodeTest, FindsEncodersByExactMimeType) {
  const struct {
    const char* mime_type;
    const char* extension;
    const char* signature;
  } cases[] = {
      {"image/bmp", ".bmp", "BM"},
      {"image/gif", ".gif", "GIF8"},
      {"image/jpeg", ".jpg", "\xff\xd8\xff"},
      {"image/png", ".png", "\x89PNG"},
      {"image/tiff", ".tif", "II*"},
  };
  ASSERT_EQ(ImageEncoders().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].mime_type);
    const ImageEncoder* encoder = FindEncoder(cases[i].mime_type);
    ASSERT_EQ(encoder, &ImageEncoders()[i]);  // the save dialog's filter order
    EXPECT_EQ(encoder->extension, cases[i].extension);
    const Bytes bytes = Encoded(test::Gradient(5, 3), cases[i].mime_type);
    const size_t n = std::strlen(cases[i].signature);
    ASSERT_GE(bytes.size(), n);
    EXPECT_EQ(std::memcmp(bytes.data(), cases[i].signature, n), 0);
  }
  for (const char* unknown : {"image/PNG", "image/x-png", "image/jpg", "", "image/png "}) {
    EXPECT_EQ(FindEncoder(unknown), nullptr) << unknown;
  }
  Bytes bytes = {1, 2, 3};
  for (const ImageEncoder& encoder : ImageEncoders()) {
    EXPECT_FALSE(encoder.encode(Image{}, &bytes)) << encoder.mime_type;
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(EncodeTest, BmpIsA24BitBottomUpBitmap) {
  const Image image = test::Gradient(5, 3);  // 15 bytes a row, padded to 16
  const Bytes bytes = Encoded(image, "image/bmp");
  ASSERT_EQ(bytes.size(), 54u + 16 * 3);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 bytes[at + 3] << 24);
  };
  EXPECT_EQ(u32(2), bytes.size());
  EXPECT_EQ(u32(10), 54u);  // pixel data offset
  EXPECT_EQ(u32(14), 40u);  // header size
  EXPECT_EQ(u32(18), 5u);
  EXPECT_EQ(u32(22), 3u);    // positive height: bottom-up
  EXPECT_EQ(bytes[28], 24);  // bits per pixel
  EXPECT_EQ(u32(30), 0u);    // uncompressed
  // The first stored pixel is the bottom-left one, blue first.
  EXPECT_EQ(bytes[54], image.Pixel(0, 2)[2]);
  EXPECT_EQ(bytes[56], image.Pixel(0, 2)[0]);
  EXPECT_EQ(FirstDifference(Decoded(bytes), image), "");
}

TEST(EncodeTest, JpegReadsBackThroughLibjpeg) {
  const Image image = test::Gradient(40, 24);
  const Bytes bytes = Encoded(image, "image/jpeg");
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  ASSERT_EQ(info.output_width, 40u);
  ASSERT_EQ(info.output_height, 24u);
  Image read;
  read.width = 40;
  read.height = 24;
  std::vector<uint8_t> row(40 * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&info, rows, 1);
    for (int x = 0; x < 40; ++x)
      read.rgba.insert(read.rgba.end(), {row[3 * x], row[3 * x + 1], row[3 * x + 2], 255});
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  EXPECT_EQ(FirstDifference(read, image, 12), "");
  EXPECT_EQ(FirstDifference(Decoded(bytes), read), "");
}

TEST(EncodeTest, PngReadsBackThroughLibpngExactly) {
  Image image = test::Gradient(33, 17);
  image.rgba[3] = 0;  // alpha is not written
  const Bytes bytes = Encoded(image, "image/png");
  png_image read{};
  read.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&read, bytes.data(), bytes.size()));
  EXPECT_EQ(read.format & PNG_FORMAT_FLAG_ALPHA, 0u);
  read.format = PNG_FORMAT_RGBA;
  Image pixels;
  pixels.width = read.width;
  pixels.height = read.height;
  pixels.rgba.resize(PNG_IMAGE_SIZE(read));
  ASSERT_TRUE(png_image_finish_read(&read, nullptr, pixels.rgba.data(), 0, nullptr));
  EXPECT_EQ(FirstDifference(pixels, Opaque(image)), "");
}

struct MemoryFile {
  const Bytes* bytes;
  size_t position;
};

TEST(EncodeTest, TiffReadsBackThroughLibtiffExactly) {
  const Image image = test::Gradient(37, 21);
  const Bytes bytes = Encoded(image, "image/tiff");
  MemoryFile file{&bytes, 0};
  auto read = [](thandle_t h, void* out, tmsize_t n) -> tmsize_t {
    auto* f = static_cast<MemoryFile*>(h);
    const size_t count = std::min<size_t>(n, f->bytes->size() - f->position);
    std::memcpy(out, f->bytes->data() + f->position, count);
    f->position += count;
    return static_cast<tmsize_t>(count);
  };
  auto write = [](thandle_t, void*, tmsize_t) -> tmsize_t { return 0; };
  auto seek = [](thandle_t h, toff_t offset, int whence) -> toff_t {
    auto* f = static_cast<MemoryFile*>(h);
    f->position = (whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? f->position
                                        : f->bytes->size()) +
                  offset;
    return f->position;
  };
  auto close = [](thandle_t) { return 0; };
  auto size = [](thandle_t h) -> toff_t { return static_cast<MemoryFile*>(h)->bytes->size(); };
  auto map = [](thandle_t, void**, toff_t*) { return 0; };
  auto unmap = [](thandle_t, void*, toff_t) {};
  TIFF* tif = TIFFClientOpen("read", "r", &file, read, write, seek, close, size, map, unmap);
  ASSERT_NE(tif, nullptr);
  uint32_t width = 0, height = 0;
  uint16_t compression = 0, photometric = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  EXPECT_EQ(compression, COMPRESSION_LZW);
  EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
  Image pixels;
  pixels.width = static_cast<int>(width);
  pixels.height = static_cast<int>(height);
  pixels.rgba.resize(static_cast<size_t>(width) * height * 4);
  ASSERT_EQ(
      TIFFReadRGBAImageOriented(tif, width, height, reinterpret_cast<uint32_t*>(pixels.rgba.data()),
                                ORIENTATION_TOPLEFT, 0),
      1);
  TIFFClose(tif);
  // TIFFReadRGBAImage packs pixels as ABGR words, which on a little-endian machine are RGBA
  // bytes.
  EXPECT_EQ(FirstDifference(pixels, image), "");
}

// giflib's reader; the pixels are looked up in the global colour table.
Image ReadGif(const Bytes& bytes) {
  MemoryFile file{&bytes, 0};
  auto read = [](GifFileType* gif, GifByteType* out, int n) {
    auto* f = static_cast<MemoryFile*>(gif->UserData);
    const size_t count = std::min<size_t>(n, f->bytes->size() - f->position);
    std::memcpy(out, f->bytes->data() + f->position, count);
    f->position += count;
    return static_cast<int>(count);
  };
  int error = 0;
  GifFileType* gif = DGifOpen(&file, read, &error);
  Image image;
  if (gif == nullptr) return image;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1 && gif->SColorMap != nullptr) {
    image.width = gif->SWidth;
    image.height = gif->SHeight;
    const SavedImage& frame = gif->SavedImages[0];
    for (int i = 0; i < image.width * image.height; ++i) {
      const GifColorType c = gif->SColorMap->Colors[frame.RasterBits[i]];
      image.rgba.insert(image.rgba.end(), {c.Red, c.Green, c.Blue, 255});
    }
  }
  DGifCloseFile(gif, &error);
  return image;
}

TEST(EncodeTest, GifKeepsFewColoursExactlyAndQuantizesManyWithoutBanding) {
  // Up to 256 colours survive exactly.
  Image few = test::MakeImage(16, 16, {});
  for (int i = 0; i < 256; ++i) {
    few.rgba.insert(few.rgba.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                     static_cast<uint8_t>(i * 7), 255});
  }
  EXPECT_EQ(FirstDifference(ReadGif(Encoded(few, "image/gif")), few), "");

  // A shaded surface: 1024 distinct colours along one smooth ramp (as a lit material is)
  // must come out in steps too small to see. A fixed 3-3-2 cube errs by up to 36.
  Image ramp = test::MakeImage(1024, 4, {});
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 1024; ++x) {
      ramp.rgba.insert(ramp.rgba.end(),
                       {static_cast<uint8_t>(x / 4), static_cast<uint8_t>(x * 3 / 16),
                        static_cast<uint8_t>(40 + x / 8), 255});
    }
  }
  EXPECT_EQ(FirstDifference(ReadGif(Encoded(ramp, "image/gif")), ramp, 2), "");

  // A 2-D gradient of 4096 colours stays close on average and everywhere.
  const Image gradient = test::Gradient(64, 64);
  const Image read = ReadGif(Encoded(gradient, "image/gif"));
  EXPECT_EQ(FirstDifference(read, gradient, 12), "");
  double error = 0;
  for (size_t i = 0; i < read.rgba.size() && read.rgba.size() == gradient.rgba.size(); ++i) {
    error += std::abs(read.rgba[i] - gradient.rgba[i]);
  }
  EXPECT_LT(error / gradient.rgba.size(), 3.0);
}

TEST(QuantizeTest, RefusesBadArguments) {
  PalettedImage out;
  EXPECT_FALSE(QuantizeImage(Image{}, 256, &out));
  EXPECT_FALSE(QuantizeImage(test::Gradient(4, 4), 1, &out));
  EXPECT_FALSE(QuantizeImage(test::Gradient(4, 4), 257, &out));
  ASSERT_TRUE(QuantizeImage(test::Gradient(64, 64), 16, &out));
  EXPECT_EQ(out.palette.size(), 16u);
}

}  // namespace
}  // namespace vorna

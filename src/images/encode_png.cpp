// PNG through libpng. As in the decoder, the calls that may longjmp run in a function that holds
// no C++ objects; the output grows in a callback that turns allocation failure into png_error.

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <exception>
#include <vector>

#include "images/encode.h"

namespace vorna {

namespace {

// libpng keeps a pointer to this while writing.
struct PngSink {
  std::vector<uint8_t>* out;
};

void WriteToSink(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    sink->out->insert(sink->out->end(), data, data + length);
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void FlushSink(png_structp /*png*/) {}

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// `rows` are RGB8, or RGBA8 with `alpha`.
bool WritePng(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height,
              png_bytepp rows, bool alpha) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

class PngWriter {
 public:
  PngWriter() {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngWriter() { png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

bool EncodePngChannels(const Image& image, bool alpha, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid()) return false;
  try {
    const size_t channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(image.width) * image.height * channels);
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y) {
      uint8_t* row = pixels.data() + static_cast<size_t>(y) * image.width * channels;
      rows[y] = row;
      const uint8_t* p = image.Pixel(0, y);
      for (int x = 0; x < image.width; ++x, p += 4, row += channels) {
        std::copy(p, p + channels, row);
      }
    }
    PngWriter writer;
    if (writer.png() == nullptr || writer.info() == nullptr) return false;
    PngSink sink{out};
    png_set_write_fn(writer.png(), &sink, WriteToSink, FlushSink);
    if (WritePng(writer.png(), writer.info(), static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), rows.data(), alpha)) {
      return true;
    }
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

}  // namespace

bool EncodePng(const Image& image, std::vector<uint8_t>* out) {
  return EncodePngChannels(image, false, out);
}

bool EncodePngWithAlpha(const Image& image, std::vector<uint8_t>* out) {
  return EncodePngChannels(image, true, out);
}

}  // namespace vorna

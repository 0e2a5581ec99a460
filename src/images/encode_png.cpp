// PNG through libpng. As in the decoder, the calls that may longjmp run in a function that holds
// no C++ objects; the output grows in a callback that turns allocation failure into png_error.

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <exception>
#include <span>
#include <string_view>
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

// `rows` are RGB8 or RGBA8 as `colour_type` says.
bool WritePng(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height,
              int colour_type, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, width, height, 8, colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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

// The image's rows as PNG wants them: RGB8 (alpha dropped) or RGBA8.
bool EncodePngPixels(const Image& image, bool with_alpha, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid()) return false;
  try {
    const size_t channels = with_alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(image.width) * image.height * channels);
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y) {
      uint8_t* row = pixels.data() + static_cast<size_t>(y) * image.width * channels;
      rows[y] = row;
      const uint8_t* p = image.Pixel(0, y);
      for (int x = 0; x < image.width; ++x, p += 4, row += channels) {
        for (size_t c = 0; c < channels; ++c) row[c] = p[c];
      }
    }
    PngWriter writer;
    if (writer.png() == nullptr || writer.info() == nullptr) return false;
    PngSink sink{out};
    png_set_write_fn(writer.png(), &sink, WriteToSink, FlushSink);
    if (WritePng(writer.png(), writer.info(), static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height),
                 with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, rows.data())) {
      return true;
    }
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

uint32_t ReadBigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutBigEndian16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutChunk(std::vector<uint8_t>& out, std::string_view type, std::span<const uint8_t> data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), out.data() + start, static_cast<uInt>(out.size() - start));
  PutBigEndian32(out, static_cast<uint32_t>(crc));
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The IHDR data and the joined IDAT data of a PNG that libpng wrote.
bool SplitPng(const std::vector<uint8_t>& png, std::vector<uint8_t>* header,
              std::vector<uint8_t>* image_data) {
  size_t pos = sizeof kPngSignature;
  while (pos + 12 <= png.size()) {
    const uint32_t length = ReadBigEndian32(&png[pos]);
    if (length > png.size() - pos - 12) return false;
    const std::string_view type(reinterpret_cast<const char*>(&png[pos + 4]), 4);
    const uint8_t* data = &png[pos + 8];
    if (type == "IHDR") header->assign(data, data + length);
    if (type == "IDAT") image_data->insert(image_data->end(), data, data + length);
    pos += 12 + static_cast<size_t>(length);
  }
  return !header->empty() && !image_data->empty();
}

}  // namespace

bool EncodeAnimatedPng(std::span<const Image> frames, int delay_centiseconds,
                       std::vector<uint8_t>* out) {
  out->clear();
  if (frames.empty() || delay_centiseconds < 0 || delay_centiseconds > 65535) return false;
  try {
    out->assign(std::begin(kPngSignature), std::end(kPngSignature));
    uint32_t sequence = 0;
    for (size_t f = 0; f < frames.size(); ++f) {
      const Image& frame = frames[f];
      if (frame.width != frames[0].width || frame.height != frames[0].height) break;
      // Each frame is compressed as a PNG of its own; APNG then carries its image data in the
      // first frame's IDAT or a later frame's fdAT chunks.
      std::vector<uint8_t> png, header, image_data;
      if (!EncodePngPixels(frame, false, &png) || !SplitPng(png, &header, &image_data)) break;
      if (f == 0) {
        PutChunk(*out, "IHDR", header);
        std::vector<uint8_t> control;
        PutBigEndian32(control, static_cast<uint32_t>(frames.size()));
        PutBigEndian32(control, 0);  // plays: for ever
        PutChunk(*out, "acTL", control);
      }
      std::vector<uint8_t> frame_control;
      PutBigEndian32(frame_control, sequence++);
      PutBigEndian32(frame_control, static_cast<uint32_t>(frame.width));
      PutBigEndian32(frame_control, static_cast<uint32_t>(frame.height));
      PutBigEndian32(frame_control, 0);  // x offset
      PutBigEndian32(frame_control, 0);  // y offset
      PutBigEndian16(frame_control, static_cast<uint16_t>(delay_centiseconds));
      PutBigEndian16(frame_control, 100);  // the delay counts hundredths of a second
      frame_control.push_back(0);          // dispose: none
      frame_control.push_back(0);          // blend: source
      PutChunk(*out, "fcTL", frame_control);
      if (f == 0) {
        PutChunk(*out, "IDAT", image_data);
      } else {
        std::vector<uint8_t> frame_data;
        PutBigEndian32(frame_data, sequence++);
        frame_data.insert(frame_data.end(), image_data.begin(), image_data.end());
        PutChunk(*out, "fdAT", frame_data);
      }
      if (f + 1 == frames.size()) {
        PutChunk(*out, "IEND", {});
        return true;
      }
    }
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

bool EncodePng(const Image& image, std::vector<uint8_t>* out) {
  return EncodePngPixels(image, false, out);
}

bool EncodePngWithAlpha(const Image& image, std::vector<uint8_t>* out) {
  return EncodePngPixels(image, true, out);
}

}  // namespace vorna

// JPEG through libjpeg, with the same longjmp discipline as the decoder. libjpeg grows its own
// output buffer (malloc), which is copied out and freed whether or not compression succeeded.

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <vector>

#include "images/encode.h"

namespace vorna {

namespace {

// What libjpeg uses when it is given no quality, as the capture export never does.
constexpr int kJpegQuality = 75;
constexpr int kMaxJpegSide = 65500;

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

struct JpegEncode {
  jpeg_compress_struct info;
  JpegErrors errors;
  unsigned char* buffer;
  unsigned long size;
  bool created;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void OnJpegMessage(j_common_ptr /*info*/, int /*level*/) {}

// `row` has room for one RGB row; `image` is RGBA8.
bool CompressJpeg(JpegEncode* e, const uint8_t* image, int width, int height, JSAMPLE* row) {
  e->info.err = jpeg_std_error(&e->errors.manager);
  e->errors.manager.error_exit = OnJpegError;
  e->errors.manager.emit_message = OnJpegMessage;
  if (setjmp(e->errors.jump)) return false;
  jpeg_create_compress(&e->info);
  e->created = true;
  jpeg_mem_dest(&e->info, &e->buffer, &e->size);
  e->info.image_width = static_cast<JDIMENSION>(width);
  e->info.image_height = static_cast<JDIMENSION>(height);
  e->info.input_components = 3;
  e->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&e->info);
  jpeg_set_quality(&e->info, kJpegQuality, TRUE);
  jpeg_start_compress(&e->info, TRUE);
  while (e->info.next_scanline < e->info.image_height) {
    const uint8_t* src = image + static_cast<size_t>(e->info.next_scanline) * width * 4;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = src[4 * x];
      row[3 * x + 1] = src[4 * x + 1];
      row[3 * x + 2] = src[4 * x + 2];
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&e->info, rows, 1);
  }
  jpeg_finish_compress(&e->info);
  return true;
}

class JpegEncoder {
 public:
  JpegEncoder() : e_{} {}
  ~JpegEncoder() {
    if (e_.created) jpeg_destroy_compress(&e_.info);
    std::free(e_.buffer);
  }
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;
  JpegEncode* get() { return &e_; }

 private:
  JpegEncode e_;
};

}  // namespace

bool EncodeJpeg(const Image& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid() || image.width > kMaxJpegSide || image.height > kMaxJpegSide) return false;
  try {
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 3);
    JpegEncoder encoder;
    JpegEncode* e = encoder.get();
    if (!CompressJpeg(e, image.rgba.data(), image.width, image.height, row.data())) return false;
    out->assign(e->buffer, e->buffer + e->size);
    return true;
  } catch (const std::exception&) {
    out->clear();
    return false;
  }
}

}  // namespace vorna

// JPEG through libjpeg. Its error exit must not return, so it jumps back to a setjmp in a small
// function that holds no C++ objects; allocation happens outside those functions.

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstddef>
#include <vector>

#include "images/decode.h"
#include "images/decoders.h"

namespace vorna::image_internal {

namespace {

// A baseline JPEG spends at least two bits on every 8 x 8 block of every component and a
// progressive one at least one; more pixels than this per byte cannot be in the file.
constexpr uint64_t kMaxPixelsPerByte = 1024;

// Real progressive files have around ten scans. Each scan walks the whole coefficient
// buffer, so a file of many tiny scans would otherwise take minutes.
constexpr int kMaxScans = 256;

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
  bool truncated;
};

struct JpegDecode {
  jpeg_decompress_struct info;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  bool created;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings are not printed. Corrupt-data warnings are tolerated (libjpeg repairs what it can,
// as every viewer does), but data that ends early fails the decode.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
    reinterpret_cast<JpegErrors*>(info->err)->truncated = true;
  }
}

void OnJpegProgress(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    info->err->error_exit(info);
  }
}

bool StartJpeg(JpegDecode* d, const uint8_t* data, size_t size) {
  d->info.err = jpeg_std_error(&d->errors.manager);
  d->errors.manager.error_exit = OnJpegError;
  d->errors.manager.emit_message = OnJpegMessage;
  d->errors.truncated = false;
  if (setjmp(d->errors.jump)) return false;
  jpeg_create_decompress(&d->info);
  d->created = true;
  d->progress.progress_monitor = OnJpegProgress;
  d->info.progress = &d->progress;
  jpeg_mem_src(&d->info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d->info, TRUE);
  switch (d->info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      d->info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      d->info.out_color_space = JCS_CMYK;
      break;
    default:
      d->info.out_color_space = JCS_RGB;
      break;
  }
  return true;
}

void ExpandRow(const JpegDecode& d, const JSAMPLE* src, uint8_t* dst) {
  const JDIMENSION width = d.info.output_width;
  switch (d.info.out_color_space) {
    case JCS_GRAYSCALE:
      for (JDIMENSION x = 0; x < width; ++x, dst += 4) {
        dst[0] = dst[1] = dst[2] = src[x];
        dst[3] = 255;
      }
      break;
    case JCS_CMYK:
      // Files with the Adobe marker (nearly every CMYK JPEG) store the inks inverted, 255
      // meaning none. Each channel is what its ink and the black ink leave of white.
      for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 4) {
        const bool inverted = d.info.saw_Adobe_marker;
        const int k = inverted ? src[3] : 255 - src[3];
        for (int c = 0; c < 3; ++c) {
          const int light = inverted ? src[c] : 255 - src[c];
          dst[c] = static_cast<uint8_t>((light * k + 127) / 255);
        }
        dst[3] = 255;
      }
      break;
    default:
      for (JDIMENSION x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 255;
      }
      break;
  }
}

// `row` holds four samples per pixel; `image` has width x height RGBA8 pixels.
bool ReadJpegRows(JpegDecode* d, JSAMPLE* row, uint8_t* image) {
  if (setjmp(d->errors.jump)) return false;
  jpeg_start_decompress(&d->info);
  const JDIMENSION width = d->info.image_width, height = d->info.image_height;
  if (d->info.output_width != width || d->info.output_height != height ||
      d->info.output_components > 4) {
    return false;
  }
  while (d->info.output_scanline < height) {
    const JDIMENSION y = d->info.output_scanline;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&d->info, rows, 1) != 1) return false;
    ExpandRow(*d, row, image + static_cast<size_t>(y) * width * 4);
  }
  jpeg_finish_decompress(&d->info);
  return !d->errors.truncated;
}

class JpegDecoder {
 public:
  JpegDecoder() : d_{} {}
  ~JpegDecoder() {
    if (d_.created) jpeg_destroy_decompress(&d_.info);
  }
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;
  JpegDecode* get() { return &d_; }

 private:
  JpegDecode d_;
};

}  // namespace

bool DecodeJpeg(std::span<const uint8_t> bytes, Image* out) {
  JpegDecoder decoder;
  JpegDecode* d = decoder.get();
  if (!StartJpeg(d, bytes.data(), bytes.size())) return false;
  const uint64_t width = d->info.image_width, height = d->info.image_height;
  if (!WithinImageLimits(static_cast<int64_t>(width), static_cast<int64_t>(height)) ||
      width * height > kMaxPixelsPerByte * bytes.size()) {
    return false;
  }
  std::vector<JSAMPLE> row(width * 4);
  AllocateImage(static_cast<int>(width), static_cast<int>(height), out);
  return ReadJpegRows(d, row.data(), out->rgba.data());
}

}  // namespace vorna::image_internal

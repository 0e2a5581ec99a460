// TIFF through libtiff, written into memory by client procedures. libtiff reports errors by
// return values; its messages go to per-file handlers that drop them, not to the process-wide
// ones.

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "images/encode.h"

namespace vorna {

namespace {

struct TiffSink {
  std::vector<uint8_t>* out;
  uint64_t position;
};

TiffSink* Sink(thandle_t handle) { return static_cast<TiffSink*>(handle); }

tmsize_t ReadSink(thandle_t handle, void* buffer, tmsize_t size) {
  TiffSink* sink = Sink(handle);
  if (size < 0 || sink->position >= sink->out->size()) return 0;
  const uint64_t n = std::min<uint64_t>(size, sink->out->size() - sink->position);
  std::memcpy(buffer, sink->out->data() + sink->position, n);
  sink->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteSink(thandle_t handle, void* buffer, tmsize_t size) {
  TiffSink* sink = Sink(handle);
  if (size < 0) return -1;
  try {
    const uint64_t end = sink->position + static_cast<uint64_t>(size);
    if (end > sink->out->size()) sink->out->resize(end);
    std::memcpy(sink->out->data() + sink->position, buffer, static_cast<size_t>(size));
    sink->position = end;
    return size;
  } catch (const std::exception&) {
    return -1;
  }
}

toff_t SeekSink(thandle_t handle, toff_t offset, int whence) {
  TiffSink* sink = Sink(handle);
  // Offsets relative to the current position or the end may be negative (two's complement).
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = sink->position;
  if (whence == SEEK_END) base = sink->out->size();
  const uint64_t target = base + offset;
  // libtiff never seeks far past the end; refuse wrapped or absurd positions.
  if (target > static_cast<uint64_t>(std::numeric_limits<uint32_t>::max())) {
    return static_cast<toff_t>(-1);
  }
  sink->position = target;
  return target;
}

int CloseSink(thandle_t /*handle*/) { return 0; }

toff_t SinkSize(thandle_t handle) { return Sink(handle)->out->size(); }

int MapSink(thandle_t /*handle*/, void** /*base*/, toff_t* /*size*/) { return 0; }

void UnmapSink(thandle_t /*handle*/, void* /*base*/, toff_t /*size*/) {}

int DropMessage(TIFF* /*tif*/, void* /*user*/, const char* /*module*/, const char* /*format*/,
                va_list /*args*/) {
  return 1;  // handled: the process-wide handlers are not called
}

TIFF* OpenSink(TiffSink* sink) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, DropMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, DropMessage, nullptr);
  TIFF* tif = TIFFClientOpenExt("capture", "wl", sink, ReadSink, WriteSink, SeekSink, CloseSink,
                                SinkSize, MapSink, UnmapSink, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

class TiffFile {
 public:
  explicit TiffFile(TIFF* tif) : tif_(tif) {}
  ~TiffFile() {
    if (tif_ != nullptr) TIFFClose(tif_);
  }
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;
  TIFF* get() const { return tif_; }

 private:
  TIFF* tif_;
};

bool WriteTiff(TIFF* tif, const Image& image) {
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width)) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height)) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
            TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, 96.0) &&
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, 96.0) &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  // libtiff may change a row in place while encoding it, so each row is a fresh copy.
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  for (int y = 0; ok && y < image.height; ++y) {
    const uint8_t* p = image.Pixel(0, y);
    for (int x = 0; x < image.width; ++x, p += 4) {
      row[3 * x] = p[0];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[2];
    }
    ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  return ok && TIFFWriteDirectory(tif) == 1;
}

}  // namespace

bool EncodeTiff(const Image& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid()) return false;
  try {
    TiffSink sink{out, 0};
    TiffFile file(OpenSink(&sink));
    if (file.get() != nullptr && WriteTiff(file.get(), image)) return true;
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

}  // namespace vorna

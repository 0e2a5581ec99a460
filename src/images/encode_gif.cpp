// GIF through giflib, with a palette chosen for the image (quantize.h).

#include <gif_lib.h>

#include <exception>
#include <vector>

#include "images/encode.h"
#include "images/quantize.h"

namespace vorna {

namespace {

constexpr int kMaxGifSide = 65535;

struct GifSink {
  std::vector<uint8_t>* out;
  bool failed;
};

int WriteToSink(GifFileType* gif, const GifByteType* data, int length) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  try {
    sink->out->insert(sink->out->end(), data, data + length);
    return length;
  } catch (const std::exception&) {
    sink->failed = true;
    return 0;
  }
}

// A GIF colour table has a power-of-two size from 2 to 256; unused entries are black.
int ColourTableSize(size_t colours) {
  int size = 2;
  while (static_cast<size_t>(size) < colours) size *= 2;
  return size;
}

bool WriteGif(GifFileType* gif, PalettedImage& paletted, ColorMapObject* map) {
  if (EGifPutScreenDesc(gif, paletted.width, paletted.height, 8, 0, map) != GIF_OK ||
      EGifPutImageDesc(gif, 0, 0, paletted.width, paletted.height, false, nullptr) != GIF_OK) {
    return false;
  }
  for (int y = 0; y < paletted.height; ++y) {
    GifPixelType* row = paletted.indices.data() + static_cast<size_t>(y) * paletted.width;
    if (EGifPutLine(gif, row, paletted.width) != GIF_OK) return false;
  }
  return true;
}

class ColourMap {
 public:
  explicit ColourMap(const PalettedImage& paletted) {
    map_ = GifMakeMapObject(ColourTableSize(paletted.palette.size()), nullptr);
    if (map_ == nullptr) return;
    for (int i = 0; i < map_->ColorCount; ++i) map_->Colors[i] = {0, 0, 0};
    for (size_t i = 0; i < paletted.palette.size(); ++i) {
      const auto& c = paletted.palette[i];
      map_->Colors[i] = {c[0], c[1], c[2]};
    }
  }
  ~ColourMap() { GifFreeMapObject(map_); }
  ColourMap(const ColourMap&) = delete;
  ColourMap& operator=(const ColourMap&) = delete;
  ColorMapObject* get() const { return map_; }

 private:
  ColorMapObject* map_ = nullptr;
};

}  // namespace

bool EncodeGif(const Image& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid() || image.width > kMaxGifSide || image.height > kMaxGifSide) return false;
  try {
    PalettedImage paletted;
    if (!QuantizeImage(image, 256, &paletted)) return false;
    const ColourMap map(paletted);
    if (map.get() == nullptr) return false;
    GifSink sink{out, false};
    int error = 0;
    GifFileType* gif = EGifOpen(&sink, WriteToSink, &error);
    if (gif == nullptr) return false;
    const bool written = WriteGif(gif, paletted, map.get());
    const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
    if (written && closed && !sink.failed) return true;
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

}  // namespace vorna

// GIF through giflib, with a palette chosen for the image (quantize.h).

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
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

// Loops an animation for ever: the application extension every viewer honours.
bool PutLoopForever(GifFileType* gif) {
  static const char kApplication[] = "NETSCAPE2.0";
  const uint8_t loop[3] = {1, 0, 0};  // sub-block 1, repeat count 0 (for ever)
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, kApplication) == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

// The rectangle in which frame `f` differs from frame `f - 1` (the whole frame for the first);
// width 0 when they are equal.
struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};

Rect ChangedRect(const PalettedImage& frames, int frame_height, int f) {
  const int w = frames.width;
  if (f == 0) return Rect{0, 0, w, frame_height};
  const uint8_t* now = frames.indices.data() + static_cast<size_t>(f) * w * frame_height;
  const uint8_t* before = now - static_cast<size_t>(w) * frame_height;
  int left = w, right = -1, top = frame_height, bottom = -1;
  for (int y = 0; y < frame_height; ++y) {
    const size_t row = static_cast<size_t>(y) * w;
    if (std::memcmp(now + row, before + row, static_cast<size_t>(w)) == 0) continue;
    top = std::min(top, y);
    bottom = y;
    for (int x = 0; x < w; ++x) {
      if (now[row + x] != before[row + x]) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  // An unchanged frame still needs one pixel to carry its delay.
  if (bottom < 0) return Rect{0, 0, 1, 1};
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// Every frame after the first redraws only what changed and leaves the rest of the previous
// frame in place, which keeps a turntable or a walk cycle small.
bool WriteAnimatedGif(GifFileType* gif, PalettedImage& frames, int frame_height, int frame_count,
                      int delay_centiseconds, ColorMapObject* map) {
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, frames.width, frame_height, 8, 0, map) != GIF_OK ||
      !PutLoopForever(gif)) {
    return false;
  }
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delay_centiseconds;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t extension_length = EGifGCBToExtension(&control, extension);
  for (int f = 0; f < frame_count; ++f) {
    const Rect r = ChangedRect(frames, frame_height, f);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extension_length),
                         extension) != GIF_OK ||
        EGifPutImageDesc(gif, r.left, r.top, r.width, r.height, false, nullptr) != GIF_OK) {
      return false;
    }
    for (int y = r.top; y < r.top + r.height; ++y) {
      GifPixelType* row = frames.indices.data() +
                          (static_cast<size_t>(f) * frame_height + y) * frames.width + r.left;
      if (EGifPutLine(gif, row, r.width) != GIF_OK) return false;
    }
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

// Runs `write` on a new giflib encoder that appends to `out`; true when everything succeeded.
template <typename Write>
bool WithGifEncoder(std::vector<uint8_t>* out, Write write) {
  GifSink sink{out, false};
  int error = 0;
  GifFileType* gif = EGifOpen(&sink, WriteToSink, &error);
  if (gif == nullptr) return false;
  const bool written = write(gif);
  const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
  return written && closed && !sink.failed;
}

}  // namespace

bool EncodeGif(const Image& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.valid() || image.width > kMaxGifSide || image.height > kMaxGifSide) return false;
  try {
    PalettedImage paletted;
    if (!QuantizeImage(image, 256, &paletted)) return false;
    const ColourMap map(paletted);
    if (map.get() == nullptr) return false;
    if (WithGifEncoder(out, [&](GifFileType* gif) { return WriteGif(gif, paletted, map.get()); })) {
      return true;
    }
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

bool EncodeAnimatedGif(std::span<const Image> frames, int delay_centiseconds,
                       std::vector<uint8_t>* out) {
  out->clear();
  if (frames.empty() || delay_centiseconds < 0 || delay_centiseconds > 65535) return false;
  const int width = frames[0].width;
  const int height = frames[0].height;
  const size_t frame_bytes = static_cast<size_t>(width) * height * 4;
  if (width > kMaxGifSide || height > kMaxGifSide ||
      frames.size() > static_cast<size_t>(std::numeric_limits<int>::max() / std::max(height, 1))) {
    return false;
  }
  for (const Image& frame : frames) {
    if (!frame.valid() || frame.width != width || frame.height != height) return false;
  }
  try {
    // One palette for the whole animation, chosen from all frames stacked as one tall image, so
    // a colour never flickers from frame to frame.
    Image stacked;
    stacked.width = width;
    stacked.height = height * static_cast<int>(frames.size());
    stacked.rgba.reserve(frame_bytes * frames.size());
    for (const Image& frame : frames) {
      stacked.rgba.insert(stacked.rgba.end(), frame.rgba.begin(), frame.rgba.end());
    }
    PalettedImage paletted;
    if (!QuantizeImage(stacked, 256, &paletted)) return false;
    stacked = Image{};
    const ColourMap map(paletted);
    if (map.get() == nullptr) return false;
    if (WithGifEncoder(out, [&](GifFileType* gif) {
          return WriteAnimatedGif(gif, paletted, height, static_cast<int>(frames.size()),
                                  delay_centiseconds, map.get());
        })) {
      return true;
    }
  } catch (const std::exception&) {
  }
  out->clear();
  return false;
}

}  // namespace vorna

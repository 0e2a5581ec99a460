// The whole image decode entry point (every format), then the mip chain and a thumbnail of
// whatever decodes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "images/decode.h"
#include "images/image.h"
#include "images/scale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorna::Image image;
  if (!vorna::DecodeImage({data, size}, &image)) {
    if (!image.empty()) std::abort();
    return 0;
  }
  if (!image.valid()) std::abort();
  const vorna::Image thumbnail = vorna::MakeThumbnail(image);
  if (!thumbnail.valid()) std::abort();
  const auto texture = vorna::Texture::FromImage(std::move(image));
  if (texture == nullptr || texture->levels().back().width != 1 ||
      texture->levels().back().height != 1) {
    std::abort();
  }
  return 0;
}

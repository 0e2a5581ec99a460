// Resampling: thumbnails and mip levels.
#pragma once

#include "images/image.h"

namespace vorna {

// Motion thumbnails are this many pixels on a side.
inline constexpr int kThumbnailSide = 32;

// Resamples `source` to width x height by area averaging: every output pixel is the mean of the
// source area it covers, partly covered pixels weighted by their share, so shrinking never
// aliases. Channels (alpha too) are averaged independently and rounded to nearest; enlarging
// repeats pixels. Returns an empty image for an empty or inconsistent source or a size outside
// 1..kMaxImageSide. Costs O(source pixels + output pixels) time.
Image ScaleImage(const Image& source, int width, int height);

// `capture` squeezed into kThumbnailSide x kThumbnailSide, whatever its aspect ratio.
Image MakeThumbnail(const Image& capture);

// The next mip level: max(1, width / 2) x max(1, height / 2), each texel the 2 x 2 (or 2 x 1)
// box mean of the level above, rounded to nearest. Odd sides are averaged by area, so no source
// texel is dropped.
Image HalveImage(const Image& source);

// Turns colours premultiplied by their alpha back into straight ones: each channel divided by
// alpha, rounded to nearest and clamped to 255. Pixels of alpha 0 or 255 stay as they are.
void Unpremultiply(Image& image);

}  // namespace vorna

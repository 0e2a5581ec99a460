// Pictures of the drawn view: captures of the back buffer, the 32 x 32 Motion thumbnails and the
// export of the view to an image file.
#pragma once

#include <string>
#include <vector>

#include "images/image.h"
#include "images/image_formats.h"
#include "maths/matrix.h"
#include "model/model.h"
#include "render/camera.h"
#include "render/device.h"
#include "render/view_state.h"

namespace vorna {

// The rectangle from (left, top) up to, not including, (right, bottom) of the back buffer as a
// 24-bit picture (every pixel opaque), cut to the back buffer. Empty when nothing is left.
Image CaptureViewRegion(const Device& device, int left, int top, int right, int bottom);

struct ViewRegion {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  friend bool operator==(const ViewRegion&, const ViewRegion&) = default;
};

// The thumbnail's square: centred in a width x height view, just large enough for the projected
// width and height of the model's total box under `projection` (the larger of the two), then cut
// to the view (and then no longer square). The whole view when the box projects to nothing or
// to a size that is not a number.
ViewRegion ThumbnailRegion(const Model& model, const Matrix& projection, int width, int height);

// Makes the thumbnail of current_motion as the Motion strip shows it: stops playback (the caller
// also stops its timer and unchecks its play item), turns the view to the front (the caller
// checks the front item), draws a frame from the fixed front direction in the orthographic
// projection without the weight colours (a free camera and the toggles stay for the next view
// frame), captures the thumbnail square and shrinks it to kThumbnailSide x kThumbnailSide. Empty
// without a device.
Image MakeMotionThumbnail(RenderContext& context, Model& model, ViewState& view);

// The formats of the export, in the order of the save dialog's filter list (filter index 1 to
// 5): every image format with an encoder (BMP, GIF, JPEG, PNG, TIFF).
std::vector<const ImageFormatRow*> ImageExportFormats();

// The format of filter index `filter_index` (1-based), or null.
const ImageFormatRow* ImageExportFormatAt(int filter_index);

// The path the export writes for the name chosen in the save dialog: the chosen name with the
// filter's extension added when its file name has no '.' at all, unchanged otherwise (a name
// ending in another extension keeps it and is still encoded by the chosen filter). Empty for an
// empty name or a filter index outside 1..5.
std::string ImageSavePath(const std::string& chosen, int filter_index);

// Captures the whole back buffer as last drawn (no new frame) and writes it to `path` encoded as
// `format`, whatever the name's extension. False without a device, for an empty path, a format
// without an encoder, or when the encoder or the write fails.
bool SaveViewImage(const RenderContext& context, const std::string& path, ImageFormat format);

}  // namespace vorna

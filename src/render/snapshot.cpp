#include "render/snapshot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "images/encode.h"
#include "images/scale.h"
#include "io/path_parts.h"

namespace vorna {

namespace {

// One side of the thumbnail square in pixels: the box's extent as the projection scales it, in
// single precision and truncated as the strip has always measured it. -1 when it is not a
// number; sizes far beyond the view are capped, which cuts the same square.
int ProjectedSide(float extent, float projection_scale, int pixels) {
  const float side = extent * projection_scale / 2.0f * static_cast<float>(pixels);
  if (std::isnan(side)) return -1;
  const float cap = 4.0f * static_cast<float>(pixels);
  return static_cast<int>(std::clamp(side, 0.0f, cap));
}

}  // namespace

Image CaptureViewRegion(const Device& device, int left, int top, int right, int bottom) {
  const Image& buffer = device.back_buffer();
  left = std::clamp(left, 0, buffer.width);
  right = std::clamp(right, 0, buffer.width);
  top = std::clamp(top, 0, buffer.height);
  bottom = std::clamp(bottom, 0, buffer.height);
  if (right <= left || bottom <= top || !buffer.valid()) return Image{};
  Image capture;
  try {
    capture.rgba.resize(static_cast<size_t>(right - left) * static_cast<size_t>(bottom - top) * 4);
  } catch (const std::bad_alloc&) {
    return Image{};
  }
  capture.width = right - left;
  capture.height = bottom - top;
  for (int y = top; y < bottom; ++y) {
    uint8_t* row = capture.Pixel(0, y - top);
    std::memcpy(row, buffer.Pixel(left, y), static_cast<size_t>(capture.width) * 4);
    for (int x = 0; x < capture.width; ++x) row[x * 4 + 3] = 255;
  }
  return capture;
}

ViewRegion ThumbnailRegion(const Model& model, const Matrix& projection, int width, int height) {
  const ViewRegion whole{0, 0, width, height};
  const Vec3 extent = model.total_corner_max - model.total_corner_min;
  const int sx = ProjectedSide(extent.x, projection.m[0][0], width);
  const int sy = ProjectedSide(extent.y, projection.m[1][1], height);
  const int side = std::max(sx, sy);
  // A model that projects to nothing (a single point, no vertices) would leave nothing to shrink:
  // show the whole view instead.
  if (sx < 0 || sy < 0 || side <= 0) return whole;
  ViewRegion region;
  region.left = (width - side) / 2;
  region.top = (height - side) / 2;
  region.right = region.left + side;
  region.bottom = region.top + side;
  region.left = std::max(region.left, 0);
  region.top = std::max(region.top, 0);
  region.right = std::min(region.right, width);
  region.bottom = std::min(region.bottom, height);
  return region;
}

Image MakeMotionThumbnail(RenderContext& context, Model& model, ViewState& view) {
  if (context.device == nullptr) return Image{};
  view.playing = false;
  view.view_yaw = 0.0f;
  view.view_pitch = -1.0f;
  // Every thumbnail is the same fixed front picture, whatever the camera or projection the view
  // was left with; the view itself keeps them and redraws with them next.
  ViewState front = view;
  front.free_camera.active = false;
  front.perspective = false;
  front.weight_display = false;
  SetupProjection(context, front);
  RenderFrame(context, model, front);
  const Device& device = *context.device;
  const ViewRegion region = ThumbnailRegion(model, device.GetTransform(TransformState::kProjection),
                                            device.width(), device.height());
  const Image capture =
      CaptureViewRegion(device, region.left, region.top, region.right, region.bottom);
  return MakeThumbnail(capture);
}

std::vector<const ImageFormatRow*> ImageExportFormats() {
  std::vector<const ImageFormatRow*> formats;
  for (const ImageFormatRow& row : ImageFormatRows()) {
    if (row.encode != nullptr) formats.push_back(&row);
  }
  return formats;
}

const ImageFormatRow* ImageExportFormatAt(int filter_index) {
  const std::vector<const ImageFormatRow*> formats = ImageExportFormats();
  if (filter_index < 1 || filter_index > static_cast<int>(formats.size())) return nullptr;
  return formats[static_cast<size_t>(filter_index - 1)];
}

std::string ImageSavePath(const std::string& chosen, int filter_index) {
  const ImageFormatRow* format = ImageExportFormatAt(filter_index);
  if (chosen.empty() || format == nullptr) return {};
  if (!SplitPath(chosen).extension.empty()) return chosen;
  return chosen + std::string(format->extension);
}

bool SaveViewImage(const RenderContext& context, const std::string& path, ImageFormat format) {
  if (context.device == nullptr || path.empty()) return false;
  const Device& device = *context.device;
  const Image capture = CaptureViewRegion(device, 0, 0, device.width(), device.height());
  if (capture.empty()) return false;
  return SaveImageFile(capture, format, path);
}

}  // namespace vorna

#include "cli/thumbnail_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/recording_host.h"
#include "cli/render_command.h"
#include "images/encode.h"
#include "images/scale.h"
#include "io/atomic_file.h"
#include "io/number_text.h"
#include "model/bounds.h"
#include "model/model_edits.h"

namespace vorna {

namespace {

constexpr const char* kThumbnailUsage =
    "Usage: vorna-cli thumbnail [--size N] IN OUT.png\n"
    "\n"
    "Writes the picture a file manager shows for the model in IN: an N x N PNG with a\n"
    "transparent background, the model seen from the front in Motion 1 with its materials and\n"
    "textures. N is 1 to 4096 (default 256). Quiet on success; on failure one line on stderr\n"
    "and no OUT.\n";

constexpr int kDefaultSide = 256;
constexpr int kMaxSide = 4096;
// The view is drawn this many times finer than the thumbnail and shrunk, which smooths edges.
// Twice keeps a 100,000-triangle model well within the time a file manager waits.
constexpr int kOversampling = 2;
// The rest pose's largest extent in the view, which is 2 wide.
constexpr double kRestExtent = 1.6;
constexpr int kMaxViewSide = 4096;
// The model fills this share of the thumbnail's side; the rest is the margin.
constexpr double kFill = 0.92;

int Fail(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  return kExitFailed;
}

// The smallest rectangle holding every pixel that is not fully transparent; width 0 for none.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

Box DrawnBox(const Image& image) {
  Box box{image.width, image.height, 0, 0};
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* p = image.Pixel(0, y);
    for (int x = 0; x < image.width; ++x, p += 4) {
      if (p[3] == 0) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  if (box.right <= box.left) return Box{};
  return box;
}

// The square of `side` pixels centred on `box`, cut from `image`; outside it transparent.
Image SquareAround(const Image& image, const Box& box, int side) {
  Image square;
  square.width = side;
  square.height = side;
  square.rgba.assign(static_cast<size_t>(side) * side * 4, 0);
  const int left = box.left + box.width() / 2 - side / 2;
  const int top = box.top + box.height() / 2 - side / 2;
  for (int y = std::max(0, top); y < std::min(image.height, top + side); ++y) {
    const int x0 = std::max(0, left);
    const int x1 = std::min(image.width, left + side);
    if (x1 <= x0) break;
    std::copy(image.Pixel(x0, y), image.Pixel(x1, y), square.Pixel(x0 - left, y - top));
  }
  return square;
}

}  // namespace

Image DrawModelThumbnail(RenderContext& context, Model& model, int side) {
  if (model.total_face_count <= 0) return Image{};
  const int view_side = std::clamp(side * kOversampling, side, std::max(side, kMaxViewSide));
  ViewState view;
  ResetViewState(view);
  view.texture_colour_on = true;
  context.transparent_background = true;
  if (!InitDevice(context, view, view_side, view_side)) return Image{};
  model.current_motion = 0;
  // Centred with its largest extent 1.6 the rest pose fills 80% of the view's width of 2, which
  // leaves room for a pose that reaches a little out of the rest box; a pose that still leaves
  // the view is drawn again at half the size.
  const Vec3 c = model.total_center;
  const float factor = static_cast<float>(kRestExtent / 1.2 / ModelSize(model));
  ApplySizeAndPosition(model, Vec3{-c.x, -c.y, -c.z}, Vec3{factor, factor, factor});
  Box box;
  for (int attempt = 0; attempt < 2; ++attempt) {
    RenderFrame(context, model, view);
    box = DrawnBox(context.device->back_buffer());
    if (box.width() == 0) return Image{};
    const bool clipped =
        box.left == 0 || box.top == 0 || box.right == view_side || box.bottom == view_side;
    if (!clipped) break;
    if (attempt == 0) ApplySizeAndPosition(model, Vec3{}, Vec3{0.5f, 0.5f, 0.5f});
  }
  const int square = std::max(
      1, static_cast<int>(static_cast<double>(std::max(box.width(), box.height())) / kFill + 0.5));
  Image thumbnail =
      ScaleImage(SquareAround(context.device->back_buffer(), box, square), side, side);
  // The back buffer is cleared to transparent black and drawn opaque, so after area averaging
  // the colours are premultiplied by coverage.
  Unpremultiply(thumbnail);
  return thumbnail;
}

int RunThumbnail(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  int side = kDefaultSide;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kThumbnailUsage, stdout);
      return kExitOk;
    }
    if (a == "--size") {
      const std::string value = i + 1 < args.size() ? args[++i] : "";
      const std::optional<int> parsed = ParseWholeNumberExactly(value);
      side = parsed.value_or(0);
      if (side < 1 || side > kMaxSide) {
        std::fprintf(stderr, "vorna-cli thumbnail: --size needs a whole number from 1 to %d\n",
                     kMaxSide);
        return kExitUsage;
      }
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vorna-cli thumbnail: unknown option %s (see --help)\n", a.c_str());
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) {
    std::fputs("vorna-cli thumbnail: takes IN and OUT.png (see --help)\n", stderr);
    return kExitUsage;
  }
  auto model = std::make_unique<Model>();
  RenderContext context;
  // The thumbnail fits the model itself; the load's question is answered no.
  RecordingHost host(Answer::kNo);
  std::string error;
  if (!LoadModelToDraw(files[0], *model, context, host, &error)) return Fail(error);
  const Image thumbnail = DrawModelThumbnail(context, *model, side);
  if (thumbnail.empty()) return Fail("vorna-cli: " + files[0] + " has nothing to draw");
  std::vector<uint8_t> png;
  if (!EncodePngWithAlpha(thumbnail, &png) || !WriteFileAtomically(files[1], png)) {
    return Fail(CannotSaveLine(files[1]));
  }
  return kExitOk;
}

}  // namespace vorna

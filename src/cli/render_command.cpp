#include "cli/render_command.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "animation/pose.h"
#include "cli/commands.h"
#include "formats/open_save.h"
#include "images/encode.h"
#include "model/host.h"
#include "render/camera.h"
#include "render/snapshot.h"

namespace vorna {

namespace {

constexpr const char* kRenderUsage =
    "Usage: vorna-cli render IN OUT [OPTIONS]\n"
    "\n"
    "Draws one frame of the model in IN (any format VORNA reads) as the editor shows it and\n"
    "writes it to OUT in the format of OUT's extension: .png, .bmp, .jpg, .gif or .tif.\n"
    "\n"
    "Options:\n"
    "  --view V            front (the default), back, left, right, top or bottom\n"
    "  --motion N          the Motion to show, counted from 1 (the default)\n"
    "  --size WxH          the view in pixels (default 760x480)\n"
    "  --fill F            solid (the default), wireframe or points\n"
    "  --texture           materials and textures instead of the flat colour look\n"
    "  --ground            draw the ground\n"
    "  --semi-transparent  draw the model semi-transparent\n"
    "  --perspective       the perspective view of playback\n"
    "  --thumbnail         write the Motion's 32 x 32 thumbnail instead of the view\n"
    "  --no-fit            keep a model larger than 1.7 at its size (by default it is fitted\n"
    "                      to the view, as the editor offers when opening it)\n";

constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 480;

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "vorna-cli: %s\n\n", problem.c_str());
  std::fputs(kRenderUsage, stderr);
  return kExitUsage;
}

struct Direction {
  std::string_view name;
  float view_yaw;
  float view_pitch;
};

// The six directions of the editor's direction menu.
constexpr Direction kDirections[] = {
    {"front", 0.0f, -1.0f},  {"back", 180.0f, -1.0f}, {"left", 270.0f, -1.0f},
    {"right", 90.0f, -1.0f}, {"top", -1.0f, 270.0f},  {"bottom", -1.0f, -270.0f},
};

struct FillName {
  std::string_view name;
  int32_t fill_mode;
};

constexpr FillName kFills[] = {
    {"solid", kFillSolid}, {"wireframe", kFillWireframe}, {"points", kFillPoint}};

// The export's filter index for OUT's extension.
int FilterIndexOf(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (extension == "bmp") return 1;
  if (extension == "gif") return 2;
  if (extension == "jpg" || extension == "jpeg") return 3;
  if (extension == "png") return 4;
  if (extension == "tif" || extension == "tiff") return 5;
  return 0;
}

std::optional<int> ParseCount(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool ParseSize(std::string_view text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  const std::optional<int> w = ParseCount(text.substr(0, x));
  const std::optional<int> h = ParseCount(text.substr(x + 1));
  if (!w || !h || *w < 1 || *h < 1 || *w > Device::kMaxSide || *h > Device::kMaxSide) {
    return false;
  }
  width = *w;
  height = *h;
  return true;
}

struct RenderRequest {
  std::string in;
  std::string out;
  Direction direction = kDirections[0];
  int motion = 1;
  int width = kDefaultWidth;
  int height = kDefaultHeight;
  int32_t fill_mode = kFillSolid;
  bool texture = false;
  bool ground = false;
  bool semi_transparent = false;
  bool perspective = false;
  bool thumbnail = false;
  bool fit = true;
};

// Fills `request` from the arguments; returns the usage problem, or "" when they are sound.
std::string ParseArguments(const std::vector<std::string>& args, RenderRequest& request) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool takes_value = a == "--view" || a == "--motion" || a == "--size" || a == "--fill";
    if (takes_value && i + 1 >= args.size()) return a + " needs a value";
    if (a == "--view") {
      const std::string& name = args[++i];
      bool found = false;
      for (const Direction& d : kDirections) {
        if (name == d.name) {
          request.direction = d;
          found = true;
        }
      }
      if (!found) return "unknown view " + name;
    } else if (a == "--motion") {
      const std::optional<int> n = ParseCount(args[++i]);
      if (!n || *n < 1) return "--motion needs a whole number from 1";
      request.motion = *n;
    } else if (a == "--size") {
      if (!ParseSize(args[++i], request.width, request.height)) {
        return "--size needs WxH with sides from 1 to " + std::to_string(Device::kMaxSide);
      }
    } else if (a == "--fill") {
      const std::string& name = args[++i];
      bool found = false;
      for (const FillName& f : kFills) {
        if (name == f.name) {
          request.fill_mode = f.fill_mode;
          found = true;
        }
      }
      if (!found) return "unknown fill mode " + name;
    } else if (a == "--texture") {
      request.texture = true;
    } else if (a == "--ground") {
      request.ground = true;
    } else if (a == "--semi-transparent") {
      request.semi_transparent = true;
    } else if (a == "--perspective") {
      request.perspective = true;
    } else if (a == "--thumbnail") {
      request.thumbnail = true;
    } else if (a == "--fit" || a == "--no-fit") {
      request.fit = a == "--fit";
    } else if (!a.empty() && a[0] == '-') {
      return "unknown option " + a;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return "render takes IN and OUT";
  request.in = files[0];
  request.out = files[1];
  if (FilterIndexOf(request.out) == 0) {
    return "cannot tell the image format from " + request.out +
           " (use .png, .bmp, .jpg, .gif or .tif)";
  }
  return "";
}

}  // namespace

int RunRender(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kRenderUsage, stdout);
      return kExitOk;
    }
  }
  RenderRequest request;
  const std::string problem = ParseArguments(args, request);
  if (!problem.empty()) return Usage(problem);

  auto model = std::make_unique<Model>();
  Reset(*model);
  RenderContext context;
  // The fit is the one yes/no question a load asks.
  StderrHost host(request.fit ? Answer::kYes : Answer::kNo);
  LoadHooks hooks;
  hooks.scale_markers = [&context](double model_size) { SetMarkerScale(context, model_size); };
  const LoadResult loaded = Load(*model, request.in, host, ReadOptions{}, hooks);
  if (!loaded.ok) {
    std::fprintf(stderr, "VORNA: ファイルを読み込めません (%s: %s)\n", request.in.c_str(),
                 loaded.error.c_str());
    return kExitFailed;
  }
  if (request.motion > model->motion_count) {
    std::fprintf(stderr, "vorna-cli: %s has %d Motion(s); there is no Motion %d\n",
                 request.in.c_str(), model->motion_count, request.motion);
    return kExitFailed;
  }

  ViewState view;
  ResetViewState(view);
  view.fill_mode = request.fill_mode;
  view.texture_colour_on = request.texture;
  view.ground_on = request.ground;
  view.part_alpha = request.semi_transparent ? 128 : 255;
  view.view_yaw = request.direction.view_yaw;
  view.view_pitch = request.direction.view_pitch;
  if (!InitDevice(context, view, request.width, request.height)) {
    std::fprintf(stderr, "VORNA: %s\n", std::string(kDeviceInitFailedMessage).c_str());
    return kExitFailed;
  }
  model->current_motion = request.motion - 1;

  bool saved = false;
  if (request.thumbnail) {
    const Image thumbnail = MakeMotionThumbnail(context, *model, view);
    const ImageFileType* type = ImageFileTypeAt(FilterIndexOf(request.out));
    const ImageEncoder* encoder = FindEncoder(type->mime_type);
    saved = encoder != nullptr && SaveImageFile(thumbnail, *encoder, request.out);
  } else {
    if (request.perspective) {
      // As during playback: the tick evaluates the Motion, then the frame draws it.
      view.playing = true;
      SetupProjection(context, view);
      EvaluatePose(*model, model->current_motion);
    }
    RenderFrame(context, *model, view);
    saved = SaveViewImage(context, request.out, FilterIndexOf(request.out));
  }
  if (!saved) {
    std::fprintf(stderr, "VORNA: 保存できません (%s)\n", request.out.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vorna

#include "cli/render_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "animation/anim_list.h"
#include "animation/pose.h"
#include "cli/commands.h"
#include "cli/import_options.h"
#include "cli/text_encoding.h"
#include "editor/open_flow.h"
#include "images/encode.h"
#include "io/number_text.h"
#include "model/host.h"
#include "render/camera.h"
#include "render/snapshot.h"

namespace vorna {

namespace {

std::string RenderUsage() {
  return std::string(
             "Usage: vorna-cli render IN OUT [OPTIONS]\n"
             "\n"
             "Draws one frame of the model in IN (any format VORNA reads) as the editor shows it "
             "and\n"
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
             "  --no-fit            keep a model larger than 1.7 at its size (by default it is "
             "fitted\n"
             "                      to the view, as the editor offers when opening it)\n"
             "\n"
             "Animations (OUT .gif, or .png for an animated PNG; each frame a view as above, "
             "looping\n"
             "for ever):\n"
             "  --anim NAME|N       play the Anim of that name (or number, from 1) as the "
             "editor's\n"
             "                      playback does: one frame per Motion from its first to its "
             "last\n"
             "  --turntable         36 frames turning the model once about the vertical axis\n"
             "  --period MS         how long each frame shows, 20 to 655350 ms (default 100)\n"
             "\n"
             "Reading IN:\n") +
         kImportOptionsHelp;
}

constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 480;
constexpr int kTurntableFrames = 36;
constexpr int kDefaultPeriodMs = 100;
// GIF delays count hundredths of a second in 16 bits; viewers show delays below 2 as 10.
constexpr int kMinPeriodMs = 20;
constexpr int kMaxPeriodMs = 655350;

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "vorna-cli: %s\n\n", problem.c_str());
  std::fputs(RenderUsage().c_str(), stderr);
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

// The format OUT's extension names, when vorna-cli can write it; kUnknown otherwise.
ImageFormat WrittenFormatOf(const std::string& path) {
  const ImageFormatRow* row = ImageFormatRowForName(path);
  return row != nullptr && row->encode != nullptr ? row->format : ImageFormat::kUnknown;
}

bool ParseSize(std::string_view text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  const std::optional<int> w = ParseWholeNumberExactly(text.substr(0, x));
  const std::optional<int> h = ParseWholeNumberExactly(text.substr(x + 1));
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
  bool motion_given = false;
  std::optional<std::string> anim;  // --anim: a name or a number from 1
  bool turntable = false;
  std::optional<int> period_ms;
  ReadOptions read;  // how IN is read
  bool animated() const { return anim.has_value() || turntable; }
};

// The usage problem of an animation request, or "".
std::string CheckAnimation(const RenderRequest& request) {
  if (!request.animated()) {
    return request.period_ms ? "--period needs --anim or --turntable" : "";
  }
  if (request.anim && request.turntable) return "--anim and --turntable exclude each other";
  if (request.thumbnail) return "--thumbnail draws one picture; it cannot be animated";
  if (request.anim && request.motion_given) return "--anim chooses the Motions; drop --motion";
  if (request.turntable && request.direction.view_pitch != -1.0f) {
    return "--turntable turns about the vertical axis: use a horizontal --view";
  }
  const ImageFormat format = WrittenFormatOf(request.out);
  if (format != ImageFormat::kGif && format != ImageFormat::kPng) {
    return "animations are written as .gif or .png, not " + request.out;
  }
  return "";
}

// Fills `request` from the arguments; returns the usage problem, or "" when they are sound.
std::string ParseArguments(const std::vector<std::string>& args, RenderRequest& request) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string problem;
    if (TakeImportOption(args, i, request.read, &problem)) {
      if (!problem.empty()) return problem;
      continue;
    }
    const bool takes_value = a == "--view" || a == "--motion" || a == "--size" || a == "--fill" ||
                             a == "--anim" || a == "--period";
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
      const std::optional<int> n = ParseWholeNumberExactly(args[++i]);
      if (!n || *n < 1) return "--motion needs a whole number from 1";
      request.motion = *n;
      request.motion_given = true;
    } else if (a == "--anim") {
      request.anim = args[++i];
    } else if (a == "--period") {
      request.period_ms = ParseWholeNumberExactly(args[++i]);
      if (!request.period_ms || *request.period_ms < kMinPeriodMs ||
          *request.period_ms > kMaxPeriodMs) {
        return "--period needs a whole number of milliseconds from " +
               std::to_string(kMinPeriodMs) + " to " + std::to_string(kMaxPeriodMs);
      }
    } else if (a == "--turntable") {
      request.turntable = true;
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
  if (request.animated() || request.period_ms) return CheckAnimation(request);
  if (WrittenFormatOf(request.out) == ImageFormat::kUnknown) {
    return "cannot tell the image format from " + request.out +
           " (use .png, .bmp, .jpg, .gif or .tif)";
  }
  return "";
}

// The Anim named `key` (its stored name, or that name as the terminal shows it), else the Anim
// numbered `key` counting from 1.
std::optional<int> FindAnim(const Model& model, const std::string& key) {
  for (int a = 0; a < model.anim_count; ++a) {
    const std::string& name = model.anims[a].name;
    if (name == key || DisplayText(name) == key) return a;
  }
  const std::optional<int> number = ParseWholeNumberExactly(key);
  if (number && *number >= 1 && *number <= model.anim_count) return *number - 1;
  return std::nullopt;
}

// Captures the frame just drawn.
Image CaptureFrame(const RenderContext& context) {
  const Device& device = *context.device;
  return CaptureViewRegion(device, 0, 0, device.width(), device.height());
}

// One frame per Motion of Anim `anim` as playback shows them: the perspective projection, each
// Motion evaluated and drawn, from the first Motion to the last (only the first when the range
// runs backwards, as playback shows it over and over). Empty when memory runs out.
std::vector<Image> DrawAnimFrames(RenderContext& context, Model& model, ViewState& view, int anim) {
  ClampAnimRanges(model);
  const Anim& range = model.anims[anim];
  view.playing = true;
  SetupProjection(context, view);
  std::vector<Image> frames;
  for (int m = range.first_motion; m <= std::max(range.first_motion, range.last_motion); ++m) {
    EvaluatePose(model, m);
    RenderFrame(context, model, view);
    frames.push_back(CaptureFrame(context));
    if (frames.back().empty()) return {};
  }
  return frames;
}

// kTurntableFrames frames turning the camera once round the model from the chosen direction,
// in the still view of the current Motion (or the playback view with `perspective`).
std::vector<Image> DrawTurntableFrames(RenderContext& context, Model& model, ViewState& view,
                                       bool perspective) {
  if (perspective) {
    view.playing = true;
    SetupProjection(context, view);
    EvaluatePose(model, model.current_motion);
  }
  const float start = view.view_yaw;
  std::vector<Image> frames;
  for (int k = 0; k < kTurntableFrames; ++k) {
    view.view_yaw = std::fmod(start + 360.0f * k / kTurntableFrames, 360.0f);
    RenderFrame(context, model, view);
    frames.push_back(CaptureFrame(context));
    if (frames.back().empty()) return {};
  }
  return frames;
}

}  // namespace

bool LoadModelToDraw(const std::string& path, Model& model, RenderContext& context, Host& host,
                     std::string* error, const ReadOptions& options) {
  Reset(model);
  // The unit markers follow a fitted model's size, as in the editor.
  struct Markers : LoadEvents {
    explicit Markers(RenderContext& c) : context(c) {}
    void ModelFitted(double model_size) override { SetMarkerScale(context, model_size); }
    RenderContext& context;
  } markers(context);
  const LoadResult loaded = Load(model, path, host, options, &markers);
  if (!loaded.ok) {
    *error = "VORNA: ファイルを読み込めません (" + path + ": " + loaded.error + ")";
    return false;
  }
  return true;
}

int RunRender(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(RenderUsage().c_str(), stdout);
      return kExitOk;
    }
  }
  RenderRequest request;
  const std::string problem = ParseArguments(args, request);
  if (!problem.empty()) return Usage(problem);

  auto model = std::make_unique<Model>();
  RenderContext context;
  StderrHost host(request.fit ? Answer::kYes : Answer::kNo);
  std::string error;
  if (!LoadModelToDraw(request.in, *model, context, host, &error, request.read)) {
    std::fprintf(stderr, "%s\n", error.c_str());
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
  if (request.animated()) {
    std::vector<Image> frames;
    if (request.anim) {
      const std::optional<int> anim = FindAnim(*model, *request.anim);
      if (!anim) {
        std::fprintf(stderr, "vorna-cli: %s has no Anim named or numbered '%s'\n",
                     request.in.c_str(), request.anim->c_str());
        return kExitFailed;
      }
      frames = DrawAnimFrames(context, *model, view, *anim);
    } else {
      frames = DrawTurntableFrames(context, *model, view, request.perspective);
    }
    std::vector<uint8_t> bytes;
    const int period_ms = request.period_ms.value_or(kDefaultPeriodMs);
    const auto encode =
        WrittenFormatOf(request.out) == ImageFormat::kPng ? EncodeAnimatedPng : EncodeAnimatedGif;
    saved = !frames.empty() && encode(frames, (period_ms + 5) / 10, &bytes) &&
            WriteFileAtomically(request.out, bytes);
  } else if (request.thumbnail) {
    const Image thumbnail = MakeMotionThumbnail(context, *model, view);
    saved = SaveImageFile(thumbnail, WrittenFormatOf(request.out), request.out);
  } else {
    if (request.perspective) {
      // As during playback: the tick evaluates the Motion, then the frame draws it.
      view.playing = true;
      SetupProjection(context, view);
      EvaluatePose(*model, model->current_motion);
    }
    RenderFrame(context, *model, view);
    saved = SaveViewImage(context, request.out, WrittenFormatOf(request.out));
  }
  if (!saved) {
    std::fprintf(stderr, "%s\n", CannotSaveLine(request.out).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vorna

#include "cli/commands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include "animation/freeze_pose.h"
#include "animation/keyframes.h"
#include "cli/model_summary.h"
#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "formats/open_save.h"
#include "formats/x_export.h"
#include "model/bounds.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "model/model_edits.h"

namespace vorna {

namespace {

constexpr const char* kInfoUsage =
    "Usage: vorna-cli info [--json] FILE\n"
    "\n"
    "Prints a summary of the model in FILE (any format VORNA reads).\n"
    "  --json   one JSON object instead of text\n";

constexpr const char* kConvertUsage =
    "Usage: vorna-cli convert IN OUT [OPTIONS]\n"
    "\n"
    "Reads IN (any format VORNA reads) and writes OUT. The format follows OUT's extension\n"
    "(.vrn: VRN text, .vr2: VR2 text, .dxf: DXF, .x: X text, .glb and .gltf: glTF 2.0)\n"
    "unless --format names it.\n"
    "\n"
    "Options:\n"
    "  --format F          vrn, vrn-binary, vr2, vr2-binary, dxf, x, x-binary, x-compressed,\n"
    "                      glb, gltf\n"
    "  --no-skin           leave out blend weights and blend settings\n"
    "  --no-translation    leave out the Motions' translations\n"
    "  --no-scale          leave out the Motions' scales\n"
    "  --no-anim           leave out the Anims\n"
    "  --fit               fit a model larger than 1.7 to the window (centred, largest\n"
    "                      extent 1.2) before writing\n"
    "  --no-fit            keep the model's size (the default)\n"
    "  --recompute-normals recompute every vertex normal\n"
    "  --triangulate       replace every quad by two triangles\n"
    "  --flip-culling      reverse every face's winding\n"
    "  --keyframes S:E:N[:loop][:linear]\n"
    "                      generate N Motions in every gap from Motion S to Motion E\n"
    "                      (numbers from 1; a curve unless :linear; :loop fills the gap back\n"
    "                      to S too)\n"
    "  --x-skin            X: one skinned mesh per root Unit with skin weights\n"
    "  --x-loop            X: the \"ALL\" animation set repeats its first Motion (no Anim)\n"
    "  --x-ticks N         X: animation ticks per second, 1 to 4800000 (default 240)\n"
    "  --x-interval N      X: ticks from one key to the next, 1 to 1000 (default 30)\n"
    "  --pose N            write the model as posed in Motion N (from 1), without Units,\n"
    "                      Motions or Anims\n"
    "  --gltf-key-interval SECONDS\n"
    "                      glTF: seconds from one key to the next (default 0.125)\n"
    "\n"
    "Texture files that IN names but that are missing are listed on stderr.\n";

int Usage(const char* usage, const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "vorna-cli: %s\n\n", problem.c_str());
  std::fputs(usage, stderr);
  return kExitUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

// The formats convert writes: the --format name, the extension that picks the format when
// --format is not given (nullptr: only by name), and the writer.
struct FormatName {
  const char* name;
  const char* extension;
  ModelFormat format;
};

constexpr FormatName kFormats[] = {
    {"vrn", "vrn", ModelFormat::kVrnText},
    {"vrn-binary", nullptr, ModelFormat::kVrnBinary},
    {"vr2", "vr2", ModelFormat::kVr2Text},
    {"vr2-binary", nullptr, ModelFormat::kVr2Binary},
    // Parts' geometry only.
    {"dxf", "dxf", ModelFormat::kDxf},
    {"x", "x", ModelFormat::kX},
    {"x-binary", nullptr, ModelFormat::kX},
    {"x-compressed", nullptr, ModelFormat::kX},
    {"glb", "glb", ModelFormat::kGlb},
    {"gltf", "gltf", ModelFormat::kGltf},
};

// A whole decimal number for an X option, limited as the export dialog limits it.
std::optional<uint32_t> LimitedNumber(const std::string& text, uint32_t most) {
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range && end == text.data() + text.size()) return most;
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return static_cast<uint32_t>(std::clamp<uint64_t>(value, 1, most));
}

// A finite number of seconds above 0, written in full.
std::optional<double> PositiveSeconds(const std::string& text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!(value > 0.0) || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<ModelFormat> FormatByName(const std::string& name) {
  for (const FormatName& f : kFormats) {
    if (name == f.name) return f.format;
  }
  return std::nullopt;
}

std::optional<ModelFormat> FormatByExtension(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  for (const FormatName& f : kFormats) {
    if (f.extension != nullptr && extension == f.extension) return f.format;
  }
  return std::nullopt;
}

// Loads `path`, printing the failure as the editor would show it.
bool LoadForCli(Model& model, const std::string& path, Host& host) {
  const LoadResult result = Load(model, path, host);
  if (!result.ok) {
    std::fprintf(stderr, "VORNA: ファイルを読み込めません (%s: %s)\n", path.c_str(),
                 result.error.c_str());
  }
  return result.ok;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kInfoUsage, stdout);
    return kExitOk;
  }
  bool json = false;
  std::string path;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(kInfoUsage, "unknown option " + a);
    } else if (path.empty()) {
      path = a;
    } else {
      return Usage(kInfoUsage, "more than one file given");
    }
  }
  if (path.empty()) return Usage(kInfoUsage, "no file given");
  auto model = std::make_unique<Model>();
  Reset(*model);
  StderrHost host;
  if (!LoadForCli(*model, path, host)) return kExitFailed;
  RefreshSaveOrder(*model);
  const std::string text = json ? SummaryJson(*model) : SummaryText(*model, path);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

// What convert does to the model between reading and writing, in this order.
struct ModelEditsRequest {
  bool recompute_normals = false;
  bool triangulate = false;
  bool fit = false;
  bool flip_culling = false;
};

void ApplyModelEdits(Model& model, const ModelEditsRequest& edits, Host& host) {
  if (edits.recompute_normals) RecomputeNormals(model, host);
  if (edits.triangulate) ConvertToTriangles(model, host);
  if (edits.fit) {
    // The same edit the load offers: centred, largest extent 1.2. A model the load already
    // fitted has size 1 and stays as it is.
    const float factor = static_cast<float>(1.0 / ModelSize(model));
    const Vec3 c = model.total_center;
    ApplySizeAndPosition(model, Vec3{-c.x, -c.y, -c.z}, Vec3{factor, factor, factor});
  }
  if (edits.flip_culling) FlipCulling(model, host);
}

// "START:END:N" with optional ":loop" and ":linear"; Motion numbers count from 1.
std::optional<KeyframeRequest> ParseKeyframes(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t colon = text.find(':', start);
    fields.push_back(text.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (fields.size() < 3) return std::nullopt;
  // A Motion number or a count: a whole number from 1 to 256.
  auto number = [](const std::string& field) -> std::optional<int> {
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
    if (value < 1 || value > kMaxMotions) return std::nullopt;
    return value;
  };
  const std::optional<int> first = number(fields[0]);
  const std::optional<int> last = number(fields[1]);
  const std::optional<int> n = number(fields[2]);
  if (!first || !last || !n) return std::nullopt;
  KeyframeRequest request;
  request.start = *first - 1;
  request.end = *last - 1;
  request.n = *n;
  for (size_t k = 3; k < fields.size(); ++k) {
    if (fields[k] == "loop") {
      request.loop = true;
    } else if (fields[k] == "linear") {
      request.curve = false;
    } else {
      return std::nullopt;
    }
  }
  return request;
}

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kConvertUsage, stdout);
    return kExitOk;
  }
  std::vector<std::string> files;
  SaveOptions options;
  std::optional<ModelFormat> format;
  bool fit = false;
  ModelEditsRequest edits;
  std::optional<KeyframeRequest> keyframes;
  XExportOptions x_options;
  GltfExportOptions gltf_options;
  std::optional<int> pose;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--format") {
      if (i + 1 >= args.size()) return Usage(kConvertUsage, "--format needs a value");
      format = FormatByName(args[++i]);
      if (!format) return Usage(kConvertUsage, "unknown format " + args[i]);
      if (args[i] == "x-binary") x_options.format = XFileFormat::kBinary;
      if (args[i] == "x-compressed") x_options.format = XFileFormat::kCompressedBinary;
    } else if (a == "--x-skin" || a == "--x-loop") {
      (a == "--x-skin" ? x_options.skin : x_options.loop) = 1;
    } else if (a == "--x-ticks" || a == "--x-interval") {
      const bool ticks = a == "--x-ticks";
      const std::optional<uint32_t> n =
          i + 1 < args.size() ? LimitedNumber(args[++i], ticks ? 4800000 : 1000) : std::nullopt;
      if (!n) return Usage(kConvertUsage, a + " needs a whole number");
      if (ticks) {
        x_options.ticks_per_second = *n;
      } else {
        x_options.key_intervals.fill(*n);
      }
    } else if (a == "--pose") {
      const std::optional<uint32_t> n =
          i + 1 < args.size() ? LimitedNumber(args[++i], kMaxMotions + 1) : std::nullopt;
      // LimitedNumber lifts 0 to 1; Motion numbers start at 1.
      if (!n || args[i].find_first_not_of('0') == std::string::npos) {
        return Usage(kConvertUsage, "--pose needs a Motion number from 1");
      }
      pose = static_cast<int>(*n) - 1;
    } else if (a == "--gltf-key-interval") {
      const std::optional<double> seconds =
          i + 1 < args.size() ? PositiveSeconds(args[++i]) : std::nullopt;
      if (!seconds) return Usage(kConvertUsage, a + " needs a positive number of seconds");
      gltf_options.key_interval = *seconds;
    } else if (a == "--no-skin") {
      options.skin = false;
    } else if (a == "--no-translation") {
      options.translation = false;
    } else if (a == "--no-scale") {
      options.scale = false;
    } else if (a == "--no-anim") {
      options.anim = false;
    } else if (a == "--fit" || a == "--no-fit") {
      fit = a == "--fit";
    } else if (a == "--recompute-normals") {
      edits.recompute_normals = true;
    } else if (a == "--triangulate") {
      edits.triangulate = true;
    } else if (a == "--flip-culling") {
      edits.flip_culling = true;
    } else if (a == "--keyframes") {
      if (i + 1 >= args.size() || !(keyframes = ParseKeyframes(args[++i]))) {
        return Usage(kConvertUsage, "--keyframes takes START:END:N[:loop][:linear]");
      }
    } else if (!a.empty() && a[0] == '-') {
      return Usage(kConvertUsage, "unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return Usage(kConvertUsage, "convert takes IN and OUT");
  if (!format) format = FormatByExtension(files[1]);
  if (!format) return Usage(kConvertUsage, "cannot tell the format from " + files[1]);

  auto model = std::make_unique<Model>();
  Reset(*model);
  // The fit is the one yes/no question a load asks.
  StderrHost host(fit ? Answer::kYes : Answer::kNo);
  if (!LoadForCli(*model, files[0], host)) return kExitFailed;
  edits.fit = fit;
  ApplyModelEdits(*model, edits, host);
  if (keyframes && GenerateKeyframes(*model, host, *keyframes) != KeyframeResult::kGenerated) {
    std::fprintf(stderr, "vorna-cli: no key frames generated (Motions %d to %d of %d)\n",
                 keyframes->start + 1, keyframes->end + 1, model->motion_count);
    return kExitFailed;
  }
  if (pose && !FreezePose(*model, *pose)) {
    std::fprintf(stderr, "vorna-cli: no Motion %d (the model has %d)\n", *pose + 1,
                 model->motion_count);
    return kExitFailed;
  }
  x_options.file_name = files[1];
  gltf_options.binary = *format == ModelFormat::kGlb;
  std::string why;
  bool saved;
  if (*format == ModelFormat::kX) {
    saved = ExportX(*model, x_options, host) >= 0 &&
            SaveEmbeddedTextures(*model, DirectoryOf(files[1]));
  } else if (*format == ModelFormat::kGlb || *format == ModelFormat::kGltf) {
    saved = ExportGltf(*model, files[1], gltf_options, &why);
  } else {
    saved = SaveModel(*model, files[1], *format, options, host);
  }
  if (!saved) {
    std::fprintf(stderr, "VORNA: 保存できません (%s%s%s)\n", files[1].c_str(),
                 why.empty() ? "" : ": ", why.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vorna

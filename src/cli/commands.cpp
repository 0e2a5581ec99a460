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
#include "cli/batch_convert.h"
#include "cli/import_options.h"
#include "cli/model_summary.h"
#include "cli/recording_host.h"
#include "editor/open_flow.h"
#include "formats/registry.h"
#include "formats/x_export.h"
#include "io/number_text.h"
#include "model/bounds.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "model/model_edits.h"

namespace vorna {

namespace {

std::string InfoUsage() {
  return std::string(
             "Usage: vorna-cli info [--json] [--skeleton|--no-skeleton] [--import-interval S] "
             "FILE\n"
             "\n"
             "Prints a summary of the model in FILE (any format VORNA reads).\n"
             "  --json              one JSON object instead of text\n") +
         kImportOptionsHelp;
}

// Every --format value, in table order.
std::vector<std::string> CliFormatNames() {
  std::vector<std::string> names;
  for (const FormatRow& row : FormatRows()) {
    if (row.write == nullptr) continue;
    names.emplace_back(row.cli_name);
    for (const CliVariant& variant : row.cli_variants) names.emplace_back(variant.cli_name);
  }
  return names;
}

// The format each extension of OUT picks, as "(.vrn: VRN text, ...)".
std::string FormatsByExtension() {
  std::string text;
  std::vector<std::string> seen;
  for (const FormatRow& row : FormatRows()) {
    for (const char* extension : row.extensions) {
      if (std::find(seen.begin(), seen.end(), extension) != seen.end()) continue;
      seen.emplace_back(extension);
      const FormatRow* writer = WritableRowForPath(std::string("f.") + extension);
      if (writer == nullptr) continue;
      text += (text.empty() ? "(." : ", .") + std::string(extension) + ": " + writer->name;
    }
  }
  return text + ")";
}

// `words` joined by ", " in lines of at most `width` characters, every line after the first
// indented by `indent` spaces.
std::string WrapList(const std::vector<std::string>& words, size_t indent, size_t width) {
  std::string text;
  size_t line = indent;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string word = words[i] + (i + 1 < words.size() ? "," : "");
    if (i > 0 && line + 1 + word.size() > width) {
      text += "\n" + std::string(indent, ' ');
      line = indent;
    } else if (i > 0) {
      text += ' ';
      ++line;
    }
    text += word;
    line += word.size();
  }
  return text;
}

std::string ConvertUsage() {
  return "Usage: vorna-cli convert IN OUT [OPTIONS]\n"
         "       vorna-cli convert --to F --out-dir DIR [--jobs N] [OPTIONS] FILE...\n"
         "\n"
         "Reads IN (any format VORNA reads) and writes OUT. The format follows OUT's extension\n" +
         FormatsByExtension() +
         "\n"
         "unless --format names it.\n"
         "\n"
         "The second form converts every FILE to DIR/<name>.<extension of F> (DIR is created when\n"
         "missing), N files at a time (default: one per processor). It carries on after a "
         "failure,\n"
         "prints one line per failed file and exits 1 when any failed. Files that would be "
         "written\n"
         "to the same name are refused before anything is written.\n"
         "\n"
         "Options:\n"
         "  --format F, --to F  " +
         WrapList(CliFormatNames(), 22, 92) +
         "\n"
         "  --no-skin           leave out blend weights and blend settings (glTF: the skeleton,\n"
         "                      and with it the animations)\n"
         "  --no-translation    leave out the Motions' translations\n"
         "  --no-scale          leave out the Motions' scales\n"
         "  --no-anim           leave out the Anims (glTF: every animation)\n"
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
         "  --x-ticks N         X: animation ticks per second, 1 to " +
         std::to_string(kMaxXTicksPerSecond) + " (default " +
         std::to_string(kDefaultXTicksPerSecond) +
         ")\n"
         "  --x-interval N      X: ticks from one key to the next, 1 to " +
         std::to_string(kMaxXKeyInterval) + " (default " + std::to_string(kDefaultXKeyInterval) +
         ")\n"
         "  --pose N            write the model as posed in Motion N (from 1), without Units,\n"
         "                      Motions or Anims\n"
         "  --gltf-key-interval SECONDS\n"
         "                      glTF: seconds from one key to the next, 0.001 to 60 (default\n"
         "                      0.125)\n" +
         std::string(kImportOptionsHelp) +
         "\n"
         "Texture files that IN names but that are missing are listed on stderr. Writing to\n"
         "another folder copies the texture files beside OUT, and says so on stderr; files\n"
         "already there are never replaced.\n";
}

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

// A whole decimal number for an X option, limited as the export dialog limits it.
std::optional<uint32_t> LimitedNumber(const std::string& text, uint32_t most) {
  const std::optional<int> value = ParseWholeNumberExactly(text);
  if (!value || *value < 0) return std::nullopt;
  return std::clamp<uint32_t>(static_cast<uint32_t>(*value), 1, most);
}

// Seconds between glTF keys, written in full, within the range the export takes.
std::optional<double> KeySeconds(const std::string& text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!(value >= kMinGltfKeyInterval && value <= kMaxGltfKeyInterval)) return std::nullopt;
  return value;
}

// The failure of loading `path` as the editor words it, or "" when it loaded. `result` (may be
// null) gets what the load reports.
std::string LoadForCli(Model& model, const std::string& path, const ReadOptions& options,
                       Host& host, LoadResult* result = nullptr) {
  LoadResult loaded = Load(model, path, host, options);
  const bool ok = loaded.ok;
  const std::string error = loaded.error;
  if (result != nullptr) *result = std::move(loaded);
  if (ok) return "";
  return "VORNA: ファイルを読み込めません (" + path + ": " + error + ")";
}

}  // namespace

std::string CannotSaveLine(const std::string& path, const std::string& why) {
  return std::string("VORNA: ") + kCannotSaveMessage + " (" + path +
         (why.empty() ? "" : ": " + why) + ")";
}

int RunInfo(const std::vector<std::string>& args) {
  const std::string usage = InfoUsage();
  if (WantsHelp(args)) {
    std::fputs(usage.c_str(), stdout);
    return kExitOk;
  }
  bool json = false;
  std::string path;
  ReadOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string problem;
    if (TakeImportOption(args, i, options, &problem)) {
      if (!problem.empty()) return Usage(usage.c_str(), problem);
    } else if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(usage.c_str(), "unknown option " + a);
    } else if (path.empty()) {
      path = a;
    } else {
      return Usage(usage.c_str(), "more than one file given");
    }
  }
  if (path.empty()) return Usage(usage.c_str(), "no file given");
  auto model = std::make_unique<Model>();
  StderrHost host;
  LoadResult loaded;
  if (const std::string failure = LoadForCli(*model, path, options, host, &loaded);
      !failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return kExitFailed;
  }
  RefreshSaveOrder(*model);
  const SkeletonReport* skeleton = loaded.skeleton ? &*loaded.skeleton : nullptr;
  const std::string text =
      json ? SummaryJson(*model, skeleton) : SummaryText(*model, path, skeleton);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

namespace {

// What convert does to the model between reading and writing, in this order.
struct ModelEditsRequest {
  bool recompute_normals = false;
  bool triangulate = false;
  bool flip_culling = false;
};

void ApplyModelEdits(Model& model, const ModelEditsRequest& edits, Host& host) {
  if (edits.recompute_normals) RecomputeNormals(model, host);
  if (edits.triangulate) ConvertToTriangles(model, host);
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
    const std::optional<int> value = ParseWholeNumberExactly(field);
    if (!value || *value < 1 || *value > kMaxMotions) return std::nullopt;
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

// Everything convert was asked to do.
struct ConvertRequest {
  std::vector<std::string> files;
  SaveOptions options;
  const FormatRow* format = nullptr;  // from --format or --to, else from OUT's extension
  bool fit = false;
  ModelEditsRequest edits;
  std::optional<KeyframeRequest> keyframes;
  ReadOptions read;         // how IN is read
  std::optional<int> pose;  // the Motion to freeze, from 0
  std::string out_dir;      // the batch form
  int jobs = 0;             // 0: one per processor
};

// Fills `request` from the arguments; returns the usage problem, or "" when they are sound.
std::string ParseConvertArguments(const std::vector<std::string>& args, ConvertRequest& r) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string problem;
    if (TakeImportOption(args, i, r.read, &problem)) {
      if (!problem.empty()) return problem;
    } else if (a == "--format" || a == "--to") {
      if (i + 1 >= args.size()) return a + " needs a value";
      const std::string name = args[++i];
      void (*variant)(SaveOptions&) = nullptr;
      r.format = RowByCliName(name, &variant);
      if (r.format == nullptr || r.format->write == nullptr) return "unknown format " + name;
      if (variant != nullptr) variant(r.options);
    } else if (a == "--out-dir") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return "--out-dir needs a folder";
      r.out_dir = args[++i];
    } else if (a == "--jobs") {
      const std::optional<uint32_t> n =
          i + 1 < args.size() ? LimitedNumber(args[++i], 256) : std::nullopt;
      if (!n) return "--jobs needs a whole number";
      r.jobs = static_cast<int>(*n);
    } else if (a == "--x-skin" || a == "--x-loop") {
      (a == "--x-skin" ? r.options.x.skin : r.options.x.loop) = 1;
    } else if (a == "--x-ticks" || a == "--x-interval") {
      const bool ticks = a == "--x-ticks";
      const std::optional<uint32_t> n =
          i + 1 < args.size()
              ? LimitedNumber(args[++i], ticks ? kMaxXTicksPerSecond : kMaxXKeyInterval)
              : std::nullopt;
      if (!n) return a + " needs a whole number";
      if (ticks) {
        r.options.x.ticks_per_second = *n;
      } else {
        r.options.x.key_intervals.fill(*n);
      }
    } else if (a == "--pose") {
      const std::optional<uint32_t> n =
          i + 1 < args.size() ? LimitedNumber(args[++i], kMaxMotions + 1) : std::nullopt;
      // LimitedNumber lifts 0 to 1; Motion numbers start at 1.
      if (!n || args[i].find_first_not_of('0') == std::string::npos) {
        return "--pose needs a Motion number from 1";
      }
      r.pose = static_cast<int>(*n) - 1;
    } else if (a == "--gltf-key-interval") {
      const std::optional<double> seconds =
          i + 1 < args.size() ? KeySeconds(args[++i]) : std::nullopt;
      if (!seconds) return a + " needs a number of seconds from 0.001 to 60";
      r.options.gltf.key_interval = *seconds;
    } else if (a == "--no-skin") {
      r.options.skin = false;
    } else if (a == "--no-translation") {
      r.options.translation = false;
    } else if (a == "--no-scale") {
      r.options.scale = false;
    } else if (a == "--no-anim") {
      r.options.anim = false;
    } else if (a == "--fit" || a == "--no-fit") {
      r.fit = a == "--fit";
    } else if (a == "--recompute-normals") {
      r.edits.recompute_normals = true;
    } else if (a == "--triangulate") {
      r.edits.triangulate = true;
    } else if (a == "--flip-culling") {
      r.edits.flip_culling = true;
    } else if (a == "--keyframes") {
      if (i + 1 >= args.size() || !(r.keyframes = ParseKeyframes(args[++i]))) {
        return "--keyframes takes START:END:N[:loop][:linear]";
      }
    } else if (!a.empty() && a[0] == '-') {
      return "unknown option " + a;
    } else {
      r.files.push_back(a);
    }
  }
  if (!r.out_dir.empty()) {
    if (!r.format) return "--out-dir needs --to FORMAT";
    if (r.files.empty()) return "no files given";
    return "";
  }
  if (r.jobs != 0) return "--jobs needs --out-dir";
  if (r.files.size() != 2) return "convert takes IN and OUT";
  if (r.format == nullptr) r.format = WritableRowForPath(r.files[1]);
  if (r.format == nullptr) return "cannot tell the format from " + r.files[1];
  return "";
}

// Converts one file as `request` says, telling `host` what the editor would show. Returns the
// failure as one line, or "" on success.
std::string ConvertFile(const ConvertRequest& request, const std::string& in,
                        const std::string& out, Host& host) {
  auto model = std::make_unique<Model>();
  if (std::string failure = LoadForCli(*model, in, request.read, host); !failure.empty()) {
    return failure;
  }
  ApplyModelEdits(*model, request.edits, host);
  if (request.keyframes &&
      GenerateKeyframes(*model, host, *request.keyframes) != KeyframeResult::kGenerated) {
    return "vorna-cli: no key frames generated (Motions " +
           std::to_string(request.keyframes->start + 1) + " to " +
           std::to_string(request.keyframes->end + 1) + " of " +
           std::to_string(model->motion_count) + ")";
  }
  if (request.pose && !FreezePose(*model, *request.pose)) {
    return "vorna-cli: no Motion " + std::to_string(*request.pose + 1) + " (the model has " +
           std::to_string(model->motion_count) + ")";
  }
  WriteError error;
  BesideReport beside;
  SaveOptions options = request.options;
  options.beside = &beside;
  if (SaveModel(*model, out, request.format->format, options, host, &error)) {
    ReportBesideFiles(beside, host);
    return "";
  }
  return CannotSaveLine(out, error.path == out ? error.message : error.Describe());
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(ConvertUsage().c_str(), stdout);
    return kExitOk;
  }
  ConvertRequest request;
  if (const std::string problem = ParseConvertArguments(args, request); !problem.empty()) {
    return Usage(ConvertUsage().c_str(), problem);
  }
  // The fit is the one yes/no question a load asks, and only of a large model: --fit answers
  // it, so a model of ordinary size keeps its size.
  const Answer fit_answer = request.fit ? Answer::kYes : Answer::kNo;
  if (!request.out_dir.empty()) {
    BatchPlan plan;
    if (const std::string problem =
            PlanBatch(request.files, request.out_dir, request.format->extensions.front(), &plan);
        !problem.empty()) {
      std::fprintf(stderr, "vorna-cli: %s\n", problem.c_str());
      return plan.refused ? kExitUsage : kExitFailed;
    }
    const bool all_converted =
        RunBatch(plan, request.jobs, [&request, fit_answer](const BatchFile& file) -> std::string {
          RecordingHost host(fit_answer);
          std::string failure = ConvertFile(request, file.in, file.out, host);
          if (failure.empty()) return "";
          const std::string details = host.OneLine();
          return details.empty() ? failure : failure + ": " + details;
        });
    return all_converted ? kExitOk : kExitFailed;
  }
  StderrHost host(fit_answer);
  const std::string failure = ConvertFile(request, request.files[0], request.files[1], host);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vorna

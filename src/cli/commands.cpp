#include "cli/commands.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "cli/model_summary.h"
#include "formats/open_save.h"
#include "model/hierarchy.h"
#include "model/host.h"

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
    "(.vrn: VRN text, .vr2: VR2 text, .dxf: DXF) unless --format names it.\n"
    "\n"
    "Options:\n"
    "  --format F          vrn, vrn-binary, vr2, vr2-binary, dxf\n"
    "  --no-skin           leave out blend weights and blend settings\n"
    "  --no-translation    leave out the Motions' translations\n"
    "  --no-scale          leave out the Motions' scales\n"
    "  --no-anim           leave out the Anims\n"
    "  --fit               fit a model larger than 1.7 to the window (centred, largest\n"
    "                      extent 1.2) before writing\n"
    "  --no-fit            keep the model's size (the default)\n"
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
};

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

int RunConvert(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kConvertUsage, stdout);
    return kExitOk;
  }
  std::vector<std::string> files;
  SaveOptions options;
  std::optional<ModelFormat> format;
  bool fit = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--format") {
      if (i + 1 >= args.size()) return Usage(kConvertUsage, "--format needs a value");
      format = FormatByName(args[++i]);
      if (!format) return Usage(kConvertUsage, "unknown format " + args[i]);
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
  if (!SaveModel(*model, files[1], *format, options, host)) {
    std::fprintf(stderr, "VORNA: 保存できません (%s)\n", files[1].c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vorna

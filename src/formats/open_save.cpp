#include "formats/open_save.h"

#include <algorithm>
#include <cctype>

#include "formats/dxf.h"
#include "formats/format_common.h"
#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "formats/text_polygon.h"
#include "formats/vr2_binary.h"
#include "formats/vr2_text.h"
#include "formats/vrn_binary.h"
#include "formats/vrn_text.h"
#include "formats/x_export.h"
#include "formats/x_import.h"
#include "model/bounds.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/model_edits.h"
#include "model/name_text.h"

namespace vorna {

namespace {

// The missing-texture message grows with every name; past this many the list is cut short.
constexpr size_t kMaxListedTextures = 32;
// Models larger than this are offered the fit to the window.
constexpr double kFitThreshold = 1.7;

using Reader = bool (*)(Model&, const std::string&, Host&, const ReadOptions&, std::string*);

// One row per extension: the reader tried first and the one tried when it fails, with the
// loaded_type each gives. A row without a first reader has no reader yet.
struct ReaderRow {
  const char* extension;
  Reader first;
  int32_t first_type;
  Reader fallback;
  int32_t fallback_type;
};

constexpr ReaderRow kReaders[] = {
    {"vrn", ReadVrnText, kLoadedVrnText, ReadVrnBinary, kLoadedVrnBinary},
    {"dxf", ImportDxf, kLoadedDxf, nullptr, kLoadedNone},
    {"txt", ReadTextPolygon, kLoadedTextPolygon, nullptr, kLoadedNone},
    {"x", ImportX, kLoadedX, nullptr, kLoadedNone},
    {"vr2", ReadVr2Text, kLoadedVr2Text, ReadVr2Binary, kLoadedVr2Binary},
    {"gltf", ImportGltf, kLoadedGltf, nullptr, kLoadedNone},
    {"glb", ImportGltf, kLoadedGltf, nullptr, kLoadedNone},
};

// Runs the readers of `row`; returns the loaded_type, kLoadedNone when every reader refused.
int32_t RunReaders(const ReaderRow& row, Model& model, const std::string& path, Host& host,
                   const ReadOptions& options, std::string* error) {
  std::string first_error;
  if (row.first(model, path, host, options, &first_error)) return row.first_type;
  if (row.fallback == nullptr) {
    *error = first_error;
    return kLoadedNone;
  }
  std::string fallback_error;
  if (row.fallback(model, path, host, options, &fallback_error)) return row.fallback_type;
  *error = "as text: " + first_error + "; as binary: " + fallback_error;
  return kLoadedNone;
}

void OfferFit(Model& model, Host& host, const LoadHooks& hooks, LoadResult* result) {
  const double size = ModelSize(model);
  if (!(size > kFitThreshold)) return;
  result->fit_offered = true;
  if (host.Question("モデルをウィンドウサイズに変更しますか？", Buttons::kYesNo,
                    MessageIcon::kNone) != Answer::kYes) {
    return;
  }
  const Vec3 move{-model.total_center.x, -model.total_center.y, -model.total_center.z};
  const float factor = static_cast<float>(1.0 / size);
  ApplySizeAndPosition(model, move, Vec3{factor, factor, factor}, hooks.scale_markers);
  result->fitted = true;
}

void ReportMissingTextures(const Model& model, Host& host, std::vector<std::string>* missing) {
  for (int p = 0; p < model.parts_count; ++p) {
    const std::string& name = model.parts[p].texture_file;
    // No texture named: the name would be the model's directory itself, which exists. An
    // embedded texture gets its file only when the model is saved.
    if (name.empty() || model.parts[p].texture_embedded) continue;
    bool seen = false;
    for (int q = 0; q < p && !seen; ++q) seen = model.parts[q].texture_file == name;
    if (seen) continue;
    if (!FileExists(StoredFilePath(model.model_dir, name))) missing->push_back(name);
  }
  if (missing->empty()) return;
  std::string text = model.model_dir + "\r\n\r\nに以下のファイルがありません。\r\n";
  for (size_t i = 0; i < missing->size() && i < kMaxListedTextures; ++i) {
    text += "\r\n" + Cp932ToUtf8((*missing)[i]);
  }
  if (missing->size() > kMaxListedTextures) text += "\r\n･･･";
  host.Message(text, MessageIcon::kNone);
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = name.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                const LoadHooks& hooks) {
  LoadResult result;
  if (path.empty() || !FileExists(path)) {
    result.error = "no such file";
    return result;
  }
  const std::string extension = ExtensionOf(path);
  const ReaderRow* row = nullptr;
  for (const ReaderRow& r : kReaders) {
    if (extension == r.extension) row = &r;
  }
  if (row == nullptr) {
    result.error = extension.empty() ? "the file name has no extension"
                                     : "no reader for ." + extension + " files";
    return result;
  }
  if (row->first == nullptr) {
    result.error = "no reader for ." + extension + " files yet";
    return result;
  }

  WaitCursor wait(host);
  const int32_t loaded_type = RunReaders(*row, model, path, host, options, &result.error);
  if (loaded_type == kLoadedNone) return result;
  model.loaded_type = loaded_type;
  result.loaded_type = loaded_type;
  if (loaded_type == kLoadedVr2Text || loaded_type == kLoadedVr2Binary) {
    host.Message("VR2ファイルはVRNファイル形式で読み込まれます", MessageIcon::kNone);
  }

  model.modified = 0;
  for (int p = 0; p < kMaxParts; ++p) model.draw_order[p] = static_cast<uint32_t>(p);
  SetTitleAndDirectory(model, path);
  OfferFit(model, host, hooks, &result);
  BuildHierarchy(model);
  CheckTriangles(model);
  if (hooks.model_replaced) hooks.model_replaced(model);
  if (model.motion_count <= 0) model.motion_count = 1;
  for (int m = 0; m < model.motion_count; ++m) {
    model.current_motion = m;
    model.motions[m].in_use = 1;
    if (hooks.motion_added) hooks.motion_added(model, m);
  }
  if (hooks.motions_ready) hooks.motions_ready();
  ReportMissingTextures(model, host, &result.missing_textures);
  result.ok = true;
  return result;
}

namespace {

bool WriteModel(Model& model, const std::string& path, ModelFormat format,
                const SaveOptions& options, Host& host) {
  switch (format) {
    case ModelFormat::kVrnText:
      return WriteVrnText(model, path, options, host);
    case ModelFormat::kVrnBinary:
      return WriteVrnBinary(model, path, options, host);
    case ModelFormat::kVr2Text:
      return WriteVr2Text(model, path, options, host);
    case ModelFormat::kVr2Binary:
      return WriteVr2Binary(model, path, options, host);
    case ModelFormat::kDxf:
      return ExportDxf(model, path, host);
    case ModelFormat::kX: {
      // The export dialog's defaults: text, no skin, intervals of 30 ticks.
      XExportOptions x;
      x.file_name = path;
      return ExportX(model, x, host) >= 0;
    }
    case ModelFormat::kGlb:
    case ModelFormat::kGltf: {
      GltfExportOptions gltf;
      gltf.binary = format == ModelFormat::kGlb;
      return ExportGltf(model, path, gltf);
    }
  }
  return false;
}

}  // namespace

bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host) {
  if (!WriteModel(model, path, format, options, host)) return false;
  // Formats that name texture files need the embedded ones written as files beside them.
  const bool names_textures =
      format != ModelFormat::kDxf && format != ModelFormat::kGlb && format != ModelFormat::kGltf;
  if (names_textures && !SaveEmbeddedTextures(model, DirectoryOf(path))) return false;
  model.modified = 0;
  return true;
}

ModelFormat FormatOf(SaveFamily family, bool binary) {
  if (family == SaveFamily::kVrn) return binary ? ModelFormat::kVrnBinary : ModelFormat::kVrnText;
  return binary ? ModelFormat::kVr2Binary : ModelFormat::kVr2Text;
}

bool SaveWithChoice(Model& model, const std::string& path, SaveFamily family,
                    const SaveFormatChoice& choice, Host& host) {
  if (SaveModel(model, path, FormatOf(family, choice.binary), choice.Options(), host)) return true;
  host.Message("保存できません", MessageIcon::kNone);
  return false;
}

OverwritePlan PlanOverwriteSave(const Model& model) {
  OverwritePlan plan;
  plan.path = model.model_dir + model.model_file_name;
  auto write = [&plan](ModelFormat format) {
    plan.action = OverwriteAction::kWrite;
    plan.format = format;
  };
  switch (model.loaded_type) {
    case kLoadedVrnText:
      write(ModelFormat::kVrnText);
      break;
    case kLoadedVrnBinary:
      write(ModelFormat::kVrnBinary);
      break;
    case kLoadedDxf:
      write(ModelFormat::kDxf);
      break;
    case kLoadedX:
      plan.action = OverwriteAction::kExportX;
      break;
    case kLoadedVr2Text:
      write(ModelFormat::kVr2Text);
      break;
    case kLoadedVr2Binary:
      write(ModelFormat::kVr2Binary);
      break;
    case kLoadedGltf:
      write(ExtensionOf(model.model_file_name) == "gltf" ? ModelFormat::kGltf : ModelFormat::kGlb);
      break;
    default:  // text polygon files have no writer; nothing loaded has no file
      plan.action = OverwriteAction::kSaveAs;
      break;
  }
  return plan;
}

}  // namespace vorna

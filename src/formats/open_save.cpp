#include "formats/open_save.h"

#include <algorithm>
#include <cctype>

#include "formats/format_common.h"
#include "formats/vr2_text.h"
#include "formats/vrn_text.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"

namespace vorna {

namespace {

// The missing-texture message grows with every name; past this many the list is cut short.
constexpr size_t kMaxListedTextures = 32;

void ReportMissingTextures(const Model& model, Host& host, std::vector<std::string>* missing) {
  for (int p = 0; p < model.parts_count; ++p) {
    const std::string& name = model.parts[p].texture_file;
    if (name.empty()) continue;  // no texture named: the directory itself exists
    bool seen = false;
    for (int q = 0; q < p && !seen; ++q) seen = model.parts[q].texture_file == name;
    if (seen) continue;
    if (!FileExists(model.model_dir + name)) missing->push_back(name);
  }
  if (missing->empty()) return;
  std::string text = model.model_dir + "\r\n\r\nに以下のファイルがありません。\r\n";
  for (size_t i = 0; i < missing->size() && i < kMaxListedTextures; ++i) {
    text += "\r\n" + (*missing)[i];
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

LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options) {
  LoadResult result;
  if (path.empty() || !FileExists(path)) {
    result.error = "no such file";
    return result;
  }
  const std::string extension = ExtensionOf(path);
  WaitCursor wait(host);
  int32_t loaded_type = kLoadedNone;
  if (extension == "vrn") {
    if (ReadVrnText(model, path, host, options, &result.error)) loaded_type = kLoadedVrnText;
  } else if (extension == "vr2") {
    if (ReadVr2Text(model, path, host, options, &result.error)) loaded_type = kLoadedVr2Text;
  } else {
    result.error = extension.empty() ? "the file name has no extension"
                                     : "no reader for ." + extension + " files";
    return result;
  }
  if (loaded_type == kLoadedNone) return result;
  model.loaded_type = loaded_type;
  if (loaded_type == kLoadedVr2Text || loaded_type == kLoadedVr2Binary) {
    host.Message("VR2ファイルはVRNファイル形式で読み込まれます", MessageIcon::kNone);
  }

  model.modified = 0;
  for (int p = 0; p < kMaxParts; ++p) model.draw_order[p] = static_cast<uint32_t>(p);
  SetTitleAndDirectory(model, path);
  BuildHierarchy(model);
  CheckTriangles(model);
  if (model.motion_count <= 0) model.motion_count = 1;
  for (int m = 0; m < model.motion_count; ++m) model.motions[m].in_use = 1;
  model.current_motion = model.motion_count - 1;
  ReportMissingTextures(model, host, &result.missing_textures);
  result.ok = true;
  return result;
}

bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host) {
  switch (format) {
    case ModelFormat::kVrnText:
      return WriteVrnText(model, path, options, host);
    case ModelFormat::kVr2Text:
      return WriteVr2Text(model, path, options, host);
    default:
      host.Message("保存できません", MessageIcon::kStop);
      return false;
  }
}

}  // namespace vorna

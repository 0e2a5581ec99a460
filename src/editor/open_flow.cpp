#include "editor/open_flow.h"

#include "formats/format_common.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/model_edits.h"
#include "model/name_text.h"

namespace vorna {

namespace {

// The missing-texture message grows with every name; past this many the list is cut short.
constexpr size_t kMaxListedTextures = 32;

void OfferFit(Model& model, Host& host, LoadEvents* events, LoadResult* result) {
  if (!OffersFit(model)) return;
  result->fit_offered = true;
  if (host.Question("モデルをウィンドウサイズに変更しますか？", Buttons::kYesNo,
                    MessageIcon::kNone) != Answer::kYes) {
    return;
  }
  FitToWindow(model, [events](double model_size) {
    if (events != nullptr) events->ModelFitted(model_size);
  });
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

LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                LoadEvents* events) {
  LoadResult result;
  WaitCursor wait(host);
  ReadError error;
  if (!ReadModelFile(model, path, host, options, &error)) {
    result.error = error.Describe();
    return result;
  }
  result.loaded_type = model.loaded_type;
  const FormatRow* row = RowOfLoaded(model.loaded_type, path);
  if (row != nullptr && row->read_in_vrn_form) {
    host.Message("VR2ファイルはVRNファイル形式で読み込まれます", MessageIcon::kNone);
  }

  model.modified = 0;
  for (int p = 0; p < kMaxParts; ++p) model.draw_order[p] = static_cast<uint32_t>(p);
  SetTitleAndDirectory(model, path);
  OfferFit(model, host, events, &result);
  BuildHierarchy(model);
  CheckTriangles(model);
  if (events != nullptr) events->ModelReplaced(model);
  if (model.motion_count <= 0) model.motion_count = 1;
  for (int m = 0; m < model.motion_count; ++m) {
    model.current_motion = m;
    model.motions[m].in_use = 1;
    if (events != nullptr) events->MotionAdded(model, m);
  }
  if (events != nullptr) events->MotionsReady();
  ReportMissingTextures(model, host, &result.missing_textures);
  result.ok = true;
  return result;
}

ModelFormat FormatOf(SaveFamily family, bool binary) {
  const FormatRow& text =
      RowOf(family == SaveFamily::kVrn ? ModelFormat::kVrnText : ModelFormat::kVr2Text);
  return binary ? text.binary_form : text.format;
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
  const FormatRow* row = RowOfLoaded(model.loaded_type, model.model_file_name);
  if (row == nullptr || row->write == nullptr) return plan;  // nothing loaded, or no writer
  if (row->format == ModelFormat::kX) {
    // An X file is written again through its export dialog, which asks for its options.
    plan.action = OverwriteAction::kExportX;
    return plan;
  }
  plan.action = OverwriteAction::kWrite;
  plan.format = row->format;
  return plan;
}

}  // namespace vorna

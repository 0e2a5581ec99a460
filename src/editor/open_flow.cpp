#include "editor/open_flow.h"

#include <memory>
#include <utility>

#include "formats/format_common.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/model_edits.h"
#include "model/name_text.h"

namespace vorna {

namespace {

// The missing-texture message grows with every name; past this many the list is cut short.
constexpr size_t kMaxListedTextures = 32;

// File names for a message, one a line, a long list cut short.
std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kMaxListedTextures; ++i) text += "\r\n" + names[i];
  if (names.size() > kMaxListedTextures) text += "\r\n･･･";
  return text;
}

// What a reader or writer running on a worker thread says, kept to be shown by the caller's
// Host once it has finished (or dropped when the user stopped it). Readers and writers only
// tell; nothing of theirs asks a question.
class DeferredHost : public Host {
 public:
  void Message(std::string_view text, MessageIcon icon) override {
    messages_.emplace_back(std::string(text), icon);
  }
  Answer Question(std::string_view, Buttons buttons, MessageIcon) override {
    return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
  }
  void BeginWait() override {}
  void EndWait() override {}
  void ShowOn(Host& host) const {
    for (const auto& [text, icon] : messages_) host.Message(text, icon);
  }

 private:
  std::vector<std::pair<std::string, MessageIcon>> messages_;
};

// Hands `progress` on and remembers whether it ever answered "stop".
ProgressCallback Watched(const ProgressCallback& progress, bool* stopped) {
  return [&progress, stopped](std::uint64_t done, std::uint64_t total) {
    if (progress(done, total)) return true;
    *stopped = true;
    return false;
  };
}

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

// Said once after a damaged binary file was loaded as far as it could be read.
std::string DamageNotice(const ReadDamage& damage) {
  const auto list = [](const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) {
      text += (text.empty() ? "" : ", ") + (key.empty() ? std::string("(最後のレコード)") : key);
    }
    return text;
  };
  std::string text = "このファイルは壊れているため、読み込めたところまでを開きます。\r\n";
  if (!damage.cut.empty()) text += "\r\n途中で切れているデータ: " + list(damage.cut);
  if (!damage.missing.empty()) text += "\r\nないデータ: " + list(damage.missing);
  return text + "\r\n\r\nこのファイルに上書き保存すると、読み込めたところだけが保存されます。";
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
  std::vector<std::string> names;
  for (const std::string& name : *missing) names.push_back(Cp932ToUtf8(name));
  host.Message(model.model_dir + "\r\n\r\nに以下のファイルがありません。\r\n" + Listed(names),
               MessageIcon::kNone);
}

}  // namespace

LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                LoadEvents* events) {
  LoadResult result;
  WaitCursor wait(host);
  ReadError error;
  if (!HasReaderFor(path, &error)) {
    result.error = error.Describe();
    return result;
  }
  // The Model is large: on the heap, and handed over by moving.
  auto read = std::make_unique<Model>();
  DeferredHost reader_host;
  ReadDamage damage;
  bool ok = false;
  SkeletonReport skeleton;
  host.RunLongTask(LongTask::kReading, [&](const ProgressCallback& progress) {
    ReadOptions with_progress = options;
    with_progress.progress = progress;
    with_progress.damage = &damage;
    with_progress.skeleton_report = &skeleton;
    ok = ReadModelFile(*read, path, reader_host, with_progress, &error);
  });
  if (!ok && error.kind == ReadErrorKind::kCancelled) {
    result.ok = true;
    result.kept_current = true;
    result.cancelled = true;
    return result;
  }
  reader_host.ShowOn(host);
  if (!ok) {
    // The open model, its title and its undo history stay: a file that cannot be read must not
    // cost the user what they had.
    result.error = error.Describe();
    result.kept_current = true;
    return result;
  }
  model = std::move(*read);
  read.reset();
  result.loaded_type = model.loaded_type;
  if (skeleton.skeleton) result.skeleton = skeleton;
  const FormatRow* row = RowOfLoaded(model.loaded_type, path);
  if (row != nullptr && row->read_in_vrn_form) {
    host.Message("VR2ファイルはVRNファイル形式で読み込まれます", MessageIcon::kNone);
  }
  if (damage.any()) host.Message(DamageNotice(damage), MessageIcon::kWarning);

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

bool WriteInBackground(Model& model, Host& host,
                       const std::function<bool(Model&, Host&, const ProgressCallback&)>& write,
                       bool* cancelled) {
  WaitCursor wait(host);
  auto copy = std::make_unique<Model>(model);
  DeferredHost writer_host;
  bool ok = false;
  bool stopped = false;
  host.RunLongTask(LongTask::kSaving, [&](const ProgressCallback& progress) {
    ok = write(*copy, writer_host, progress ? Watched(progress, &stopped) : progress);
  });
  // A stop that came too late to keep the file from being replaced did not stop the save.
  stopped = stopped && !ok;
  if (cancelled != nullptr) *cancelled = stopped;
  if (stopped) return false;
  writer_host.ShowOn(host);
  model = std::move(*copy);
  return ok;
}

bool SaveModelInBackground(Model& model, const std::string& path, ModelFormat format,
                           const SaveOptions& options, Host& host, bool* cancelled,
                           WriteError* error) {
  return WriteInBackground(
      model, host,
      [&](Model& copy, Host& writer_host, const ProgressCallback& progress) {
        SaveOptions with_progress = options;
        with_progress.progress = progress;
        return SaveModel(copy, path, format, with_progress, writer_host, error);
      },
      cancelled);
}

void ReportBesideFiles(const BesideReport& report, Host& host) {
  if (!report.any()) return;
  std::string text;
  if (!report.copied.empty()) {
    text = "テクスチャのファイルを保存先のフォルダーにコピーしました。\r\n" + Listed(report.copied);
  }
  if (!report.renamed.empty()) {
    std::vector<std::string> names;
    for (const auto& [taken, written] : report.renamed) names.push_back(taken + " → " + written);
    if (!text.empty()) text += "\r\n\r\n";
    text += "同じ名前の別のファイルがあるため、名前を変えて保存しました。\r\n" + Listed(names);
  }
  host.Message(text, MessageIcon::kInformation);
}

bool SaveAndReport(Model& model, const std::string& path, const FormatRow& row,
                   const SaveOptions& options, Host& host, bool add_cannot_save, bool* cancelled) {
  bool stopped = false;
  WriteError error;
  BesideReport beside;
  SaveOptions reporting = options;
  reporting.beside = &beside;
  const bool saved =
      SaveModelInBackground(model, path, row.format, reporting, host, &stopped, &error);
  if (cancelled != nullptr) *cancelled = stopped;
  if (saved) ReportBesideFiles(beside, host);
  if (saved || stopped) return saved;
  if (error.kind == WriteErrorKind::kTaken) {
    host.Message(error.path + "\r\n\r\nには別のファイルがあるため、保存しませんでした。",
                 MessageIcon::kStop);
  } else if (error.path == path) {
    if (error.kind == WriteErrorKind::kCreate && row.names_create_failure) {
      host.Message("ファイルを作成できません", MessageIcon::kStop);
    } else if (error.kind == WriteErrorKind::kWrite && row.names_write_failure) {
      host.Message("ファイルを保存できません", MessageIcon::kStop);
    }
  }
  if (add_cannot_save) host.Message(kCannotSaveMessage, MessageIcon::kNone);
  return false;
}

bool SaveWithChoice(Model& model, const std::string& path, const FormatRow& row,
                    const SaveFormatChoice& choice, Host& host, bool* cancelled) {
  return SaveAndReport(model, path, choice.binary ? RowOf(row.binary_form) : row, choice.Options(),
                       host, true, cancelled);
}

OverwritePlan PlanOverwriteSave(const Model& model) {
  OverwritePlan plan;
  plan.path = model.model_dir + model.model_file_name;
  const FormatRow* row = RowOfLoaded(model.loaded_type, model.model_file_name);
  if (row == nullptr || row->write == nullptr) return plan;  // nothing loaded, or no writer
  plan.row = row;
  plan.action =
      row->overwrite_opens_dialog ? OverwriteAction::kOpenDialog : OverwriteAction::kWrite;
  return plan;
}

}  // namespace vorna

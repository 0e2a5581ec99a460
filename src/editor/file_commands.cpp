#include "editor/file_commands.h"

#include "io/path_parts.h"

namespace vorna {

namespace {

// The save dialog of `row` for `path`, which writes when confirmed. False only when the user
// stopped the write: whoever asked for the save must not go on as if it had saved.
bool RunSaveDialog(Model& model, const FormatRow& row, const std::string& path, Host& host,
                   FileCommandUi& ui) {
  bool cancelled = false;
  switch (row.save_dialog) {
    case SaveDialog::kSaveFormat: {
      SaveFormatChoice choice;
      if (ui.ShowSaveFormatDialog(row, &choice)) {
        SaveWithChoice(model, path, row, choice, host, &cancelled);
      }
      break;
    }
    case SaveDialog::kXExport:
      ui.ShowXExportDialog(row, path);
      break;
    case SaveDialog::kNone:
      break;
  }
  return !cancelled;
}

}  // namespace

std::string OpenPathForFilter(const std::string& path, int filter_index) {
  const FormatRow* row = OpenFilterRow(filter_index);
  if (row == nullptr || !SplitPath(path).extension.empty()) return path;
  return path + "." + row->extensions.front();
}

std::string ProposedSaveName(const std::string& model_file_name) {
  return WithoutExtension(model_file_name) + "." + SaveFilterExtension(1);
}

std::string SaveFilterExtension(int filter_index) {
  const FormatRow* row = SaveFilterRow(filter_index);
  return row != nullptr ? row->extensions.front() : "";
}

std::string RenameForFileType(const std::string& box_text, int filter_index) {
  const std::string extension = SaveFilterExtension(filter_index);
  if (box_text.empty() || extension.empty()) return box_text;
  return WithoutExtension(box_text) + "." + extension;
}

std::string ChosenSavePath(const std::string& name, int filter_index) {
  const std::string extension = SaveFilterExtension(filter_index);
  if (extension.empty() || !SplitPath(name).extension.empty()) return name;
  return name + "." + extension;
}

bool SaveAs(Model& model, Host& host, FileCommandUi& ui) {
  ui.StopPlayback();
  std::string name;
  int filter_index = 1;
  if (!ui.ShowSaveAsDialog(ProposedSaveName(model.model_file_name), &name, &filter_index)) {
    return false;
  }
  const FormatRow* row = SaveRowForName(name, filter_index);
  if (row == nullptr) return true;
  const std::string path = ChosenSavePath(name, filter_index);
  if (row->save_dialog != SaveDialog::kNone) return RunSaveDialog(model, *row, path, host, ui);
  return SaveAndReport(model, path, *row, SaveOptions{}, host, row->save_as_reports_failure);
}

void OverwriteSave(Model& model, Host& host, FileCommandUi& ui) {
  ui.StopPlayback();
  const OverwritePlan plan = PlanOverwriteSave(model);
  switch (plan.action) {
    case OverwriteAction::kWrite:
      SaveAndReport(model, plan.path, *plan.row, SaveOptions{}, host);
      break;
    case OverwriteAction::kOpenDialog:
      RunSaveDialog(model, *plan.row, plan.path, host, ui);
      break;
    case OverwriteAction::kSaveAs:
      SaveAs(model, host, ui);
      break;
  }
}

bool AskToSaveChanges(Model& model, Host& host, FileCommandUi& ui) {
  if (!model.modified) return true;
  const Answer answer =
      host.Question("既読のファイルを保存しますか？", Buttons::kYesNoCancel, MessageIcon::kNone);
  return answer == Answer::kNo || (answer == Answer::kYes && SaveAs(model, host, ui));
}

LoadResult LoadWithPrompt(Model& model, const std::string& path, Host& host, FileCommandUi& ui,
                          const ReadOptions& options, LoadEvents* events) {
  ui.StopPlayback();
  if (!AskToSaveChanges(model, host, ui)) {
    LoadResult kept;
    kept.ok = true;
    kept.kept_current = true;
    return kept;
  }
  return Load(model, path, host, options, events);
}

LoadResult OpenFile(Model& model, const std::string& path, Host& host, FileCommandUi& ui,
                    LoadEvents* events, const ReadOptions& options) {
  LoadResult result = LoadWithPrompt(model, path, host, ui, options, events);
  if (!result.ok) host.Message("ファイルを読み込めません", MessageIcon::kNone);
  return result;
}

bool SkeletonImportShown(std::optional<bool> choice, const Model& model) {
  if (choice) return *choice;
  const FormatRow* row = RowOfLoaded(model.loaded_type, model.model_file_name);
  return row == nullptr || !row->reads_skeletons || row->skeleton_by_default;
}

ReadOptions SkeletonReadOptions(std::optional<bool> choice) {
  ReadOptions options;
  options.skeleton = choice;
  return options;
}

LoadResult OpenCommand(Model& model, Host& host, FileCommandUi& ui, LoadEvents* events,
                       const ReadOptions& options) {
  std::string path;
  int filter_index = 1;
  if (!ui.ShowOpenDialog(&path, &filter_index)) {
    LoadResult nothing;
    nothing.ok = true;
    nothing.kept_current = true;
    return nothing;
  }
  return OpenFile(model, OpenPathForFilter(path, filter_index), host, ui, events, options);
}

}  // namespace vorna

// The open, save-as and overwrite-save commands without widgets: what the dialogs propose, how
// the chosen names and filter indices turn into paths and formats, and the flows that ask the
// questions and call the readers and writers. The window supplies the dialogs through
// FileCommandUi; every message and question goes through Host.
#pragma once

#include <optional>
#include <string>

#include "editor/open_flow.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Filter indices are 1-based, as the dialogs report them; their entries are the format
// registry's (OpenDialogFilters, SaveDialogFilters).

// The open dialog's chosen path with the first extension of the filter's format appended when
// the file name has no '.'; the first filter (every model type) and the last (every file) append
// nothing. Only the file name counts, so a '.' in a folder name does not keep the extension
// away.
std::string OpenPathForFilter(const std::string& path, int filter_index);

// The save-as dialog's proposal: the model's file name with its extension (from the last '.')
// replaced by ".vrn", or ".vrn" appended when it has none.
std::string ProposedSaveName(const std::string& model_file_name);

// The extension of a save-as filter's format; "" for another index.
std::string SaveFilterExtension(int filter_index);

// The file-name box after the save-as dialog's file type changed to `filter_index`: empty text
// stays empty; a name with a '.' has everything from its last '.' replaced by the new type's
// extension; any other name gets "." and the extension appended. Only the part after the last
// '/' is looked at for the '.'.
std::string RenameForFileType(const std::string& box_text, int filter_index);

// The save path for a confirmed save-as dialog: the name, with the filter's extension appended
// when the file name has no '.'. The format is the filter's alone, whatever the name says.
std::string ChosenSavePath(const std::string& name, int filter_index);

// What the file commands need from the window.
class FileCommandUi {
 public:
  virtual ~FileCommandUi() = default;
  virtual void StopPlayback() = 0;
  // The open dialog (the first filter, empty name). False when cancelled; otherwise the path as
  // chosen and the filter index.
  virtual bool ShowOpenDialog(std::string* path, int* filter_index) = 0;
  // The save-as dialog opened on `proposed_name` with the first filter; it renames the box with
  // RenameForFileType when the type changes and asks before overwriting. False when cancelled;
  // otherwise the name as confirmed and the filter index.
  virtual bool ShowSaveAsDialog(const std::string& proposed_name, std::string* name,
                                int* filter_index) = 0;
  // The save-format dialog of `row` (titled by its save_dialog_title), opened with the default
  // choice. False when cancelled.
  virtual bool ShowSaveFormatDialog(const FormatRow& row, SaveFormatChoice* choice) = 0;
  // The X export dialog of `row` for `path`, which saves (SaveAndReport) or not by itself.
  virtual void ShowXExportDialog(const FormatRow& row, const std::string& path) = 0;
};

// Save as: stop playback, propose a name, show the dialog; cancelling fails. Otherwise the
// filter's row decides: its save-format dialog and, on OK, the write (a failure shows
// "保存できません"); the X export dialog; or a write at once (a failure shows "保存できません"
// where the row says so). Succeeds whenever the dialog was confirmed, except for those written
// at once (their result) and for a save the user stopped, which shows nothing. Every write runs
// in the background (open_flow.h, SaveModelInBackground).
bool SaveAs(Model& model, Host& host, FileCommandUi& ui);

// Overwrite save: stop playback, then by the row of the loaded format its writer with every
// option on (a failure shows "保存できません") or its save dialog, or save as when the format
// has no writer or nothing was loaded.
void OverwriteSave(Model& model, Host& host, FileCommandUi& ui);

// Before the model is closed or replaced: with unsaved edits asks "既読のファイルを保存しますか？";
// Yes saves as first. False when the user cancelled (or cancelled the save as): keep the model.
bool AskToSaveChanges(Model& model, Host& host, FileCommandUi& ui);

// Load with prompt: stop playback; with unsaved edits ask "既読のファイルを保存しますか？"
// (Yes: save as first, and stop with success if that was cancelled; No: go on; Cancel: stop
// with success); then Load. A stop leaves the Model as it was and sets kept_current.
LoadResult LoadWithPrompt(Model& model, const std::string& path, Host& host, FileCommandUi& ui,
                          const ReadOptions& options = {}, LoadEvents* events = nullptr);

// Every way a path arrives (the open dialog, a dropped file, the command line, a second start):
// load with prompt, and on failure "ファイルを読み込めません".
LoadResult OpenFile(Model& model, const std::string& path, Host& host, FileCommandUi& ui,
                    LoadEvents* events = nullptr, const ReadOptions& options = {});

// The open command: the open dialog (cancelling is a success that changes nothing), then
// OpenFile with the path completed by OpenPathForFilter.
LoadResult OpenCommand(Model& model, Host& host, FileCommandUi& ui, LoadEvents* events = nullptr,
                       const ReadOptions& options = {});

// The file menu's skeleton item. The user's choice (unset until the item is first used) holds
// for every format; unset, each format reads skeletons as its row says. The item shows the
// choice, or unset what the open model's format does (a format without skeletons, or no model:
// checked, as most formats that carry skeletons read them).
bool SkeletonImportShown(std::optional<bool> choice, const Model& model);
// Reading options that carry the choice.
ReadOptions SkeletonReadOptions(std::optional<bool> choice);

}  // namespace vorna

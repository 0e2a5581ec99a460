// The file dialogs of the open and save commands: the open dialog, save as with the renaming of
// the typed name when the type changes, and the two save-format dialogs. Their file types come
// from the format registry; the rules (extensions, renaming, formats) are the core's.
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <functional>
#include <string>

#include "editor/file_commands.h"

class QCheckBox;
class QRadioButton;

namespace vorna {

// A file name as the core keeps it (the file system's bytes) and back.
std::string PathBytes(const QString& path);
QString PathText(const std::string& path);

// The folder every file dialog starts in: the model's folder `model_dir` when there is one,
// else the folder of the last file chosen in one of our dialogs, else the working folder. The
// folder Qt remembers in its own settings file is never used.
QString StartFolder(const std::string& model_dir);
// Remembers the folder of `file`, chosen in a file dialog, for StartFolder.
void RememberChosenFile(const QString& file);
// That folder, and setting it from the last run's settings.
QString LastChosenFolder();
void SetLastChosenFolder(const QString& folder);

// The open dialog, not yet shown: in `folder`, filter 1 selected, empty name.
QFileDialog* CreateOpenDialog(QWidget* owner, const QString& folder);
// The save-as dialog, not yet shown: in `folder` with the proposed name, filter 1 selected, and
// the name box renamed whenever the file type changes.
QFileDialog* CreateSaveAsDialog(QWidget* owner, const QString& proposed_name,
                                const QString& folder);
// The 1-based index of the dialog's selected filter.
int SelectedFilterIndex(const QFileDialog& dialog);
// The text of the dialog's file name box.
QString FileNameBoxText(const QFileDialog& dialog);

// A format's save-format dialog, titled by its row ("VRNﾌｧｲﾙの保存形式"): text or binary, and
// four things to leave out.
class SaveFormatDialog : public QDialog {
  Q_OBJECT
 public:
  SaveFormatDialog(const FormatRow& row, QWidget* owner);
  SaveFormatChoice choice() const;

  QCheckBox* check_box(int index) const { return checks_[index]; }

 private:
  QRadioButton* text_ = nullptr;
  QRadioButton* binary_ = nullptr;
  QCheckBox* checks_[4] = {};
};

// The window's side of the file commands.
class FileDialogs : public FileCommandUi {
 public:
  // The dialogs start in `model`'s folder.
  FileDialogs(QWidget* owner, const Model& model, std::function<void()> stop_playback,
              std::function<void(const FormatRow&, const std::string&)> export_x)
      : owner_(owner),
        model_(model),
        stop_playback_(std::move(stop_playback)),
        export_x_(std::move(export_x)) {}

  void StopPlayback() override { stop_playback_(); }
  bool ShowOpenDialog(std::string* path, int* filter_index) override;
  bool ShowSaveAsDialog(const std::string& proposed_name, std::string* name,
                        int* filter_index) override;
  bool ShowSaveFormatDialog(const FormatRow& row, SaveFormatChoice* choice) override;
  void ShowXExportDialog(const FormatRow& row, const std::string& path) override {
    export_x_(row, path);
  }

 private:
  QWidget* owner_;
  const Model& model_;
  std::function<void()> stop_playback_;
  std::function<void(const FormatRow&, const std::string&)> export_x_;
};

}  // namespace vorna

// The editor's window: the menu bar built from the command table, the view on the left, the
// unit tree in a column on the right and the Motion strip along the bottom. Commands go to the
// core; menus are enabled and checked from the session's state after every change.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_session.h"
#include "editor/recent_files.h"
#include "editor/texture_dialog.h"
#include "editor/unit_copy.h"
#include "ui/dialog_context.h"
#include "ui/file_dialogs.h"
#include "ui/keyframe_dialog.h"
#include "ui/qt_host.h"
#include "ui/window_settings.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QUrl;

namespace vorna {

class EditHistory;
class MotionPager;
class RecoveryKeeper;
class MotionStrip;
class UnitTree;
class ViewWindow;

class MainWindow : public QMainWindow, private LoadEvents {
  Q_OBJECT
 public:
  static constexpr int kTreeWidth = 331;
  static constexpr int kInitialWidth = 788;
  static constexpr int kInitialHeight = 535;

  // `host` replaces the message boxes (tests); null uses the window's own. The recent files,
  // the window's place and size and the last folder come from `settings_file` (tests), or from
  // the user's settings when it is empty.
  explicit MainWindow(Host* host = nullptr, QWidget* parent = nullptr,
                      const QString& settings_file = QString());
  ~MainWindow() override;

  EditorSession& session() { return session_; }
  Host& host() { return *host_; }
  QAction* action(int id) const;
  QMenu* menu(MenuIndex index) const { return menus_[index]; }
  QMenu* speed_menu() const { return speed_menu_; }
  QMenu* recent_menu() const { return recent_menu_; }
  const RecentFiles& recent_files() const { return recent_; }
  ViewWindow* view_window() const { return view_; }
  UnitTree* unit_tree() const { return tree_; }
  MotionPager* pager() const { return pager_; }
  MotionStrip* strip() const;
  EditHistory& history() { return *history_; }

  // Opens `path` through the open flow (the save question first); "ファイルを読み込めません" on
  // failure. Returns true when a model was loaded.
  bool OpenPath(const QString& path);
  // A file to open once the view is ready (the command line's).
  void SetStartupFile(const QString& path) { startup_file_ = path; }
  // Files dropped on the window: the first one is opened, the others are ignored. Like a
  // handed-over file it waits while a dialog is open.
  void OpenDropped(const QList<QUrl>& urls);
  // A path handed over by a second start: restore, raise, open (once no dialog is open).
  void OpenFromOtherInstance(const QString& path);
  // Runs a command as its menu item, key or strip button would; ids of greyed items and
  // unknown ids do nothing.
  void RunCommand(int id);
  // Enables, greys and marks every item from the session's state.
  void RefreshMenus();
  void SetAcceleratorsEnabled(bool enabled);
  void LayoutChildren();
  // What an editing dialog is handed: this window's session, host, view, strip and tree.
  DialogContext MakeDialogContext();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void Dispatch(int id);
  // What the window shows while a load runs.
  void ModelFitted(double model_size) override;
  void ModelReplaced(const Model& model) override;
  void MotionAdded(const Model& model, int motion) override;
  void MotionsReady() override;
  void AfterLoad(const LoadResult& result);
  // The tree, the Motion strip and the menus started over for a model that replaced the last
  // one (a load, a frozen pose); the caller adds the Motion buttons.
  void ShowReplacedModel();
  // The window without a model: no tree, no Motion buttons.
  void ShowNoModel();
  void RefreshTitle(const Model& model);
  void StopPlayback();
  void Redraw();
  void RegenerateThumbnail();
  void ShowHelp();
  void ShowAbout();
  void ExportX(const FormatRow& row, const std::string& path);
  void OnDeviceCreated(bool ok);
  // Opens `path` now, or once no modal dialog or popup is open.
  void OpenWhenNoDialog(const QString& path);
  void OpenPending();
  // The recent files: the submenu from the list, opening an entry, storing the list.
  void RebuildRecentMenu();
  void OpenRecent(const std::string& path);
  void StoreRecent();
  void StoreWindowState();
  // Runs the editing dialog of the command `id`, one of the dialog commands.
  void RunEditingDialog(int id);
  // Undo or redo changed the model: the tree, the strip, the menus and the view follow.
  void AfterStepApplied(bool motions_changed, const std::vector<QImage>& thumbnails);
  void ShowStatus();
  // At the start: a recovery copy left by an editor that did not end cleanly is offered.
  void OfferRecovery();
  MenuFacts Facts() const;

  EditorSession session_;
  EditHistory* history_ = nullptr;
  std::unique_ptr<RecoveryKeeper> recovery_;
  std::unique_ptr<QtHost> own_host_;
  Host* host_;
  std::unique_ptr<FileDialogs> dialogs_;
  WindowSettings settings_;
  RecentFiles recent_;
  QMenu* recent_menu_ = nullptr;
  std::map<int, QAction*> actions_;
  std::map<int, QList<QKeySequence>> shortcuts_;
  QMenu* menus_[kMenuCount] = {};
  QMenu* speed_menu_ = nullptr;
  QWidget* central_ = nullptr;
  ViewWindow* view_ = nullptr;
  UnitTree* tree_ = nullptr;
  MotionPager* pager_ = nullptr;
  QLabel* status_ = nullptr;  // the status bar's text
  QString startup_file_;
  // A file that arrived while a dialog was open, and the timer that looks for its closing.
  QString pending_path_;
  QTimer* pending_timer_ = nullptr;
  // What the editing dialogs keep from one opening to the next, for the program's life.
  KeyframeDialogMemory keyframe_memory_;
  UnitCopyMemory unit_copy_memory_;
  OffsetSliderScales offset_scales_;
  int blend_corner_counter_ = 0;
};

}  // namespace vorna

#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "animation/anim_list.h"
#include "animation/freeze_pose.h"
#include "editor/recovery.h"
#include "editor/status_line.h"
#include "model/bounds.h"
#include "model/file_paths.h"
#include "model/hierarchy_edit.h"
#include "model/model_edits.h"
#include "render/snapshot.h"
#include "ui/anim_dialogs.h"
#include "ui/dialog_placement.h"
#include "ui/draw_order_dialog.h"
#include "ui/edit_history.h"
#include "ui/motion_strip.h"
#include "ui/recovery_keeper.h"
#include "ui/rotate_dialog.h"
#include "ui/size_dialog.h"
#include "ui/text_codec.h"
#include "ui/texture_dialog.h"
#include "ui/unit_copy_dialog.h"
#include "ui/unit_settings_dialog.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"
#include "ui/x_save_dialog.h"

#ifndef VORNA_VERSION
#define VORNA_VERSION "0"
#endif

// The icon's resource lives in the static library; it must be registered by hand.
static void InitUiResources() { Q_INIT_RESOURCE(resources); }

namespace vorna {
namespace {

QString Label(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the help pages are: installed next to the program's share folder, or in the source tree
// for a build that was not installed.
QString HelpIndexPath() {
  const QString app_dir = QCoreApplication::applicationDirPath();
  const QStringList candidates = {
      app_dir + QStringLiteral("/../share/vorna/help/index.html"),
#ifdef VORNA_RESOURCE_DIR
      QStringLiteral(VORNA_RESOURCE_DIR "/help/index.html"),
#endif
  };
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate)) return QDir::cleanPath(candidate);
  }
  return QString();
}

QString StatusText(const StatusLine& line) {
  if (line.motion.empty()) return QString();
  QString anim = Label(line.anim) + FromCp932(line.anim_name);
  QString node = Label(line.node) + FromCp932(line.node_name);
  QStringList fields{Label(line.motion), anim};
  if (!node.isEmpty()) fields << node;
  fields << Label(line.counts) << Label(line.camera);
  return fields.join(QStringLiteral("   |   "));
}

}  // namespace

MainWindow::MainWindow(Host* host, QWidget* parent, const QString& settings_file)
    : QMainWindow(parent),
      settings_(settings_file.isEmpty() ? WindowSettings() : WindowSettings(settings_file)) {
  if (host == nullptr) {
    own_host_ = std::make_unique<QtHost>(this);
    host_ = own_host_.get();
  } else {
    host_ = host;
  }
  dialogs_ = std::make_unique<FileDialogs>(
      this, session_.model(), [this] { StopPlayback(); },
      [this](const FormatRow& row, const std::string& path) { ExportX(row, path); });

  history_ = new EditHistory(session_, this);
  connect(history_, &EditHistory::stepApplied, this, &MainWindow::AfterStepApplied);
  history_->SetThumbnailSource([this] { return strip()->Thumbnails(); });
  recovery_ = std::make_unique<RecoveryKeeper>(
      DefaultRecoveryCopyPath(),
      [this]() -> const Model* {
        return session_.model_loaded() && session_.model().modified ? &session_.model() : nullptr;
      },
      [this] {
        return QApplication::activeModalWidget() == nullptr &&
               (own_host_ == nullptr || !own_host_->busy());
      });
  connect(history_, &EditHistory::positionChanged, this,
          [this](qint64 step_ms) { recovery_->Changed(step_ms); });
  connect(recovery_.get(), &RecoveryKeeper::writeFailed, this,
          [this](const QString& message) { statusBar()->showMessage(message, 15000); });
  // Edits recorded outside a command (in the tree) name the undo item too.
  connect(&history_->stack(), &QUndoStack::indexChanged, this, [this] {
    if (menus_[kMenuFile] != nullptr) RefreshMenus();
  });
  setWindowTitle(QStringLiteral("VORNA"));
  InitUiResources();
  setWindowIcon(QIcon(QStringLiteral(":/vorna/vorna.svg")));
  setAcceptDrops(true);
  resize(kInitialWidth, kInitialHeight);
  restoreGeometry(settings_.Geometry());
  recent_ = RecentFiles(settings_.RecentFiles());
  if (!settings_.LastFolder().isEmpty()) SetLastChosenFolder(settings_.LastFolder());

  central_ = new QWidget(this);
  setCentralWidget(central_);
  central_->installEventFilter(this);
  view_ = new ViewWindow(session_, central_);
  tree_ = new UnitTree(session_.model(), *host_, central_);
  tree_->setFocusPolicy(Qt::StrongFocus);
  tree_->SetHistory(history_);
  MotionStripHooks hooks;
  hooks.stop_playback = [this] { StopPlayback(); };
  hooks.make_thumbnail = [this] {
    view_->StopTimer();
    const Image thumbnail =
        MakeMotionThumbnail(session_.render(), session_.model(), session_.view());
    RefreshMenus();
    view_->RequestRedraw();
    return ToQImage(thumbnail);
  };
  pager_ = new MotionPager(session_.model(), *host_, hooks, central_);

  BuildMenus();
  tree_->SetItemMenu(menus_[kMenuItem]);

  connect(view_, &ViewWindow::deviceCreated, this, &MainWindow::OnDeviceCreated);
  connect(tree_, &UnitTree::selectionChanged, this, [this] {
    RefreshMenus();
    Redraw();
  });
  connect(tree_, &UnitTree::treeChanged, this, [this] {
    RefreshMenus();
    Redraw();
  });
  connect(tree_, &UnitTree::unitDialogRequested, this, [this] { RunCommand(kCmdEditUnit); });
  connect(tree_, &UnitTree::textureDialogRequested, this,
          [this] { RunCommand(kCmdTextureColour); });
  connect(tree_, &UnitTree::labelEditStarted, this, [this] { SetAcceleratorsEnabled(false); });
  connect(tree_, &UnitTree::labelEditFinished, this, [this] { SetAcceleratorsEnabled(true); });
  MotionStrip* motion_strip = pager_->strip();
  connect(motion_strip, &MotionStrip::motionChosen, this, [this](int) {
    ShowStatus();
    Redraw();
  });
  connect(motion_strip, &MotionStrip::motionsChanged, this, [this] {
    RefreshMenus();
    Redraw();
  });
  connect(motion_strip, &MotionStrip::sizeChanged, this, [this] {
    pager_->Recalculate();
    LayoutChildren();
  });

  pending_timer_ = new QTimer(this);
  pending_timer_->setInterval(200);
  connect(pending_timer_, &QTimer::timeout, this, &MainWindow::OpenPending);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_, 1);
  connect(view_, &ViewWindow::cameraChanged, this, &MainWindow::RefreshMenus);
  connect(view_, &ViewWindow::ticked, this, &MainWindow::ShowStatus);

  RefreshMenus();
}

MainWindow::~MainWindow() {
  view_->StopTimer();
  // The tree and strip refer to the session's model: delete them while it still exists.
  delete central_;
}

QAction* MainWindow::action(int id) const {
  const auto found = actions_.find(id);
  return found != actions_.end() ? found->second : nullptr;
}

MotionStrip* MainWindow::strip() const { return pager_->strip(); }

void MainWindow::BuildMenus() {
  for (int m = 0; m < kMenuCount; ++m) {
    menus_[m] = menuBar()->addMenu(Label(MenuTitle(static_cast<MenuIndex>(m))));
  }
  speed_menu_ = new QMenu(Label(kSpeedSubmenuTitle), menus_[kMenuAnim]);
  std::map<int, QActionGroup*> groups;
  for (const CommandInfo& command : CommandTable()) {
    if (command.menu >= kMenuCount) continue;  // a dialog's
    QMenu* target = command.in_speed_submenu ? speed_menu_ : menus_[command.menu];
    if (command.separator_before) target->addSeparator();
    QAction* item = target->addAction(Label(command.label));
    item->setData(command.id);
    if (command.mark != MarkKind::kNone) item->setCheckable(true);
    if (command.mark == MarkKind::kRadio) {
      // One group per popup (the speed submenu, the fill items, the directions).
      const int key = command.in_speed_submenu ? -1 : command.menu;
      QActionGroup*& group = groups[key];
      if (group == nullptr) {
        group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
      }
      group->addAction(item);
    }
    if (!command.key.empty()) {
      // Each key a sequence of its own: text with both would make one two-key chord.
      QList<QKeySequence>& keys = shortcuts_[command.id];
      keys.push_back(QKeySequence(Label(command.key)));
      if (!command.alternate_key.empty())
        keys.push_back(QKeySequence(Label(command.alternate_key)));
      item->setShortcuts(keys);
      item->setShortcutContext(Qt::WindowShortcut);
      // The label already names the key.
      item->setShortcutVisibleInContextMenu(false);
    }
    const int id = command.id;
    connect(item, &QAction::triggered, this, [this, id] { RunCommand(id); });
    actions_[id] = item;
  }
  // The speed submenu is the anim popup's fourth item.
  menus_[kMenuAnim]->addMenu(speed_menu_);
  // The recent files stand above the exit item, in a group of their own.
  recent_menu_ = new QMenu(QStringLiteral("最近使ったファイル(&R)"), menus_[kMenuFile]);
  menus_[kMenuFile]->insertMenu(actions_[kCmdExit], recent_menu_);
  menus_[kMenuFile]->insertSeparator(actions_[kCmdExit]);
  RebuildRecentMenu();
}

void MainWindow::RebuildRecentMenu() {
  recent_menu_->clear();
  const std::vector<std::string>& paths = recent_.paths();
  for (size_t i = 0; i < paths.size(); ++i) {
    QString shown = QDir::toNativeSeparators(PathText(paths[i]));
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // Keys 1 to 9, then 0 for the tenth.
    const QString text = QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(shown);
    const std::string path = paths[i];
    connect(recent_menu_->addAction(text), &QAction::triggered, this,
            [this, path] { OpenRecent(path); });
  }
  recent_menu_->menuAction()->setEnabled(!paths.empty());
}

void MainWindow::OpenRecent(const std::string& path) {
  if (!recent_.CheckStillThere(path, *host_, FileExists)) {
    StoreRecent();
    return;
  }
  OpenPath(PathText(path));
}

void MainWindow::StoreRecent() {
  settings_.SetRecentFiles(recent_.paths());
  RebuildRecentMenu();
}

void MainWindow::StoreWindowState() {
  settings_.SetGeometry(saveGeometry());
  settings_.SetLastFolder(LastChosenFolder());
}

void MainWindow::SetAcceleratorsEnabled(bool enabled) {
  for (const auto& [id, key] : shortcuts_) {
    actions_[id]->setShortcuts(enabled ? key : QList<QKeySequence>());
  }
}

MenuFacts MainWindow::Facts() const {
  MenuFacts facts = session_.facts();
  facts.import_skeleton = SkeletonImportShown(settings_.ImportSkeleton(), session_.model());
  facts.can_undo = history_->stack().canUndo();
  facts.can_redo = history_->stack().canRedo();
  return facts;
}

void MainWindow::RefreshMenus() {
  const Model& model = session_.model();
  RefreshTitle(model);
  const ViewState& view = session_.view();
  const MenuFacts facts = Facts();
  actions_[kCmdUndo]->setText(Label(UndoItemLabel(kCmdUndo, history_->UndoName())));
  actions_[kCmdRedo]->setText(Label(UndoItemLabel(kCmdRedo, history_->RedoName())));
  for (int m = 0; m < kMenuCount; ++m) {
    menus_[m]->menuAction()->setEnabled(MenuEnabled(model, view, facts, static_cast<MenuIndex>(m)));
  }
  speed_menu_->menuAction()->setEnabled(SpeedSubmenuEnabled(model, view, facts));
  for (const auto& [id, item] : actions_) {
    item->setEnabled(CommandEnabled(model, view, facts, id));
    if (item->isCheckable()) item->setChecked(CommandChecked(model, view, facts, id));
  }
  ShowStatus();
}

void MainWindow::ShowStatus() {
  if (status_ == nullptr) return;
  status_->setText(StatusText(MakeStatusLine(session_.model(), session_.view(),
                                             session_.model_loaded(), session_.MotionOnShow())));
}

void MainWindow::RunCommand(int id) {
  // A read or save in the background owns the Model until it ends.
  if (own_host_ != nullptr && own_host_->busy()) return;
  if (!CommandEnabled(session_.model(), session_.view(), Facts(), id)) {
    RefreshMenus();  // undo a check mark the toolkit may have toggled
    return;
  }
  RecordStep(history_, id, [this, id] { Dispatch(id); });
  RefreshMenus();
  recovery_->Settle();  // a close or a save may have left nothing unsaved
}

void MainWindow::Dispatch(int id) {
  Model& model = session_.model();
  switch (id) {
    case kCmdOpen: {
      const LoadResult result = OpenCommand(model, *host_, *dialogs_, this,
                                            SkeletonReadOptions(settings_.ImportSkeleton()));
      AfterLoad(result);
      return;
    }
    case kCmdSave:
      OverwriteSave(model, *host_, *dialogs_);
      if (!model.modified) history_->MarkSaved();
      return;
    case kCmdSaveAs:
      SaveAs(model, *host_, *dialogs_);
      if (!model.modified) history_->MarkSaved();
      return;
    case kCmdImportSkeleton:
      // Reading does not change the open model: the next file is read the new way.
      settings_.SetImportSkeleton(!SkeletonImportShown(settings_.ImportSkeleton(), model));
      return;
    case kCmdUndo:
    case kCmdRedo:
      StopPlayback();
      id == kCmdUndo ? history_->Undo() : history_->Redo();
      return;
    case kCmdClose:
      StopPlayback();
      if (!AskToSaveChanges(model, *host_, *dialogs_)) return;
      history_->Clear();
      ShowNoModel();
      Redraw();
      return;
    case kCmdExit:
      close();
      return;
    case kCmdAddUnit:
      // The new Unit is edited at once; the dialog opens even when no Unit could be added. The
      // edit is a step of its own, so that cancelling it keeps the Unit.
      tree_->AddUnit();
      Redraw();
      history_->End();
      history_->Begin(kCmdEditUnit);
      RunEditingDialog(kCmdEditUnit);
      return;
    case kCmdDeleteUnits:
      tree_->DeleteUnits();
      Redraw();
      return;
    case kCmdTickAll:
    case kCmdClearTicks:
      tree_->TickAll(id == kCmdTickAll);
      return;
    case kCmdAddMotion:
      StopPlayback();
      strip()->AddMotion();
      Redraw();
      return;
    case kCmdDeleteMotion:
      StopPlayback();
      strip()->DeleteCurrentMotion();
      pager_->Recalculate();
      Redraw();
      return;
    case kCmdReorderMotions:
      StopPlayback();
      strip()->Customize();
      pager_->Recalculate();
      LayoutChildren();
      Redraw();
      return;
    case kCmdEditAnims: {
      StopPlayback();
      AnimDialog dialog(model, *host_, this);
      PlaceBesideWindow(dialog, *this);
      dialog.exec();
      return;
    }
    case kCmdChooseAnim: {
      StopPlayback();
      AnimChoiceDialog dialog(model, this);
      PlaceBesideWindow(dialog, *this);
      dialog.exec();
      return;
    }
    case kCmdPlayStop:
      if (session_.TogglePlayback()) {
        view_->StartTimer();
      } else {
        view_->StopTimer();
      }
      Redraw();
      return;
    case kCmdFlipCulling:
      StopPlayback();
      FlipCulling(model, *host_);
      RegenerateThumbnail();
      return;
    case kCmdRecomputeNormals:
      StopPlayback();
      RecomputeNormals(model, *host_);
      RegenerateThumbnail();
      return;
    case kCmdRecomputeBounds:
      RecomputeBounds(model);
      return;
    case kCmdTriangulate:
      StopPlayback();
      ConvertToTriangles(model, *host_);
      Redraw();
      return;
    case kCmdShiftFaces:
      ShiftFaceCorners(model);
      Redraw();
      return;
    case kCmdFreezePose:
      StopPlayback();
      if (!FreezePose(model, model.current_motion)) return;
      // The Units and Motions are gone: the tree and the strip start over as after a load.
      ShowReplacedModel();
      MotionAdded(model, 0);
      MotionsReady();
      Redraw();
      return;
    case kCmdHelp:
      ShowHelp();
      return;
    case kCmdEditUnit:
    case kCmdCopyUnit:
    case kCmdTextureColour:
    case kCmdKeyFrames:
    case kCmdSizePosition:
    case kCmdRotate:
    case kCmdDrawOrder:
      RunEditingDialog(id);
      return;
    case kCmdAbout:
      ShowAbout();
      return;
    default:
      break;
  }
  const ViewCommandEffect effect = ApplyViewCommand(id, session_.view(), session_.render());
  if (effect.restart_timer) view_->StartTimer();
  if (effect.regenerate_thumbnail) {
    RegenerateThumbnail();
  } else if (effect.redraw) {
    Redraw();
  }
}

void MainWindow::ModelFitted(double model_size) { session_.ModelFitted(model_size); }

void MainWindow::ModelReplaced(const Model&) {
  session_.MarkLoaded();
  ShowReplacedModel();
}

void MainWindow::ShowReplacedModel() {
  tree_->BuildUnitTree();
  strip()->ClearMotionStrip(true);
  RefreshMenus();
}

void MainWindow::RefreshTitle(const Model& model) {
  // The title names the file that Save writes, marked while the model differs from what was last
  // saved.
  if (model.loaded_type == kLoadedNone) {
    setWindowTitle(QStringLiteral("VORNA"));
    return;
  }
  setWindowTitle(QStringLiteral("VORNA  <%1>%2")
                     .arg(PathText(model.model_file_name),
                          model.modified != 0 ? QStringLiteral(" *") : QString()));
}

void MainWindow::ShowNoModel() {
  strip()->ClearMotionStrip(true);
  session_.Close();
  tree_->Refresh();
  pager_->Recalculate();
}

void MainWindow::MotionAdded(const Model&, int motion) { strip()->AddMotionButton(motion); }

void MainWindow::MotionsReady() {
  pager_->Recalculate();
  LayoutChildren();
}

bool MainWindow::OpenPath(const QString& path) {
  const LoadResult result = OpenFile(session_.model(), PathBytes(path), *host_, *dialogs_, this,
                                     SkeletonReadOptions(settings_.ImportSkeleton()));
  AfterLoad(result);
  RefreshMenus();
  return result.ok && !result.kept_current;
}

void MainWindow::AfterLoad(const LoadResult& result) {
  Model& model = session_.model();
  if (!result.kept_current) history_->Clear();
  if (result.ok && !result.kept_current) {
    const QString opened = PathText(model.model_dir + model.model_file_name);
    recent_.Push(PathBytes(QFileInfo(opened).absoluteFilePath()));
    StoreRecent();
  }
  Redraw();
}

void MainWindow::AfterStepApplied(bool motions_changed, const std::vector<QImage>& thumbnails) {
  Model& model = session_.model();
  UpdateSelectionState(model);
  tree_->Refresh();
  // The strip shows what it showed at the state returned to; nothing is drawn for it.
  if (static_cast<int>(thumbnails.size()) == model.motion_count) {
    strip()->ShowThumbnails(thumbnails);
  } else if (motions_changed) {
    // Rebuilding the strip walks current_motion over every Motion for the thumbnails.
    const int current = model.current_motion;
    strip()->RebuildFromTable();
    model.current_motion = std::clamp(current, 0, std::max(0, model.motion_count - 1));
    strip()->SyncPressed();
  }
  pager_->Recalculate();
  LayoutChildren();
  RefreshMenus();
  Redraw();
}

void MainWindow::StopPlayback() {
  session_.StopPlayback();
  view_->StopTimer();
  RefreshMenus();
}

void MainWindow::Redraw() { view_->RequestRedraw(); }

void MainWindow::RunEditingDialog(int id) {
  const DialogContext context = MakeDialogContext();
  std::unique_ptr<QDialog> dialog;
  switch (id) {
    case kCmdEditUnit:
      dialog = std::make_unique<UnitSettingsDialog>(context, this, &blend_corner_counter_);
      break;
    case kCmdCopyUnit:
      dialog = std::make_unique<UnitCopyDialog>(context, unit_copy_memory_, this);
      break;
    case kCmdTextureColour:
      dialog = std::make_unique<TextureDialog>(context, offset_scales_, this);
      break;
    case kCmdKeyFrames: {
      auto keyframes = std::make_unique<KeyframeDialog>(context, keyframe_memory_, this);
      connect(keyframes.get(), &KeyframeDialog::motionsGenerated, this, [this] {
        strip()->RebuildFromTable();
        pager_->Recalculate();
        LayoutChildren();
      });
      dialog = std::move(keyframes);
      break;
    }
    case kCmdSizePosition:
      dialog = std::make_unique<SizeDialog>(context, this);
      break;
    case kCmdRotate:
      dialog = std::make_unique<RotateDialog>(context, this);
      break;
    case kCmdDrawOrder:
      dialog = std::make_unique<DrawOrderDialog>(context, this);
      break;
    default:
      return;
  }
  PlaceBesideWindow(*dialog, *this);
  // Cancel has put back what the dialog changed, as far as it can; the history puts back the
  // rest (derived values, freed slots) and records nothing.
  if (dialog->exec() == QDialog::Rejected) history_->Revert();
  dialog.reset();
  // Units may have been created or removed and the selection moved; the tree follows.
  if (id == kCmdEditUnit || id == kCmdCopyUnit || id == kCmdTextureColour) tree_->Refresh();
  Redraw();
}

DialogContext MainWindow::MakeDialogContext() {
  DialogContext context;
  context.session = &session_;
  context.host = host_;
  context.redraw = [this] { Redraw(); };
  context.stop_playback = [this] { StopPlayback(); };
  context.regenerate_thumbnail = [this] { RegenerateThumbnail(); };
  context.tree_changed = [this] { tree_->Refresh(); };
  context.menus_changed = [this] { RefreshMenus(); };
  return context;
}

void MainWindow::RegenerateThumbnail() {
  // Making the thumbnail also stops playback and turns the view to the front.
  if (strip()->ButtonCount() > 0) {
    strip()->RefreshCurrentThumbnail();
  } else {
    StopPlayback();
  }
  RefreshMenus();
  Redraw();
}

void MainWindow::ShowHelp() {
  const QString index = HelpIndexPath();
  if (!index.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(index))) return;
  // Nothing could show the pages: say where they are, or that they were not installed.
  const QString text =
      index.isEmpty()
          ? QStringLiteral(
                "ヘルプのページが見つかりません。次の場所にインストールしてください：\n%1")
                .arg(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/../share/vorna/help")))
          : QStringLiteral(
                "ヘルプを表示できるブラウザが見つかりません。ヘルプは次の場所にあります：\n%1")
                .arg(QDir::toNativeSeparators(index));
  host_->Message(text.toStdString(), MessageIcon::kInformation);
}

void MainWindow::ShowAbout() {
  QMessageBox::about(this, QStringLiteral("VORNA"),
                     QStringLiteral("<b>VORNA</b> %1<br>ポリゴンキャラクタモデルエディタ<br><br>"
                                    "Qt %2, libpng, libjpeg, libtiff, giflib, zlib")
                         .arg(QStringLiteral(VORNA_VERSION), QString::fromLatin1(qVersion())));
}

void MainWindow::ExportX(const FormatRow& row, const std::string& path) {
  Model& model = session_.model();
  history_->Begin(kStepExportX);
  bool exported = false;
  XSaveDialog dialog(
      model, *host_,
      [this, &model, &row, &path, &exported](const XOptions& x) {
        SaveOptions options;
        options.x = x;
        exported = SaveAndReport(model, path, row, options, *host_) || exported;
      },
      this);
  dialog.exec();
  history_->End();
  if (exported) history_->MarkSaved();
  // The export triangulates and may group loose nodes under a new Unit.
  tree_->Refresh();
  Redraw();
}

void MainWindow::OnDeviceCreated(bool ok) {
  if (!ok) {
    host_->Message(kDeviceInitFailedMessage, MessageIcon::kStop);
    close();
    return;
  }
  const QString path = std::exchange(startup_file_, QString());
  // After the window is shown, so that questions and messages have their owner on screen. A
  // restored copy comes first; the file named then asks whether to save it, as any open does.
  QMetaObject::invokeMethod(
      this,
      [this, path] {
        OfferRecovery();
        if (!path.isEmpty()) OpenPath(path);
      },
      Qt::QueuedConnection);
}

void MainWindow::OfferRecovery() {
  const std::optional<RecoveryHeader> leftover = recovery_->Leftover();
  if (!leftover) return;
  if (host_->Question(RecoveryQuestion(*leftover), Buttons::kRestoreDiscard,
                      MessageIcon::kQuestion) != Answer::kYes) {
    recovery_->Discard();
    return;
  }
  auto restored = std::make_unique<Model>();
  ReadError error;
  if (!RestoreRecoveryCopy(recovery_->copy_path(), *restored, &error)) {
    host_->Message("ファイルを読み込めません", MessageIcon::kNone);
    recovery_->Discard();
    return;
  }
  // As after a load, but the Model is the copy as it was: its forest, its selection, its
  // current Motion, unsaved.
  Model& model = session_.model();
  model = std::move(*restored);
  session_.MarkLoaded();
  history_->Clear();
  tree_->Refresh();
  const int current = model.current_motion;
  strip()->RebuildFromTable();
  model.current_motion = current;
  strip()->SyncPressed();
  pager_->Recalculate();
  LayoutChildren();
  RefreshMenus();
  Redraw();
}

void MainWindow::OpenFromOtherInstance(const QString& path) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (!path.isEmpty()) OpenWhenNoDialog(path);
}

void MainWindow::OpenWhenNoDialog(const QString& path) {
  // A dialog works on the Model it was opened with; replacing that Model under it would let the
  // dialog write into the new one. The last file to arrive waits until every dialog is closed.
  pending_path_ = path;
  OpenPending();
}

void MainWindow::OpenPending() {
  if (pending_path_.isEmpty()) return;
  if (QApplication::activeModalWidget() != nullptr ||
      QApplication::activePopupWidget() != nullptr || (own_host_ != nullptr && own_host_->busy())) {
    pending_timer_->start();
    return;
  }
  pending_timer_->stop();
  const QString path = std::exchange(pending_path_, QString());
  OpenPath(path);
}

void MainWindow::LayoutChildren() {
  const int width = central_->width();
  const int height = central_->height();
  const int pager_height = pager_->PreferredHeight();
  const int top_height = std::max(0, height - pager_height);
  pager_->setGeometry(0, top_height, width, pager_height);
  tree_->setGeometry(std::max(0, width - kTreeWidth), 0, kTreeWidth, top_height);
  view_->setGeometry(0, 0, std::max(0, width - kTreeWidth), top_height);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == central_ && event->type() == QEvent::Resize) LayoutChildren();
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (own_host_ != nullptr && own_host_->busy()) {
    event->ignore();  // the read or save in the background ends first
    return;
  }
  // With unsaved edits the save question is the one that matters; answering it is the consent.
  const bool keep = session_.model().modified
                        ? !AskToSaveChanges(session_.model(), *host_, *dialogs_)
                        : host_->Question("VORNA を終了しますか？", Buttons::kYesNo,
                                          MessageIcon::kQuestion) != Answer::kYes;
  if (keep) {
    event->ignore();
    return;
  }
  StopPlayback();
  StoreWindowState();
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  OpenDropped(event->mimeData()->urls());
}

void MainWindow::OpenDropped(const QList<QUrl>& urls) {
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  activateWindow();
  OpenWhenNoDialog(urls.front().toLocalFile());
}

}  // namespace vorna

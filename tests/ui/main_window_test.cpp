#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QWheelEvent>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "model/hierarchy_edit.h"
#include "model/host.h"
#include "support/test_support.h"
#include "ui/dialog_placement.h"
#include "ui/edit_history.h"
#include "ui/file_dialogs.h"
#include "ui/image_file_dialogs.h"
#include "ui/layout_snapshot.h"
#include "ui/motion_strip.h"
#include "ui/qt_translations.h"
#include "ui/single_instance.h"
#include "ui/size_dialog.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

const QString kWalker = QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn");

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  ScriptedHost host_;
  QTemporaryDir settings_;  // each test starts as a new user would
  std::unique_ptr<MainWindow> window_;

  bool Enabled(int id) { return window_->action(id)->isEnabled(); }
  bool Checked(int id) { return window_->action(id)->isChecked(); }

  void ShowLoaded(const QString& path = kWalker) {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTRY_VERIFY(window_->view_window()->device_ready());
    QVERIFY(window_->OpenPath(path));
  }
  // The sample copied into `dir`, so that saving does not touch the committed one.
  void ShowLoadedCopy(const test::TempDir& dir) {
    test::WriteFile(dir.File("walker.vrn"), test::ReadFile(PathBytes(kWalker)));
    ShowLoaded(QString::fromStdString(dir.File("walker.vrn")));
  }
  ViewWindow* view() { return window_->view_window(); }
  const ViewState& state() { return window_->session().view(); }
  // The frame on screen after every pending redraw.
  std::vector<uint8_t> Frame() {
    view()->repaint();
    return window_->session().render().device->back_buffer().rgba;
  }
  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, view()->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(view(), &event);
  }
  void Drag(Qt::MouseButton button, QPointF from, QPointF to,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, from, button, modifiers);
    Mouse(QEvent::MouseMove, (from + to) / 2, button, modifiers);
    Mouse(QEvent::MouseMove, to, button, modifiers);
    Mouse(QEvent::MouseButtonRelease, to, button, modifiers);
  }
  QString Text(int id) { return window_->action(id)->text(); }
  bool Modified() { return window_->session().model().modified != 0; }
  static QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) texts.push_back(action->text());
    return texts;
  }

 private slots:
  void init() {
    host_ = ScriptedHost();
    QFile::remove(settings_.filePath("vorna.ini"));
    window_ = std::make_unique<MainWindow>(&host_, nullptr, settings_.filePath("vorna.ini"));
  }
  void cleanup() { window_.reset(); }

  // The program itself starts and stays up, with no file and with one.
  void TheEditorStartsWithAndWithoutAFile() {
    for (const QStringList& arguments : {QStringList{}, QStringList{kWalker}}) {
      QProcess editor;
      editor.start(QStringLiteral(VORNA_EDITOR_PATH), arguments);
      QVERIFY(editor.waitForStarted());
      QVERIFY2(!editor.waitForFinished(1500), editor.readAllStandardError().constData());
      editor.kill();
      editor.waitForFinished();
    }
  }

  void StartsEmptyWithOnlyTheModelFreeItems() {
    QCOMPARE(test::LayoutDifference(*window_), QString());  // the menus a new user sees
    // A failed open reports and still leaves no model.
    window_->show();
    QVERIFY(!window_->OpenPath(QStringLiteral("/nonexistent/missing.vrn")));
    QCOMPARE(host_.Texts().back(), std::string("ファイルを読み込めません"));
    QVERIFY(!Enabled(kCmdSave));
  }

  void LoadEnablesMenusAndLaysOutTheColumns() {
    ShowLoaded();
    QCOMPARE(window_->windowTitle(), QStringLiteral("VORNA  <walker.vrn>"));
    const Model& model = window_->session().model();
    QCOMPARE(model.motion_count, 5);
    QCOMPARE(window_->strip()->ButtonCount(), 5);
    for (int id : {kCmdSave, kCmdClose, kCmdDeleteMotion, kCmdPlayStop, kCmdChooseAnim}) {
      QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
    }
    QVERIFY(Checked(kCmdSpeed100) && Checked(kCmdFillSolid) && Checked(kCmdViewFront));
    window_->resize(900, 600);
    QTRY_COMPARE(window_->unit_tree()->width(), MainWindow::kTreeWidth);
    QCOMPARE(window_->pager()->height(), MotionStrip::kButtonSide + 2);
    QCOMPARE(window_->view_window()->width() + MainWindow::kTreeWidth,
             window_->centralWidget()->width());

    window_->RunCommand(kCmdClose);
    QCOMPARE(window_->strip()->ButtonCount(), 0);
    QVERIFY(!Enabled(kCmdSave));
    QVERIFY(host_.entries.empty());
  }

  // What each editing dialog does, also on Cancel, and where it opens is the dialog monkey's
  // record; here the Motion strip follows the key frames generated.
  void GeneratedKeyFramesGetTheirButtonsAndTheCurrentOneStaysInSight() {
    ShowLoaded();
    const Model& model = window_->session().model();
    window_->resize(300, MainWindow::kInitialHeight);
    QTimer::singleShot(0, this, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->accept();
      }
    });
    window_->RunCommand(kCmdKeyFrames);
    QVERIFY(model.motion_count > 5);
    QCOMPARE(window_->strip()->ButtonCount(), model.motion_count);
    QCOMPARE(model.current_motion, model.motion_count - 1);
    QVERIFY(window_->strip()->ButtonAt(model.motion_count - 1)->isChecked());
    // The strip no longer fits; the current Motion's button stays in sight, also after an add.
    QVERIFY(window_->pager()->ArrowsShown());
    for (int round = 0; round < 2; ++round) {
      const QToolButton* current = window_->strip()->ButtonAt(model.current_motion);
      QCOMPARE(current->visibleRegion().boundingRect(), current->rect());
      window_->RunCommand(kCmdAddMotion);
    }
  }

  void PlaybackCyclesWithTheTimerAndStopsOnEdits() {
    ShowLoaded();
    window_->RunCommand(kCmdPlayStop);
    QVERIFY(window_->session().view().playing && Checked(kCmdPlayStop));
    QCOMPARE(window_->view_window()->timer_interval(), 100);
    QSignalSpy ticks(window_->view_window(), &ViewWindow::ticked);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 6, 5000);
    for (const auto& [id, ms] : {std::pair(kCmdSpeed200, 200), std::pair(kCmdSpeed500, 500)}) {
      window_->RunCommand(id);
      QCOMPARE(window_->view_window()->timer_interval(), ms);
    }
    QVERIFY(Checked(kCmdSpeed500) && !Checked(kCmdSpeed100));
    window_->RunCommand(kCmdAddMotion);
    QVERIFY(!window_->session().view().playing && !Checked(kCmdPlayStop));
    QVERIFY(!window_->view_window()->timer_active());
    QCOMPARE(window_->strip()->ButtonCount(), 6);
    for (int id : {kCmdDeleteMotion, kCmdFlipCulling, kCmdRecomputeNormals, kCmdTriangulate,
                   kCmdUndo, kCmdFreezePose}) {
      window_->RunCommand(kCmdPlayStop);
      QVERIFY2(window_->session().view().playing, qPrintable(QString::number(id)));
      window_->RunCommand(id);
      QVERIFY2(!window_->session().view().playing, qPrintable(QString::number(id)));
    }
  }

  void DrawsOnlyWhatChangedOncePerPassAndOncePerTick() {
    ShowLoaded();
    ViewWindow* view = window_->view_window();
    const auto frames = [this] { return window_->session().render().frames_drawn; };
    QTest::qWait(50);
    const uint64_t settled = frames();
    view->repaint();  // exposure shows the frame already drawn
    QCOMPARE(frames(), settled);
    for (int i = 0; i < 5; ++i) view->RequestRedraw();
    QTRY_COMPARE(frames(), settled + 1);
    QTest::qWait(50);
    QCOMPARE(frames(), settled + 1);

    std::vector<uint64_t> at_tick;
    const QMetaObject::Connection counting =
        connect(view, &ViewWindow::ticked, this, [&] { at_tick.push_back(frames()); });
    window_->RunCommand(kCmdPlayStop);
    QTRY_VERIFY_WITH_TIMEOUT(at_tick.size() >= 4, 5000);
    window_->RunCommand(kCmdPlayStop);
    disconnect(counting);
    for (size_t i = 1; i < at_tick.size(); ++i) QCOMPARE(at_tick[i] - at_tick[i - 1], uint64_t{1});
  }

  void OpeningAgainClearsTheSelectionHighlight() {
    ShowLoaded();
    UnitTree* tree = window_->unit_tree();
    const int torso = FindNodeByName(window_->session().model(), "torso");
    tree->setCurrentItem(tree->ItemOfNode(torso));
    const Model& model = window_->session().model();
    QVERIFY(IsHighlighted(model, torso));
    QVERIFY(window_->OpenPath(kWalker));
    QVERIFY(tree->selectedItems().isEmpty());
    for (int node = 0; node < model.node_count; ++node) QVERIFY(!IsHighlighted(model, node));
  }

  void FilesArrivingUnderADialogWaitUntilItCloses() {
    ShowLoaded();
    test::TempDir dir;
    const QString other = QString::fromStdString(dir.File("other.vrn"));
    const QString dropped = QString::fromStdString(dir.File("dropped.vrn"));
    test::WriteFile(dir.File("other.vrn"), test::ReadFile(PathBytes(kWalker)));
    test::WriteFile(dir.File("dropped.vrn"), test::ReadFile(PathBytes(kWalker)));
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(0));
    QString title_under_dialog;
    QTimer::singleShot(0, this, [&] {
      window_->OpenFromOtherInstance(other);
      window_->OpenDropped({QUrl::fromLocalFile(dropped)});  // the last to arrive wins
      QTest::qWait(300);
      title_under_dialog = window_->windowTitle();
      if (QWidget* modal = QApplication::activeModalWidget())
        static_cast<QDialog*>(modal)->reject();
    });
    window_->RunCommand(kCmdTextureColour);
    QCOMPARE(title_under_dialog, QStringLiteral("VORNA  <walker.vrn>"));
    QTRY_COMPARE(window_->windowTitle(), QStringLiteral("VORNA  <dropped.vrn>"));
    window_->OpenDropped({});  // a drop that names no file
    QCOMPARE(window_->windowTitle(), QStringLiteral("VORNA  <dropped.vrn>"));
  }

  void FileDialogsStartInTheModelsFolder() {
    // Qt remembers folders in its own settings file: a test may only ever see a temporary one.
    const QString settings = QSettings(QStringLiteral("QtProject")).fileName();
    QVERIFY2(settings.startsWith(QDir::tempPath()), qPrintable(settings));
    ShowLoaded();
    for (int id : {kCmdOpen, kCmdSaveAs}) {
      QString folder;
      QTimer::singleShot(0, this, [&folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        folder = dialog->directory().absolutePath();
        dialog->reject();
      });
      window_->RunCommand(id);
      QCOMPARE(folder, QStringLiteral(VORNA_SOURCE_DIR "/samples"));
    }
  }

  void QtsOwnTextsAreJapanese() {
    QTranslator* translator = InstallQtTranslations(*QCoreApplication::instance());
    QVERIFY(translator != nullptr);
    const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QCOMPARE(cancel, QStringLiteral("キャンセル"));
  }

  void LabelEditingTurnsTheKeysOff() {
    QAction* exit = window_->action(kCmdExit);
    emit window_->unit_tree()->labelEditStarted();
    QVERIFY(exit->shortcut().isEmpty());
    QVERIFY(window_->action(kCmdPlayStop)->shortcut().isEmpty());
    emit window_->unit_tree()->labelEditFinished();
    QCOMPARE(exit->shortcut(), QKeySequence(Qt::Key_Escape));
  }

  void SaveAsRenamesTheTypedNameWhenTheTypeChanges() {
    std::unique_ptr<QFileDialog> dialog(
        CreateSaveAsDialog(nullptr, QStringLiteral("a.vrn"), QDir::tempPath()));
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    types->setCurrentIndex(1);
    emit types->activated(1);
    QCOMPARE(FileNameBoxText(*dialog), QStringLiteral("a.vr2"));
    QCOMPARE(SelectedFilterIndex(*dialog), 2);
    types->setCurrentIndex(3);
    emit types->activated(3);
    QCOMPARE(FileNameBoxText(*dialog), QStringLiteral("a.x"));
  }

  void FileDialogsStartInTheFolderGiven() {
    // A folder of each its own: a dialog given none starts where the last one was left.
    const QString a = QDir::tempPath(), b = QDir::rootPath(), c = VORNA_SOURCE_DIR, d = c + "/src";
    for (const auto& [made, folder] : {std::pair{CreateOpenDialog(nullptr, a), a},
                                       {CreateSaveAsDialog(nullptr, QStringLiteral("a.vrn"), b), b},
                                       {CreateTextureOpenDialog(nullptr, c), c},
                                       {CreateImageExportDialog(nullptr, d), d}}) {
      std::unique_ptr<QFileDialog> dialog(made);
      QCOMPARE(dialog->directory(), QDir(folder));
    }
  }

  void EditorsAreSharedOnlyOnOneDisplay() {
    const QString x0 = InstanceName(1000, "xcb", ":0", "");
    QCOMPARE(InstanceName(1000, "xcb", ":0.1", ""), x0);  // another screen of the display
    for (const QString& other :
         {InstanceName(1000, "xcb", ":1", ""), InstanceName(1001, "xcb", ":0", ""),
          InstanceName(1000, "wayland", ":0", "wayland-0")}) {
      QVERIFY(!other.isEmpty() && other != x0);
    }
    // This test runs offscreen: it must never hand files to an editor on the user's desktop.
    QVERIFY(DefaultInstanceName().isEmpty());
  }

  void SecondStartHandsItsFileOver() {
    const QString name = QStringLiteral("vorna-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    SingleInstance later(name);
    QVERIFY(!later.HandOver(QStringLiteral("/x.vrn"), 200));
    QVERIFY(first.Listen());
    QSignalSpy handed(&first, &SingleInstance::handedOver);
    QVERIFY(later.HandOver(QStringLiteral("/models/ｱ.vrn")));
    QTRY_COMPARE(handed.count(), 1);
    QCOMPARE(handed.at(0).at(0).toString(), QStringLiteral("/models/ｱ.vrn"));
    QVERIFY(later.HandOver(QString()));
    QTRY_COMPARE(handed.count(), 2);
    QVERIFY(handed.at(1).at(0).toString().isEmpty());
  }

  void UndoFollowsTheSavedStateAndTheItemsNameTheStep() {
    test::TempDir dir;
    ShowLoadedCopy(dir);
    QVERIFY(!window_->action(kCmdUndo)->isEnabled());
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    const std::vector<Face> loaded = window_->session().model().faces;
    window_->RunCommand(kCmdFlipCulling);
    const std::vector<Face> flipped = window_->session().model().faces;
    QVERIFY(Modified() && flipped != loaded);
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す: カリング反転(&U)\tCtrl+Z"));
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("> *")));
    window_->RunCommand(kCmdSave);
    QVERIFY(!Modified());
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral(">")));
    window_->RunCommand(kCmdUndo);
    QVERIFY(Modified() && window_->session().model().faces == loaded);
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("> *")));
    QVERIFY(!window_->action(kCmdUndo)->isEnabled());
    QCOMPARE(Text(kCmdRedo), QStringLiteral("やり直し: カリング反転(&R)\tCtrl+Y"));
    window_->RunCommand(kCmdRedo);
    QVERIFY(!Modified() && window_->session().model().faces == flipped);
    // A tree edit is an unsaved change too.
    window_->unit_tree()->DropNodes(0, window_->session().model().parts_count);
    QVERIFY(Modified());
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("> *")));
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す: ユニットの移動(&U)\tCtrl+Z"));
  }

  void RedoAnswersEachOfItsKeysAlone() {
    ShowLoaded();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}) {
      window_->RunCommand(kCmdFlipCulling);
      QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
      QVERIFY(!Modified());
      QTest::keyClick(window_.get(), key.key(), key.keyboardModifiers());
      QVERIFY2(Modified(), qPrintable(QKeySequence(key).toString()));
      // The key after it is a key of its own, not the end of a chord.
      QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
      QVERIFY(!Modified());
    }
  }

  // Undo and redo put back the strip as it was; an undone size change does not redraw the
  // thumbnails with a later flip or the selection.
  void UndoShowsTheThumbnailsOfTheStateItReturnsTo() {
    ShowLoaded();
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(0));
    const std::vector<QImage> loaded = window_->strip()->Thumbnails();
    QTimer::singleShot(0, this, [] {
      if (auto* size = qobject_cast<SizeDialog*>(QApplication::activeModalWidget())) {
        size->scale_box(1)->setText(QStringLiteral("0.5"));
        size->accept();
      }
    });
    window_->RunCommand(kCmdSizePosition);
    const std::vector<QImage> sized = window_->strip()->Thumbnails();
    QVERIFY(sized != loaded);
    window_->RunCommand(kCmdFlipCulling);
    const std::vector<QImage> flipped = window_->strip()->Thumbnails();
    for (const auto* expected : {&sized, &loaded}) {
      window_->RunCommand(kCmdUndo);
      QVERIFY(window_->strip()->Thumbnails() == *expected);
    }
    window_->RunCommand(kCmdRedo);
    window_->RunCommand(kCmdRedo);
    QVERIFY(window_->strip()->Thumbnails() == flipped);
    QCOMPARE(window_->strip()->ButtonCount(), 5);
  }

  void TheStatusLineNamesTheMotionOnShow() {
    ShowLoaded();
    const auto motion = [this] {
      return window_->statusBar()->findChild<QLabel*>()->text().section(QStringLiteral("   |"), 0,
                                                                        0);
    };
    QCOMPARE(motion(), QStringLiteral("ﾓｰｼｮﾝ 5/5"));  // a load ends on the last Motion
    window_->strip()->ButtonAt(1)->click();
    QCOMPARE(motion(), QStringLiteral("ﾓｰｼｮﾝ 2/5"));
    QSignalSpy ticks(window_->view_window(), &ViewWindow::ticked);
    window_->RunCommand(kCmdPlayStop);
    QStringList shown;
    connect(window_->view_window(), &ViewWindow::ticked, this, [&] { shown << motion(); });
    QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 3, 5000);
    window_->RunCommand(kCmdPlayStop);
    // Playback of the walk starts from its first Motion.
    QCOMPARE(shown.mid(0, 3), QStringList({"ﾓｰｼｮﾝ 1/5", "ﾓｰｼｮﾝ 2/5", "ﾓｰｼｮﾝ 3/5"}));
    QCOMPARE(motion(), QStringLiteral("ﾓｰｼｮﾝ 2/5"));
  }

  void HelpWithoutAViewerSaysWhereItIs() {
    window_->RunCommand(kCmdHelp);
    QCOMPARE(host_.entries.size(), size_t{1});
    QVERIFY2(host_.entries[0].text.find("/help") != std::string::npos,
             host_.entries[0].text.c_str());
  }

  void CloseAsksToSaveUnsavedEditsAndForgetsTheSteps() {
    ShowLoaded();
    window_->RunCommand(kCmdAddMotion);
    host_.QueueAnswer(Answer::kCancel);
    window_->RunCommand(kCmdClose);
    QVERIFY(window_->session().model_loaded());
    QCOMPARE(host_.entries.back().text, std::string("既読のファイルを保存しますか？"));
    host_.QueueAnswer(Answer::kNo);
    window_->RunCommand(kCmdClose);
    QVERIFY(!window_->session().model_loaded());
    QVERIFY(!window_->action(kCmdUndo)->isEnabled());
  }

  void TheOldestStepsGoBeyondTheMemoryCap() {
    test::TempDir dir;
    ShowLoadedCopy(dir);
    // Room for two face shifts (about 2 kB each), not three: the saved state stays reachable.
    window_->history().set_byte_cap(5000);
    for (int i = 0; i < 2; ++i) window_->RunCommand(kCmdShiftFaces);
    window_->RunCommand(kCmdSave);
    window_->RunCommand(kCmdShiftFaces);
    QCOMPARE(window_->history().stack().count(), 2);
    window_->RunCommand(kCmdUndo);
    QVERIFY(!Modified());
    window_->history().set_byte_cap(1);
    for (int i = 0; i < 3; ++i) window_->RunCommand(kCmdShiftFaces);
    QCOMPARE(window_->history().stack().count(), 1);
    // The saved state went with the dropped steps: undoing cannot reach it.
    window_->RunCommand(kCmdUndo);
    QVERIFY(Modified());
  }

  void RecentFilesSurviveARestartAndLoseGoneFiles() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("vorna.ini"));
    const QString copy = dir.filePath(QStringLiteral("copy.vrn"));
    QVERIFY(QFile::copy(kWalker, copy));
    {
      MainWindow window(&host_, nullptr, settings);
      QVERIFY(window.OpenPath(kWalker));
      QVERIFY(window.OpenPath(copy));
      QVERIFY(window.OpenPath(kWalker));
      window.resize(640, 400);
      SetLastChosenFolder(dir.path());
      host_.QueueAnswer(Answer::kYes);  // "VORNA を終了しますか？"
      QVERIFY(window.close());
    }
    SetLastChosenFolder(QString());
    MainWindow again(&host_, nullptr, settings);
    QCOMPARE(MenuTexts(again.recent_menu()),
             QStringList({QStringLiteral("&1 ") + kWalker, QStringLiteral("&2 ") + copy}));
    QCOMPARE(again.size(), QSize(640, 400));
    QCOMPARE(LastChosenFolder(), dir.path());

    // The copy has gone: choosing it says so and takes it off the list, for good.
    QVERIFY(QFile::remove(copy));
    host_.entries.clear();
    again.recent_menu()->actions()[1]->trigger();
    QCOMPARE(host_.entries.size(), size_t{1});
    QVERIFY(host_.entries[0].text.find("が見つかりません") != std::string::npos);
    QCOMPARE(MenuTexts(again.recent_menu()), QStringList({QStringLiteral("&1 ") + kWalker}));
    MainWindow third(&host_, nullptr, settings);
    QCOMPARE(third.recent_files().paths().size(), size_t{1});

    // Keys 1 to 9, then 0 for the tenth.
    QStringList ten;
    for (int i = 0; i < 10; ++i) ten << QStringLiteral("/m%1.vrn").arg(i);
    QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("recentFiles"), ten);
    MainWindow fourth(&host_, nullptr, settings);
    QCOMPARE(MenuTexts(fourth.recent_menu()).last(), QStringLiteral("&0 /m9.vrn"));
  }

  // The skeleton item: unchecked at first (.x files are read as meshes), checked it reads the next
  // .x file with its Units, and the choice outlives the window.
  void TheSkeletonItemIsRememberedAndReadsXFilesWithUnits() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("vorna.ini"));
    const QString x = QStringLiteral(VORNA_SOURCE_DIR "/tests/data/cli/cases/walker_skin.x");
    {
      MainWindow window(&host_, nullptr, settings);
      QVERIFY(window.OpenPath(x));
      QCOMPARE(window.session().model().unit_count(), 0);
      QVERIFY(!window.action(kCmdImportSkeleton)->isChecked());
      window.RunCommand(kCmdImportSkeleton);
      QVERIFY(window.OpenPath(x));
      QCOMPARE(window.session().model().unit_count(), 7);
    }
    MainWindow again(&host_, nullptr, settings);
    QVERIFY(again.action(kCmdImportSkeleton)->isChecked());
  }

  // The mouse gestures of the view and Home back to the fixed view's very pixels.
  void EachGestureMovesTheCameraAndHomeGivesTheFixedViewBack() {
    ShowLoaded();
    const std::vector<uint8_t> fixed = Frame();
    const QPointF centre(view()->width() / 2.0, view()->height() / 2.0);

    Drag(Qt::LeftButton, centre, centre + QPointF(40, 10));
    const FreeCamera orbited = state().free_camera;
    QVERIFY(orbited.active);
    QCOMPARE(orbited.yaw, 16.0f);
    QCOMPARE(orbited.elevation, 4.0f);
    QVERIFY(Frame() != fixed);
    QVERIFY(!window_->action(kCmdViewFront)->isChecked());

    // A double click on the model puts the point under it in the centre; the background is no
    // point.
    const Vec3 target = state().free_camera.target;
    Mouse(QEvent::MouseButtonDblClick, QPointF(2, 2), Qt::LeftButton);
    QCOMPARE(state().free_camera.target, target);
    Mouse(QEvent::MouseButtonDblClick, centre + QPointF(0, 10), Qt::LeftButton);
    QVERIFY(state().free_camera.target != target);

    // Panning moves the target, not the angles, with either button.
    for (const auto& [button, modifiers] :
         {std::pair{Qt::MiddleButton, Qt::KeyboardModifiers(Qt::NoModifier)},
          std::pair{Qt::LeftButton, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
      const FreeCamera before = state().free_camera;
      Drag(button, centre, centre + QPointF(-30, 0), modifiers);
      QCOMPARE(state().free_camera.yaw, before.yaw);
      QVERIFY(Length(state().free_camera.target - before.target) > 0.05f);
    }

    // Two notches of the wheel come closer.
    const float distance = state().free_camera.distance;
    QWheelEvent wheel(centre, view()->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &wheel);
    QVERIFY(state().free_camera.distance < distance * 0.8f);

    QCOMPARE(window_->action(kCmdFixedView)->shortcut(), QKeySequence(Qt::Key_Home));
    window_->action(kCmdFixedView)->trigger();
    QVERIFY(!state().free_camera.active);
    QVERIFY(window_->action(kCmdViewFront)->isChecked());
    QVERIFY(Frame() == fixed);

    // A direction item also leaves the free camera. The status line names the camera.
    const auto camera = [this] { return window_->statusBar()->findChild<QLabel*>()->text(); };
    Drag(Qt::LeftButton, centre, centre + QPointF(10, 0));
    QVERIFY(camera().endsWith(QStringLiteral("|   自由視点  平行投影")));
    window_->RunCommand(kCmdViewBack);
    QVERIFY(!state().free_camera.active);
    QVERIFY(camera().endsWith(QStringLiteral("|   後  平行投影")));
    window_->RunCommand(kCmdViewFront);
    QVERIFY(Frame() == fixed);
  }

  void DialogsOpenBesideTheWindow() {
    const QRect screen(0, 0, 1920, 1080);
    const QSize dialog(400, 300);
    const struct {
      QRect window;
      QPoint at;
    } cases[] = {
        {{100, 100, 800, 600}, {900, 100}},   // room on the right
        {{1000, 100, 800, 600}, {600, 100}},  // only on the left
        {{200, 900, 1600, 150}, {0, 780}},    // neither: the wider side, kept on screen
    };
    for (const auto& c : cases) QCOMPARE(BesideWindow(c.window, dialog, screen), c.at);
  }
};

}  // namespace

VORNA_UI_TEST(MainWindowTest)

}  // namespace vorna

#include "main_window_test.moc"

#include <QAction>
#include <QtTest>
#include <memory>

#include "model/host.h"
#include "support/test_support.h"
#include "ui/edit_history.h"
#include "ui/main_window.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

class UndoWindowTest : public QObject {
  Q_OBJECT

 private:
  test::TempDir dir_;
  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;

  QString Text(int id) { return window_->action(id)->text(); }
  bool Modified() { return window_->session().model().modified != 0; }

 private slots:
  void init() {
    host_ = ScriptedHost();
    window_ = std::make_unique<MainWindow>(&host_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTRY_VERIFY(window_->view_window()->device_ready());
    const std::string path = dir_.File("walker.vrn");
    test::WriteFile(path, test::ReadFile(VORNA_SOURCE_DIR "/samples/walker.vrn"));
    QVERIFY(window_->OpenPath(QString::fromStdString(path)));
  }
  void cleanup() { window_.reset(); }

  void ModifiedFollowsTheSavedStateAndTheItemsNameTheStep() {
    QVERIFY(!window_->action(kCmdUndo)->isEnabled());
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    window_->RunCommand(kCmdFlipCulling);
    QVERIFY(Modified());
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す: カリング反転(&U)\tCtrl+Z"));
    window_->RunCommand(kCmdSave);
    QVERIFY(!Modified());
    window_->RunCommand(kCmdUndo);
    QVERIFY(Modified());
    QVERIFY(!window_->action(kCmdUndo)->isEnabled());
    QCOMPARE(Text(kCmdRedo), QStringLiteral("やり直し: カリング反転(&R)\tCtrl+Y"));
    window_->RunCommand(kCmdRedo);
    QVERIFY(!Modified());
    // A tree edit is an unsaved change too.
    window_->unit_tree()->DropNodes(0, window_->session().model().parts_count);
    QVERIFY(Modified());
    QCOMPARE(Text(kCmdUndo), QStringLiteral("元に戻す: ユニットの移動(&U)\tCtrl+Z"));
  }

  void CloseAsksToSaveUnsavedEditsAndForgetsTheSteps() {
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
    window_->history().set_byte_cap(1);
    for (int i = 0; i < 3; ++i) window_->RunCommand(kCmdShiftFaces);
    QCOMPARE(window_->history().stack().count(), 1);
    // The saved state went with the dropped steps: undoing cannot reach it.
    window_->RunCommand(kCmdUndo);
    QVERIFY(Modified());
  }
};

}  // namespace

VORNA_UI_TEST(UndoWindowTest)

}  // namespace vorna

#include "undo_test.moc"

#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "model/host.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

const QString kWalker = QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn");

QProgressDialog* ShownProgress() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QProgressDialog*>(widget);
    if (dialog != nullptr && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

// Calls `act` on the progress dialog once it is on screen.
void WhenShown(QObject* context, std::function<void(QProgressDialog&)> act) {
  auto* poll = new QTimer(context);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
    if (QProgressDialog* dialog = ShownProgress()) {
      poll->deleteLater();
      poll->stop();
      act(*dialog);
    }
  });
  poll->start(10);
}

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void TheDialogStopsAReadAndLosesItsButtonOnceASaveCommits() {
    QtHost host;
    host.set_show_after_ms(0);
    QString label;
    WhenShown(this, [&label](QProgressDialog& dialog) {
      label = dialog.labelText();
      dialog.findChild<QPushButton*>()->click();
    });
    // The work goes on until it is told to stop (bounded, so that a fault fails the test).
    bool stopped = false;
    host.RunLongTask(LongTask::kReading, [&stopped](const ProgressCallback& progress) {
      for (int i = 0; i < 100000 && !stopped; ++i) {
        stopped = !progress(i, 100000);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    QVERIFY(stopped);
    QCOMPARE(label, QStringLiteral("ﾌｧｲﾙを読み込んでいます･･･"));
    QVERIFY(ShownProgress() == nullptr);

    // Every byte written: the rename comes next, which nothing may stop.
    std::atomic<bool> button_gone{false};
    WhenShown(this, [&](QProgressDialog& dialog) {
      auto* check = new QTimer(this);
      connect(check, &QTimer::timeout, check, [&dialog, &button_gone, check] {
        if (dialog.findChild<QPushButton*>() != nullptr) return;
        check->deleteLater();
        check->stop();
        dialog.cancel();
        button_gone = true;
      });
      check->start(10);
    });
    bool kept_on = true;
    host.RunLongTask(LongTask::kSaving, [&](const ProgressCallback& progress) {
      for (int i = 0; i < 100000 && !button_gone; ++i) {
        kept_on = progress(10, 10) && kept_on;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    QVERIFY(button_gone);
    QVERIFY(kept_on);
  }

  void AStoppedOpenLeavesTheWindowOnItsModel() {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.vrn"));
    QVERIFY(QFile::copy(kWalker, copy));
    ScriptedHost host;
    MainWindow window(&host, nullptr, dir.filePath(QStringLiteral("vorna.ini")));
    QVERIFY(window.OpenPath(kWalker));
    const QString title = window.windowTitle();
    window.session().model().modified = 1;
    host.QueueAnswer(Answer::kNo);  // do not save the edits first
    host.stop_after_reports = 0;
    QVERIFY(!window.OpenPath(copy));
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(window.session().model().model_file_name, std::string("walker.vrn"));
    QCOMPARE(window.session().model().modified, uint8_t{1});
    QCOMPARE(host.entries.size(), size_t{1});  // the save question only
    QCOMPARE(window.recent_files().paths().size(), size_t{1});
  }
};

VORNA_UI_TEST(ProgressTest)

}  // namespace
}  // namespace vorna

#include "progress_test.moc"

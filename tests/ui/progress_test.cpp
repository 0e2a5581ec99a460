#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "ui/qt_host.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

// Calls `act` every few milliseconds with the progress dialog on screen until it returns true.
void WhileShown(QObject* context, std::function<bool(QProgressDialog&)> act) {
  auto* poll = new QTimer(context);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QProgressDialog*>(widget);
      if (dialog != nullptr && dialog->isVisible() && act(*dialog)) poll->deleteLater();
    }
  });
  poll->start(10);
}

// Work that reports `done` of 10 until `until` is set or its answer is stop (bounded, so that a
// fault fails the test); true when it was told to stop.
bool ReportUntil(QtHost& host, LongTask task, int done, const std::atomic<bool>& until) {
  bool stopped = false;
  host.RunLongTask(task, [&](const ProgressCallback& progress) {
    for (int i = 0; i < 100000 && !stopped && !until; ++i) {
      stopped = !progress(done, 10);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  return stopped;
}

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void TheDialogStopsATaskAndLosesItsButtonOnceASaveCommits() {
    QtHost host;
    host.set_show_after_ms(0);
    // Part-way, reading and saving alike can be stopped.
    for (const auto& [task, text] :
         {std::pair{LongTask::kReading, QStringLiteral("ﾌｧｲﾙを読み込んでいます･･･")},
          std::pair{LongTask::kSaving, QStringLiteral("ﾌｧｲﾙを保存しています･･･")}}) {
      QString label;
      std::atomic<bool> no_button{false};
      WhileShown(this, [&label, &no_button](QProgressDialog& dialog) {
        label = dialog.labelText();
        auto* button = dialog.findChild<QPushButton*>();
        if (button != nullptr) button->click();
        no_button = button == nullptr;
        return true;
      });
      QVERIFY(ReportUntil(host, task, 3, no_button));
      QCOMPARE(label, text);
    }

    // Every byte written: the rename comes next, which nothing may stop.
    std::atomic<bool> button_gone{false};
    WhileShown(this, [&button_gone](QProgressDialog& dialog) {
      if (dialog.findChild<QPushButton*>() != nullptr) return false;
      dialog.cancel();
      button_gone = true;
      return true;
    });
    QVERIFY(!ReportUntil(host, LongTask::kSaving, 10, button_gone));
    QVERIFY(button_gone);
  }
};

VORNA_UI_TEST(ProgressTest)

}  // namespace
}  // namespace vorna

#include "progress_test.moc"

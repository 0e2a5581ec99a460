#include "ui/qt_host.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

namespace vorna {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kStop:
      return QMessageBox::Critical;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QString TextOf(std::string_view text) {
  // The core's messages use CR LF between lines; a message box wants plain line feeds.
  QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

// Stays on screen until the task ends: Escape and the window's close button only ask to stop, as
// the cancel button does, so that the user never reaches the window while the task runs.
class TaskDialog : public QProgressDialog {
 public:
  using QProgressDialog::QProgressDialog;
  void reject() override { emit canceled(); }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    emit canceled();
  }
};

}  // namespace

void QtHost::Message(std::string_view text, MessageIcon icon) {
  QMessageBox box(IconOf(icon), QStringLiteral("VORNA"), TextOf(text), QMessageBox::Ok, owner_);
  box.exec();
}

Answer QtHost::Question(std::string_view text, Buttons buttons, MessageIcon icon) {
  QMessageBox::StandardButtons standard = QMessageBox::Ok;
  if (buttons == Buttons::kYesNo) standard = QMessageBox::Yes | QMessageBox::No;
  if (buttons == Buttons::kYesNoCancel) {
    standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  QMessageBox box(IconOf(icon), QStringLiteral("VORNA"), TextOf(text), standard, owner_);
  if (buttons == Buttons::kRestoreDiscard) {
    box.setStandardButtons(QMessageBox::NoButton);
    QPushButton* restore = box.addButton(QStringLiteral("復元"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("破棄"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == restore ? Answer::kYes : Answer::kNo;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    case QMessageBox::Cancel:
      return Answer::kCancel;
    default:
      // Closing a yes/no box with the window's close button counts as No.
      return buttons == Buttons::kOk ? Answer::kOk
                                     : (buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel);
  }
}

void QtHost::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtHost::EndWait() { QApplication::restoreOverrideCursor(); }

void QtHost::RunLongTask(LongTask task, const std::function<void(const ProgressCallback&)>& work) {
  // Written by the worker, read by the dialog's timer.
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  const ProgressCallback report = [&](std::uint64_t d, std::uint64_t t) {
    total.store(t);
    done.store(d);
    return !stop.load();
  };
  const bool was_busy = std::exchange(busy_, true);
  QEventLoop loop;
  std::thread worker([&] {
    work(report);
    finished.store(true);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // A short task shows nothing: until the dialog appears the user's input waits, so that no
  // command can start beside the task.
  QTimer::singleShot(show_after_ms_, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!finished.load()) {
    const bool saving = task == LongTask::kSaving;
    TaskDialog dialog(owner_);
    dialog.setWindowTitle(QStringLiteral("VORNA"));
    dialog.setLabelText(saving ? QStringLiteral("ﾌｧｲﾙを保存しています･･･")
                               : QStringLiteral("ﾌｧｲﾙを読み込んでいます･･･"));
    dialog.setCancelButtonText(QStringLiteral("ｷｬﾝｾﾙ"));
    dialog.setRange(0, 1000);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    bool can_stop = true;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
      if (!can_stop) return;
      stop.store(true);
      dialog.setLabelText(QStringLiteral("中止しています･･･"));
    });
    QTimer tick;
    const auto show_progress = [&] {
      const std::uint64_t t = total.load();
      const std::uint64_t d = done.load();
      if (t > 0) dialog.setValue(static_cast<int>(std::min<std::uint64_t>(d, t) * 1000 / t));
      if (saving && can_stop && t > 0 && d >= t) {
        // The temporary is complete: next comes the rename, which cannot be taken back.
        can_stop = false;
        dialog.setCancelButton(nullptr);
      }
    };
    QObject::connect(&tick, &QTimer::timeout, &dialog, show_progress);
    show_progress();
    dialog.show();
    tick.start(50);
    while (!finished.load()) loop.exec();
    tick.stop();
  }
  worker.join();
  busy_ = was_busy;
}

}  // namespace vorna

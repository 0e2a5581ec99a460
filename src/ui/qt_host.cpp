#include "ui/qt_host.h"

#include <QApplication>
#include <QMessageBox>

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

}  // namespace vorna

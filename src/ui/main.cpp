// The editor's entry: one editor per user. A later start hands its file to the running editor
// and ends; otherwise the window opens and shows the file named on the command line.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include "ui/main_window.h"
#include "ui/single_instance.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VORNA"));
  QApplication::setDesktopFileName(QStringLiteral("vorna"));
  const QStringList arguments = QApplication::arguments();
  const QString file = arguments.size() > 1 ? arguments.at(1) : QString();
  // The running editor may work in another folder.
  const QString absolute = file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();

  vorna::SingleInstance instance(vorna::DefaultInstanceName());
  if (instance.HandOver(absolute, 1000)) return 0;
  instance.Listen();

  vorna::MainWindow window;
  QObject::connect(&instance, &vorna::SingleInstance::handedOver, &window,
                   &vorna::MainWindow::OpenFromOtherInstance);
  if (!file.isEmpty()) window.SetStartupFile(file);
  window.show();
  return QApplication::exec();
}

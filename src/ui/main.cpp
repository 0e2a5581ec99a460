// The editor's entry: one editor per user and desktop. A later start hands its file to the
// running editor and ends; otherwise the window opens and shows the file named on the command
// line.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include "ui/main_window.h"
#include "ui/qt_translations.h"
#include "ui/single_instance.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VORNA"));
  QApplication::setDesktopFileName(QStringLiteral("vorna"));
  vorna::InstallQtTranslations(app);
  const QStringList arguments = QApplication::arguments();
  const QString file = arguments.size() > 1 ? arguments.at(1) : QString();
  // The running editor may work in another folder.
  const QString absolute = file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();

  const QString instance_name = vorna::DefaultInstanceName();
  vorna::SingleInstance instance(instance_name);
  if (!instance_name.isEmpty()) {
    if (instance.HandOver(absolute, 1000)) return 0;
    instance.Listen();
  }

  vorna::MainWindow window;
  QObject::connect(&instance, &vorna::SingleInstance::handedOver, &window,
                   &vorna::MainWindow::OpenFromOtherInstance);
  if (!file.isEmpty()) window.SetStartupFile(file);
  window.show();
  return QApplication::exec();
}

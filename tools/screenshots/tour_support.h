// What the screenshot tours share. A tour walks the editor through its states and saves a picture
// of each for people to look at, into the folder vorna-screenshots is given (scripts/screenshots
// runs every tour on a virtual X display). The checks inside a tour only make sure that each
// state was reached.
#pragma once

#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "editor/unit_copy.h"
#include "model/host.h"
#include "ui/main_window.h"
#include "ui/view_window.h"

namespace vorna::test {

// Adds a tour to the ones vorna-screenshots runs, in the order of registration.
int RegisterTour(const char* name, std::function<QObject*()> make);
// The folder the pictures go to.
QString TourFolder();

// The picture folder, the editor's window and the ways of picturing it. Each tour derives from
// this and declares its own slots under Q_OBJECT.
class TourBase : public QObject {
 protected:
  TourBase() : dir_(TourFolder()) { QDir().mkpath(dir_); }

  static int ScreenWidth() { return QGuiApplication::primaryScreen()->geometry().width(); }

  // Shows the editor's window at the screen's top left, with no model.
  bool ShowWindow() {
    window_ = std::make_unique<MainWindow>(&host_);
    window_->move(0, 0);
    window_->show();
    return QTest::qWaitForWindowExposed(window_.get());
  }

  bool OpenSample() {
    return window_->OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn"));
  }

  int UnitNamed(const char* name) const { return FindUnitByName(window_->session().model(), name); }

  // The whole screen, once what was just asked for has been drawn.
  void Shoot(const QString& name) {
    QTest::qWait(300);
    QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(Path(name)));
  }

  // The window's view alone.
  void ShootView(const QString& name) {
    QTest::qWait(100);
    QVERIFY(window_->view_window()->grab().save(Path(name)));
  }

  // Shows `dialog` modally, runs `while_open` once it is up, then closes it.
  static void WhileOpen(QDialog* dialog, const std::function<void()>& while_open) {
    QTimer::singleShot(500, dialog, [dialog, while_open] {
      while_open();
      dialog->reject();
    });
    dialog->exec();
  }

  // Shows a dialog, runs `prepare` once it is up, takes its picture and closes it.
  void ShootDialog(QDialog* dialog, const QString& name,
                   const std::function<void()>& prepare = {}) {
    WhileOpen(dialog, [this, name, prepare] {
      if (prepare) prepare();
      Shoot(name);
    });
  }

  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;

 private:
  QString Path(const QString& name) const { return dir_ + "/" + name + ".png"; }

  QString dir_;
};

}  // namespace vorna::test

#define VORNA_TOUR(Class)                                \
  [[maybe_unused]] static const int vorna_tour_##Class = \
      ::vorna::test::RegisterTour(#Class, [] { return new Class; });

// Not a test: a tour through the editor's states that saves a screenshot of each, for people to
// look at. It runs only when VORNA_SCREENSHOT_DIR names the folder for the pictures
// (scripts/screenshots runs it on a virtual X display).
#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "model/host.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"
#include "ui/motion_strip.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

class ScreenshotTour : public QObject {
  Q_OBJECT

 private:
  QString dir_;
  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;

  void Shoot(const QString& name) {
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen->grabWindow(0).save(dir_ + "/" + name + ".png"));
  }

  void ShootMenu(MenuIndex index, const QString& name) {
    QMenu* menu = window_->menu(index);
    window_->menuBar()->setActiveAction(menu->menuAction());
    QTest::qWait(300);
    if (index == kMenuAnim && window_->speed_menu()->isEnabled()) {
      menu->setActiveAction(window_->speed_menu()->menuAction());
      window_->speed_menu()->popup(menu->geometry().topRight() + QPoint(0, menu->height() - 30));
    }
    Shoot(name);
    window_->speed_menu()->hide();
    menu->hide();
    window_->menuBar()->setActiveAction(nullptr);
  }

  // Shows a dialog, takes its picture once it is up and closes it.
  void ShootDialog(QDialog* dialog, const QString& name) {
    QTimer::singleShot(500, dialog, [this, dialog, name] {
      Shoot(name);
      dialog->reject();
    });
    dialog->exec();
  }

 private slots:
  void initTestCase() {
    dir_ = qEnvironmentVariable("VORNA_SCREENSHOT_DIR");
    QDir().mkpath(dir_);
  }

  void Tour() {
    window_ = std::make_unique<MainWindow>(&host_);
    window_->move(0, 0);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    Shoot("01-no-model");
    ShootMenu(kMenuFile, "02-file-menu-no-model");
    ShootMenu(kMenuDirection, "03-direction-menu-no-model");

    QVERIFY(window_->OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn")));
    window_->unit_tree()->expandAll();
    Shoot("04-loaded");
    const QString names[] = {"file",       "item", "motion",    "anim", "model",
                             "draw-order", "view", "direction", "help"};
    for (int m = 0; m < kMenuCount; ++m) {
      ShootMenu(static_cast<MenuIndex>(m), QStringLiteral("05-menu-%1-%2").arg(m).arg(names[m]));
    }

    window_->RunCommand(kCmdSemiTransparent);
    Shoot("06-semi-transparent");
    window_->RunCommand(kCmdSemiTransparent);
    window_->RunCommand(kCmdFillWireframe);
    window_->RunCommand(kCmdGround);
    Shoot("07-wireframe-ground");
    window_->RunCommand(kCmdFillSolid);
    const int directions[] = {kCmdViewBack, kCmdViewLeft, kCmdViewRight, kCmdViewTop,
                              kCmdViewBottom};
    for (int id : directions) {
      window_->RunCommand(id);
      Shoot(QStringLiteral("08-direction-%1").arg(id));
    }
    window_->RunCommand(kCmdViewFront);
    window_->RunCommand(kCmdPlayStop);
    QTest::qWait(450);
    Shoot("09-playing");
    window_->RunCommand(kCmdPlayStop);

    QTreeWidget* tree = window_->unit_tree();
    tree->setCurrentItem(tree->topLevelItem(0));
    Shoot("10-tree-selection");

    SaveFormatDialog format(SaveFamily::kVrn, window_.get());
    ShootDialog(&format, "11-save-format");
    std::unique_ptr<QFileDialog> save(CreateSaveAsDialog(window_.get(), "walker.vrn"));
    ShootDialog(save.get(), "12-save-as");
    window_->resize(1000, 700);
    Shoot("13-resized");
  }

  void cleanupTestCase() {
    if (window_ != nullptr) window_.reset();
  }
};

}  // namespace

// The tour only runs when asked for (scripts/screenshots sets the folder): a skipped class would
// stop Qt Test from running the classes after it.
[[maybe_unused]] static const int kScreenshotTour =
    qEnvironmentVariableIsEmpty("VORNA_SCREENSHOT_DIR")
        ? 0
        : ::vorna::test::RegisterUiTest("ScreenshotTour", [] { return new ScreenshotTour; });

}  // namespace vorna

#include "screenshot_tour.moc"

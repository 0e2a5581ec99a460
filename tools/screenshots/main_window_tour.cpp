// Not a test (see tour_support.h): pictures of the main window's states, with no model and with
// the sample, every menu, the looks, the directions, playback and the file dialogs.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QtTest>

#include "tour_support.h"
#include "ui/file_dialogs.h"
#include "ui/motion_strip.h"
#include "ui/unit_tree.h"

namespace vorna {
namespace {

class ScreenshotTour : public test::TourBase {
  Q_OBJECT

 private:
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

 private slots:
  void Tour() {
    QVERIFY(ShowWindow());
    Shoot("01-no-model");
    ShootMenu(kMenuFile, "02-file-menu-no-model");
    ShootMenu(kMenuDirection, "03-direction-menu-no-model");

    QVERIFY(OpenSample());
    window_->unit_tree()->expandAll();
    Shoot("04-loaded");
    const QString names[] = {"file",  "edit",       "item", "motion",    "anim",
                             "model", "draw-order", "view", "direction", "help"};
    for (int m = 0; m < kMenuCount; ++m) {
      ShootMenu(static_cast<MenuIndex>(m), QStringLiteral("05-menu-%1-%2").arg(m).arg(names[m]));
    }
    window_->RunCommand(kCmdFlipCulling);
    ShootMenu(kMenuEdit, "05-menu-edit-after-flip");
    window_->RunCommand(kCmdUndo);

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

    SaveFormatDialog format(RowOf(ModelFormat::kVrnText), window_.get());
    ShootDialog(&format, "11-save-format");
    std::unique_ptr<QFileDialog> save(CreateSaveAsDialog(
        window_.get(), "walker.vrn", StartFolder(window_->session().model().model_dir)));
    ShootDialog(save.get(), "12-save-as");
    window_->resize(1000, 700);
    Shoot("13-resized");
  }
};

}  // namespace

VORNA_TOUR(ScreenshotTour)

}  // namespace vorna

#include "main_window_tour.moc"

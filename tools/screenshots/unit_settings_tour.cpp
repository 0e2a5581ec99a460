// Not a test (see tour_support.h): pictures of the unit settings dialog on each of its pages, its
// own menu and the view behind it.
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "tour_support.h"
#include "ui/unit_settings_dialog.h"
#include "ui/unit_tree.h"

namespace vorna {
namespace {

class UnitSettingsTour : public test::TourBase {
  Q_OBJECT

 private:
  void Pages(UnitSettingsDialog* dialog) {
    Shoot("unit-01-tilt-axis-page");
    ShootView("unit-02-view-while-open");
    dialog->unit_box()->setCurrentIndex(UnitNamed("hips"));
    Shoot("unit-03-xyz-axes-page");
    dialog->tabs()->setCurrentIndex(1);
    Shoot("unit-04-translation-page");
    dialog->tabs()->setCurrentIndex(2);
    Shoot("unit-05-scale-page-front");

    QMenu* direction = dialog->menu_bar()->actions()[1]->menu();
    dialog->menu_bar()->setActiveAction(direction->menuAction());
    Shoot("unit-06-direction-menu");
    direction->hide();
    dialog->menu_bar()->setActiveAction(nullptr);
    dialog->menu_action(kCmdViewLeft)->trigger();
    Shoot("unit-07-scale-page-left");
    ShootView("unit-08-view-from-the-left");

    dialog->unit_box()->setCurrentIndex(UnitNamed("thigh_l"));
    dialog->tabs()->setCurrentIndex(0);
    dialog->blend_change_box()->setChecked(true);
    dialog->initialise_button()->click();
    Shoot("unit-09-blend-ticked");
  }

 private slots:
  void Tour() {
    QVERIFY(ShowWindow());
    QVERIFY(OpenSample());
    const Model& model = window_->session().model();
    const int unit = UnitNamed("thigh_l");
    QVERIFY(unit >= 0);
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(model.NodeOfUnit(unit)));
    QCOMPARE(model.selected_unit, unit);

    UnitSettingsDialog dialog(window_->MakeDialogContext(), window_.get());
    dialog.move(ScreenWidth() - dialog.sizeHint().width(), 0);
    WhileOpen(&dialog, [this, &dialog] { Pages(&dialog); });
    Shoot("unit-10-after-cancel");
  }
};

}  // namespace

VORNA_TOUR(UnitSettingsTour)

}  // namespace vorna

#include "unit_settings_tour.moc"

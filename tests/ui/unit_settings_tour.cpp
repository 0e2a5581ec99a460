// Not a test: pictures of the unit settings dialog on each of its pages, its own menu and the
// view behind it, for people to look at. Runs only when VORNA_SCREENSHOT_DIR names the folder.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "model/host.h"
#include "ui/main_window.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_settings_dialog.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

class UnitSettingsTour : public QObject {
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

  void ShootView(const QString& name) {
    QTest::qWait(100);
    QVERIFY(window_->view_window()->grab().save(dir_ + "/" + name + ".png"));
  }

  int UnitNamed(const char* name) const {
    const Model& model = window_->session().model();
    for (int u = 0; u < model.unit_count(); ++u) {
      if (model.node_name[model.NodeOfUnit(u)] == name) return u;
    }
    return -1;
  }

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
  void initTestCase() {
    dir_ = qEnvironmentVariable("VORNA_SCREENSHOT_DIR");
    QDir().mkpath(dir_);
  }

  void Tour() {
    window_ = std::make_unique<MainWindow>(&host_);
    window_->move(0, 0);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QVERIFY(window_->OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn")));
    const Model& model = window_->session().model();
    const int unit = UnitNamed("thigh_l");
    QVERIFY(unit >= 0);
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(model.NodeOfUnit(unit)));
    QCOMPARE(model.selected_unit, unit);

    UnitSettingsDialog dialog(window_->MakeDialogContext(), window_.get());
    dialog.move(QGuiApplication::primaryScreen()->geometry().width() - dialog.sizeHint().width(),
                0);
    QTimer::singleShot(500, &dialog, [this, &dialog] {
      Pages(&dialog);
      dialog.reject();
    });
    dialog.exec();
    Shoot("unit-10-after-cancel");
  }

  void cleanupTestCase() { window_.reset(); }
};

}  // namespace

[[maybe_unused]] static const int kUnitSettingsTour =
    qEnvironmentVariableIsEmpty("VORNA_SCREENSHOT_DIR")
        ? 0
        : ::vorna::test::RegisterUiTest("UnitSettingsTour", [] { return new UnitSettingsTour; });

}  // namespace vorna

#include "unit_settings_tour.moc"

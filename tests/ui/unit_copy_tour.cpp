// Not a test: pictures of the unit copy dialog with its add and create dialogs, its own menu and
// the view behind it, and of the key-frame dialog, for people to look at. Runs only when
// VORNA_SCREENSHOT_DIR names the folder.
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "model/host.h"
#include "ui/keyframe_dialog.h"
#include "ui/main_window.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_copy_dialog.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

// Shows the add and create dialogs without a modal loop so that the tour can picture them.
class TourCopyDialog : public UnitCopyDialog {
 public:
  using UnitCopyDialog::UnitCopyDialog;
  std::function<void(QDialog&)> drive;

 protected:
  int RunSubDialog(QDialog& dialog) override {
    dialog.show();
    if (drive) drive(dialog);
    return dialog.result();
  }
};

class UnitCopyTour : public QObject {
  Q_OBJECT

 private:
  QString dir_;
  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;
  UnitCopyMemory copy_memory_;
  KeyframeDialogMemory keyframe_memory_;

  void Shoot(const QString& name) {
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen->grabWindow(0).save(dir_ + "/" + name + ".png"));
  }

  void ShootView(const QString& name) {
    QTest::qWait(100);
    QVERIFY(window_->view_window()->grab().save(dir_ + "/" + name + ".png"));
  }

  int UnitNamed(const char* name) const { return FindUnitByName(window_->session().model(), name); }

  // Picks Units in an add dialog, takes its picture and presses OK.
  std::function<void(QDialog&)> AddUnits(std::vector<const char*> names, const QString& shot) {
    return [this, names, shot](QDialog& dialog) {
      auto& add = dynamic_cast<UnitAddDialog&>(dialog);
      add.move(QGuiApplication::primaryScreen()->geometry().width() - add.width() - 20, 80);
      for (const char* name : names) add.unit_list()->item(UnitNamed(name))->setSelected(true);
      Shoot(shot);
      add.accept();
    };
  }

  void CopyPages(TourCopyDialog* dialog) {
    dialog->move(
        QGuiApplication::primaryScreen()->geometry().width() - dialog->frameGeometry().width(), 0);
    Shoot("copy-01-opened");
    ShootView("copy-02-view-while-open");
    dialog->drive = AddUnits({"thigh_l", "shoulder_l"}, "copy-03-add-source");
    dialog->AddUnits(false);
    dialog->drive = AddUnits({"thigh_r"}, "copy-04-add-target");
    dialog->AddUnits(true);
    dialog->drive = [this](QDialog& d) {
      auto& create = dynamic_cast<UnitCreateDialog&>(d);
      create.move(QGuiApplication::primaryScreen()->geometry().width() - create.width() - 20, 80);
      Shoot("copy-05-create-proposal");
      create.name_edit()->setText("arm_r2");
      create.accept();
    };
    dialog->CreateUnit();
    Shoot("copy-06-lists-filled");

    // Bend the left arm so that its mirrored copy shows in the view.
    Model& model = window_->session().model();
    model.motions[model.current_motion].angle[2][UnitNamed("shoulder_l")] = 60;
    dialog->mirror_radio()->click();
    dialog->Apply();
    Shoot("copy-07-mirrored-copy-applied");
    ShootView("copy-08-view-after-apply");

    QMenu* direction = dialog->direction_menu();
    dialog->findChild<QMenuBar*>()->setActiveAction(direction->menuAction());
    Shoot("copy-09-direction-menu");
    direction->hide();
    dialog->findChild<QMenuBar*>()->setActiveAction(nullptr);
    dialog->ChooseDirection(kCmdViewTop);
    ShootView("copy-10-view-from-above");
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
    window_->RunCommand(kCmdSemiTransparent);  // the dialog draws opaque while it is open

    {
      TourCopyDialog dialog(window_->MakeDialogContext(), copy_memory_, window_.get());
      QTimer::singleShot(500, &dialog, [this, &dialog] {
        CopyPages(&dialog);
        dialog.reject();
      });
      dialog.exec();
    }
    Shoot("copy-11-after-cancel");

    {
      KeyframeDialog dialog(window_->MakeDialogContext(), keyframe_memory_, window_.get());
      QTimer::singleShot(500, &dialog, [this, &dialog] {
        Shoot("keyframe-01-opened");
        dialog.reject();
      });
      dialog.exec();
    }
  }

  void cleanupTestCase() { window_.reset(); }
};

}  // namespace

[[maybe_unused]] static const int kUnitCopyTour =
    qEnvironmentVariableIsEmpty("VORNA_SCREENSHOT_DIR")
        ? 0
        : ::vorna::test::RegisterUiTest("UnitCopyTour", [] { return new UnitCopyTour; });

}  // namespace vorna

#include "unit_copy_tour.moc"

// Not a test (see tour_support.h): pictures of the unit copy dialog with its add and create
// dialogs, its own menu and the view behind it, and of the key-frame dialog.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>
#include <functional>

#include "tour_support.h"
#include "ui/keyframe_dialog.h"
#include "ui/unit_copy_dialog.h"

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

class UnitCopyTour : public test::TourBase {
  Q_OBJECT

 private:
  UnitCopyMemory copy_memory_;
  KeyframeDialogMemory keyframe_memory_;

  // Picks Units in an add dialog, takes its picture and presses OK.
  std::function<void(QDialog&)> AddUnits(std::vector<const char*> names, const QString& shot) {
    return [this, names, shot](QDialog& dialog) {
      auto& add = dynamic_cast<UnitAddDialog&>(dialog);
      add.move(ScreenWidth() - add.width() - 20, 80);
      for (const char* name : names) add.unit_list()->item(UnitNamed(name))->setSelected(true);
      Shoot(shot);
      add.accept();
    };
  }

  void CopyPages(TourCopyDialog* dialog) {
    dialog->move(ScreenWidth() - dialog->frameGeometry().width(), 0);
    Shoot("copy-01-opened");
    ShootView("copy-02-view-while-open");
    dialog->drive = AddUnits({"thigh_l", "shoulder_l"}, "copy-03-add-source");
    dialog->AddUnits(false);
    dialog->drive = AddUnits({"thigh_r"}, "copy-04-add-target");
    dialog->AddUnits(true);
    dialog->drive = [this](QDialog& d) {
      auto& create = dynamic_cast<UnitCreateDialog&>(d);
      create.move(ScreenWidth() - create.width() - 20, 80);
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
  void Tour() {
    QVERIFY(ShowWindow());
    QVERIFY(OpenSample());
    window_->RunCommand(kCmdSemiTransparent);  // the dialog draws opaque while it is open

    {
      TourCopyDialog dialog(window_->MakeDialogContext(), copy_memory_, window_.get());
      WhileOpen(&dialog, [this, &dialog] { CopyPages(&dialog); });
    }
    Shoot("copy-11-after-cancel");

    KeyframeDialog keyframe(window_->MakeDialogContext(), keyframe_memory_, window_.get());
    ShootDialog(&keyframe, "keyframe-01-opened");
  }
};

}  // namespace

VORNA_TOUR(UnitCopyTour)

}  // namespace vorna

#include "unit_copy_tour.moc"

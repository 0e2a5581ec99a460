#include "ui/unit_copy_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <functional>

#include "model/host.h"
#include "ui/dialog_harness.h"
#include "ui/layout_snapshot.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

// Four top-level XYZ-axes Units.
struct Harness : test::DialogHarness {
  UnitCopyMemory memory;

  Harness() { model() = *test::Loaded({}, {"arm_l", "arm_r", "leg_l", "leg_r"}, {-1, -1, -1, -1}); }
  DialogContext Context() {
    DialogContext context = DialogHarness::Context();
    // Making a thumbnail turns the view to the front, as the window's does.
    context.regenerate_thumbnail = [this] {
      ++thumbnails;
      view().view_yaw = 0.0f;
      view().view_pitch = -1.0f;
    };
    return context;
  }
};

// The copy dialog with its add and create dialogs driven by the test instead of a modal loop.
class DrivenCopyDialog : public UnitCopyDialog {
 public:
  using UnitCopyDialog::UnitCopyDialog;
  std::function<void(QDialog&)> drive;

 protected:
  int RunSubDialog(QDialog& dialog) override {
    if (drive) drive(dialog);
    return dialog.result();
  }
};

// Selects `rows` in an add dialog and presses OK.
std::function<void(QDialog&)> AddRows(std::vector<int> rows) {
  return [rows](QDialog& dialog) {
    auto& add = dynamic_cast<UnitAddDialog&>(dialog);
    QCOMPARE(test::LayoutDifference(add), QString());
    for (int row : rows) add.unit_list()->item(row)->setSelected(true);
    add.findChild<QDialogButtonBox*>()->buttons().front()->click();  // "OK"
  };
}

std::array<int32_t, 3> Angles(const Model& model, int unit) {
  const Motion& motion = model.motions[model.current_motion];
  return {motion.angle[0][unit], motion.angle[1][unit], motion.angle[2][unit]};
}

}  // namespace

class UnitCopyDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensFromTheFrontAndOkKeepsTheMirroredCopyButRestoresTheView() {
    Harness h;
    h.view().part_alpha = 128;
    h.view().view_yaw = 90.0f;
    h.memory.mode = UnitCopyMode::kExchange;
    h.memory.pair_count = 1;
    h.memory.source[0] = 0;
    h.memory.target[0] = 1;
    h.model().motions[0].angle[1][0] = 30;

    UnitCopyDialog dialog(h.Context(), h.memory);
    QCOMPARE(test::LayoutDifference(dialog), QString());
    QCOMPARE(h.stops, 1);
    QVERIFY(h.view().unit_copy_open);
    QCOMPARE(h.view().part_alpha, 255);
    QCOMPARE(h.view().view_yaw, 0.0f);
    dialog.show();
    QCOMPARE(test::OverlappingSiblings(dialog), QStringList());

    dialog.mirror_radio()->click();
    dialog.direction_action(kCmdViewLeft)->trigger();
    QCOMPARE(h.view().view_yaw, 270.0f);
    const int redraws = h.redraws;
    dialog.Apply();
    QCOMPARE(h.redraws, redraws + 1);
    QCOMPARE(Angles(h.model(), 1)[1], 330);
    dialog.exchange_radio()->click();

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!h.view().unit_copy_open);
    QCOMPARE(h.view().part_alpha, 128);
    QCOMPARE(h.view().view_yaw, 90.0f);
    QCOMPARE(Angles(h.model(), 1)[1], 330);
    QVERIFY(h.model().modified);  // else the copy could be lost without the save question
    QCOMPARE(h.thumbnails, 1);
    QCOMPARE(h.memory.mode, UnitCopyMode::kExchange);
  }

  void CancelRemovesTheCreatedUnitsAndRestoresEveryValue() {
    Harness h;
    h.model().motions[0].angle[2][2] = 45;
    h.model().motions[0].angle[0][0] = 30;  // arm_l, copied onto arm_r below
    const std::array<int32_t, 3> arm_r = Angles(h.model(), 1);
    DrivenCopyDialog dialog(h.Context(), h.memory);

    h.host.entries.clear();
    dialog.drive = AddRows({0, 2});
    dialog.AddUnits(false);
    dialog.drive = AddRows({1});
    dialog.AddUnits(true);
    QCOMPARE(test::Lines(dialog.source_list()), (QStringList{"arm_l", "leg_l"}));
    QCOMPARE(test::Lines(dialog.target_list()), QStringList{"arm_r"});
    QVERIFY(h.host.entries.empty());

    // The create dialog proposes the unpaired source name, which is refused as taken; the dialog
    // stays open until a new name is given.
    QString proposed;
    bool refused_stayed_open = false;
    dialog.drive = [&](QDialog& d) {
      auto& create = dynamic_cast<UnitCreateDialog&>(d);
      QCOMPARE(test::LayoutDifference(create), QString());
      proposed = create.name_edit()->text();
      create.accept();
      create.name_edit()->setText("ARM_L");  // the first Unit's name, in other letter case
      create.accept();
      refused_stayed_open = create.result() != QDialog::Accepted;
      create.name_edit()->setText(QString::fromUtf8("足_R"));
      create.accept();
    };
    dialog.CreateUnit();
    QCOMPARE(proposed, QString("leg_l"));
    QVERIFY(refused_stayed_open);
    QCOMPARE(h.host.Texts(), std::vector<std::string>(2, "既存のﾕﾆｯﾄ名は使えません"));
    QCOMPARE(h.model().node_count, 5);
    QCOMPARE(h.model().node_name[4], std::string("\x91\xab_R"));  // stored as CP932
    QCOMPARE(test::Lines(dialog.target_list()), (QStringList{"arm_r", QString::fromUtf8("足_R")}));
    QCOMPARE(h.tree_changes, 1);

    dialog.Apply();  // copy: leg_l's angles onto the new Unit, arm_l's onto arm_r
    QCOMPARE(Angles(h.model(), 4)[2], 45);
    QVERIFY(Angles(h.model(), 1) != arm_r);

    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(h.model().node_count, 4);
    QVERIFY(Angles(h.model(), 1) == arm_r);
    QVERIFY(!h.view().unit_copy_open);
    QCOMPARE(h.tree_changes, 2);
    QCOMPARE(h.thumbnails, 0);
    dialog.reject();  // a second close changes nothing more
    QCOMPARE(h.tree_changes, 2);
  }

  void MovesAndDeletesListEntries() {
    Harness h;
    DrivenCopyDialog dialog(h.Context(), h.memory);
    dialog.drive = AddRows({0, 1, 2});
    dialog.AddUnits(false);
    dialog.source_list()->setCurrentRow(2);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {  // both lists' arrows
      if (button->text() == QStringLiteral("↑")) button->click();  // the target has no selection
    }
    QCOMPARE(test::Lines(dialog.source_list()), (QStringList{"arm_l", "leg_l", "arm_r"}));
    QCOMPARE(dialog.source_list()->currentRow(), 1);
    dialog.DeleteEntry(false);
    QCOMPARE(test::Lines(dialog.source_list()), (QStringList{"arm_l", "arm_r"}));
    QCOMPARE(dialog.source_list()->currentRow(), 1);
    dialog.reject();
  }
};

VORNA_UI_TEST(UnitCopyDialogTest)

}  // namespace vorna

#include "unit_copy_dialog_test.moc"

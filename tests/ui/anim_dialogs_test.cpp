#include "ui/anim_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "model/host.h"
#include "ui/dialog_harness.h"
#include "ui/keyframe_dialog.h"
#include "ui/layout_snapshot.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

// The key frame dialog's session: one Unit and `motions` numbered Motions.
struct KeyframeHarness : test::DialogHarness {
  KeyframeDialogMemory memory;

  explicit KeyframeHarness(int motions) {
    model() = *test::Loaded({}, {"hip"}, {-1}, 1);
    test::NumberedMotions(model(), motions);
  }
};

}  // namespace

class AnimDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void EditsTheListAndAppliesItOnOk() {
    auto model = test::Loaded({}, {}, {});
    test::NumberedMotions(*model, 12);
    model->anim_count = 1;
    model->anims[0] = Anim{0, 11, 1, "walk"};
    ScriptedHost host;
    AnimDialog dialog(*model, host);
    QCOMPARE(test::LayoutDifference(dialog), QString());
    dialog.show();
    QCOMPARE(test::OverlappingSiblings(dialog), QStringList());

    dialog.first_box()->setCurrentIndex(2);
    dialog.last_box()->setCurrentIndex(4);
    dialog.name_box()->setText(QString::fromUtf8("腕"));
    dialog.AddEntry();
    dialog.MoveEntry(-1);
    QCOMPARE(test::Lines(dialog.list()), QStringList({QString::fromUtf8("003 005 腕 "),
                                                      QString::fromUtf8("001 012 walk [ﾙｰﾌﾟ]")}));
    QCOMPARE(dialog.list()->currentRow(), 0);
    dialog.loop_box()->setChecked(true);
    dialog.EditEntry();
    dialog.list()->setCurrentRow(1);  // a click selects without copying into the controls
    QCOMPARE(dialog.entries().selected, 1);
    dialog.list()->setCurrentRow(-1);
    dialog.EditEntry();  // appends, and nothing is current: a click on the first entry selects it
    dialog.list()->setCurrentRow(0);
    QCOMPARE(dialog.entries().selected, 0);

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model->anim_count, 3);
    QCOMPARE(model->anims[0].name, std::string("\x98\x72"));  // stored as CP932
    QCOMPARE(model->anims[0].first_motion, 2);
    QCOMPARE(model->anims[0].last_motion, 4);
    QCOMPARE(int(model->anims[0].loop), 1);
    QCOMPARE(model->current_anim, 0);
    QVERIFY(host.entries.empty());
  }

  void OkRefusesMoreAnimsThanTheTableHolds() {
    auto model = test::Loaded({}, {}, {});
    test::NumberedMotions(*model, 2);
    ScriptedHost host;
    AnimDialog dialog(*model, host);
    for (int k = 0; k < 256; ++k) dialog.AddEntry();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(model->anim_count, 0);
    QCOMPARE(host.entries.size(), size_t{1});
  }

  // Two in-betweens after each key of a range chosen from its end.
  void GeneratesAndAsksForTheStrip() {
    KeyframeHarness h(3);
    KeyframeDialog dialog(h.Context(), h.memory);
    QCOMPARE(test::LayoutDifference(dialog), QString());
    dialog.start_box()->setCurrentIndex(2);
    dialog.end_box()->setCurrentIndex(0);
    dialog.count_box()->setCurrentIndex(1);
    dialog.linear_radio()->click();
    dialog.accept();
    QCOMPARE(dialog.last_result(), KeyframeResult::kGenerated);
    QCOMPARE(h.thumbnails, 1);
    QCOMPARE(h.menu_changes, 1);
    Model& model = h.model();
    QCOMPARE(model.motion_count, 7);
    QCOMPARE(model.current_motion, 6);
    // Linear: the step from 1 to 2 over three intervals truncates to 0.
    QCOMPARE(model.motions[2].angle[0][0], 1);
  }
};

VORNA_UI_TEST(AnimDialogsTest)

}  // namespace vorna

#include "anim_dialogs_test.moc"

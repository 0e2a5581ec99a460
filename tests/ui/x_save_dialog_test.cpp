#include "ui/x_save_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "model/host.h"
#include "ui/layout_snapshot.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {

class XSaveDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void CollectsTheOptionsAndExports() {
    auto model = test::Loaded({}, {}, {});
    test::NumberedMotions(*model, 3);
    ScriptedHost host;
    XOptions seen;
    int exports = 0;
    int wait_depth = 0;
    XSaveDialog dialog(*model, host, [&](const XOptions& settings) {
      seen = settings;
      ++exports;
      wait_depth = host.wait_depth;
    });
    QCOMPARE(test::LayoutDifference(dialog), QString());
    dialog.loop_box()->setChecked(true);
    QCOMPARE(dialog.interval_list()->count(), 4);
    QCOMPARE(dialog.interval_list()->item(3)->text(), QString("LOOP"));
    dialog.loop_box()->setChecked(false);
    QCOMPARE(dialog.interval_list()->count(), 3);
    dialog.loop_box()->setChecked(true);

    dialog.value_edit()->setText("5000");
    dialog.SetAll();
    QCOMPARE(dialog.settings().key_intervals[998], 1000u);
    dialog.interval_list()->setCurrentRow(1);
    dialog.value_edit()->setText("0");
    dialog.StoreValue();
    QCOMPARE(dialog.value_edit()->text(), QString("1"));
    dialog.interval_list()->setCurrentRow(0);
    QCOMPARE(dialog.value_edit()->text(), QString("1000"));

    dialog.compressed_radio()->click();
    dialog.skin_box()->setChecked(true);
    dialog.speed_edit()->setText("0");
    dialog.value_edit()->setText("7");
    dialog.accept();
    QCOMPARE(exports, 1);
    QCOMPARE(wait_depth, 1);
    QCOMPARE(seen.format, XFileFormat::kCompressedBinary);
    QCOMPARE(int(seen.skin), 1);
    QCOMPARE(int(seen.loop), 1);
    QCOMPARE(seen.ticks_per_second, 1u);
    QCOMPARE(seen.key_intervals[0], 7u);
    QCOMPARE(seen.key_intervals[1], 1u);
    QVERIFY(host.Texts().empty());  // the exporter reports its own failures
    QCOMPARE(host.wait_depth, 0);
  }

  void OffersOnlyWhatTheModelCanUse() {
    auto model = test::Loaded({}, {}, {});
    test::NumberedMotions(*model, 1);
    ScriptedHost host;
    XSaveDialog single(*model, host, nullptr);
    QVERIFY(!single.speed_edit()->isEnabled());
    QVERIFY(!single.all_set_button()->isEnabled());
    QVERIFY(!single.interval_list()->isEnabled());

    // Anims: no loop box; entries past the interval table show its last slot, unchangeable.
    test::NumberedMotions(*model, 256);
    model->anim_count = 4;
    for (int a = 0; a < 4; ++a) model->anims[a] = Anim{0, 255, 1, "long"};
    XSaveDialog anims(*model, host, nullptr);
    QVERIFY(!anims.loop_box()->isEnabled());
    QCOMPARE(anims.interval_list()->count(), 4 * 257);
    anims.interval_list()->setCurrentRow(1000);
    QCOMPARE(anims.value_edit()->text(), QString("30"));
    QVERIFY(!anims.value_edit()->isEnabled());
    anims.value_edit()->setText("5");
    anims.StoreValue();  // nothing to store, and nothing written past the table
    QCOMPARE(anims.settings().key_intervals[998], 30u);
  }
};

VORNA_UI_TEST(XSaveDialogTest)

}  // namespace vorna

#include "x_save_dialog_test.moc"

#include "ui/anim_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include "model/host.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

QStringList Lines(const QListWidget& list) {
  QStringList lines;
  for (int row = 0; row < list.count(); ++row) lines << list.item(row)->text();
  return lines;
}

}  // namespace

class AnimDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void EditsTheListAndAppliesItOnOk() {
    auto model = test::TreeModel(0, {}, {});
    test::NumberedMotions(*model, 12);
    model->anim_count = 1;
    model->anims[0] = Anim{0, 11, 1, "walk"};
    ScriptedHost host;
    AnimDialog dialog(*model, host);
    QCOMPARE(Lines(*dialog.list()), QStringList({QString::fromUtf8("001 012 walk [ﾙｰﾌﾟ]")}));
    QCOMPARE(dialog.first_box()->count(), 12);
    QCOMPARE(dialog.first_box()->itemText(0), QString("  1"));
    QCOMPARE(dialog.last_box()->currentIndex(), 11);

    dialog.first_box()->setCurrentIndex(2);
    dialog.last_box()->setCurrentIndex(4);
    dialog.name_box()->setText(QString::fromUtf8("腕"));
    dialog.AddEntry();
    dialog.MoveEntry(-1);
    QCOMPARE(Lines(*dialog.list()), QStringList({QString::fromUtf8("003 005 腕 "),
                                                 QString::fromUtf8("001 012 walk [ﾙｰﾌﾟ]")}));
    QCOMPARE(dialog.list()->currentRow(), 0);
    dialog.loop_box()->setChecked(true);
    dialog.EditEntry();
    dialog.list()->setCurrentRow(1);  // a click selects without copying into the controls
    QCOMPARE(dialog.entries().selected, 1);

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model->anim_count, 2);
    QCOMPARE(model->anims[0].name, std::string("\x98\x72"));  // stored as CP932
    QCOMPARE(model->anims[0].first_motion, 2);
    QCOMPARE(model->anims[0].last_motion, 4);
    QCOMPARE(int(model->anims[0].loop), 1);
    QCOMPARE(model->current_anim, 0);
    QVERIFY(host.entries.empty());
  }

  void OkRefusesMoreAnimsThanTheTableHolds() {
    auto model = test::TreeModel(0, {}, {});
    test::NumberedMotions(*model, 2);
    ScriptedHost host;
    AnimDialog dialog(*model, host);
    for (int k = 0; k < 256; ++k) dialog.AddEntry();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(model->anim_count, 0);
    QCOMPARE(host.entries.size(), size_t{1});
  }
};

VORNA_UI_TEST(AnimDialogsTest)

}  // namespace vorna

#include "anim_dialogs_test.moc"

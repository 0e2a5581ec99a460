#include "ui/dialog_widgets.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>
#include <vector>

#include "ui/ui_test_registry.h"

namespace vorna {

class DialogWidgetsTest : public QObject {
  Q_OBJECT

 private slots:

  void UpDownStepsWithinItsRangeAndReportsOnlyChanges() {
    UpDown spin(-2, 3);
    QVERIFY(spin.findChild<QLineEdit*>()->isHidden());
    QSignalSpy reported(&spin, &QSpinBox::valueChanged);
    // The program moving it is no step of the user's, and the range still holds.
    SetQuietly(&spin, -50);
    QCOMPARE(spin.value(), -2);
    QVERIFY(reported.isEmpty());
    const struct {
      int steps;
      int value;
      bool reported;
    } steps[] = {{-1, -2, false}, {1, -1, true}, {10, 3, true}, {1, 3, false}, {-10, -2, true}};
    for (const auto& s : steps) {
      reported.clear();
      spin.stepBy(s.steps);
      QCOMPARE(spin.value(), s.value);
      QCOMPARE(!reported.isEmpty(), s.reported);
    }
    // Only the arrows: far narrower than a spin box that shows its number.
    QSpinBox plain;
    plain.setRange(-2, 3);
    QVERIFY(spin.sizeHint().width() < plain.sizeHint().width());
  }

  void DirectionMenuNamesTheMainMenusItemsWithoutTheirKeys() {
    QMenuBar bar;
    std::vector<int> chosen;
    const DirectionMenu menu =
        AddDirectionMenu(&bar, &bar, [&chosen](int id) { chosen.push_back(id); });
    QCOMPARE(menu.menu->title(), QString("方向(&D)"));
    QCOMPARE(menu.menu->actions().size(), qsizetype(kDirectionCommands.size()));
    const char* const labels[] = {"前(&F)", "後(&B)", "左(&L)", "右(&R)", "上(U)", "下(&D)"};
    for (size_t k = 0; k < kDirectionCommands.size(); ++k) {
      QCOMPARE(menu.items[k], menu.menu->actions()[static_cast<qsizetype>(k)]);
      QCOMPARE(menu.items[k]->text(), QString(labels[k]));
      QCOMPARE(CommandLabel(kDirectionCommands[k]), QString(labels[k]));
    }
    QVERIFY(CommandLabel(-1).isEmpty());
    // One direction at a time, and each item hands its own command on.
    menu.items[4]->trigger();
    menu.items[1]->trigger();
    QVERIFY(menu.items[1]->isChecked() && !menu.items[4]->isChecked());
    QCOMPARE(chosen, std::vector<int>({kCmdViewTop, kCmdViewBack}));
  }
};

VORNA_UI_TEST(DialogWidgetsTest)

}  // namespace vorna

#include "dialog_widgets_test.moc"

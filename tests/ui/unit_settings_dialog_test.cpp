#include "ui/unit_settings_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>
#include <functional>

#include "model/host.h"
#include "ui/dialog_harness.h"
#include "ui/layout_snapshot.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

// A session holding Part 0 under Unit A, Units A > B and C at the top level, with A selected.
struct Harness : test::DialogHarness {
  Harness() {
    Model& model = session.model();
    model = *test::Loaded({"part"}, {"A", "B", "C"}, {1, -1, 1, -1}, 1);
    // Part 0's vertices lie along x at 0, 0.05, 0.6 and 1.5.
    AllocateVertices(model, 4);
    model.parts[1].first_vertex = 4;
    const float xs[] = {0.0f, 0.05f, 0.6f, 1.5f};
    for (int v = 0; v < 4; ++v) model.positions[v] = {xs[v], 0.0f, 0.0f};
    model.parts[0].corner_min = {0.0f, -0.5f, -0.25f};
    model.parts[0].corner_max = {1.5f, 0.5f, 0.25f};
    model.blend.assign(4, 0.75f);
    model.selected_unit = 0;
  }
};

// The user typing into a slot's edit box.
void Type(QLineEdit* edit, const QString& text) {
  edit->clear();
  QTest::keyClicks(edit, text);
}

}  // namespace

class UnitSettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // The page rules and the restoring are the editor's; here the Unit box reaches them, and Cancel
  // puts back every Unit and the view. Radios, tabs and slot spins are the dialog monkey's.
  void OpensOnThePageOfTheAxisTypeAndCancelPutsItAllBack() {
    Harness h;
    h.model().units[2].basis_type = 2;
    UnitSettingsDialog dialog(h.Context());
    QCOMPARE(test::LayoutDifference(dialog), QString());
    QCOMPARE(h.stops, 1);
    QCOMPARE(h.view().part_alpha, 128);

    dialog.unit_box()->setCurrentIndex(1);
    QCOMPARE(h.model().selected_unit, 1);
    QCOMPARE(h.model().forest.Selected(), h.model().NodeOfUnit(1));
    QCOMPARE(h.tree_changes, 1);
    QCOMPARE(dialog.slot(0).edit->text(), QString("0"));
    Type(dialog.slot(0).edit, "90");
    dialog.unit_box()->setCurrentIndex(2);  // C, an XYZ-axes Unit
    QCOMPARE(h.model().motions[0].angle[0][1], 90);

    const int redraws = h.redraws;
    dialog.reject();                   // what Cancel puts back is pinned with the editor's session
    QCOMPARE(h.redraws, redraws + 1);  // the view shows what was put back
    QCOMPARE(h.model().motions[0].angle[0][1], 0);
    QVERIFY(h.menu_changes >= 1);
  }

  void SlotControlsStoreWhatTheirTextShows() {
    enum Action { kTyped, kPage };
    struct Case {
      int slot;
      Action action;
      QString input;
      std::function<float(const Model&)> stored;
      float value;
      QString text;
      int position;
    };
    const Case cases[] = {
        // Typed text stays as typed, unclamped, with the slider at its end.
        {9, kTyped, "400", [](const Model& m) { return float(m.motions[0].angle[2][0]); }, 400.0f,
         "400", 360},
        // A click beside the handle moves a fifth of the range.
        {9, kPage, "", [](const Model& m) { return float(m.motions[0].angle[2][0]); }, 72.0f, "72",
         72},
    };
    for (const Case& c : cases) {
      Harness h;
      UnitSettingsDialog dialog(h.Context());
      const auto& slot = dialog.slot(c.slot);
      if (c.action == kTyped) Type(slot.edit, c.input);
      if (c.action == kPage) slot.slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QCOMPARE(c.stored(h.model()), c.value);
      QCOMPARE(slot.edit->text(), c.text);
      QCOMPARE(slot.slider->value(), c.position);
      QCOMPARE(slot.spin->value(), c.position);
    }
  }

  // What the dialog's menu does to the view, and that OK puts the view back, the dialog monkey's
  // record pins.
  void OkKeepsTheEditAndAClosingAfterItChangesNothing() {
    Harness h;
    UnitSettingsDialog dialog(h.Context());
    dialog.slot(13).slider->setValue(1250);
    dialog.accept();
    QCOMPARE(int(h.model().modified), 1);
    dialog.reject();
    QCOMPARE(h.model().motions[0].translation[0].x, 0.25f);
  }

  void ResetsShowTheirValuesInTheControls() {
    Harness h;
    h.model().motions[0].translation[0] = {0.5f, 0.5f, 0.5f};
    for (int u = 0; u < 2; ++u) h.model().motions[0].scale[u] = {2.0f, 2.0f, 2.0f};
    h.model().units[0].axis_angle = {5, 6, 7};
    UnitSettingsDialog dialog(h.Context());
    dialog.tabs()->setCurrentIndex(1);
    QCOMPARE(dialog.slot(13).edit->text(), QString("0.500"));
    dialog.menu_action(kCmdResetUnitPose)->trigger();
    QCOMPARE(dialog.slot(13).edit->text(), QString("0.000"));
    QCOMPARE(dialog.slot(13).slider->value(), 1000);

    dialog.reset_button()->click();
    QCOMPARE(dialog.slot(17).edit->text(), QString("1.000"));
    QCOMPARE(dialog.slot(17).slider->value(), 1000);
    QCOMPARE(h.model().motions[0].scale[0].z, 1.0f);
    QVERIFY((h.model().units[0].axis_angle == std::array<int32_t, 3>{}));
    QCOMPARE(h.model().motions[0].scale[1].z, 2.0f);  // the button leaves the Units below alone
  }

  void BlendGroupStoresOnlyWhileTicked() {
    Harness h;
    h.model().units[0].blend_param = {0, 7, 0, 100};
    UnitSettingsDialog dialog(h.Context());
    QVERIFY(!dialog.weight_edit()->isEnabled() && !dialog.initialise_button()->isEnabled());
    QCOMPARE(dialog.weight_edit()->text(), QString("7"));
    QCOMPARE(dialog.range_spin()->value(), 100);

    dialog.weight_edit()->setText("10");  // unticked: shown, not stored
    QCOMPARE(h.model().units[0].blend_param[1], 7);
    QCOMPARE(dialog.weight_spin()->value(), 10);
    dialog.blend_change_box()->setChecked(true);
    QVERIFY(dialog.weight_edit()->isEnabled() && dialog.zero_weights_button()->isEnabled());
    QCOMPARE(h.model().units[0].blend_param, (std::array<int32_t, 4>{0, 10, 0, 100}));
    QCOMPARE(h.model().blend[3], 0.0f);  // the weights were recomputed

    dialog.weight_spin()->setValue(11);  // the spin writes its number into the edit
    QCOMPARE(dialog.weight_edit()->text(), QString("11"));
    QCOMPARE(h.model().units[0].blend_param[1], 11);
    dialog.range_spin()->setValue(250);
    QCOMPARE(h.model().units[0].blend_param[3], 250);
    dialog.blend_formula_box()->setCurrentIndex(1);

    // The corners it cycles through are pinned by the core tests; the controls follow.
    dialog.initialise_button()->click();
    QCOMPARE(dialog.weight_edit()->text(), QString("1500"));
    QCOMPARE(dialog.weight_spin()->value(), 1000);
    dialog.initialise_button()->click();
    QCOMPARE(dialog.slot(4).edit->text(), QString("1.500"));

    dialog.zero_weights_button()->click();
    QCOMPARE(h.model().blend[0], 0.0f);

    // Showing another Unit clears the box before its settings are written into the controls.
    h.model().blend.assign(4, 0.75f);
    h.model().parent[0] = h.model().NodeOfUnit(1);
    dialog.unit_box()->setCurrentIndex(1);
    QVERIFY(!dialog.blend_change_box()->isChecked() && !dialog.weight_edit()->isEnabled());
    QCOMPARE(dialog.weight_edit()->text(), QString("0"));
    QCOMPARE(h.model().blend[3], 0.75f);
  }

  void ShowingValuesDoesNotRoundThemToTheirText() {
    Harness h;
    h.model().units[0].basis_position = {0.12345f, 0.0f, 0.0f};
    h.model().motions[0].translation[0] = {0.0004f, 0.0f, 0.0f};
    UnitSettingsDialog dialog(h.Context());
    QCOMPARE(dialog.slot(4).edit->text(), QString("0.123"));
    for (int tab : {1, 2, 0}) dialog.tabs()->setCurrentIndex(tab);
    dialog.accept();
    QCOMPARE(h.model().units[0].basis_position.x, 0.12345f);
    QCOMPARE(h.model().motions[0].translation[0].x, 0.0004f);
  }
};

VORNA_UI_TEST(UnitSettingsDialogTest)

}  // namespace vorna

#include "unit_settings_dialog_test.moc"

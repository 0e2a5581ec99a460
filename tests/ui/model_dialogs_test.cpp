#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "editor/editor_session.h"
#include "model/bounds.h"
#include "model/model_edits.h"
#include "ui/dialog_context.h"
#include "ui/dialog_harness.h"
#include "ui/image_file_dialogs.h"
#include "ui/layout_snapshot.h"
#include "ui/rotate_dialog.h"
#include "ui/size_dialog.h"
#include "ui/texture_dialog.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

// Part "box" spanning (0, 0, 0)..(2, 3, 1) in two vertices, and one Unit at (1, 0, 0).
void MakeBox(Model& model) {
  Reset(model);
  AllocateParts(model, 1);
  AllocateVertices(model, 2);
  model.positions = {{0, 0, 0}, {2, 3, 1}};
  model.normals = {{0, 0, 1}, {0, 1, 0}};
  model.parts[1].first_vertex = 2;
  model.node_count = 2;
  model.node_name[0] = "box";
  model.node_name[1] = "joint";
  model.units[0].basis_position = {1, 0, 0};
  model.units[0].axis = {1, 0, 0};
  model.model_file_name = "box.vrn";
  RecomputeBounds(model);
}

bool Near(Vec3 a, Vec3 b) {
  return std::abs(a.x - b.x) < 1e-5f && std::abs(a.y - b.y) < 1e-5f && std::abs(a.z - b.z) < 1e-5f;
}

}  // namespace

class ModelDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void SizeDialogProposesTheFitAndAppliesIt() {
    test::DialogHarness f;
    MakeBox(f.model());
    SizeDialog dialog(f.Context());
    QCOMPARE(test::LayoutDifference(dialog), QString());
    QCOMPARE(f.stops, 1);
    // The proposals are the editor's (pinned there).
    const QString before = dialog.information_box()->toPlainText();

    // The report follows the boxes only on "再表示".
    dialog.scale_box(0)->setText("0");  // reads as 1
    QCOMPARE(dialog.information_box()->toPlainText(), before);
    dialog.show_again_button()->click();
    QVERIFY(dialog.information_box()->toPlainText().contains(
        "[TOTAL MAX]\nx: 1.000000\ny: 0.600000\nz: 0.200000"));

    dialog.scale_box(0)->setText("0.4");
    dialog.accept();
    const Model& model = f.model();
    QVERIFY(Near(model.total_corner_max, {0.4f, 0.6f, 0.2f}));  // the fit, pinned by the editor
    QCOMPARE(int(model.modified), 1);

    SizeDialog cancelled(f.Context());
    cancelled.scale_box(1)->setText("5");
    cancelled.reject();
    QVERIFY(Near(model.total_corner_max, {0.4f, 0.6f, 0.2f}));
  }

  // The rules are the editor's. The tabs, the menus they grey and the sliders are the dialog
  // monkey's record.
  void TextureDialogOpensAsLaidOutAndItsItemTurnsThePartsSeeThrough() {
    test::DialogHarness f;
    MakeBox(f.model());
    OffsetSliderScales scales;
    TextureDialog dialog(f.Context(), scales);
    QCOMPARE(test::LayoutDifference(dialog), QString());
    const int alpha = f.view().part_alpha;
    dialog.action(kCmdDialogTranslucent)->trigger();  // the menu item turns the Parts see-through
    QVERIFY(f.view().part_alpha != alpha);
    dialog.action(kCmdDialogTranslucent)->trigger();  // and back
    QCOMPARE(f.view().part_alpha, alpha);
  }

  void RotateSliderFocusesItsTextAndClosingPutsTheTurnsBack() {
    test::DialogHarness f;
    MakeBox(f.model());
    RotateDialog dialog(f.Context());
    QCOMPARE(test::LayoutDifference(dialog), QString());
    QVERIFY(dialog.opened());
    QCOMPARE(f.stops, 1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // A slider move puts the focus into the edit box with its text selected. How slider, arrows
    // and text follow each other the dialog monkey's record of the controls pins.
    dialog.slider(0)->setValue(90);
    QVERIFY(dialog.edit(0)->hasFocus());
    QCOMPARE(dialog.edit(0)->selectedText(), QString("90"));
    // Cancel hands back to the editor's session, which puts every turn back (pinned there).
    dialog.reject();
    {  // closed by its window, neither OK nor Cancel: put back all the same
      RotateDialog closed(f.Context());
      closed.slider(1)->setValue(90);
    }
    Model original;
    MakeBox(original);
    QVERIFY(Near(f.model().positions[1], original.positions[1]));
    QCOMPARE(int(f.model().modified), 0);
  }

  void ExportsTheViewWithTheChosenTypesEncoder() {
    test::DialogHarness f;
    MakeBox(f.model());
    QVERIFY(f.session.SizeView(64, 48));
    QVERIFY(f.session.DrawFrame());
    QTemporaryDir dir;
    const RenderContext& render = f.session.render();
    QVERIFY(SaveChosenViewImage({dir.filePath("pose").toStdString(), 4}, render, f.host));
    QFile file(dir.filePath("pose.png"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(8).startsWith("\x89PNG"));
    QVERIFY(f.host.entries.empty());
    QVERIFY(!SaveChosenViewImage({dir.filePath("missing/pose").toStdString(), 1}, render, f.host));
    QCOMPARE(f.host.Texts(), std::vector<std::string>({"保存できません"}));
  }
};

VORNA_UI_TEST(ModelDialogsTest)

}  // namespace vorna

#include "model_dialogs_test.moc"

#include "ui/texture_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include "editor/open_flow.h"
#include "images/encode.h"
#include "model/host.h"
#include "support/test_support.h"
#include "ui/dialog_harness.h"
#include "ui/text_codec.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

// The sample model with a real texture image beside a copy of it.
struct Fixture : test::DialogHarness {
  Fixture() {
    const std::string model_path = dir.File("walker.vrn");
    test::WriteFile(model_path, test::ReadFile(VORNA_SOURCE_DIR "/samples/walker.vrn"));
    std::vector<uint8_t> bmp;
    EncodeBmp(Image{2, 2, std::vector<uint8_t>(16, 200)}, &bmp);
    test::WriteFile(dir.File("skin.bmp"), std::string(bmp.begin(), bmp.end()));
    ok = Load(model(), model_path, host).ok;
    model().forest.Select(1);
    view().texture_colour_on = true;
    view().view_yaw = 90.0f;
  }

  test::TempDir dir;
  OffsetSliderScales scales;
  bool ok = false;
};

void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

}  // namespace

class TextureDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensOnTheSelectedPartAndRoundTripsTheRows() {
    Fixture f;
    QVERIFY(f.ok);
    TextureDialog dialog(f.Context(), f.scales);
    QCOMPARE(f.stops, 1);
    QCOMPARE(dialog.part_box()->currentIndex(), 1);
    QCOMPARE(dialog.windowTitle(),
             QString::fromUtf8("ﾃｸｽﾁｬの設定 - ") + FromCp932(f.model().node_name[1]));
    QCOMPARE(f.session.view().texture_dialog_page, 1);

    const TextureDialog::Row& scale = dialog.texture_row(TextureRow::kScaleU);
    scale.slider->setValue(50);
    QCOMPARE(scale.edit->text(), QString("0.50"));
    QCOMPARE(scale.spin->value(), 50);
    QCOMPARE(dialog.session().settings().map_scale_u, 0.5f);
    Type(scale.edit, "1.25");
    QCOMPARE(scale.slider->value(), 125);
    QCOMPARE(scale.edit->text(), QString("1.25"));
    scale.spin->stepBy(1);
    QCOMPARE(scale.slider->value(), 126);
    QCOMPARE(scale.edit->text(), QString("1.26"));
    Type(scale.edit, "x");  // not a number: 0
    QCOMPARE(scale.slider->value(), 0);

    // The offset rows take their range from the Part's size.
    Type(scale.edit, "1");
    const TextureDialog::Row& offset = dialog.texture_row(TextureRow::kOffsetU);
    const int base = offset.slider->tickInterval();
    QCOMPARE(offset.slider->maximum(), 2 * base);
    Type(offset.edit, "0");
    QCOMPARE(offset.slider->value(), base);
  }

  void MaterialPageFollowsTheColourKind() {
    Fixture f;
    TextureDialog dialog(f.Context(), f.scales);
    dialog.tabs()->setCurrentIndex(1);
    QCOMPARE(f.session.view().texture_dialog_page, 2);
    QVERIFY(!dialog.action(kCmdApplyMapping)->isEnabled());
    const TextureDialog::Row& alpha = dialog.material_row(MaterialRow::kAlpha);
    const TextureDialog::Row& strength = dialog.material_row(MaterialRow::kStrength);
    QVERIFY(alpha.slider->isEnabled());
    QVERIFY(!strength.slider->isEnabled());
    dialog.kind_box()->setCurrentIndex(1);
    QVERIFY(!alpha.slider->isEnabled());
    QVERIFY(strength.slider->isEnabled());
    QCOMPARE(strength.edit->text(),
             QString::number(static_cast<int>(f.model().parts[1].material.power)));
    Type(dialog.material_row(MaterialRow::kRed).edit, "0.5");
    QCOMPARE(f.model().parts[1].material.specular.r, 0.5f);
    QCOMPARE(dialog.material_row(MaterialRow::kRed).slider->value(), 50);
    dialog.tabs()->setCurrentIndex(0);
    QVERIFY(dialog.action(kCmdApplyMapping)->isEnabled());
  }

  // What Cancel puts back is pinned by the editor's tests; here that the dialog's Cancel runs it.
  void CancelRestoresThePartsAndTheView() {
    Fixture f;
    Model& model = f.model();
    const std::vector<float> tex_u = model.tex_u;
    TextureDialog dialog(f.Context(), f.scales);
    model.parts[1].texture_file = "skin.bmp";  // as the image dialog leaves it
    dialog.action(kCmdMapWhole)->trigger();
    QVERIFY(model.tex_u != tex_u);
    dialog.action(kCmdViewTop)->trigger();
    dialog.reject();
    QCOMPARE(model.tex_u, tex_u);
    QCOMPARE(model.texture_all, uint8_t{0});
    QCOMPARE(f.session.view().view_yaw, 90.0f);
    QCOMPARE(f.thumbnails, 0);
    QCOMPARE(f.menu_changes, 1);
  }

  void OkKeepsTheEdits() {
    Fixture f;
    Model& model = f.model();
    TextureDialog dialog(f.Context(), f.scales);
    dialog.part_box()->setCurrentIndex(2);
    QCOMPARE(f.tree_changes, 1);
    QCOMPARE(model.forest.Selected(), 2);
    QCOMPARE(dialog.windowTitle(),
             QString::fromUtf8("ﾃｸｽﾁｬの設定 - ") + FromCp932(model.node_name[2]));
    Type(dialog.texture_row(TextureRow::kScaleV).edit, "2");
    dialog.action(kCmdViewLeft)->trigger();
    model.parts[2].texture_file = "skin.bmp";  // as the image dialog leaves it
    dialog.action(kCmdMapWhole)->trigger();
    QVERIFY(!dialog.texture_row(TextureRow::kScaleV).slider->isEnabled());
    dialog.tabs()->setCurrentIndex(1);
    Type(dialog.material_row(MaterialRow::kBlue).edit, "0.25");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model.modified, uint8_t{1});
    QCOMPARE(model.texture_all, uint8_t{1});
    QCOMPARE(f.thumbnails, 1);
    QCOMPARE(f.session.view().view_yaw, 90.0f);
    QCOMPARE(f.session.view().texture_dialog_page, 0);
    dialog.reject();  // closing twice changes nothing
    const Part& part = model.parts[2];
    QCOMPARE(part.texture_map_type, 2);
    QCOMPARE(part.texture_map_param[1], 2.0f);
    QCOMPARE(part.material.diffuse.b, 0.25f);
  }
};

VORNA_UI_TEST(TextureDialogTest)

}  // namespace vorna

#include "texture_dialog_test.moc"

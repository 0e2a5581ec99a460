// Not a test (see tour_support.h): pictures of the texture and colour dialog on each page, with
// its edit menu open, and of the view while it is open (the placement preview, the applied
// texture, the material look).
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QtTest>

#include "tour_support.h"
#include "ui/texture_dialog.h"
#include "ui/unit_tree.h"

namespace vorna {
namespace {

// 64 x 64 checks in red and cream with a dark corner, so that the image's orientation shows.
std::shared_ptr<const Texture> Checks() {
  Image image;
  image.width = image.height = 64;
  image.rgba.resize(64 * 64 * 4);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = image.Pixel(x, y);
      const bool light = ((x / 16) + (y / 16)) % 2 == 0;
      const bool corner = x < 16 && y < 16;
      p[0] = corner ? 30 : light ? 250 : 200;
      p[1] = corner ? 30 : light ? 240 : 40;
      p[2] = corner ? 120 : light ? 210 : 40;
      p[3] = 255;
    }
  }
  return Texture::FromImage(std::move(image));
}

class TextureDialogTour : public test::TourBase {
  Q_OBJECT

 private slots:
  void Tour() {
    QVERIFY(ShowWindow());
    QVERIFY(OpenSample());
    const DialogContext context = window_->MakeDialogContext();
    Model& model = context.model();
    constexpr int kTorso = 1;
    Part& torso = model.parts[kTorso];
    torso.texture_file = "checks.png";
    torso.texture = Checks();
    torso.texture_rect = {0, 0, 64, 64};
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(kTorso));

    OffsetSliderScales scales;
    TextureDialog dialog(context, scales, window_.get());
    dialog.show();
    // Over the tree, so that the view stays in sight.
    dialog.move(ScreenWidth() - dialog.width() - 10, 40);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Shoot("texture-01-texture-page");

    dialog.texture_row(TextureRow::kScaleU).slider->setValue(150);
    dialog.texture_row(TextureRow::kOffsetV)
        .slider->setValue(dialog.texture_row(TextureRow::kOffsetV).slider->value() + 40);
    Shoot("texture-02-placement-moved");

    QMenu* edit = dialog.menu_bar()->actions().at(1)->menu();
    dialog.menu_bar()->setActiveAction(edit->menuAction());
    Shoot("texture-03-edit-menu");
    edit->hide();
    dialog.menu_bar()->setActiveAction(nullptr);

    dialog.action(kCmdApplyMapping)->trigger();
    Shoot("texture-04-applied");
    dialog.action(kCmdViewLeft)->trigger();
    dialog.action(kCmdWrapMapping)->trigger();
    Shoot("texture-05-wrap-left");

    dialog.tabs()->setCurrentIndex(1);
    dialog.material_row(MaterialRow::kRed).slider->setValue(20);
    Shoot("texture-06-material-page");
    dialog.kind_box()->setCurrentIndex(1);
    Shoot("texture-07-material-specular");

    dialog.reject();
    Shoot("texture-08-after-cancel");
  }
};

}  // namespace

VORNA_TOUR(TextureDialogTour)

}  // namespace vorna

#include "texture_dialog_tour.moc"

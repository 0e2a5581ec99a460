// Not a test: pictures of the texture and colour dialog on each page, with its edit menu open,
// and of the view while it is open (the placement preview, the applied texture, the material
// look). It runs only when VORNA_SCREENSHOT_DIR names the folder for the pictures.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QtTest>

#include "model/host.h"
#include "ui/main_window.h"
#include "ui/texture_dialog.h"
#include "ui/ui_test_registry.h"
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

class TextureDialogTour : public QObject {
  Q_OBJECT

 private:
  QString dir_;
  ScriptedHost host_;

  void Shoot(const QString& name) {
    QTest::qWait(300);
    QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(dir_ + "/" + name + ".png"));
  }

 private slots:
  void initTestCase() {
    dir_ = qEnvironmentVariable("VORNA_SCREENSHOT_DIR");
    QDir().mkpath(dir_);
  }

  void Tour() {
    MainWindow window(&host_);
    window.move(0, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn")));
    const DialogContext context = window.MakeDialogContext();
    Model& model = context.model();
    constexpr int kTorso = 1;
    Part& torso = model.parts[kTorso];
    torso.texture_file = "checks.png";
    torso.texture = Checks();
    torso.texture_rect = {0, 0, 64, 64};
    window.unit_tree()->setCurrentItem(window.unit_tree()->ItemOfNode(kTorso));

    OffsetSliderScales scales;
    TextureDialog dialog(context, scales, &window);
    dialog.show();
    // Over the tree, so that the view stays in sight.
    dialog.move(QGuiApplication::primaryScreen()->geometry().width() - dialog.width() - 10, 40);
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

    dialog.action(kMenuApplyMapping)->trigger();
    Shoot("texture-04-applied");
    dialog.action(kCmdViewLeft)->trigger();
    dialog.action(kMenuWrapMapping)->trigger();
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

[[maybe_unused]] static const int kTextureDialogTour =
    qEnvironmentVariableIsEmpty("VORNA_SCREENSHOT_DIR")
        ? 0
        : ::vorna::test::RegisterUiTest("TextureDialogTour", [] { return new TextureDialogTour; });

}  // namespace vorna

#include "texture_dialog_tour.moc"

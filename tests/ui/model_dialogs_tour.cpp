// Not a test: pictures of the model dialogs and the file dialogs of the texture dialog's menu
// over the editor with the sample model, and of the view while each is open. It runs only when
// VORNA_SCREENSHOT_DIR names the folder for the pictures.
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "model/host.h"
#include "ui/draw_order_dialog.h"
#include "ui/image_file_dialogs.h"
#include "ui/main_window.h"
#include "ui/rotate_dialog.h"
#include "ui/size_dialog.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

class ModelDialogsTour : public QObject {
  Q_OBJECT

 private:
  QString dir_;
  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;

  void Shoot(const QString& name) {
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen->grabWindow(0).save(dir_ + "/" + name + ".png"));
  }

  // Shows a dialog beside the window's view, runs `while_open` once it is up, takes its picture
  // and closes it.
  void ShootDialog(QDialog* dialog, const QString& name,
                   const std::function<void()>& while_open = {}) {
    QTimer::singleShot(500, dialog, [this, dialog, name, while_open] {
      dialog->move(window_->geometry().right() - dialog->width() - 10, 120);
      if (while_open) while_open();
      Shoot(name);
      dialog->reject();
    });
    dialog->exec();
  }

 private slots:
  void initTestCase() {
    dir_ = qEnvironmentVariable("VORNA_SCREENSHOT_DIR");
    QDir().mkpath(dir_);
  }

  void Tour() {
    window_ = std::make_unique<MainWindow>(&host_);
    window_->move(0, 0);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QVERIFY(window_->OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn")));

    SizeDialog size(window_->MakeDialogContext(), window_.get());
    ShootDialog(&size, "model-01-size", [&size] {
      size.scale_box(0)->setText("2");
      size.ShowAgain();
    });

    RotateDialog rotate(window_->MakeDialogContext(), window_.get());
    ShootDialog(&rotate, "model-02-rotate-preview", [&rotate] {
      rotate.edit(0)->setText("30");
      rotate.slider(1)->setValue(60);
    });
    Shoot("model-03-rotate-cancelled");

    DrawOrderDialog order(window_->MakeDialogContext(), window_.get());
    ShootDialog(&order, "model-04-draw-order", [&order] {
      order.list()->setCurrentItem(order.list()->topLevelItem(2));
      order.MoveUp();
    });

    // A folder of a few files: the first filter shows the images only.
    QTemporaryDir images;
    for (const char* name : {"skin.png", "face.bmp", "cloth.jpg", "notes.txt"}) {
      QFile file(images.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    std::unique_ptr<QFileDialog> open(CreateTextureOpenDialog(window_.get(), images.path()));
    ShootDialog(open.get(), "model-05-texture-open");
    std::unique_ptr<QFileDialog> save(CreateImageExportDialog(window_.get()));
    save->setDirectory(images.path());
    ShootDialog(save.get(), "model-06-image-export", [&save] {
      save->selectNameFilter(save->nameFilters()[3]);
      emit save->filterSelected(save->nameFilters()[3]);
    });
  }

  void cleanupTestCase() {
    if (window_ != nullptr) window_.reset();
  }
};

}  // namespace

// Registered only when pictures are asked for: a skipped class would stop Qt Test from running
// the classes after it.
[[maybe_unused]] static const int kModelDialogsTour =
    qEnvironmentVariableIsEmpty("VORNA_SCREENSHOT_DIR")
        ? 0
        : ::vorna::test::RegisterUiTest("ModelDialogsTour", [] { return new ModelDialogsTour; });

}  // namespace vorna

#include "model_dialogs_tour.moc"

// Not a test (see tour_support.h): pictures of the model dialogs and the file dialogs of the
// texture dialog's menu over the editor with the sample model, and of the view while each is open.
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "tour_support.h"
#include "ui/dialog_placement.h"
#include "ui/draw_order_dialog.h"
#include "ui/image_file_dialogs.h"
#include "ui/rotate_dialog.h"
#include "ui/size_dialog.h"

namespace vorna {
namespace {

class ModelDialogsTour : public test::TourBase {
  Q_OBJECT

 private:
  // Shows a dialog beside the window's view, runs `prepare` once it is up, takes its picture
  // and closes it.
  void ShootBesideView(QDialog* dialog, const QString& name,
                       const std::function<void()>& prepare = {}) {
    ShootDialog(dialog, name, [this, dialog, prepare] {
      dialog->move(window_->geometry().right() - dialog->width() - 10, 120);
      if (prepare) prepare();
    });
  }

 private slots:
  void Tour() {
    QVERIFY(ShowWindow());
    QVERIFY(OpenSample());

    // Beside the window as the editor places it: the view shows the preview whole.
    SizeDialog size(window_->MakeDialogContext(), window_.get());
    ShootDialog(&size, "model-01-size", [this, &size] {
      PlaceBesideWindow(size, *window_);
      size.scale_box(0)->setText("2");
      size.ShowAgain();
    });

    RotateDialog rotate(window_->MakeDialogContext(), window_.get());
    ShootBesideView(&rotate, "model-02-rotate-preview", [&rotate] {
      rotate.edit(0)->setText("30");
      rotate.slider(1)->setValue(60);
    });
    Shoot("model-03-rotate-cancelled");

    DrawOrderDialog order(window_->MakeDialogContext(), window_.get());
    ShootBesideView(&order, "model-04-draw-order", [&order] {
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
    ShootBesideView(open.get(), "model-05-texture-open");
    std::unique_ptr<QFileDialog> save(CreateImageExportDialog(window_.get(), images.path()));
    ShootBesideView(save.get(), "model-06-image-export", [&save] {
      save->selectNameFilter(save->nameFilters()[3]);
      emit save->filterSelected(save->nameFilters()[3]);
    });
  }
};

}  // namespace

VORNA_TOUR(ModelDialogsTour)

}  // namespace vorna

#include "model_dialogs_tour.moc"

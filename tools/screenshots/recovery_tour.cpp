// Not a test (see tour_support.h): the question an editor asks when it finds the copy of an
// earlier editor's unsaved edits, and the window once they are restored.
#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>
#include <ctime>
#include <memory>

#include "editor/recovery.h"
#include "formats/registry.h"
#include "model/model_edits.h"
#include "tour_support.h"
#include "ui/recovery_keeper.h"

namespace vorna {
namespace {

class RecoveryTour : public test::TourBase {
  Q_OBJECT

 private slots:
  void Tour() {
    // What an editor killed in the middle of its work leaves behind: the flipped sample.
    auto edited = std::make_unique<Model>();
    ScriptedHost quiet;
    const std::string sample = VORNA_SOURCE_DIR "/samples/walker.vrn";
    QVERIFY(ReadModelFile(*edited, sample, quiet, {}, nullptr));
    FlipCulling(*edited, quiet);
    edited->model_dir = VORNA_SOURCE_DIR "/samples/";
    edited->model_file_name = "walker.vrn";
    std::string why;
    QVERIFY2(WriteRecoveryCopy(DefaultRecoveryCopyPath(), *edited, std::time(nullptr), &why),
             why.c_str());

    // The editor's own message boxes this time: the question is what is pictured.
    MainWindow window;
    window.move(0, 0);
    QTimer::singleShot(1500, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      Shoot("recovery-01-question");
      for (QAbstractButton* button : box->buttons()) {
        if (button->text() == QStringLiteral("復元")) button->click();
      }
    });
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.session().model_loaded(), 5000);
    Shoot("recovery-02-restored");
  }
};

}  // namespace

VORNA_TOUR(RecoveryTour)

}  // namespace vorna

#include "recovery_tour.moc"

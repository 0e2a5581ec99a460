// Not a test (see tour_support.h): the free camera after an orbit, zoom and perspective, the weight
// display of a selected Unit, and an editing dialog opened beside the window.
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include "tour_support.h"
#include "ui/unit_tree.h"

namespace vorna {
namespace {

class CameraTour : public test::TourBase {
  Q_OBJECT

 private:
  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QWidget* view = window_->view_window();
    QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
  }

  void Orbit(QPointF by) {
    const QPointF centre(window_->view_window()->width() / 2.0,
                         window_->view_window()->height() / 2.0);
    Mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton);
    Mouse(QEvent::MouseMove, centre + by, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, centre + by, Qt::NoButton);
  }

 private slots:
  void Tour() {
    QVERIFY(ShowWindow());
    QVERIFY(OpenSample());
    Orbit(QPointF(90, 40));
    Shoot("camera-01-orbit");
    QWidget* view = window_->view_window();
    const QPointF centre(view->width() / 2.0, view->height() / 2.0);
    QWheelEvent wheel(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    window_->RunCommand(kCmdPerspective);
    Shoot("camera-02-zoom-perspective");
    window_->RunCommand(kCmdPerspective);
    window_->RunCommand(kCmdFixedView);

    const Model& model = window_->session().model();
    const int unit = UnitNamed("thigh_l");
    QVERIFY(unit >= 0);
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(model.NodeOfUnit(unit)));
    window_->RunCommand(kCmdWeightDisplay);
    Shoot("camera-03-weights-front");
    Orbit(QPointF(-120, 20));
    Shoot("camera-04-weights-orbit");
    window_->RunCommand(kCmdWeightDisplay);
    window_->RunCommand(kCmdFixedView);

    QTimer::singleShot(600, this, [this] {
      Shoot("camera-05-dialog-beside");
      if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    window_->RunCommand(kCmdEditUnit);
  }
};

}  // namespace

VORNA_TOUR(CameraTour)

}  // namespace vorna

#include "camera_tour.moc"

// The mouse gestures of the view, Home back to the fixed view's very pixels, the status bar and
// where editing dialogs open.
#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWheelEvent>
#include <QtTest>
#include <memory>
#include <vector>

#include "model/host.h"
#include "ui/dialog_placement.h"
#include "ui/main_window.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

const QString kWalker = QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn");

class CameraGestureTest : public QObject {
  Q_OBJECT

 private:
  ScriptedHost host_;
  std::unique_ptr<MainWindow> window_;

  ViewWindow* view() { return window_->view_window(); }
  const ViewState& state() { return window_->session().view(); }

  // The frame on screen after every pending redraw.
  std::vector<uint8_t> Frame() {
    view()->repaint();
    return window_->session().render().device->back_buffer().rgba;
  }

  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, view()->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(view(), &event);
  }
  void Drag(Qt::MouseButton button, QPointF from, QPointF to,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, from, button, modifiers);
    Mouse(QEvent::MouseMove, (from + to) / 2, button, modifiers);
    Mouse(QEvent::MouseMove, to, button, modifiers);
    Mouse(QEvent::MouseButtonRelease, to, button, modifiers);
  }
  QString Status() { return window_->statusBar()->findChild<QLabel*>()->text(); }

 private slots:
  void init() {
    host_ = ScriptedHost();
    window_ = std::make_unique<MainWindow>(&host_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTRY_VERIFY(view()->device_ready());
    QVERIFY(window_->OpenPath(kWalker));
  }
  void cleanup() { window_.reset(); }

  void EachGestureMovesTheCameraAndHomeGivesTheFixedViewBack() {
    const std::vector<uint8_t> fixed = Frame();
    const QPointF centre(view()->width() / 2.0, view()->height() / 2.0);

    Drag(Qt::LeftButton, centre, centre + QPointF(40, 10));
    const FreeCamera orbited = state().free_camera;
    QVERIFY(orbited.active);
    QCOMPARE(orbited.yaw, 16.0f);
    QCOMPARE(orbited.elevation, 4.0f);
    QVERIFY(Frame() != fixed);
    QVERIFY(!window_->action(kCmdViewFront)->isChecked());

    // A double click on the model puts the point under it in the centre; the background is no
    // point.
    const Vec3 target = state().free_camera.target;
    Mouse(QEvent::MouseButtonDblClick, QPointF(2, 2), Qt::LeftButton);
    QCOMPARE(state().free_camera.target, target);
    Mouse(QEvent::MouseButtonDblClick, centre + QPointF(0, 10), Qt::LeftButton);
    QVERIFY(state().free_camera.target != target);

    // Panning moves the target, not the angles, with either button.
    for (const auto& [button, modifiers] :
         {std::pair{Qt::MiddleButton, Qt::KeyboardModifiers(Qt::NoModifier)},
          std::pair{Qt::LeftButton, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
      const FreeCamera before = state().free_camera;
      Drag(button, centre, centre + QPointF(-30, 0), modifiers);
      QCOMPARE(state().free_camera.yaw, before.yaw);
      QVERIFY(Length(state().free_camera.target - before.target) > 0.05f);
    }

    // Two notches of the wheel come closer.
    const float distance = state().free_camera.distance;
    QWheelEvent wheel(centre, view()->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &wheel);
    QVERIFY(state().free_camera.distance < distance * 0.8f);

    QCOMPARE(window_->action(kCmdFixedView)->shortcut(), QKeySequence(Qt::Key_Home));
    window_->action(kCmdFixedView)->trigger();
    QVERIFY(!state().free_camera.active);
    QVERIFY(window_->action(kCmdViewFront)->isChecked());
    QVERIFY(Frame() == fixed);

    // A direction item also leaves the free camera.
    Drag(Qt::LeftButton, centre, centre + QPointF(10, 0));
    window_->RunCommand(kCmdViewBack);
    QVERIFY(!state().free_camera.active);
    window_->RunCommand(kCmdViewFront);
    QVERIFY(Frame() == fixed);
  }

  void StatusBarNamesMotionNodeCountsAndCamera() {
    const Model& model = window_->session().model();
    const QString counts =
        QStringLiteral("頂点 %1  面 %2").arg(model.total_vertex_count).arg(model.total_face_count);
    QCOMPARE(
        Status(),
        QStringLiteral("ﾓｰｼｮﾝ 5/5   |   ｱﾆﾒ 1/2: walk   |   %1   |   前  平行投影").arg(counts));
    window_->unit_tree()->setCurrentItem(window_->unit_tree()->ItemOfNode(0));
    QVERIFY(Status().contains(
        QStringLiteral("   |   ﾉｰﾄﾞ: %1   |   ").arg(QString::fromStdString(model.node_name[0]))));
    QVERIFY(Status().endsWith(QStringLiteral("前  平行投影")));
    window_->RunCommand(kCmdPerspective);
    QVERIFY(Status().endsWith(QStringLiteral("前  透視投影")));
    const QPointF centre(view()->width() / 2.0, view()->height() / 2.0);
    Drag(Qt::LeftButton, centre, centre + QPointF(5, 0));
    QVERIFY(Status().endsWith(QStringLiteral("自由視点  透視投影")));
    window_->RunCommand(kCmdClose);
    QVERIFY(Status().isEmpty());
  }

  void DialogsOpenBesideTheWindow() {
    const QRect screen(0, 0, 1920, 1080);
    const QSize dialog(400, 300);
    const struct {
      QRect window;
      QPoint at;
    } cases[] = {
        {{100, 100, 800, 600}, {900, 100}},   // room on the right
        {{1000, 100, 800, 600}, {600, 100}},  // only on the left
        {{200, 900, 1600, 150}, {0, 780}},    // neither: the wider side, kept on screen
    };
    for (const auto& c : cases) QCOMPARE(BesideWindow(c.window, dialog, screen), c.at);
  }
};

}  // namespace

VORNA_UI_TEST(CameraGestureTest)

}  // namespace vorna

#include "camera_test.moc"

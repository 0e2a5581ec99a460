#include "ui/view_window.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cmath>

namespace vorna {
namespace {

constexpr float kOrbitDegreesPerPixel = 0.4f;
// One notch of the wheel (120 eighths of a degree) comes this much closer.
constexpr float kZoomPerNotch = 0.85f;

}  // namespace

ViewWindow::ViewWindow(EditorSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  setMinimumSize(1, 1);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // The tick draws the Motion it steps to, so the paint only has to show it. A redraw asked
    // for before the tick is covered by the tick's frame when it drew one.
    const uint64_t before = session_.render().frames_drawn;
    session_.PlaybackTick();
    if (session_.render().frames_drawn != before) stale_ = false;
    update();
    emit ticked();
  });
}

void ViewWindow::RequestRedraw() {
  stale_ = true;
  update();
}

void ViewWindow::StartTimer() { timer_.start(session_.view().play_period_ms); }

void ViewWindow::StopTimer() { timer_.stop(); }

void ViewWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QSize size = event->size();
  if (size.width() <= 0 || size.height() <= 0) return;
  const bool first = session_.render().device == nullptr;
  const bool ok = session_.SizeView(size.width(), size.height());
  if (first && !tried_device_) {
    tried_device_ = true;
    emit deviceCreated(ok);
  } else if (first && ok) {
    emit deviceCreated(true);
  }
  RequestRedraw();
}

void ViewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (stale_) {
    // While playing, the tick has already evaluated the pose the frame draws.
    session_.DrawFrame();
    stale_ = false;
  }
  if (!device_ready()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  const Image& buffer = session_.render().device->back_buffer();
  const QImage image(buffer.rgba.data(), buffer.width, buffer.height, buffer.width * 4,
                     QImage::Format_RGBA8888);
  painter.drawImage(0, 0, image);
}

}  // namespace vorna

namespace vorna {

bool ViewWindow::CanSteer() const { return device_ready() && session_.model_loaded(); }

FreeCamera& ViewWindow::SteeredCamera() {
  ViewState& view = session_.view();
  view.free_camera = CurrentFreeCamera(session_.model(), view);
  return view.free_camera;
}

void ViewWindow::CameraMoved() {
  RequestRedraw();
  emit cameraChanged();
}

void ViewWindow::mousePressEvent(QMouseEvent* event) {
  if (!CanSteer()) return QWidget::mousePressEvent(event);
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  if (event->button() == Qt::LeftButton) {
    drag_ = shift ? Drag::kPan : Drag::kOrbit;
  } else if (event->button() == Qt::MiddleButton) {
    drag_ = Drag::kPan;
  } else {
    return QWidget::mousePressEvent(event);
  }
  drag_last_ = event->position();
  event->accept();
}

void ViewWindow::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::kNone || !CanSteer()) return QWidget::mouseMoveEvent(event);
  const QPointF delta = event->position() - drag_last_;
  drag_last_ = event->position();
  if (delta.isNull()) return;
  FreeCamera& camera = SteeredCamera();
  if (drag_ == Drag::kOrbit) {
    OrbitCamera(camera, static_cast<float>(delta.x()) * kOrbitDegreesPerPixel,
                static_cast<float>(delta.y()) * kOrbitDegreesPerPixel);
  } else {
    PanCamera(camera, UsesPerspective(session_.view()), static_cast<float>(delta.x()),
              static_cast<float>(delta.y()), width(), height());
  }
  CameraMoved();
}

void ViewWindow::mouseReleaseEvent(QMouseEvent* event) {
  drag_ = Drag::kNone;
  QWidget::mouseReleaseEvent(event);
}

void ViewWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!CanSteer() || event->button() != Qt::LeftButton) {
    return QWidget::mouseDoubleClickEvent(event);
  }
  // The pick reads the frame on screen; a pending redraw would not have changed what is under
  // the cursor.
  const QPoint at = event->position().toPoint();
  const std::optional<Vec3> point = PickPoint(session_.render(), at.x(), at.y());
  if (!point) return;
  SteeredCamera().target = *point;
  CameraMoved();
}

void ViewWindow::wheelEvent(QWheelEvent* event) {
  const int eighths = event->angleDelta().y();
  if (!CanSteer() || eighths == 0) return QWidget::wheelEvent(event);
  const float factor = std::pow(kZoomPerNotch, static_cast<float>(eighths) / 120.0f);
  ZoomCamera(SteeredCamera(), UsesPerspective(session_.view()), factor,
             static_cast<float>(event->position().x()), static_cast<float>(event->position().y()),
             width(), height());
  event->accept();
  CameraMoved();
}

}  // namespace vorna

#include "ui/view_window.h"

#include <QImage>
#include <QPainter>
#include <QResizeEvent>

namespace vorna {

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

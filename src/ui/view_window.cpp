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
    session_.PlaybackTick();
    update();
    emit ticked();
  });
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
  update();
}

void ViewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // While playing, the tick has already evaluated the pose the frame draws.
  if (!session_.DrawFrame()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  const Image& buffer = session_.render().device->back_buffer();
  const QImage image(buffer.rgba.data(), buffer.width, buffer.height, buffer.width * 4,
                     QImage::Format_RGBA8888);
  painter.drawImage(0, 0, image);
}

}  // namespace vorna

// The view: shows the device's back buffer and runs playback from its timer, one Motion per
// tick. A frame is drawn only when something changed: requests set a flag that the next paint
// services once, so any number of them within one pass of the event loop draw one frame, and a
// paint for any other reason (exposure) shows the frame already drawn.
//
// The mouse steers the free camera while a model is loaded: the left button orbits about the
// camera's target, the middle button (or Shift with the left) pans, the wheel zooms towards the
// cursor, and a double click recentres the view on the point under the cursor. The first gesture
// starts from the fixed direction shown.
#pragma once

#include <QTimer>
#include <QWidget>

#include "editor/editor_session.h"

namespace vorna {

class ViewWindow : public QWidget {
  Q_OBJECT
 public:
  ViewWindow(EditorSession& session, QWidget* parent = nullptr);

  // Starts or restarts the playback timer with the session's period; stops it.
  void StartTimer();
  void StopTimer();
  bool timer_active() const { return timer_.isActive(); }
  int timer_interval() const { return timer_.interval(); }
  bool device_ready() const { return session_.render().device != nullptr; }

  // Asks for a new frame, drawn at the next paint.
  void RequestRedraw();

 signals:
  // The first sizing created the device (or failed to).
  void deviceCreated(bool ok);
  // One playback step was shown.
  void ticked();
  // A gesture moved the free camera.
  void cameraChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum class Drag { kNone, kOrbit, kPan };

  bool CanSteer() const;
  // The view's free camera, started from the fixed direction when it is not active yet.
  FreeCamera& SteeredCamera();
  void CameraMoved();

  EditorSession& session_;
  Drag drag_ = Drag::kNone;
  QPointF drag_last_;
  QTimer timer_;
  bool tried_device_ = false;
  bool stale_ = true;  // the back buffer does not show the current state
};

}  // namespace vorna

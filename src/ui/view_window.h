// The view: shows the device's back buffer and runs playback from its timer, one Motion per
// tick. A frame is drawn only when something changed: requests set a flag that the next paint
// services once, so any number of them within one pass of the event loop draw one frame, and a
// paint for any other reason (exposure) shows the frame already drawn.
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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  EditorSession& session_;
  QTimer timer_;
  bool tried_device_ = false;
  bool stale_ = true;  // the back buffer does not show the current state
};

}  // namespace vorna

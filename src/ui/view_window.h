// The view: shows the device's back buffer, draws a frame on every paint and resize, and runs
// playback from its timer, one Motion per tick.
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
};

}  // namespace vorna

// The editor's view orbiting the 100,000-triangle model at 1280 x 720: synthetic left-button
// drags go through the view's own mouse handlers and the event loop, and the rate is the frames
// RenderFrame really drew per wall-clock second (the paint onto the offscreen platform's window
// included), and the processor time all threads spent per frame. Runs on the offscreen platform
// unless another is chosen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <ctime>
#include <memory>

#include "dense_model.h"
#include "editor/editor_session.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_ui_orbit";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

void SendMouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

void BM_ViewOrbit(benchmark::State& state) {
  EnsureApplication();
  EditorSession session;
  session.model() = *bench::DenseModel(false, 1.0f);
  session.MarkLoaded();
  ViewWindow view(session);
  view.resize(1280, 720);
  view.show();
  for (int i = 0; i < 100 && !view.device_ready(); ++i) QApplication::processEvents();
  if (!view.device_ready()) {
    state.SkipWithError("no device");
    return;
  }
  QApplication::processEvents();
  QPointF at(640.0, 360.0);
  SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
  const uint64_t before = session.render().frames_drawn;
  const std::clock_t cpu_before = std::clock();
  for (auto _ : state) {
    at.rx() += 3.0;
    if (at.x() > 1200.0) at.setX(80.0);
    SendMouse(view, QEvent::MouseMove, at, Qt::LeftButton);
    QApplication::processEvents();
  }
  const uint64_t frames = session.render().frames_drawn - before;
  const double cpu_seconds = static_cast<double>(std::clock() - cpu_before) / CLOCKS_PER_SEC;
  SendMouse(view, QEvent::MouseButtonRelease, at, Qt::NoButton);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  // On a shared machine the wall-clock rate says more about the neighbours than about the view:
  // the processor time of all threads per frame is the part that is ours.
  if (frames > 0)
    state.counters["cpu_ms/frame"] = cpu_seconds * 1000.0 / static_cast<double>(frames);
}
BENCHMARK(BM_ViewOrbit)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace vorna

#include "ui/dialog_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vorna {

QPoint BesideWindow(const QRect& window, const QSize& dialog, const QRect& screen) {
  const int room_right = screen.right() - window.right();
  const int room_left = window.left() - screen.left();
  int x = 0;
  if (room_right >= dialog.width()) {
    x = window.right() + 1;
  } else if (room_left >= dialog.width()) {
    x = window.left() - dialog.width();
  } else if (room_right >= room_left) {
    x = screen.right() + 1 - dialog.width();
  } else {
    x = screen.left();
  }
  // A dialog wider or taller than the screen keeps its title bar on it.
  x = std::max(screen.left(), x);
  const int y =
      std::max(screen.top(), std::min(window.top(), screen.bottom() + 1 - dialog.height()));
  return {x, y};
}

void PlaceBesideWindow(QWidget& dialog, const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  dialog.adjustSize();
  // Before it is shown the dialog has no frame yet: count it as thick as the window's.
  const QRect outer = window.frameGeometry();
  const QRect inner = window.geometry();
  const QSize frame(outer.width() - inner.width(), outer.height() - inner.height());
  const QPoint at = BesideWindow(outer, dialog.size() + frame, screen->availableGeometry());
  dialog.move(at);
}

}  // namespace vorna

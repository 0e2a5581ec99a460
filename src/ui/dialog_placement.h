// Editing dialogs open beside the main window rather than over the view, so that their live
// previews stay visible.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace vorna {

// The top-left corner of a dialog frame of size `dialog` next to the window frame `window` on a
// screen whose free area is `screen`: right of the window when it fits there, else left of it,
// else on the side with more room, pushed back onto the screen (over the window's edge); level
// with the window's top, held on the screen.
QPoint BesideWindow(const QRect& window, const QSize& dialog, const QRect& screen);

// Sizes `dialog` to its contents and moves it beside `window` on the window's screen. Call it
// before showing the dialog.
void PlaceBesideWindow(QWidget& dialog, const QWidget& window);

}  // namespace vorna

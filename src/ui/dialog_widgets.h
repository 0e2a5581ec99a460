// Widgets and small helpers the editing dialogs share: the OK / Cancel row, the up-down control
// that sits beside an edit box, the slider + edit + up-down row, quiet updates of a control, and
// the direction menu taken from the main window's command table.
#pragma once

#include <QDialogButtonBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <array>
#include <functional>
#include <map>

#include "editor/commands.h"

class QAction;
class QDialog;
class QGridLayout;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSlider;

namespace vorna {

// "OK" (the default button) and "ｷｬﾝｾﾙ", wired to the dialog's accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// An up-down control without a number of its own: the edit box beside it shows the value. Stepping
// stops at the ends of the range and reports a value only when it changed.
class UpDown : public QSpinBox {
  Q_OBJECT

 public:
  explicit UpDown(int minimum = 0, int maximum = 99, QWidget* parent = nullptr);

  // Just wide enough for the arrows.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }
};

// Sets a control's value without reporting it: the program shows a value, the user did not
// choose it.
template <typename Widget, typename Value>
void SetQuietly(Widget* widget, const Value& value) {
  const QSignalBlocker blocker(widget);
  widget->setValue(value);
}
void SetTextQuietly(QLineEdit* edit, const QString& text);

// A track bar, the edit box holding the value and the up-down beside it.
struct SliderEditRow {
  QSlider* slider = nullptr;
  QLineEdit* edit = nullptr;
  UpDown* spin = nullptr;

  // Moves the track bar and the up-down to a position without reporting it.
  void ShowPosition(int position) const;
  void SetEnabled(bool enabled) const;
};

// A row with a horizontal slider (ticks below) and an up-down, both over 0..`maximum`, and an
// edit box of `edit_length` characters and `edit_width` pixels.
SliderEditRow MakeSliderEditRow(int slider_width, int edit_length, int edit_width,
                                int maximum = 99);
// Puts `label` and the row's controls into columns 0..3 of a grid row.
void AddToGrid(QGridLayout* grid, int row, QWidget* label, const SliderEditRow& controls);

// The view directions in the order of the main window's "方向" menu.
inline constexpr std::array<int, 6> kDirectionCommands = {
    kCmdViewFront, kCmdViewBack, kCmdViewLeft, kCmdViewRight, kCmdViewTop, kCmdViewBottom};
// A main menu item's label without the key after the tab: the keys belong to the main window.
QString CommandLabel(int id);

// Adds the command table's menu `menu` to `bar`: its items in table order with their separators,
// check marks and radio groups (one per menu); choosing one calls `chosen` with its id. Each
// item is also put into `items` under its id.
QMenu* AddTableMenu(QMenuBar* bar, MenuIndex menu, QObject* owner,
                    const std::function<void(int id)>& chosen, std::map<int, QAction*>& items);

// Adds the "方向" menu with the six directions, one checked at a time; choosing one calls
// `chosen` with its command id. The items are returned in menu order.
struct DirectionMenu {
  QMenu* menu = nullptr;
  std::array<QAction*, kDirectionCommands.size()> items{};
};
DirectionMenu AddDirectionMenu(QMenuBar* bar, QObject* owner,
                               const std::function<void(int id)>& chosen);

}  // namespace vorna

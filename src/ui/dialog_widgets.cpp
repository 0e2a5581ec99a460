#include "ui/dialog_widgets.h"

#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>

namespace vorna {

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
  auto* box = new QDialogButtonBox;
  box->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
  box->addButton("ｷｬﾝｾﾙ", QDialogButtonBox::RejectRole);
  QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return box;
}

UpDown::UpDown(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
  setRange(minimum, maximum);
  lineEdit()->hide();
  // Focus on the arrows themselves lets the arrow keys step without a visible text.
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize UpDown::sizeHint() const {
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  const QRect up = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this);
  const int frame = style()->pixelMetric(QStyle::PM_SpinBoxFrameWidth, &option, this);
  return QSize(std::max(up.width(), 12) + 2 * frame, QSpinBox::sizeHint().height());
}

void SetTextQuietly(QLineEdit* edit, const QString& text) {
  const QSignalBlocker blocker(edit);
  edit->setText(text);
}

void SliderEditRow::ShowPosition(int position) const {
  SetQuietly(slider, position);
  SetQuietly(spin, position);
}

void SliderEditRow::SetEnabled(bool enabled) const {
  for (QWidget* control :
       {static_cast<QWidget*>(slider), static_cast<QWidget*>(edit), static_cast<QWidget*>(spin)}) {
    control->setEnabled(enabled);
  }
}

SliderEditRow MakeSliderEditRow(int slider_width, int edit_length, int edit_width, int maximum) {
  SliderEditRow row;
  row.slider = new QSlider(Qt::Horizontal);
  row.slider->setRange(0, maximum);
  row.slider->setTickPosition(QSlider::TicksBelow);
  row.slider->setMinimumWidth(slider_width);
  row.edit = new QLineEdit;
  row.edit->setMaxLength(edit_length);
  row.edit->setFixedWidth(edit_width);
  row.spin = new UpDown(0, maximum);
  return row;
}

void AddToGrid(QGridLayout* grid, int row, QWidget* label, const SliderEditRow& controls) {
  grid->addWidget(label, row, 0);
  grid->addWidget(controls.slider, row, 1);
  grid->addWidget(controls.edit, row, 2);
  grid->addWidget(controls.spin, row, 3);
}

QString CommandLabel(int id) {
  const CommandInfo* command = FindCommand(id);
  if (command == nullptr) return {};
  const std::string_view label = command->label.substr(0, command->label.find('\t'));
  return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
}

QMenu* AddTableMenu(QMenuBar* bar, MenuIndex menu, QObject* owner,
                    const std::function<void(int id)>& chosen, std::map<int, QAction*>& items) {
  const std::string_view title = MenuTitle(menu);
  QMenu* popup =
      bar->addMenu(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  QActionGroup* group = nullptr;
  for (const CommandInfo& command : CommandTable()) {
    if (command.menu != menu) continue;
    if (command.separator_before) popup->addSeparator();
    QAction* item = popup->addAction(CommandLabel(command.id));
    item->setCheckable(command.mark != MarkKind::kNone);
    if (command.mark == MarkKind::kRadio) {
      if (group == nullptr) group = new QActionGroup(owner);
      group->addAction(item);
    }
    const int id = command.id;
    QObject::connect(item, &QAction::triggered, owner, [chosen, id] { chosen(id); });
    items[id] = item;
  }
  return popup;
}

DirectionMenu AddDirectionMenu(QMenuBar* bar, QObject* owner,
                               const std::function<void(int id)>& chosen) {
  DirectionMenu result;
  const std::string_view title = MenuTitle(kMenuDirection);
  result.menu = bar->addMenu(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  auto* group = new QActionGroup(owner);
  for (size_t k = 0; k < kDirectionCommands.size(); ++k) {
    const int id = kDirectionCommands[k];
    QAction* item = result.menu->addAction(CommandLabel(id));
    item->setCheckable(true);
    group->addAction(item);
    QObject::connect(item, &QAction::triggered, owner, [chosen, id] { chosen(id); });
    result.items[k] = item;
  }
  return result;
}

}  // namespace vorna

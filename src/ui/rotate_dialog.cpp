#include "ui/rotate_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/number_text.h"

namespace vorna {
namespace {

constexpr int kMaxAngle = 360;
constexpr int kEditLimit = 64;

}  // namespace

SpinArrows::SpinArrows(int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      minimum_(minimum),
      maximum_(maximum),
      value_(minimum),
      up_(new QToolButton),
      down_(new QToolButton) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {up_, down_}) {
    button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(18, 12);
    layout->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void SpinArrows::setValue(int value) { value_ = std::clamp(value, minimum_, maximum_); }

void SpinArrows::StepBy(int steps) {
  const int old = value_;
  setValue(static_cast<int>(std::clamp(static_cast<long long>(value_) + steps,
                                       static_cast<long long>(minimum_),
                                       static_cast<long long>(maximum_))));
  if (value_ != old) emit valueChanged(value_);
}

RotateDialog::RotateDialog(const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setWindowTitle("回転");
  context_.StopPlayback();
  session_ = RotateDialogSession::Open(context_.model());

  auto* grid = new QGridLayout;
  const char* const labels[3] = {"X軸：", "Y軸：", "Z軸："};
  for (int axis = 0; axis < 3; ++axis) {
    sliders_[axis] = new QSlider(Qt::Horizontal);
    sliders_[axis]->setRange(0, kMaxAngle);
    sliders_[axis]->setTickInterval(90);
    sliders_[axis]->setTickPosition(QSlider::TicksBelow);
    sliders_[axis]->setMinimumWidth(220);
    edits_[axis] = new QLineEdit("0");
    edits_[axis]->setMaxLength(kEditLimit);
    edits_[axis]->setFixedWidth(64);
    arrows_[axis] = new SpinArrows(0, kMaxAngle);

    auto* edit_row = new QHBoxLayout;
    edit_row->setSpacing(2);
    edit_row->addWidget(edits_[axis]);
    edit_row->addWidget(arrows_[axis]);
    edit_row->addWidget(new QLabel("度"));
    grid->addWidget(new QLabel(labels[axis]), axis, 0);
    grid->addWidget(sliders_[axis], axis, 1);
    grid->addLayout(edit_row, axis, 2);

    connect(sliders_[axis], &QSlider::valueChanged, this,
            [this, axis](int value) { OnSliderMoved(axis, value); });
    connect(arrows_[axis], &SpinArrows::valueChanged, this,
            [this, axis](int value) { OnArrowsStepped(axis, value); });
    connect(edits_[axis], &QLineEdit::textChanged, this, [this, axis] { OnTextChanged(axis); });
  }

  auto* buttons = new QDialogButtonBox;
  buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton("ｷｬﾝｾﾙ", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

RotateDialog::~RotateDialog() {
  if (session_ != nullptr && !finished_) session_->Cancel();
}

int RotateDialog::exec() { return opened() ? QDialog::exec() : QDialog::Rejected; }

void RotateDialog::OnSliderMoved(int axis, int value) {
  arrows_[axis]->setValue(value);
  // The edit box carries the angle: writing it applies the rotation.
  edits_[axis]->setText(QString::number(value));
  edits_[axis]->setFocus();
  edits_[axis]->selectAll();
}

void RotateDialog::OnArrowsStepped(int axis, int value) {
  const QSignalBlocker blocker(sliders_[axis]);
  sliders_[axis]->setValue(value);
  edits_[axis]->setText(QString::number(value));
}

void RotateDialog::OnTextChanged(int axis) {
  const std::string text = edits_[axis]->text().toStdString();
  const int value = ParseWholeNumber(text);
  arrows_[axis]->setValue(value);
  if (edits_[axis]->hasFocus()) {
    const QSignalBlocker blocker(sliders_[axis]);
    sliders_[axis]->setValue(value);
  }
  if (session_ == nullptr || finished_) return;
  session_->SetAngleText(axis, text);
  context_.Redraw();
}

void RotateDialog::accept() {
  if (session_ != nullptr && !finished_) {
    finished_ = true;
    session_->Ok();
    context_.RegenerateThumbnail();
  }
  QDialog::accept();
}

void RotateDialog::reject() {
  if (session_ != nullptr && !finished_) {
    finished_ = true;
    session_->Cancel();
    context_.Redraw();
  }
  QDialog::reject();
}

}  // namespace vorna

#include "ui/rotate_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include "io/number_text.h"

namespace vorna {
namespace {

constexpr int kMaxAngle = 360;
constexpr int kEditLimit = 64;

}  // namespace

RotateDialog::RotateDialog(const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setWindowTitle("回転");
  context_.StopPlayback();
  session_ = RotateDialogSession::Open(context_.model());

  auto* grid = new QGridLayout;
  const char* const labels[3] = {"X軸：", "Y軸：", "Z軸："};
  for (int axis = 0; axis < 3; ++axis) {
    const SliderEditRow& row = rows_[axis] = MakeSliderEditRow(220, kEditLimit, 64, kMaxAngle);
    row.slider->setTickInterval(90);
    row.edit->setText("0");

    auto* edit_row = new QHBoxLayout;
    edit_row->setSpacing(2);
    edit_row->addWidget(row.edit);
    edit_row->addWidget(row.spin);
    edit_row->addWidget(new QLabel("度"));
    grid->addWidget(new QLabel(labels[axis]), axis, 0);
    grid->addWidget(row.slider, axis, 1);
    grid->addLayout(edit_row, axis, 2);

    connect(row.slider, &QSlider::valueChanged, this,
            [this, axis](int value) { OnSliderMoved(axis, value); });
    connect(row.spin, &QSpinBox::valueChanged, this,
            [this, axis](int value) { OnArrowsStepped(axis, value); });
    connect(row.edit, &QLineEdit::textChanged, this, [this, axis] { OnTextChanged(axis); });
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancelButtons(this));
}

RotateDialog::~RotateDialog() {
  if (session_ != nullptr && !finished_) session_->Cancel();
}

int RotateDialog::exec() { return opened() ? QDialog::exec() : QDialog::Rejected; }

void RotateDialog::OnSliderMoved(int axis, int value) {
  const SliderEditRow& row = rows_[axis];
  SetQuietly(row.spin, value);
  // The edit box carries the angle: writing it applies the rotation.
  row.edit->setText(QString::fromStdString(FormatWholeNumber(value)));
  row.edit->setFocus();
  row.edit->selectAll();
}

void RotateDialog::OnArrowsStepped(int axis, int value) {
  SetQuietly(rows_[axis].slider, value);
  rows_[axis].edit->setText(QString::fromStdString(FormatWholeNumber(value)));
}

void RotateDialog::OnTextChanged(int axis) {
  const SliderEditRow& row = rows_[axis];
  const std::string text = row.edit->text().toStdString();
  const int value = ParseWholeNumber(text);
  SetQuietly(row.spin, value);
  if (row.edit->hasFocus()) SetQuietly(row.slider, value);
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

#include "ui/keyframe_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "animation/motion_list.h"
#include "ui/dialog_widgets.h"

namespace vorna {

KeyframeDialog::KeyframeDialog(const DialogContext& context, KeyframeDialogMemory& memory,
                               QWidget* parent)
    : QDialog(parent),
      context_(context),
      memory_(memory),
      linear_(new QRadioButton("直線")),
      curve_(new QRadioButton("曲線")),
      start_(new QComboBox),
      end_(new QComboBox),
      count_(new QComboBox),
      loop_(new QCheckBox("ﾙｰﾌﾟ")) {
  setWindowTitle("ｷｰﾌﾚｰﾑ");
  context_.StopPlayback();
  const Model& model = context_.model();
  const KeyframeRequest defaults = KeyframeDialogDefaults(model, memory_.curve);

  const int motions = std::clamp(model.motion_count, 0, kMaxMotions);
  for (int m = 0; m < motions; ++m) {
    const QString label = QString::fromStdString(MotionNumberLabel(m));
    start_->addItem(label);
    end_->addItem(label);
  }
  // The count list shows 1 .. 10 in the same "%3d" form as the Motion numbers.
  for (int n = 0; n < kMaxPerGap; ++n)
    count_->addItem(QString::fromStdString(MotionNumberLabel(n)));
  if (motions > 0) {
    start_->setCurrentIndex(defaults.start);
    end_->setCurrentIndex(defaults.end);
  }
  count_->setCurrentIndex(defaults.n - 1);
  loop_->setChecked(defaults.loop);
  (defaults.curve ? curve_ : linear_)->setChecked(true);

  auto* methods = new QButtonGroup(this);
  methods->addButton(linear_);
  methods->addButton(curve_);
  // The method is remembered as soon as it is clicked, also when the dialog is then cancelled.
  connect(linear_, &QRadioButton::clicked, this, [this] { memory_.curve = false; });
  connect(curve_, &QRadioButton::clicked, this, [this] { memory_.curve = true; });

  auto* method_box = new QGroupBox;
  auto* method_layout = new QVBoxLayout(method_box);
  method_layout->addWidget(linear_);
  method_layout->addWidget(curve_);
  method_layout->addStretch(1);

  auto* motion_box = new QGroupBox("ﾓｰｼｮﾝ番号");
  auto* motion_layout = new QFormLayout(motion_box);
  motion_layout->addRow("開始：", start_);
  motion_layout->addRow("終了：", end_);

  auto* count_group = new QGroupBox("追加ﾓｰｼｮﾝ数");
  auto* count_layout = new QVBoxLayout(count_group);
  count_layout->addWidget(count_);
  count_layout->addWidget(loop_);

  auto* top = new QHBoxLayout;
  top->addWidget(method_box);
  top->addWidget(motion_box);
  top->addWidget(count_group);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(OkCancelButtons(this));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

KeyframeRequest KeyframeDialog::Request() const {
  KeyframeRequest request;
  request.n = count_->currentIndex() + 1;
  request.start = start_->currentIndex();
  request.end = end_->currentIndex();
  request.loop = loop_->isChecked();
  request.curve = curve_->isChecked();
  return request;
}

void KeyframeDialog::accept() {
  last_result_ = GenerateKeyframes(context_.model(), *context_.host, Request());
  if (last_result_ == KeyframeResult::kGenerated) {
    context_.StopPlayback();
    emit motionsGenerated();
    // The window rebuilds the strip on motionsGenerated; the current (last) Motion's picture and
    // the menus, which follow the Motion count, are brought up to date here in any case.
    context_.RegenerateThumbnail();
    context_.MenusChanged();
  }
  QDialog::accept();
}

}  // namespace vorna

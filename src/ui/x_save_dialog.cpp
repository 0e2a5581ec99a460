#include "ui/x_save_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "animation/anim_list.h"
#include "editor/open_flow.h"
#include "formats/gltf_import.h"
#include "formats/registry.h"
#include "io/number_text.h"
#include "model/file_paths.h"
#include "ui/dialog_widgets.h"

namespace vorna {
namespace {

constexpr int kEditLimit = 64;
constexpr char kLoopEntry[] = "LOOP";

}  // namespace

std::vector<std::string> XIntervalEntries(const Model& model, bool loop) {
  std::vector<std::string> entries;
  const int anims = std::clamp(model.anim_count, 0, kMaxAnims);
  if (anims == 0) {
    for (int m = 0; m < std::clamp(model.motion_count, 0, kMaxMotions); ++m) {
      entries.push_back(std::to_string(m + 1));
    }
    if (loop) entries.push_back(kLoopEntry);
    return entries;
  }
  for (int a = 0; a < anims; ++a) {
    const Anim& anim = model.anims[a];
    for (int m = anim.first_motion; m <= anim.last_motion; ++m) {
      entries.push_back(std::to_string(m + 1));
    }
    if (anim.loop) entries.push_back(kLoopEntry);
  }
  return entries;
}

uint32_t ReadDialogNumber(const std::string& text) {
  return static_cast<uint32_t>(ParseWholeNumber(text));
}

uint32_t LimitKeyInterval(uint32_t value) {
  return std::clamp<uint32_t>(value, 1, kMaxXKeyInterval);
}

uint32_t LimitTicksPerSecond(uint32_t value) {
  return std::clamp<uint32_t>(value, 1, kMaxXTicksPerSecond);
}

XSaveDialog::XSaveDialog(Model& model, Host& host, XExporter exporter, QWidget* parent)
    : QDialog(parent),
      model_(model),
      host_(host),
      exporter_(std::move(exporter)),
      text_(new QRadioButton("ﾃｷｽﾄ形式")),
      binary_(new QRadioButton("ﾊﾞｲﾅﾘ形式")),
      compressed_(new QRadioButton("圧縮ﾊﾞｲﾅﾘ形式")),
      skin_(new QCheckBox("ｽｷﾝ")),
      loop_(new QCheckBox("ﾙｰﾌﾟ")),
      speed_(new QLineEdit),
      value_(new QLineEdit),
      list_(new QListWidget),
      all_set_(new QPushButton("ALL_SET")) {
  setWindowTitle("Xﾌｧｲﾙの保存");
  ClampAnimRanges(model_);

  auto* formats = new QButtonGroup(this);
  formats->addButton(binary_, static_cast<int>(XFileFormat::kBinary));
  formats->addButton(text_, static_cast<int>(XFileFormat::kText));
  formats->addButton(compressed_, static_cast<int>(XFileFormat::kCompressedBinary));
  text_->setChecked(true);
  connect(formats, &QButtonGroup::idClicked, this,
          [this](int id) { settings_.format = static_cast<XFileFormat>(id); });

  speed_->setMaxLength(kEditLimit);
  value_->setMaxLength(kEditLimit);
  speed_->setText(QString::number(settings_.ticks_per_second));
  value_->setText(QString::number(settings_.key_intervals[0]));

  auto* format_box = new QGroupBox("形式");
  auto* format_layout = new QVBoxLayout(format_box);
  for (QRadioButton* radio : {text_, binary_, compressed_}) format_layout->addWidget(radio);

  auto* options = new QGridLayout;
  options->addWidget(skin_, 0, 0, 1, 2);
  options->addWidget(loop_, 1, 0, 1, 2);
  options->addWidget(new QLabel("動作速度"), 2, 0);
  options->addWidget(speed_, 2, 1);
  options->setRowStretch(3, 1);

  auto* interval_box = new QGroupBox("ﾓｰｼｮﾝごとのﾀｲﾑｽﾀﾝﾌﾟ間隔");
  auto* value_column = new QVBoxLayout;
  value_column->addWidget(new QLabel("値："));
  value_column->addWidget(value_);
  value_column->addWidget(all_set_);
  value_column->addStretch(1);
  auto* interval_layout = new QGridLayout(interval_box);
  interval_layout->addWidget(new QLabel("No："), 0, 0);
  interval_layout->addWidget(list_, 1, 0);
  interval_layout->addLayout(value_column, 1, 1);
  all_set_->setAutoDefault(false);

  auto* top = new QHBoxLayout;
  top->addWidget(format_box);
  top->addLayout(options, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(interval_box, 1);
  layout->addWidget(OkCancelButtons(this));

  const bool several_motions = model_.motion_count > 1;
  for (QWidget* control : {static_cast<QWidget*>(speed_), static_cast<QWidget*>(value_),
                           static_cast<QWidget*>(list_), static_cast<QWidget*>(all_set_)}) {
    control->setEnabled(several_motions);
  }
  loop_->setEnabled(model_.anim_count <= 0);

  connect(loop_, &QCheckBox::toggled, this, &XSaveDialog::OnLoopToggled);
  connect(list_, &QListWidget::currentRowChanged, this, &XSaveDialog::ShowSelectedValue);
  connect(value_, &QLineEdit::editingFinished, this, &XSaveDialog::StoreValue);
  connect(all_set_, &QPushButton::clicked, this, &XSaveDialog::SetAll);
  FillList();
  resize(420, 420);
}

void XSaveDialog::FillList() {
  list_->blockSignals(true);
  list_->clear();
  for (const std::string& entry : XIntervalEntries(model_, settings_.loop != 0)) {
    list_->addItem(QString::fromStdString(entry));
  }
  list_->blockSignals(false);
  if (list_->count() > 0) list_->setCurrentRow(0);
}

void XSaveDialog::ShowSelectedValue() {
  const int row = list_->currentRow();
  // Entries past the table's end have no slot of their own: they show the last slot, which the
  // export gives them, and cannot be changed one by one.
  const bool has_slot = row >= 0 && row < kKeyIntervalSlots;
  const int shown = std::min(row, kKeyIntervalSlots - 1);
  value_->setText(row >= 0 ? QString::number(settings_.key_intervals[shown]) : QString());
  value_->setEnabled(model_.motion_count > 1 && (has_slot || row < 0));
}

void XSaveDialog::StoreValue() {
  const int row = list_->currentRow();
  if (row < 0 || row >= kKeyIntervalSlots) return;
  const uint32_t value = LimitKeyInterval(ReadDialogNumber(value_->text().toStdString()));
  settings_.key_intervals[row] = value;
  value_->setText(QString::number(value));
}

void XSaveDialog::SetAll() {
  // Limited like a single entry: an interval of 0 would give two keys the same time.
  const uint32_t value = LimitKeyInterval(ReadDialogNumber(value_->text().toStdString()));
  settings_.key_intervals.fill(value);
  value_->setText(QString::number(value));
}

void XSaveDialog::OnLoopToggled(bool on) {
  settings_.loop = on ? 1 : 0;
  if (model_.anim_count > 0) return;
  if (on) {
    list_->addItem(kLoopEntry);
  } else if (model_.motion_count >= 0 && model_.motion_count < list_->count()) {
    delete list_->takeItem(model_.motion_count);
  }
}

void XSaveDialog::accept() {
  settings_.skin = skin_->isChecked() ? 1 : 0;
  settings_.ticks_per_second = LimitTicksPerSecond(ReadDialogNumber(speed_->text().toStdString()));
  StoreValue();
  {
    WaitCursor wait(host_);
    if (exporter_) exporter_(settings_);
  }
  QDialog::accept();
}

}  // namespace vorna

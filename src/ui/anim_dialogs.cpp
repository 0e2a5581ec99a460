#include "ui/anim_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "animation/motion_list.h"
#include "ui/dialog_widgets.h"
#include "ui/text_codec.h"

namespace vorna {

AnimDialog::AnimDialog(Model& model, Host& host, QWidget* parent)
    : QDialog(parent),
      model_(model),
      host_(host),
      entries_(OpenAnimDialog(model)),
      list_(new QListWidget),
      first_(new QComboBox),
      last_(new QComboBox),
      name_(new QLineEdit),
      loop_(new QCheckBox("ﾙｰﾌﾟ")) {
  setWindowTitle("ｱﾆﾒｰｼｮﾝの追加と削除");
  const int motions = std::clamp(model_.motion_count, 0, kMaxMotions);
  for (int m = 0; m < motions; ++m) {
    const QString label = QString::fromStdString(MotionNumberLabel(m));
    first_->addItem(label);
    last_->addItem(label);
  }
  first_->setCurrentIndex(motions > 0 ? 0 : -1);
  last_->setCurrentIndex(motions - 1);
  // The name is stored as CP932 bytes; a character without a CP932 form could not be saved.
  name_->setValidator(new Cp932Validator(kAnimNameInputLimit, name_));

  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel("開始番号："), 0, 0);
  controls->addWidget(first_, 0, 1);
  controls->addWidget(new QLabel("終了番号："), 1, 0);
  controls->addWidget(last_, 1, 1);
  controls->addWidget(new QLabel("名前："), 2, 0);
  controls->addWidget(name_, 2, 1);
  controls->addWidget(loop_, 3, 1);

  auto* add = new QPushButton("追加");
  auto* edit = new QPushButton("編集");
  auto* remove = new QPushButton("削除");
  auto* up = new QPushButton("上へ移動");
  auto* down = new QPushButton("下へ移動");
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {add, edit, remove, up, down}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(list_, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(controls);
  layout->addWidget(OkCancelButtons(this));

  connect(add, &QPushButton::clicked, this, &AnimDialog::AddEntry);
  connect(edit, &QPushButton::clicked, this, &AnimDialog::EditEntry);
  connect(remove, &QPushButton::clicked, this, &AnimDialog::DeleteEntry);
  connect(up, &QPushButton::clicked, this, [this] { MoveEntry(-1); });
  connect(down, &QPushButton::clicked, this, [this] { MoveEntry(1); });
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    // Selecting an entry does not copy its values into the controls.
    entries_.selected = row;
  });
  resize(420, 380);
  ShowEntries();
}

std::string AnimDialog::EntryFromControls() const {
  std::string name;
  ToCp932(name_->text(), &name);  // the validator lets only CP932 text in
  return AnimEntryFromControls(first_->currentIndex(), last_->currentIndex(),
                               ClampCp932(name, kAnimNameInputLimit), loop_->isChecked());
}

void AnimDialog::ShowEntries() {
  list_->blockSignals(true);
  list_->clear();
  for (const std::string& entry : entries_.entries) list_->addItem(FromCp932(entry));
  list_->setCurrentRow(entries_.HasSelection() ? entries_.selected : -1);
  if (!entries_.HasSelection()) list_->clearSelection();
  list_->blockSignals(false);
}

void AnimDialog::AddEntry() {
  entries_.Append(EntryFromControls());
  ShowEntries();
}

void AnimDialog::EditEntry() {
  entries_.Replace(EntryFromControls());
  ShowEntries();
}

void AnimDialog::DeleteEntry() {
  entries_.DeleteSelected();
  ShowEntries();
}

void AnimDialog::MoveEntry(int step) {
  if (step < 0) {
    entries_.MoveSelectedUp();
  } else {
    entries_.MoveSelectedDown();
  }
  ShowEntries();
}

void AnimDialog::accept() {
  if (!ApplyAnimDialog(model_, host_, entries_)) return;
  QDialog::accept();
}

AnimChoiceDialog::AnimChoiceDialog(Model& model, QWidget* parent)
    : QDialog(parent), model_(model), choice_(new QComboBox) {
  setWindowTitle("ｱﾆﾒｰｼｮﾝの選択");
  for (const std::string& entry : AnimChoiceEntries(model_)) choice_->addItem(FromCp932(entry));
  choice_->setCurrentIndex(InitialAnimChoice(model_));
  choice_->setMinimumWidth(240);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choice_);
  layout->addWidget(OkCancelButtons(this));
}

void AnimChoiceDialog::accept() {
  ChooseAnim(model_, choice_->currentIndex());
  QDialog::accept();
}

}  // namespace vorna

#include "ui/unit_copy_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "editor/commands.h"
#include "ui/dialog_widgets.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

QPushButton* SmallButton(const char* text) {
  auto* button = new QPushButton(text);
  button->setAutoDefault(false);
  return button;
}

void ShowEntries(QListWidget* list, const EntryList& entries) {
  list->blockSignals(true);
  list->clear();
  for (const std::string& entry : entries.entries) list->addItem(FromCp932(entry));
  if (entries.HasSelection()) {
    list->setCurrentRow(entries.selected);
  } else {
    list->setCurrentRow(-1);
    list->clearSelection();
  }
  list->blockSignals(false);
}

}  // namespace

UnitAddDialog::UnitAddDialog(const Model& model, Host& host, UnitCopySession& session,
                             bool to_target, QWidget* parent)
    : QDialog(parent),
      model_(model),
      host_(host),
      session_(session),
      to_target_(to_target),
      list_(new QListWidget),
      select_all_(SmallButton("全て選択")),
      clear_(SmallButton("全て解除")) {
  setWindowTitle("ﾕﾆｯﾄの追加");
  list_->setSelectionMode(QAbstractItemView::MultiSelection);
  const int units = std::clamp(model_.unit_count(), 0, kMaxUnits);
  for (int u = 0; u < units; ++u) {
    const int node = model_.NodeOfUnit(u);
    list_->addItem(node >= 0 && node < kMaxNodes ? FromCp932(model_.node_name[node]) : QString());
  }
  connect(select_all_, &QPushButton::clicked, list_, &QListWidget::selectAll);
  connect(clear_, &QPushButton::clicked, list_, &QListWidget::clearSelection);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(select_all_);
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  layout->addWidget(OkCancelButtons(this));
  resize(280, 360);
}

void UnitAddDialog::accept() {
  std::vector<int> units;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->isSelected()) units.push_back(row);
  }
  AddUnitsToList(model_, host_, session_, to_target_, units);
  QDialog::accept();
}

UnitCreateDialog::UnitCreateDialog(Model& model, Host& host, UnitCopySession& session,
                                   QWidget* parent)
    : QDialog(parent),
      model_(model),
      host_(host),
      session_(session),
      name_(new QLineEdit),
      proposal_(ProposedUnitName(session)),
      proposal_text_(FromCp932(proposal_)) {
  setWindowTitle("ﾕﾆｯﾄの新規作成");
  // Names are stored as CP932 in a 64-byte field.
  name_->setValidator(new Cp932Validator(kNodeNameSize - 1, name_));
  name_->setText(proposal_text_);
  name_->selectAll();
  name_->setMinimumWidth(240);
  auto* form = new QFormLayout;
  form->addRow("ﾕﾆｯﾄ名：", name_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  layout->setSizeConstraint(QLayout::SetFixedSize);
  name_->setFocus();
}

void UnitCreateDialog::accept() {
  std::string name;
  if (name_->text() == proposal_text_) {
    name = proposal_;
  } else if (!ToCp932(name_->text(), &name)) {
    name.clear();  // the validator lets only CP932 text in; anything else counts as no name
  }
  if (!CreateTargetUnit(model_, host_, session_, name)) {
    name_->selectAll();
    name_->setFocus();
    return;
  }
  QDialog::accept();
}

UnitCopyDialog::UnitCopyDialog(const DialogContext& context, UnitCopyMemory& memory,
                               QWidget* parent)
    : QDialog(parent),
      context_(context),
      memory_(memory),
      copy_(new QRadioButton("ｺﾋﾟｰ")),
      mirror_(new QRadioButton("反転ｺﾋﾟｰ")),
      exchange_(new QRadioButton("交換")),
      mirror_tilt_(new QCheckBox("角度 （傾き指定軸の反転ｺﾋﾟｰ）")),
      source_list_(new QListWidget),
      target_list_(new QListWidget),
      direction_menu_(nullptr) {
  setWindowTitle("ﾕﾆｯﾄ値のｺﾋﾟｰ･交換");
  context_.StopPlayback();
  session_ = OpenUnitCopy(context_.model(), context_.view(), memory_);

  auto* modes = new QButtonGroup(this);
  modes->addButton(copy_, static_cast<int>(UnitCopyMode::kCopy));
  modes->addButton(mirror_, static_cast<int>(UnitCopyMode::kMirroredCopy));
  modes->addButton(exchange_, static_cast<int>(UnitCopyMode::kExchange));
  copy_->setChecked(true);
  mirror_tilt_->setEnabled(false);
  connect(modes, &QButtonGroup::idClicked, this,
          [this](int id) { SetMode(static_cast<UnitCopyMode>(id)); });

  auto* operation = new QGroupBox("操作");
  auto* operation_layout = new QGridLayout(operation);
  operation_layout->addWidget(copy_, 0, 0);
  operation_layout->addWidget(mirror_, 0, 1);
  operation_layout->addWidget(exchange_, 0, 2);
  operation_layout->addWidget(mirror_tilt_, 1, 0, 1, 3);
  operation_layout->setColumnStretch(3, 1);

  auto make_column = [this](const char* title, QListWidget* list, bool target) {
    auto* box = new QGroupBox(title);
    auto* up = SmallButton("↑");
    auto* down = SmallButton("↓");
    auto* add = SmallButton("追加...");
    auto* remove = SmallButton("削除");
    connect(up, &QPushButton::clicked, this, [this, target] { MoveEntry(target, -1); });
    connect(down, &QPushButton::clicked, this, [this, target] { MoveEntry(target, 1); });
    connect(add, &QPushButton::clicked, this, [this, target] { AddUnits(target); });
    connect(remove, &QPushButton::clicked, this, [this, target] { DeleteEntry(target); });
    connect(list, &QListWidget::currentRowChanged, this,
            [this, target](int row) { Entries(target).selected = row; });
    auto* buttons = new QGridLayout;
    buttons->addWidget(up, 0, 0);
    buttons->addWidget(down, 0, 1);
    buttons->addWidget(add, 1, 0);
    buttons->addWidget(remove, 1, 1);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    return box;
  };
  auto* lists = new QHBoxLayout;
  lists->addWidget(make_column("操作元", source_list_, false));
  lists->addWidget(make_column("操作先", target_list_, true));

  auto* create = SmallButton("作成...");
  auto* apply = SmallButton("適用");
  connect(create, &QPushButton::clicked, this, &UnitCopyDialog::CreateUnit);
  connect(apply, &QPushButton::clicked, this, &UnitCopyDialog::Apply);
  auto* actions = new QHBoxLayout;
  actions->addWidget(create);
  actions->addStretch(1);
  actions->addWidget(apply);

  auto* menu_bar = new QMenuBar(this);
  const DirectionMenu directions =
      AddDirectionMenu(menu_bar, this, [this](int id) { ChooseDirection(id); });
  direction_menu_ = directions.menu;
  directions_ = directions.items;
  directions_[0]->setChecked(true);  // the dialog opens looking from the front

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menu_bar);
  layout->addWidget(operation);
  layout->addLayout(lists, 1);
  layout->addLayout(actions);
  layout->addWidget(OkCancelButtons(this));
  resize(420, 420);

  ShowLists();
  context_.Redraw();
}

UnitCopyDialog::~UnitCopyDialog() {
  // Closed without OK or Cancel (its owner went away): what was done stays, as on OK, and the view
  // must not stay in the dialog's state.
  if (!finished_) AcceptUnitCopy(context_.model(), context_.view(), session_);
}

QAction* UnitCopyDialog::direction_action(int id) const {
  for (size_t k = 0; k < directions_.size(); ++k) {
    if (kDirectionCommands[k] == id) return directions_[k];
  }
  return nullptr;
}

int UnitCopyDialog::RunSubDialog(QDialog& dialog) { return dialog.exec(); }

void UnitCopyDialog::SetMode(UnitCopyMode mode) {
  memory_.mode = mode;
  mirror_tilt_->setEnabled(mode == UnitCopyMode::kMirroredCopy);
}

void UnitCopyDialog::ShowLists() {
  ShowEntries(source_list_, session_.source);
  ShowEntries(target_list_, session_.target);
}

void UnitCopyDialog::Apply() {
  ApplyUnitPairs(context_.model(), session_, memory_.mode, mirror_tilt_->isChecked(), memory_);
  context_.Redraw();
}

void UnitCopyDialog::MoveEntry(bool target, int step) {
  EntryList& entries = Entries(target);
  if (step < 0) {
    entries.MoveSelectedUp();
  } else {
    entries.MoveSelectedDown();
  }
  ShowLists();
}

void UnitCopyDialog::DeleteEntry(bool target) {
  Entries(target).DeleteSelected();
  ShowLists();
}

void UnitCopyDialog::AddUnits(bool target) {
  UnitAddDialog dialog(context_.model(), *context_.host, session_, target, this);
  RunSubDialog(dialog);
  ShowLists();
}

void UnitCopyDialog::CreateUnit() {
  UnitCreateDialog dialog(context_.model(), *context_.host, session_, this);
  if (RunSubDialog(dialog) != QDialog::Accepted) return;
  ShowLists();
  context_.TreeChanged();
  context_.Redraw();
}

void UnitCopyDialog::ChooseDirection(int id) {
  ApplyViewCommand(id, context_.view(), context_.session->render());
  if (QAction* action = direction_action(id)) action->setChecked(true);
  context_.Redraw();
}

void UnitCopyDialog::accept() {
  if (finished_) return;
  finished_ = true;
  AcceptUnitCopy(context_.model(), context_.view(), session_);
  if (session_.changed) {
    // The strip's picture of the current Motion shows the new pose. Making it turns the view to
    // the front, so the view from before the dialog is put back afterwards.
    context_.RegenerateThumbnail();
    RestoreView(session_.view, context_.view());
    context_.MenusChanged();
  }
  context_.Redraw();
  QDialog::accept();
}

void UnitCopyDialog::reject() {
  if (finished_) return;
  finished_ = true;
  CancelUnitCopy(context_.model(), context_.view(), session_);
  context_.TreeChanged();  // the Units created are gone again
  context_.Redraw();
  QDialog::reject();
}

}  // namespace vorna

#include "ui/unit_settings_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/commands.h"
#include "io/number_text.h"
#include "ui/dialog_widgets.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

// Every slot edit and both blend edits hold at most this many characters.
constexpr int kEditLength = 32;
constexpr int kBlendSpinMax = 1000;

void SetIndexBlocked(QComboBox* box, int index) {
  const QSignalBlocker blocker(box);
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

// The label under a slider: the values at its ends and quarter marks.
QWidget* ScaleRow(const QStringList& marks) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (int k = 0; k < marks.size(); ++k) {
    if (k > 0) layout->addStretch(1);
    auto* label = new QLabel(marks[k]);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    layout->addWidget(label);
  }
  return row;
}

QStringList ScaleMarks(SlotQuantity quantity) {
  switch (quantity) {
    case SlotQuantity::kAngle:
    case SlotQuantity::kAxisTilt:
      return {"0", "90", "180", "270", "360"};
    case SlotQuantity::kScale:
      return {"0", "0.5", "1.0", "1.5", "2.0"};
    default:
      return {"-1.0", "-0.5", "0", "0.5", "1.0"};
  }
}

QString SlotLabel(int slot) {
  if (slot == 0) return QString::fromUtf8("角度：");
  const SlotInfo info = UnitSlot(slot);
  static const char* const kAxes[] = {"X軸：", "Ｙ軸：", "Ｚ軸："};
  static const char* const kCoordinates[] = {"Ｘ座標：", "Ｙ座標：", "Ｚ座標："};
  const bool centre = info.quantity == SlotQuantity::kCentre;
  return QString::fromUtf8((centre ? kCoordinates : kAxes)[info.component]);
}

}  // namespace

UnitSettingsDialog::UnitSettingsDialog(const DialogContext& context, QWidget* parent,
                                       int* corner_counter)
    : QDialog(parent),
      context_(context),
      corner_counter_(corner_counter != nullptr ? corner_counter : &own_corner_counter_) {
  setWindowTitle(QString::fromUtf8("ﾕﾆｯﾄの設定"));
  context_.StopPlayback();
  Model& model = context_.model();
  session_ = OpenUnitSettings(model, context_.view());

  unit_box_ = new QComboBox;
  for (int u = 0; u < std::min(model.unit_count(), kMaxUnits); ++u) {
    unit_box_->addItem(FromCp932(model.node_name[model.NodeOfUnit(u)]));
  }
  SetIndexBlocked(unit_box_, model.selected_unit);
  unit_box_->setMinimumContentsLength(16);

  auto* axis_type = new QGroupBox(QString::fromUtf8("回転軸の種類"));
  tilt_axis_radio_ = new QRadioButton(QString::fromUtf8("傾き指定軸"));
  xyz_axes_radio_ = new QRadioButton(QString::fromUtf8("XYZ軸"));
  auto* radios = new QButtonGroup(this);
  radios->addButton(tilt_axis_radio_);
  radios->addButton(xyz_axes_radio_);
  auto* axis_layout = new QHBoxLayout(axis_type);
  axis_layout->addWidget(tilt_axis_radio_);
  axis_layout->addWidget(xyz_axes_radio_);

  auto* top = new QHBoxLayout;
  top->addWidget(unit_box_, 1);
  top->addWidget(axis_type);

  rotation_stack_ = new QStackedWidget;
  rotation_stack_->addWidget(new QWidget);  // no rotation page for a Unit of no axis type
  rotation_stack_->addWidget(BuildRotationPage(true));
  rotation_stack_->addWidget(BuildRotationPage(false));
  tabs_ = new QTabWidget;
  tabs_->addTab(rotation_stack_, QString());
  tabs_->addTab(BuildCoordinatePage(13, "平行移動"), QString::fromUtf8("平行移動"));
  tabs_->addTab(BuildCoordinatePage(16, "拡大・縮小率"), QString::fromUtf8("拡大・縮小"));

  reset_ = new QPushButton(QString::fromUtf8("ﾘｾｯﾄ"));
  reset_->setAutoDefault(false);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(reset_);
  bottom->addStretch(1);
  bottom->addWidget(OkCancelButtons(this));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(tabs_);
  layout->addWidget(BuildBlendGroup());
  layout->addLayout(bottom);
  BuildMenu();

  connect(tabs_, &QTabWidget::currentChanged, this, &UnitSettingsDialog::OnTabChosen);
  connect(tilt_axis_radio_, &QRadioButton::clicked, this, [this] { OnAxisRadio(true); });
  connect(xyz_axes_radio_, &QRadioButton::clicked, this, [this] { OnAxisRadio(false); });
  connect(unit_box_, &QComboBox::currentIndexChanged, this, &UnitSettingsDialog::OnUnitChosen);
  connect(reset_, &QPushButton::clicked, this, &UnitSettingsDialog::ResetSlots);

  SyncAxisType();
  RefreshDialog();
  ApplyDirectionLock();
  SyncMenuMarks();
  context_.MenusChanged();
  context_.Redraw();
}

QWidget* UnitSettingsDialog::BuildSlotGroup(const char* title, int first_slot, int count) {
  auto* group = new QGroupBox(QString::fromUtf8(title));
  auto* grid = new QGridLayout(group);
  grid->setColumnStretch(1, 1);
  grid->setVerticalSpacing(2);
  for (int index = first_slot; index < first_slot + count; ++index) {
    const SlotInfo info = UnitSlot(index);
    Slot& slot = slots_[index];
    static_cast<SliderEditRow&>(slot) = MakeSliderEditRow(220, kEditLength, 72, info.max_position);
    slot.label = new QLabel(SlotLabel(index));
    slot.slider->setTickInterval(info.tick);
    // A click beside the handle moves a fifth of the range: 72 degrees or 0.4.
    slot.slider->setPageStep(info.max_position / 5);
    AddToGrid(grid, index - first_slot, slot.label, slot);
    connect(slot.slider, &QSlider::valueChanged, this,
            [this, index](int position) { OnSliderMoved(index, position); });
    connect(slot.spin, &QSpinBox::valueChanged, this,
            [this, index](int position) { OnSpinStepped(index, position); });
    connect(slot.edit, &QLineEdit::textChanged, this,
            [this, index](const QString& text) { OnSlotText(index, text); });
  }
  grid->addWidget(ScaleRow(ScaleMarks(UnitSlot(first_slot).quantity)), count, 1);
  return group;
}

QWidget* UnitSettingsDialog::BuildRotationPage(bool tilt_axis) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  if (tilt_axis) {
    layout->addWidget(BuildSlotGroup("回転角度", 0, 1));
    layout->addWidget(BuildSlotGroup("回転軸の傾き", 1, 3));
    layout->addWidget(BuildSlotGroup("回転中心位置", 4, 3));
  } else {
    layout->addWidget(BuildSlotGroup("回転角度", 7, 3));
    layout->addWidget(BuildSlotGroup("回転中心位置", 10, 3));
  }
  layout->addStretch(1);
  return page;
}

QWidget* UnitSettingsDialog::BuildCoordinatePage(int first_slot, const char* group_title) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(BuildSlotGroup(group_title, first_slot, 3));
  layout->addStretch(1);
  return page;
}

QWidget* UnitSettingsDialog::BuildBlendGroup() {
  auto* group = new QGroupBox;
  blend_change_ = new QCheckBox(QString::fromUtf8("変更"));
  blend_axis_ = new QComboBox;
  blend_axis_->addItems(
      {QString::fromUtf8("X軸"), QString::fromUtf8("Y軸"), QString::fromUtf8("Z軸")});
  blend_formula_ = new QComboBox;
  blend_formula_->addItems({"y=ax", "x=ay^2"});
  weight_edit_ = new QLineEdit;
  range_edit_ = new QLineEdit;
  for (QLineEdit* edit : {weight_edit_, range_edit_}) {
    edit->setMaxLength(kEditLength);
    edit->setFixedWidth(64);
  }
  weight_spin_ = new UpDown(0, kBlendSpinMax);
  range_spin_ = new UpDown(0, kBlendSpinMax);
  initialise_ = new QPushButton(QString::fromUtf8("初期化"));
  zero_weights_ = new QPushButton(QString::fromUtf8("重み0"));
  for (QPushButton* button : {initialise_, zero_weights_}) button->setAutoDefault(false);

  auto* direction_label = new QLabel(QString::fromUtf8("パーツの方向："));
  auto* weight_label = new QLabel(QString::fromUtf8("重み係数："));
  auto* formula_label = new QLabel(QString::fromUtf8("数式："));
  auto* range_label = new QLabel(QString::fromUtf8("1の範囲："));
  blend_labels_ = {direction_label, weight_label, formula_label, range_label};

  auto pair = [](QWidget* edit, QWidget* spin) {
    auto* layout = new QHBoxLayout;
    layout->setSpacing(0);
    layout->addWidget(edit);
    layout->addWidget(spin);
    layout->addStretch(1);
    return layout;
  };
  auto* grid = new QGridLayout(group);
  grid->addWidget(blend_change_, 0, 0);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(initialise_);
  buttons->addWidget(zero_weights_);
  grid->addLayout(buttons, 0, 1, 1, 4);
  grid->addWidget(direction_label, 1, 0);
  grid->addWidget(blend_axis_, 1, 1);
  grid->addWidget(formula_label, 1, 3);
  grid->addWidget(blend_formula_, 1, 4);
  grid->addWidget(weight_label, 2, 0);
  grid->addLayout(pair(weight_edit_, weight_spin_), 2, 1);
  grid->addWidget(range_label, 2, 3);
  grid->addLayout(pair(range_edit_, range_spin_), 2, 4);
  grid->setColumnMinimumWidth(2, 16);
  grid->setColumnStretch(5, 1);

  connect(blend_change_, &QCheckBox::toggled, this, &UnitSettingsDialog::OnBlendTicked);
  connect(blend_axis_, &QComboBox::currentIndexChanged, this,
          [this](int index) { OnBlendCombo(0, index); });
  connect(blend_formula_, &QComboBox::currentIndexChanged, this,
          [this](int index) { OnBlendCombo(2, index); });
  connect(weight_edit_, &QLineEdit::textChanged, this,
          [this] { OnBlendText(1, weight_edit_, weight_spin_, true); });
  connect(range_edit_, &QLineEdit::textChanged, this,
          [this] { OnBlendText(3, range_edit_, range_spin_, true); });
  // The blend spins write their number into the edit beside them.
  connect(weight_spin_, &QSpinBox::valueChanged, this, [this](int value) {
    SetTextQuietly(weight_edit_, QString::fromStdString(FormatWholeNumber(value)));
    OnBlendText(1, weight_edit_, weight_spin_, false);
  });
  connect(range_spin_, &QSpinBox::valueChanged, this, [this](int value) {
    SetTextQuietly(range_edit_, QString::fromStdString(FormatWholeNumber(value)));
    OnBlendText(3, range_edit_, range_spin_, false);
  });
  connect(initialise_, &QPushButton::clicked, this, &UnitSettingsDialog::Initialise);
  connect(zero_weights_, &QPushButton::clicked, this, &UnitSettingsDialog::ZeroWeights);
  return group;
}

void UnitSettingsDialog::BuildMenu() {
  menu_bar_ = new QMenuBar(this);
  layout()->setMenuBar(menu_bar_);
  const auto run = [this](int id) { RunMenuCommand(id); };
  AddTableMenu(menu_bar_, kMenuDialogView, this, run, actions_);

  const DirectionMenu directions =
      AddDirectionMenu(menu_bar_, this, [this](int id) { RunMenuCommand(id); });
  for (size_t k = 0; k < kDirectionCommands.size(); ++k) {
    actions_[kDirectionCommands[k]] = directions.items[k];
  }

  AddTableMenu(menu_bar_, kMenuUnitEdit, this, run, actions_);
}

QAction* UnitSettingsDialog::menu_action(int id) const {
  const auto found = actions_.find(id);
  return found != actions_.end() ? found->second : nullptr;
}

void UnitSettingsDialog::OnSliderMoved(int index, int position) {
  const Slot& slot = slots_[index];
  SetQuietly(slot.spin, position);
  WriteSlotText(index, SlotTextAtPosition(index, position));
  slot.edit->setFocus();
  slot.edit->selectAll();
}

void UnitSettingsDialog::OnSpinStepped(int index, int position) {
  SetQuietly(slots_[index].slider, position);
  WriteSlotText(index, SlotTextAtPosition(index, position));
}

void UnitSettingsDialog::WriteSlotText(int index, const std::string& text) {
  // The value stored comes from the text, so slider and spin changes carry its three decimals.
  SetTextQuietly(slots_[index].edit, QString::fromStdString(text));
  writing_text_ = true;
  OnSlotText(index, slots_[index].edit->text());
  writing_text_ = false;
}

void UnitSettingsDialog::OnSlotText(int index, const QString& text) {
  const int position = StoreSlotText(context_.model(), index, text.toStdString());
  if (!writing_text_) {
    // Typed: slider and spin follow the value, resting at an end when it lies beyond the range.
    slots_[index].ShowPosition(position);
  }
  context_.Redraw();
}

void UnitSettingsDialog::FillSlot(int index) {
  const Model& model = context_.model();
  const Slot& slot = slots_[index];
  const int position = SlotPosition(model, index);
  slot.ShowPosition(position);
  // Shown without storing the text back: a value with more than three decimals is kept until the
  // user changes it.
  SetTextQuietly(slot.edit, QString::fromStdString(SlotText(model, index)));
}

void UnitSettingsDialog::FillPage(int32_t page) {
  for (int index = 0; index < kUnitSlotCount; ++index) {
    if (UnitSlot(index).page == page) FillSlot(index);
  }
}

void UnitSettingsDialog::ShowPage(int page_index) {
  ViewState& view = context_.view();
  if (page_index < 0) {
    view.unit_dialog_page = 0;
    rotation_stack_->setCurrentIndex(0);
    return;
  }
  ShowUnitPage(context_.model(), page_index, view.unit_dialog_page);
  FillPage(view.unit_dialog_page);
  if (page_index <= 1) rotation_stack_->setCurrentIndex(page_index + 1);
  const QSignalBlocker blocker(tabs_);
  tabs_->setCurrentIndex(std::max(page_index - 1, 0));
}

void UnitSettingsDialog::RefreshDialog() {
  const Model& model = context_.model();
  // The "変更" box is cleared before the blend texts are written, so that showing another Unit's
  // settings never recomputes its stored weights.
  {
    const QSignalBlocker blocker(blend_change_);
    blend_change_->setChecked(false);
  }
  EnableBlendControls(false);
  ShowPage(context_.view().unit_dialog_page - 1);
  const int unit = model.selected_unit;
  const bool valid = unit >= 0 && unit < std::min(model.unit_count(), kMaxUnits);
  const QString name = valid ? FromCp932(model.node_name[model.NodeOfUnit(unit)]) : QString();
  setWindowTitle(QString::fromUtf8("ユニットの設定 - ") + name);
  const std::array<int32_t, 4> blend =
      valid ? model.units[unit].blend_param : std::array<int32_t, 4>{0, 0, 0, 20};
  SetIndexBlocked(blend_axis_, blend[0]);
  SetIndexBlocked(blend_formula_, blend[2]);
  SetTextQuietly(weight_edit_, QString::fromStdString(FormatWholeNumber(blend[1])));
  SetTextQuietly(range_edit_, QString::fromStdString(FormatWholeNumber(blend[3])));
  SetQuietly(weight_spin_, std::clamp(blend[1], 0, kBlendSpinMax));
  SetQuietly(range_spin_, std::clamp(blend[3], 0, kBlendSpinMax));
}

void UnitSettingsDialog::SyncAxisType() {
  const Model& model = context_.model();
  const int unit = model.selected_unit;
  const bool tilt = unit >= 0 && unit < std::min(model.unit_count(), kMaxUnits) &&
                    model.units[unit].basis_type == 1;
  tabs_->setTabText(0, QString::fromUtf8(tilt ? "傾き指定軸" : "XYZ軸"));
  (tilt ? tilt_axis_radio_ : xyz_axes_radio_)->setChecked(true);
}

void UnitSettingsDialog::OnTabChosen(int tab) {
  ShowPage(PageIndexForTab(context_.model(), tab));
  SyncAxisType();
  context_.Redraw();
}

void UnitSettingsDialog::OnAxisRadio(bool tilt_axis) {
  const std::optional<int> page = PageIndexForAxisRadio(context_.model(), tilt_axis);
  if (page) ShowPage(*page);
  SyncAxisType();
  if (page) context_.Redraw();
}

void UnitSettingsDialog::OnUnitChosen(int unit) {
  ChooseDialogUnit(context_.model(), context_.view(), unit);
  context_.TreeChanged();
  SyncAxisType();
  RefreshDialog();
  context_.Redraw();
}

void UnitSettingsDialog::RunMenuCommand(int id) {
  ViewState& view = context_.view();
  if (id == kCmdResetUnitPose) {
    ResetUnitPose(context_.model(), view.unit_dialog_page);
    FillPage(view.unit_dialog_page);
  } else {
    // The dialog only draws: the thumbnail is remade when it closes.
    ApplyViewCommand(MainViewCommand(id), view, context_.session->render());
    ApplyDirectionLock();
    SyncMenuMarks();
    context_.MenusChanged();
  }
  context_.Redraw();
}

void UnitSettingsDialog::ApplyDirectionLock() {
  const ViewState& view = context_.view();
  const int line_of_sight = LineOfSightCoordinate(view.view_yaw, view.view_pitch);
  for (int index = 0; index < kUnitSlotCount; ++index) {
    const Slot& slot = slots_[index];
    const bool enabled = !SlotLockedByView(index, line_of_sight);
    slot.label->setEnabled(enabled);
    slot.SetEnabled(enabled);
  }
}

void UnitSettingsDialog::SyncMenuMarks() {
  const MenuFacts facts{true};
  for (const auto& [id, action] : actions_) {
    if (action->isCheckable()) {
      action->setChecked(
          CommandChecked(context_.model(), context_.view(), facts, MainViewCommand(id)));
    }
  }
}

void UnitSettingsDialog::ResetSlots() {
  Model& model = context_.model();
  NeutraliseUnit(model, blend_change_->isChecked());
  for (int page = 1; page <= 4; ++page) FillPage(page);
  // The weight-factor spin goes to 0 and the combo boxes to their first entries; the stored
  // settings change only while "変更" is ticked (the factor, through the edit).
  SetQuietly(weight_spin_, 0);
  SetTextQuietly(weight_edit_, "0");
  SetIndexBlocked(blend_axis_, 0);
  SetIndexBlocked(blend_formula_, 0);
  context_.Redraw();
}

void UnitSettingsDialog::EnableBlendControls(bool enabled) {
  for (QWidget* widget :
       {static_cast<QWidget*>(blend_axis_), static_cast<QWidget*>(blend_formula_),
        static_cast<QWidget*>(weight_edit_), static_cast<QWidget*>(range_edit_),
        static_cast<QWidget*>(weight_spin_), static_cast<QWidget*>(range_spin_),
        static_cast<QWidget*>(initialise_), static_cast<QWidget*>(zero_weights_)}) {
    widget->setEnabled(enabled);
  }
  for (QWidget* label : blend_labels_) label->setEnabled(enabled);
}

void UnitSettingsDialog::OnBlendTicked(bool ticked) {
  EnableBlendControls(ticked);
  if (!ticked) return;
  StoreBlendSettings(
      context_.model(),
      {blend_axis_->currentIndex(), ParseWholeNumber(weight_edit_->text().toStdString()),
       blend_formula_->currentIndex(), ParseWholeNumber(range_edit_->text().toStdString())});
  context_.Redraw();
}

void UnitSettingsDialog::OnBlendCombo(int param, int index) {
  StoreBlendParam(context_.model(), param, index);
  context_.Redraw();
}

void UnitSettingsDialog::OnBlendText(int param, QLineEdit* edit, QSpinBox* spin, bool typed) {
  const int32_t value = ParseWholeNumber(edit->text().toStdString());
  if (typed) SetQuietly(spin, std::clamp(value, 0, kBlendSpinMax));
  if (!blend_change_->isChecked()) return;
  StoreBlendParam(context_.model(), param, value);
  context_.Redraw();
}

void UnitSettingsDialog::Initialise() {
  Model& model = context_.model();
  InitialiseBlendWeights(model, *corner_counter_);
  FillPage(1);
  FillPage(2);
  const int unit = model.selected_unit;
  if (unit >= 0 && unit < std::min(model.unit_count(), kMaxUnits)) {
    const int32_t factor = model.units[unit].blend_param[1];
    SetQuietly(weight_spin_, std::clamp(factor, 0, kBlendSpinMax));
    SetTextQuietly(weight_edit_, QString::fromStdString(FormatWholeNumber(factor)));
  }
  context_.Redraw();
}

void UnitSettingsDialog::ZeroWeights() {
  ZeroBlendWeights(context_.model());
  context_.Redraw();
}

void UnitSettingsDialog::accept() {
  if (finished_) return;
  finished_ = true;
  AcceptUnitSettings(context_.model(), context_.view(), session_);
  context_.MenusChanged();
  context_.RegenerateThumbnail();
  QDialog::accept();
}

void UnitSettingsDialog::reject() {
  if (finished_) return;
  finished_ = true;
  CancelUnitSettings(context_.model(), context_.view(), session_);
  context_.MenusChanged();
  context_.Redraw();
  QDialog::reject();
}

}  // namespace vorna

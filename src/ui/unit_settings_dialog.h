// The unit settings dialog ("ﾕﾆｯﾄの設定"): a Unit's pose in the current Motion and its own
// rotation axis, centre and blend-weight tool, on four pages behind three tabs, with the view
// redrawn after every change. The slot conversions, page rules, reset steps, blend tool and the
// backup are the core's (editor/unit_settings.h); the widgets only move controls and call them.
#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "editor/unit_settings.h"
#include "ui/dialog_context.h"
#include "ui/dialog_widgets.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;

namespace vorna {

class UnitSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The three controls of a value slot and its label.
  struct Slot : SliderEditRow {
    QLabel* label = nullptr;
  };

  // Opening: stops playback, backs up every Unit and the blend weights, turns the view
  // semi-transparent without textures, colours or ground, and shows the page of the selected
  // Unit's axis type. `corner_counter` is where "初期化" walks the bound Parts' corners from; the
  // window keeps one for the program's life (null: the dialog counts from 0 on its own).
  UnitSettingsDialog(const DialogContext& context, QWidget* parent = nullptr,
                     int* corner_counter = nullptr);

  // OK keeps every change, sets `modified`, restores the view and remakes the thumbnail.
  void accept() override;
  // Cancel puts every Unit and the blend weights back as they were at opening, and the view.
  void reject() override;

  // The controls, for the window's tests.
  const Slot& slot(int index) const { return slots_[index]; }
  QTabWidget* tabs() const { return tabs_; }
  QComboBox* unit_box() const { return unit_box_; }
  QCheckBox* blend_change_box() const { return blend_change_; }
  QComboBox* blend_formula_box() const { return blend_formula_; }
  QLineEdit* weight_edit() const { return weight_edit_; }
  QSpinBox* weight_spin() const { return weight_spin_; }
  QSpinBox* range_spin() const { return range_spin_; }
  QPushButton* reset_button() const { return reset_; }
  QPushButton* initialise_button() const { return initialise_; }
  QPushButton* zero_weights_button() const { return zero_weights_; }
  QMenuBar* menu_bar() const { return menu_bar_; }
  // The dialog menu's item for a command id (fill, semi-transparent, directions, reset).
  QAction* menu_action(int id) const;

 private:
  QWidget* BuildRotationPage(bool tilt_axis);
  QWidget* BuildCoordinatePage(int first_slot, const char* group_title);
  QWidget* BuildSlotGroup(const char* title, int first_slot, int count);
  void BuildMenu();
  QWidget* BuildBlendGroup();

  // What the page procedures do for a slot.
  void OnSliderMoved(int index, int position);
  void OnSpinStepped(int index, int position);
  void OnSlotText(int index, const QString& text);
  // Writes an edit's text as the program (not the user): the slider and spin stay put.
  void WriteSlotText(int index, const std::string& text);
  // Shows the slot's stored value without storing it again.
  void FillSlot(int index);
  void FillPage(int32_t page);

  void ShowPage(int page_index);
  void RefreshDialog();
  void SyncAxisType();
  void OnTabChosen(int tab);
  void OnAxisRadio(bool tilt_axis);
  void OnUnitChosen(int unit);
  void RunMenuCommand(int id);
  void ApplyDirectionLock();
  void SyncMenuMarks();
  void ResetSlots();

  void OnBlendTicked(bool ticked);
  void OnBlendCombo(int param, int index);
  void OnBlendText(int param, QLineEdit* edit, QSpinBox* spin, bool typed);
  void EnableBlendControls(bool enabled);
  void Initialise();
  void ZeroWeights();

  DialogContext context_;
  UnitSettingsSession session_;
  int own_corner_counter_ = 0;
  int* corner_counter_;
  bool writing_text_ = false;
  bool finished_ = false;

  std::array<Slot, kUnitSlotCount> slots_{};
  QTabWidget* tabs_ = nullptr;
  QStackedWidget* rotation_stack_ = nullptr;
  QRadioButton* tilt_axis_radio_ = nullptr;
  QRadioButton* xyz_axes_radio_ = nullptr;
  QComboBox* unit_box_ = nullptr;
  QCheckBox* blend_change_ = nullptr;
  QComboBox* blend_axis_ = nullptr;
  QComboBox* blend_formula_ = nullptr;
  QLineEdit* weight_edit_ = nullptr;
  QSpinBox* weight_spin_ = nullptr;
  QLineEdit* range_edit_ = nullptr;
  QSpinBox* range_spin_ = nullptr;
  QPushButton* reset_ = nullptr;
  QPushButton* initialise_ = nullptr;
  QPushButton* zero_weights_ = nullptr;
  std::vector<QWidget*> blend_labels_;
  QMenuBar* menu_bar_ = nullptr;
  std::map<int, QAction*> actions_;
};

}  // namespace vorna

// The X save dialog ("Xﾌｧｲﾙの保存"): the encoding, skin and loop choices, the animation speed and
// the per-Motion key intervals of a .x export. OK hands the options to the exporter under the
// wait cursor; the exporter saves and reports a failure (editor/open_flow.h, SaveAndReport).
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/save_options.h"
#include "model/host.h"
#include "model/model.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vorna {

// Saves the model with the chosen options.
using XExporter = std::function<void(const XOptions&)>;

// The interval list's entries: without Anims the Motion numbers 1 .. motion_count and "LOOP" when
// `loop`; with Anims, for each Anim in order its Motion numbers and "LOOP" when it loops. Entry
// position i stands for key_intervals[i]; positions from kKeyIntervalSlots on have no slot of their
// own (the export gives them the last one).
std::vector<std::string> XIntervalEntries(const Model& model, bool loop);

// A typed number as the edits read it: the leading whole number as every dialog reads one
// (ParseWholeNumber), taken as unsigned 32 bits, so a negative number is very large.
uint32_t ReadDialogNumber(const std::string& text);
// 0 becomes 1, anything above 1000 becomes 1000.
uint32_t LimitKeyInterval(uint32_t value);
// 0 becomes 1, anything above 4800000 becomes 4800000.
uint32_t LimitTicksPerSecond(uint32_t value);

class XSaveDialog : public QDialog {
  Q_OBJECT

 public:
  // Clamps the Anim ranges and opens with the defaults: text, no skin, no loop, speed 240 and
  // every interval 30.
  XSaveDialog(Model& model, Host& host, XExporter exporter, QWidget* parent = nullptr);

  // Reads the controls into the settings, runs the export and closes.
  void accept() override;

  const XOptions& settings() const { return settings_; }

  QRadioButton* compressed_radio() const { return compressed_; }
  QCheckBox* skin_box() const { return skin_; }
  QCheckBox* loop_box() const { return loop_; }
  QLineEdit* speed_edit() const { return speed_; }
  QLineEdit* value_edit() const { return value_; }
  QListWidget* interval_list() const { return list_; }
  QPushButton* all_set_button() const { return all_set_; }

  // The value edit's text into the selected entry's slot, limited.
  void StoreValue();
  void SetAll();

 private:
  void FillList();
  void ShowSelectedValue();
  void OnLoopToggled(bool on);

  Model& model_;
  Host& host_;
  XExporter exporter_;
  XOptions settings_;
  QRadioButton* text_;
  QRadioButton* binary_;
  QRadioButton* compressed_;
  QCheckBox* skin_;
  QCheckBox* loop_;
  QLineEdit* speed_;
  QLineEdit* value_;
  QListWidget* list_;
  QPushButton* all_set_;
};

}  // namespace vorna

// The key-frame dialog ("ｷｰﾌﾚｰﾑ"): the run of key Motions, the number of in-betweens per gap, loop
// and the interpolation method. OK hands them to the core's generator, which shows its own
// refusals; the method chosen is remembered for as long as the window keeps the memory.
#pragma once

#include <QDialog>

#include "animation/keyframes.h"
#include "ui/dialog_context.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace vorna {

// What the dialog remembers between openings; the window owns one for the program's life.
struct KeyframeDialogMemory {
  bool curve = true;  // "曲線" until the user picks "直線"
};

class KeyframeDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxPerGap = 10;

  // Stops playback and shows the defaults: the selected Anim's range and loop flag (or every
  // Motion without loop), one Motion per gap and the remembered method.
  KeyframeDialog(const DialogContext& context, KeyframeDialogMemory& memory,
                 QWidget* parent = nullptr);

  // Generates the in-betweens and closes; a refused request has shown its message and changed
  // nothing. After a generation the strip no longer matches the Motion table: motionsGenerated
  // tells the window to rebuild it.
  void accept() override;

  // The request the controls describe.
  KeyframeRequest Request() const;
  // What the last OK did; kInvalidRequest before any.
  KeyframeResult last_result() const { return last_result_; }

  QRadioButton* linear_radio() const { return linear_; }
  QComboBox* start_box() const { return start_; }
  QComboBox* end_box() const { return end_; }
  QComboBox* count_box() const { return count_; }
  QCheckBox* loop_box() const { return loop_; }

 signals:
  // Motions were inserted: current_motion is the last Motion and every Motion needs a button.
  void motionsGenerated();

 private:
  DialogContext context_;
  KeyframeDialogMemory& memory_;
  KeyframeResult last_result_ = KeyframeResult::kInvalidRequest;
  QRadioButton* linear_;
  QRadioButton* curve_;
  QComboBox* start_;
  QComboBox* end_;
  QComboBox* count_;
  QCheckBox* loop_;
};

}  // namespace vorna

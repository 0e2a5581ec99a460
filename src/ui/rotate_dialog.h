// "回転": the model turned about X, Y and Z, each angle set with a slider, an edit box and a pair
// of arrows. Every change of an edit box turns the model at once by the difference to the
// angles already applied (the core's RotateDialogSession), so the order of edits matters.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "editor/rotate_dialog.h"
#include "ui/dialog_context.h"
#include "ui/dialog_widgets.h"

namespace vorna {

class RotateDialog : public QDialog {
  Q_OBJECT

 public:
  // Stops playback and takes the copies a Cancel puts back; all three angles start at 0.
  RotateDialog(const DialogContext& context, QWidget* parent = nullptr);
  // A dialog that was never closed puts the model back as a Cancel would.
  ~RotateDialog() override;

  // Refuses to run when the copies could not be taken.
  int exec() override;
  // Keeps the rotation, sets `modified` and remakes the current Motion's thumbnail.
  void accept() override;
  // Puts back every copy and draws the model as it was.
  void reject() override;

  bool opened() const { return session_ != nullptr; }
  QSlider* slider(int axis) const { return rows_[axis].slider; }
  QLineEdit* edit(int axis) const { return rows_[axis].edit; }
  // The up-down beside the edit box: it follows the text quietly, and a step writes the text.
  UpDown* arrows(int axis) const { return rows_[axis].spin; }

 private:
  void OnSliderMoved(int axis, int value);
  void OnArrowsStepped(int axis, int value);
  void OnTextChanged(int axis);

  DialogContext context_;
  std::unique_ptr<RotateDialogSession> session_;
  bool finished_ = false;
  std::array<SliderEditRow, 3> rows_{};
};

}  // namespace vorna

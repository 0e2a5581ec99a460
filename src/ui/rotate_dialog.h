// "回転": the model turned about X, Y and Z, each angle set with a slider, an edit box and a pair
// of arrows. Every change of an edit box turns the model at once by the difference to the
// angles already applied (the core's RotateDialogSession), so the order of edits matters.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <memory>

#include "editor/rotate_dialog.h"
#include "ui/dialog_context.h"

class QLineEdit;
class QSlider;
class QToolButton;

namespace vorna {

// Up and down arrows over a whole number in a range, bound to an edit box as a buddy: the value
// follows the box quietly, and a click steps it and reports the new value.
class SpinArrows : public QWidget {
  Q_OBJECT

 public:
  SpinArrows(int minimum, int maximum, QWidget* parent = nullptr);

  int value() const { return value_; }
  // Sets the value within the range without reporting it.
  void setValue(int value);
  // One click on an arrow: +1 up, -1 down; reported when the value changed.
  void StepBy(int steps);

  QToolButton* up_button() const { return up_; }
  QToolButton* down_button() const { return down_; }

 signals:
  void valueChanged(int value);

 private:
  int minimum_;
  int maximum_;
  int value_;
  QToolButton* up_;
  QToolButton* down_;
};

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
  QSlider* slider(int axis) const { return sliders_[axis]; }
  QLineEdit* edit(int axis) const { return edits_[axis]; }
  SpinArrows* arrows(int axis) const { return arrows_[axis]; }

 private:
  void OnSliderMoved(int axis, int value);
  void OnArrowsStepped(int axis, int value);
  void OnTextChanged(int axis);

  DialogContext context_;
  std::unique_ptr<RotateDialogSession> session_;
  bool finished_ = false;
  std::array<QSlider*, 3> sliders_{};
  std::array<QLineEdit*, 3> edits_{};
  std::array<SpinArrows*, 3> arrows_{};
};

}  // namespace vorna

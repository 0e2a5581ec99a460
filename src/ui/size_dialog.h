// "サイズ変更と移動": the model's scale and move on three axes, with a report of where its
// centres and box lie. The proposal, the reading of the boxes and the report are the core's
// (editor/size_dialog.h); OK applies the edit to the whole model.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "editor/size_dialog.h"
#include "ui/dialog_context.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vorna {

class SizeDialog : public QDialog {
  Q_OBJECT

 public:
  // Stops playback and proposes the scale and move that centre the model and make its largest
  // extent 1.2; the report shows the model as it is. The view shows the model as the boxes would
  // leave it, from the first change of a box on.
  SizeDialog(const DialogContext& context, QWidget* parent = nullptr);
  ~SizeDialog() override;

  // Moves, then scales the model by the six boxes, fits the markers, follows the new centre
  // with the view and remakes the current Motion's thumbnail.
  void accept() override;
  // Puts the model back as it was when the dialog opened.
  void reject() override;
  // "再表示": the report for the values in the boxes.
  void ShowAgain();

  QPlainTextEdit* information_box() const { return information_; }
  QLineEdit* scale_box(int axis) const { return boxes_[axis]; }
  QLineEdit* move_box(int axis) const { return boxes_[3 + axis]; }
  QPushButton* show_again_button() const { return show_again_; }

 private:
  SizeAndPosition ReadBoxes() const;
  void ShowInformation(const SizeAndPosition& edit);
  // The preview: the model as opened, moved and scaled by the boxes.
  void Preview();
  void PutBack();

  DialogContext context_;
  std::unique_ptr<Model> opened_;  // the model as the dialog found it; null once closed
  QPlainTextEdit* information_;
  std::array<QLineEdit*, 6> boxes_{};  // scale x, y, z, move x, y, z
  QPushButton* show_again_;
};

}  // namespace vorna

// "パーツの描画順序変更": the Parts in drawing order, each with its material's transparency,
// moved up and down one line at a time. The list is the core's (editor/draw_order_list.h); OK
// writes it into the draw order, Cancel drops it, and the view is drawn again either way.
#pragma once

#include <QDialog>

#include "editor/draw_order_list.h"
#include "ui/dialog_context.h"

class QPushButton;
class QTreeWidget;

namespace vorna {

class DrawOrderDialog : public QDialog {
  Q_OBJECT

 public:
  DrawOrderDialog(const DialogContext& context, QWidget* parent = nullptr);

  void accept() override;
  void reject() override;

  // "上へ移動" and "下へ移動": the selected line changes place with its neighbour and stays
  // selected; nothing at either end or without a selection.
  void MoveUp();
  void MoveDown();

  QTreeWidget* list() const { return list_; }
  const DrawOrderList& lines() const { return lines_; }

 private:
  void ShowLines();

  DialogContext context_;
  DrawOrderList lines_;
  QTreeWidget* list_;
  QPushButton* up_;
  QPushButton* down_;
};

}  // namespace vorna

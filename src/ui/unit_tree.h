// The unit tree: every node of the Model, Units as a hierarchy and each Part under its Unit, with
// check boxes, in-place renaming and drag and drop. The tree mirrors model.forest; every edit is
// carried out by the hierarchy operations of the core (model/hierarchy_edit.h) and the widget is
// rebuilt from the forest afterwards, so Qt never moves items by itself.
#pragma once

#include <QTreeWidget>
#include <utility>
#include <vector>

#include "model/host.h"
#include "model/model.h"

class QMenu;
class QMimeData;

namespace vorna {

class EditHistory;

class UnitTree : public QTreeWidget {
  Q_OBJECT

 public:
  // Names of nodes hold at most this many CP932 bytes (the stored field keeps a terminator).
  static constexpr int kNameBytes = kNodeNameSize - 1;

  UnitTree(Model& model, Host& host, QWidget* parent = nullptr);

  // After a load: mirrors the forest with every item expanded, as if the user had opened each.
  void BuildUnitTree();
  // Mirrors the forest again after an edit made outside the tree (close, unit dialogs, export).
  void Refresh();

  // The add-unit command: adds a Unit (or shows why it cannot) and selects nothing.
  void AddUnit();
  // The delete-units command and the Delete key: asks about the selected and ticked Units and
  // deletes them on Yes.
  void DeleteUnits();
  // Ticks (or clears) the check box of every node.
  void TickAll(bool ticked);

  // Where deletions, drops and renames are recorded as undoable steps (null: nowhere).
  void SetHistory(EditHistory* history) { history_ = history; }

  // The popup shown on a right click, after the item under the cursor is selected.
  void SetItemMenu(QMenu* menu) { item_menu_ = menu; }

  // Ends a drag of `dragged` onto `target` (kTopLevel: none) with every ticked node.
  void DropNodes(int dragged, int target);

  QTreeWidgetItem* ItemOfNode(int node) const;
  // The node an item shows, -1 for none.
  static int NodeOfTreeItem(const QTreeWidgetItem* item);
  // What a drag of `node` out of this tree carries; drops from anywhere else are refused.
  QMimeData* DragData(int node) const;
  // The node the drop highlight is on, -1 when none.
  int DropHighlight() const { return drop_highlight_; }

 signals:
  // The selection changed: selected_unit and the highlight are up to date; menus and view follow.
  void selectionChanged();
  // The hierarchy changed (added, deleted, moved or renamed nodes); the view is drawn again.
  void treeChanged();
  // A double-click on a Unit or on a Part.
  void unitDialogRequested();
  void textureDialogRequested();
  // An in-place rename begins and ends: keyboard shortcuts must be off in between, so that Space,
  // Esc, arrows and Delete reach the edit box.
  void labelEditStarted();
  void labelEditFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  friend class UnitNameDelegate;

  void Mirror(bool expand_all);
  void AddItems(QTreeWidgetItem* parent_item, int parent_node,
                std::vector<std::pair<QTreeWidgetItem*, int>>* items);
  void AfterStructureChange();
  void Mark(QTreeWidgetItem* item, int node);
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void OnSelectionChanged();
  void OnExpansionChanged(QTreeWidgetItem* item, bool expanded);
  void OnDoubleClick(QTreeWidgetItem* item);
  void Rename(int node, const QString& text);
  void StartDrag(QTreeWidgetItem* item);
  int DragSourceNode(const QMimeData* data) const;

  Model& model_;
  Host& host_;
  QMenu* item_menu_ = nullptr;
  EditHistory* history_ = nullptr;
  QIcon unit_icon_;
  QIcon part_icon_;
  bool mirroring_ = false;
  QPoint press_position_;
  // From a double-click to the next press: no rename may start from the double-click's clicks.
  bool after_double_click_ = false;
  int drop_highlight_ = -1;
};

}  // namespace vorna

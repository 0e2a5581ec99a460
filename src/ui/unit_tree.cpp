#include "ui/unit_tree.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

#include "model/hierarchy_edit.h"
#include "ui/edit_history.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr char kNodeMimeType[] = "application/x-vorna-unit-node";

// A joint: two balls joined by a bone.
QIcon DrawUnitIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(90, 70, 40), 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
  painter.setPen(QPen(QColor(40, 60, 120), 1));
  painter.setBrush(QColor(80, 140, 230));
  painter.drawEllipse(QPointF(4.5, 11.5), 3.5, 3.5);
  painter.setBrush(QColor(240, 170, 60));
  painter.drawEllipse(QPointF(11.5, 4.5), 3.5, 3.5);
  return QIcon(pixmap);
}

// A piece of mesh: two shaded triangles of a quad.
QIcon DrawPartIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 80, 30), 1));
  painter.setBrush(QColor(110, 200, 110));
  const QPointF upper[] = {{1.5, 13.5}, {7.5, 2.5}, {14.5, 6.5}};
  painter.drawPolygon(upper, 3);
  painter.setBrush(QColor(60, 150, 70));
  const QPointF lower[] = {{1.5, 13.5}, {14.5, 6.5}, {12.5, 14.5}};
  painter.drawPolygon(lower, 3);
  return QIcon(pixmap);
}

}  // namespace

// The in-place rename box: the tree stores the name itself, so that an unchanged label keeps the
// name's bytes and Esc leaves the name as it was.
class UnitNameDelegate : public QStyledItemDelegate {
 public:
  explicit UnitNameDelegate(UnitTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex&) const override {
    auto* editor = new QLineEdit(parent);
    editor->setValidator(new Cp932Validator(UnitTree::kNameBytes, editor));
    editor->setFrame(true);
    return editor;
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    tree_->Rename(index.data(kNodeRole).toInt(), static_cast<QLineEdit*>(editor)->text());
  }

 private:
  UnitTree* tree_;
};

UnitTree::UnitTree(Model& model, Host& host, QWidget* parent)
    : QTreeWidget(parent),
      model_(model),
      host_(host),
      unit_icon_(DrawUnitIcon()),
      part_icon_(DrawPartIcon()) {
  setColumnCount(1);
  setHeaderHidden(true);
  setIconSize(QSize(16, 16));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setExpandsOnDoubleClick(false);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setItemDelegate(new UnitNameDelegate(this));
  setDragEnabled(false);  // drags are ours: Qt must never move items itself
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  setAutoScroll(true);
  connect(this, &QTreeWidget::itemChanged, this, &UnitTree::OnItemChanged);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &UnitTree::OnSelectionChanged);
  connect(this, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* item) { OnExpansionChanged(item, true); });
  connect(this, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem* item) { OnExpansionChanged(item, false); });
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OnDoubleClick(item); });
}

void UnitTree::BuildUnitTree() {
  Mirror(true);
  // The selection signal is held back while the tree is rebuilt: the highlight of the previous
  // model's selection would otherwise stay on the new one.
  UpdateSelectionState(model_);
  emit selectionChanged();
}

void UnitTree::Refresh() { Mirror(false); }

void UnitTree::Mirror(bool expand_all) {
  mirroring_ = true;
  clear();
  std::vector<std::pair<QTreeWidgetItem*, int>> items;
  AddItems(nullptr, kTopLevel, &items);
  // Selecting opens the item's parents; the forest's expansion is applied after it, as a drop
  // that ends on a hidden item leaves that item's parents closed.
  QTreeWidgetItem* selected = ItemOfNode(model_.forest.Selected());
  if (selected != nullptr) {
    setCurrentItem(selected);
  } else {
    setCurrentItem(nullptr);
    clearSelection();
  }
  for (const auto& [item, node] : items) {
    if (expand_all) {
      // Opened for the user to see: a later drop or deletion keeps it open, as one the user
      // opened by hand.
      model_.forest.at(node).expanded = true;
      if (model_.IsUnitNode(node)) model_.units[model_.UnitOfNode(node)].tree_expanded = 2;
    }
    item->setExpanded(model_.forest.at(node).expanded);
  }
  if (selected != nullptr) scrollToItem(selected);
  mirroring_ = false;
  viewport()->update();
}

void UnitTree::AddItems(QTreeWidgetItem* parent_item, int parent_node,
                        std::vector<std::pair<QTreeWidgetItem*, int>>* items) {
  for (int node : model_.forest.ChildrenOf(parent_node)) {
    if (node < 0 || node >= model_.node_count) continue;
    auto* item = parent_item ? new QTreeWidgetItem(parent_item) : new QTreeWidgetItem(this);
    Mark(item, node);
    items->emplace_back(item, node);
    AddItems(item, node, items);
  }
}

void UnitTree::Mark(QTreeWidgetItem* item, int node) {
  item->setData(0, kNodeRole, node);
  item->setText(0, FromCp932(model_.node_name[node]));
  item->setIcon(0, model_.IsUnitNode(node) ? unit_icon_ : part_icon_);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                 Qt::ItemIsEditable);
  item->setCheckState(0, model_.forest.at(node).ticked ? Qt::Checked : Qt::Unchecked);
}

QTreeWidgetItem* UnitTree::ItemOfNode(int node) const {
  if (node < 0) return nullptr;
  for (QTreeWidgetItemIterator it(const_cast<UnitTree*>(this)); *it; ++it) {
    if (NodeOfTreeItem(*it) == node) return *it;
  }
  return nullptr;
}

int UnitTree::NodeOfTreeItem(const QTreeWidgetItem* item) {
  if (item == nullptr) return -1;
  bool ok = false;
  const int node = item->data(0, kNodeRole).toInt(&ok);
  return ok ? node : -1;
}

void UnitTree::AfterStructureChange() {
  Mirror(false);
  emit treeChanged();
  emit selectionChanged();
}

void UnitTree::AddUnit() {
  if (!vorna::AddUnit(model_, host_)) return;
  AfterStructureChange();
}

void UnitTree::DeleteUnits() {
  const DeleteUnitsQuestion question = BuildDeleteUnitsQuestion(model_);
  if (question.count <= 0) return;
  if (host_.Question(question.text, Buttons::kYesNo, MessageIcon::kNone) != Answer::kYes) return;
  RecordStep(history_, kCmdDeleteUnits, [this] { DeleteTickedUnits(model_); });
  AfterStructureChange();
}

void UnitTree::TickAll(bool ticked) {
  for (int n = 0; n < model_.node_count && n < kMaxNodes; ++n) {
    if (model_.forest.Contains(n)) model_.forest.at(n).ticked = ticked;
  }
  Mirror(false);
}

void UnitTree::DropNodes(int dragged, int target) {
  drop_highlight_ = -1;
  RecordStep(history_, kStepDropNodes, [&] {
    DropTickedNodes(model_, dragged, target);
    RestoreExpansion(model_);
  });
  AfterStructureChange();
}

void UnitTree::OnItemChanged(QTreeWidgetItem* item, int) {
  if (mirroring_) return;
  const int node = NodeOfTreeItem(item);
  if (!model_.forest.Contains(node)) return;
  model_.forest.at(node).ticked = item->checkState(0) == Qt::Checked;
}

void UnitTree::OnSelectionChanged() {
  if (mirroring_) return;
  const QList<QTreeWidgetItem*> items = selectedItems();
  model_.forest.Select(items.isEmpty() ? kTopLevel : NodeOfTreeItem(items.front()));
  UpdateSelectionState(model_);
  emit selectionChanged();
}

void UnitTree::OnExpansionChanged(QTreeWidgetItem* item, bool expanded) {
  if (mirroring_) return;
  const int node = NodeOfTreeItem(item);
  if (!model_.forest.Contains(node)) return;
  model_.forest.at(node).expanded = expanded;
  if (model_.IsUnitNode(node))
    model_.units[model_.UnitOfNode(node)].tree_expanded = expanded ? 2 : 1;
}

void UnitTree::OnDoubleClick(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  if (model_.selected_unit == -1) {
    emit textureDialogRequested();
  } else {
    emit unitDialogRequested();
  }
}

void UnitTree::Rename(int node, const QString& text) {
  if (node < 0 || node >= model_.node_count || node >= kMaxNodes) return;
  // An untouched label keeps the stored bytes, even those CP932 has no reading for.
  if (text == FromCp932(model_.node_name[node])) return;
  std::string bytes;
  if (!ToCp932(text, &bytes)) return;
  RecordStep(history_, kStepRenameNode,
             [&] { model_.node_name[node] = ClampCp932(bytes, kNameBytes); });
  if (QTreeWidgetItem* item = ItemOfNode(node)) {
    mirroring_ = true;
    item->setText(0, FromCp932(model_.node_name[node]));
    mirroring_ = false;
  }
  emit treeChanged();
}

bool UnitTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  // A click on the selected item schedules a rename that the view starts later, with no event;
  // when that click was the first of a double-click, the rename would open behind its dialog.
  if (after_double_click_ && trigger == AllEditTriggers && event == nullptr) return false;
  const bool was_editing = state() == EditingState;
  const bool started = QTreeWidget::edit(index, trigger, event);
  if (started && !was_editing && state() == EditingState) emit labelEditStarted();
  return started;
}

void UnitTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTreeWidget::closeEditor(editor, hint);
  emit labelEditFinished();
}

void UnitTree::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      window()->setFocus(Qt::TabFocusReason);
      event->accept();
      return;
    case Qt::Key_Delete:
      DeleteUnits();
      event->accept();
      return;
    default:
      QTreeWidget::keyPressEvent(event);
  }
}

void UnitTree::contextMenuEvent(QContextMenuEvent* event) {
  if (QTreeWidgetItem* item = itemAt(event->pos())) setCurrentItem(item);
  if (item_menu_ != nullptr) item_menu_->exec(event->globalPos());
  event->accept();
}

void UnitTree::mousePressEvent(QMouseEvent* event) {
  after_double_click_ = false;
  press_position_ = event->position().toPoint();
  QTreeWidget::mousePressEvent(event);
}

void UnitTree::mouseDoubleClickEvent(QMouseEvent* event) {
  // Set before the dialog opens: the scheduled rename falls due while it is shown.
  after_double_click_ = true;
  QTreeWidget::mouseDoubleClickEvent(event);
}

void UnitTree::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) && state() != EditingState &&
      (event->position().toPoint() - press_position_).manhattanLength() >=
          QApplication::startDragDistance()) {
    if (QTreeWidgetItem* item = itemAt(press_position_)) {
      StartDrag(item);
      return;
    }
  }
  QTreeWidget::mouseMoveEvent(event);
}

void UnitTree::StartDrag(QTreeWidgetItem* item) {
  const int node = NodeOfTreeItem(item);
  if (node < 0) return;
  setCurrentItem(item);
  QMimeData* data = DragData(node);
  const QRect rect = visualItemRect(item);
  QPixmap image(rect.size());
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setOpacity(0.7);
    item->icon(0).paint(&painter, QRect(0, (rect.height() - 16) / 2, 16, 16));
    painter.drawText(QRect(20, 0, rect.width() - 20, rect.height()), Qt::AlignVCenter,
                     item->text(0));
  }
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(image);
  drag->setHotSpot(press_position_ - rect.topLeft());
  drag->exec(Qt::MoveAction);
  // A drag that ended outside the tree, or with Esc, moves nothing.
  drop_highlight_ = -1;
  setState(NoState);
  viewport()->update();
}

QMimeData* UnitTree::DragData(int node) const {
  auto* data = new QMimeData;
  data->setData(kNodeMimeType, QByteArray::number(reinterpret_cast<quintptr>(this)) + ' ' +
                                   QByteArray::number(node));
  return data;
}

int UnitTree::DragSourceNode(const QMimeData* data) const {
  if (data == nullptr || !data->hasFormat(kNodeMimeType)) return -1;
  const QList<QByteArray> words = data->data(kNodeMimeType).split(' ');
  if (words.size() != 2 || words[0] != QByteArray::number(reinterpret_cast<quintptr>(this))) {
    return -1;
  }
  bool ok = false;
  const int node = words[1].toInt(&ok);
  return ok && model_.forest.Contains(node) ? node : -1;
}

void UnitTree::dragEnterEvent(QDragEnterEvent* event) {
  if (DragSourceNode(event->mimeData()) < 0) {
    event->ignore();
    return;
  }
  setState(DraggingState);
  event->acceptProposedAction();
}

void UnitTree::dragMoveEvent(QDragMoveEvent* event) {
  if (DragSourceNode(event->mimeData()) < 0) {
    event->ignore();
    return;
  }
  QTreeWidget::dragMoveEvent(event);  // scrolls near the edges
  // Over an item: it becomes the drop highlight. Over no item the drop is refused and the
  // highlight stays where it was.
  if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
    drop_highlight_ = NodeOfTreeItem(item);
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
  viewport()->update();
}

void UnitTree::dropEvent(QDropEvent* event) {
  const int dragged = DragSourceNode(event->mimeData());
  setState(NoState);
  if (dragged < 0) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
  DropNodes(dragged, drop_highlight_ >= 0 ? drop_highlight_ : kTopLevel);
}

void UnitTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
  if (drop_highlight_ >= 0 && index.data(kNodeRole).toInt() == drop_highlight_ &&
      state() == DraggingState) {
    QStyleOptionViewItem highlighted = option;
    highlighted.state |= QStyle::State_Selected;
    QTreeWidget::drawRow(painter, highlighted, index);
    return;
  }
  QTreeWidget::drawRow(painter, option, index);
}

}  // namespace vorna

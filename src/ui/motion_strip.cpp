#include "ui/motion_strip.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "animation/motion_list.h"
#include "editor/commands.h"
#include "images/scale.h"
#include "ui/dialog_placement.h"

namespace vorna {

QImage ToQImage(const Image& image) {
  if (!image.valid()) return QImage();
  QImage copy(image.rgba.data(), image.width, image.height, image.width * 4,
              QImage::Format_RGBA8888);
  return copy.copy();
}

MotionStrip::MotionStrip(Model& model, Host& host, MotionStripHooks hooks, QWidget* parent)
    : QWidget(parent),
      model_(model),
      host_(host),
      hooks_(std::move(hooks)),
      layout_(new QHBoxLayout(this)),
      group_(new QButtonGroup(this)) {
  layout_->setContentsMargins(0, 1, 0, 1);
  layout_->setSpacing(0);
  layout_->setSizeConstraint(QLayout::SetFixedSize);
  group_->setExclusive(true);
  connect(group_, &QButtonGroup::idClicked, this, &MotionStrip::OnButtonClicked);
}

void MotionStrip::ClearMotionStrip(bool with_images) {
  if (with_images) thumbnails_.clear();
  while (!buttons_.empty()) {
    QToolButton* button = buttons_.back();
    buttons_.pop_back();
    group_->removeButton(button);
    delete button;
  }
  emit sizeChanged();
}

void MotionStrip::AddMotionButton(int motion) {
  InsertButton(motion, hooks_.make_thumbnail ? hooks_.make_thumbnail() : QImage());
}

void MotionStrip::InsertButton(int motion, QImage thumbnail) {
  thumbnails_.push_back(std::move(thumbnail));
  // Buttons always stand in Motion order with the ids and thumbnails of their positions, so a
  // new button goes at the end whatever number it is given.
  const int position = std::clamp(motion, 0, ButtonCount());
  auto* button = new QToolButton(this);
  button->setCheckable(true);
  button->setAutoRaise(true);
  button->setFixedSize(kButtonSide, kButtonSide);
  button->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
  button->setFocusPolicy(Qt::NoFocus);
  buttons_.insert(buttons_.begin() + position, button);
  layout_->insertWidget(position, button);
  // The layout would show it only from the event loop, and size the strip without it until then.
  button->show();
  for (int p = 0; p < ButtonCount(); ++p) {
    group_->removeButton(buttons_[p]);
    group_->addButton(buttons_[p], kCmdMotionButton + p);
    ShowThumbnail(p);
  }
  button->setChecked(true);
  emit sizeChanged();
}

void MotionStrip::ShowThumbnail(int position) {
  const bool has_image =
      position < static_cast<int>(thumbnails_.size()) && !thumbnails_[position].isNull();
  buttons_[position]->setIcon(has_image ? QIcon(QPixmap::fromImage(thumbnails_[position]))
                                        : QIcon());
  buttons_[position]->setToolTip(QString::number(position + 1));
}

void MotionStrip::RefreshCurrentThumbnail() {
  const int current = model_.current_motion;
  if (current < 0 || current >= static_cast<int>(thumbnails_.size()) || current >= ButtonCount()) {
    return;
  }
  thumbnails_[current] = hooks_.make_thumbnail ? hooks_.make_thumbnail() : QImage();
  ShowThumbnail(current);
}

int MotionStrip::CurrentPosition() const {
  const int current = model_.current_motion;
  return current >= 0 && current < ButtonCount() ? current : -1;
}

void MotionStrip::SyncPressed() {
  const int current = model_.current_motion;
  if (current >= 0 && current < ButtonCount()) buttons_[current]->setChecked(true);
}

void MotionStrip::OnButtonClicked(int id) {
  const int motion = id - kCmdMotionButton;
  if (motion < 0 || motion >= model_.motion_count) return;
  model_.current_motion = motion;
  emit motionChosen(motion);
}

void MotionStrip::AddMotion() {
  if (!vorna::AddMotion(model_, host_)) return;
  AddMotionButton(model_.current_motion);
  emit motionsChanged();
}

void MotionStrip::DeleteCurrentMotion() {
  if (model_.motion_count < 2) return;
  if (host_.Question("選択されているモーションを削除しますか？", Buttons::kYesNo,
                     MessageIcon::kQuestion) != Answer::kYes) {
    return;
  }
  if (hooks_.stop_playback) hooks_.stop_playback();
  const MotionDeletion deletion = vorna::DeleteCurrentMotion(model_);
  if (!deletion.deleted) return;
  if (deletion.removed_thumbnail >= 0 &&
      deletion.removed_thumbnail < static_cast<int>(thumbnails_.size())) {
    thumbnails_.erase(thumbnails_.begin() + deletion.removed_thumbnail);
  }
  // The last button goes; every button keeps its id and now shows the thumbnail of the Motion
  // that moved into its slot.
  if (!buttons_.empty()) {
    QToolButton* last = buttons_.back();
    buttons_.pop_back();
    group_->removeButton(last);
    delete last;
  }
  for (int p = 0; p < ButtonCount(); ++p) ShowThumbnail(p);
  SyncPressed();
  emit sizeChanged();
  emit motionsChanged();
}

bool MotionStrip::RunCustomizeDialog(std::vector<int>* order) {
  MotionCustomizeDialog dialog(thumbnails_, ButtonCount(), window());
  PlaceBesideWindow(dialog, *window());
  dialog.exec();
  *order = dialog.Order();
  return true;
}

void MotionStrip::Customize() {
  if (hooks_.stop_playback) hooks_.stop_playback();
  const int saved_count = ButtonCount();
  std::vector<int> order;
  if (!RunCustomizeDialog(&order)) return;
  bool unchanged = static_cast<int>(order.size()) == saved_count;
  for (int p = 0; unchanged && p < saved_count; ++p) unchanged = order[p] == p;
  if (unchanged) return;
  if (!ApplyStripOrder(model_, saved_count, order)) return;
  RebuildFromTable();
  emit motionsChanged();
}

void MotionStrip::RebuildFromTable() {
  ClearMotionStrip(true);
  const int count = std::clamp(model_.motion_count, 0, kMaxMotions);
  for (int p = 0; p < count; ++p) {
    model_.current_motion = p;
    AddMotionButton(p);
  }
}

void MotionStrip::ShowThumbnails(const std::vector<QImage>& thumbnails) {
  ClearMotionStrip(true);
  for (size_t p = 0; p < thumbnails.size(); ++p) InsertButton(static_cast<int>(p), thumbnails[p]);
  SyncPressed();
}

MotionPager::MotionPager(Model& model, Host& host, MotionStripHooks hooks, QWidget* parent)
    : QWidget(parent),
      strip_(new MotionStrip(model, host, std::move(hooks))),
      area_(new QScrollArea),
      left_(new QToolButton),
      right_(new QToolButton) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  left_->setArrowType(Qt::LeftArrow);
  right_->setArrowType(Qt::RightArrow);
  for (QToolButton* arrow : {left_, right_}) {
    arrow->setFixedWidth(kArrowWidth);
    arrow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
  }
  area_->setFrameShape(QFrame::NoFrame);
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setWidget(strip_);
  area_->setWidgetResizable(false);
  area_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  layout->addWidget(left_);
  layout->addWidget(area_, 1);
  layout->addWidget(right_);
  setFixedHeight(PreferredHeight());
  connect(left_, &QToolButton::clicked, this, [this] { ScrollBy(-1); });
  connect(right_, &QToolButton::clicked, this, [this] { ScrollBy(1); });
  connect(strip_, &MotionStrip::sizeChanged, this, &MotionPager::Recalculate);
  Recalculate();
}

QSize MotionPager::sizeHint() const {
  return QSize(MotionStrip::kButtonSide * 4, PreferredHeight());
}

void MotionPager::Recalculate() {
  strip_->adjustSize();
  const int needed = strip_->ButtonCount() * MotionStrip::kButtonSide;
  const bool overflow = needed > width();
  left_->setVisible(overflow);
  right_->setVisible(overflow);
  left_->setEnabled(overflow);
  right_->setEnabled(overflow);
  ShowCurrent();
}

void MotionPager::ShowCurrent() {
  const int current = strip_->CurrentPosition();
  if (current < 0) return;
  // The arrows just shown or hidden change the visible width only once the layout has run.
  layout()->activate();
  QScrollBar* bar = area_->horizontalScrollBar();
  const int left = current * MotionStrip::kButtonSide;
  const int right = left + MotionStrip::kButtonSide;
  const int visible = area_->viewport()->width();
  if (left < bar->value()) {
    bar->setValue(left);
  } else if (right > bar->value() + visible) {
    bar->setValue(right - visible);
  }
}

void MotionPager::ScrollBy(int buttons) {
  QScrollBar* bar = area_->horizontalScrollBar();
  bar->setValue(bar->value() + buttons * MotionStrip::kButtonSide);
}

int MotionPager::ScrollPosition() const { return area_->horizontalScrollBar()->value(); }

bool MotionPager::ArrowsShown() const { return !left_->isHidden(); }

void MotionPager::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Sizes given while hidden reach the scroll area only now.
  ShowCurrent();
}

void MotionPager::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Recalculate();
}

MotionCustomizeDialog::MotionCustomizeDialog(const std::vector<QImage>& thumbnails,
                                             int motion_count, QWidget* parent)
    : QDialog(parent),
      thumbnails_(thumbnails),
      motion_count_(std::clamp(motion_count, 0, kMaxMotions)),
      list_(new QListWidget) {
  setWindowTitle("ﾓｰｼｮﾝの並び替え・削除");
  list_->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
  list_->setDragDropMode(QAbstractItemView::InternalMove);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* up = new QPushButton("上へ移動");
  auto* down = new QPushButton("下へ移動");
  auto* remove = new QPushButton("削除");
  auto* reset = new QPushButton("ﾘｾｯﾄ");
  auto* close = new QPushButton("閉じる");
  close->setDefault(true);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {up, down, remove, reset}) buttons->addWidget(button);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  connect(up, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
  connect(down, &QPushButton::clicked, this, [this] { MoveSelected(1); });
  connect(remove, &QPushButton::clicked, this, &MotionCustomizeDialog::RemoveSelected);
  connect(reset, &QPushButton::clicked, this, &MotionCustomizeDialog::Reset);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  setMinimumSize(300, 360);
  Fill();
}

void MotionCustomizeDialog::Fill() {
  list_->clear();
  for (int n = 0; n < motion_count_; ++n) {
    auto* item = new QListWidgetItem(QString::asprintf("ﾓｰｼｮﾝ%2d", n + 1));
    if (n < static_cast<int>(thumbnails_.size()) && !thumbnails_[n].isNull()) {
      item->setIcon(QIcon(QPixmap::fromImage(thumbnails_[n])));
    }
    item->setData(Qt::UserRole, n);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    list_->addItem(item);
  }
  if (list_->count() > 0) list_->setCurrentRow(0);
}

std::vector<int> MotionCustomizeDialog::Order() const {
  std::vector<int> order;
  for (int row = 0; row < list_->count(); ++row) {
    order.push_back(list_->item(row)->data(Qt::UserRole).toInt());
  }
  return order;
}

void MotionCustomizeDialog::MoveSelected(int step) {
  const int row = list_->currentRow();
  const int to = row + step;
  if (row < 0 || to < 0 || to >= list_->count()) return;
  QListWidgetItem* item = list_->takeItem(row);
  list_->insertItem(to, item);
  list_->setCurrentRow(to);
}

void MotionCustomizeDialog::RemoveSelected() {
  const int row = list_->currentRow();
  if (row < 0) return;
  delete list_->takeItem(row);
  if (list_->count() > 0) list_->setCurrentRow(std::min(row, list_->count() - 1));
}

void MotionCustomizeDialog::Reset() { Fill(); }

}  // namespace vorna

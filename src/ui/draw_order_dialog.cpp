#include "ui/draw_order_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_widgets.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

// A line is the transparency, two spaces and the name: shown in the two columns.
std::pair<QString, QString> Columns(const std::string& line) {
  const size_t value = line.find_first_not_of(' ');
  const size_t gap = line.find("  ", value == std::string::npos ? 0 : value);
  if (gap == std::string::npos) return {FromCp932(line), QString()};
  return {FromCp932(std::string_view(line).substr(0, gap)),
          FromCp932(std::string_view(line).substr(gap + 2))};
}

}  // namespace

DrawOrderDialog::DrawOrderDialog(const DialogContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      lines_(context.model()),
      list_(new QTreeWidget),
      up_(new QPushButton("上へ移動")),
      down_(new QPushButton("下へ移動")) {
  setWindowTitle("パーツの描画順序変更");
  list_->setColumnCount(2);
  list_->setHeaderLabels({"透明度", "パーツ名"});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  list_->setMinimumSize(300, 260);

  auto* moves = new QVBoxLayout;
  for (QPushButton* button : {up_, down_}) {
    button->setAutoDefault(false);
    moves->addWidget(button);
  }
  moves->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(list_, 1);
  top->addLayout(moves);

  connect(up_, &QPushButton::clicked, this, &DrawOrderDialog::MoveUp);
  connect(down_, &QPushButton::clicked, this, &DrawOrderDialog::MoveDown);
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { lines_.Select(list_->indexOfTopLevelItem(item)); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(OkCancelButtons(this));
  ShowLines();
}

void DrawOrderDialog::ShowLines() {
  const QSignalBlocker blocker(list_);
  list_->clear();
  for (const DrawOrderList::Line& line : lines_.lines()) {
    const auto [value, name] = Columns(line.text);
    auto* item = new QTreeWidgetItem(list_, {value, name});
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
  }
  if (lines_.selected() >= 0) list_->setCurrentItem(list_->topLevelItem(lines_.selected()));
}

void DrawOrderDialog::MoveUp() {
  lines_.MoveUp();
  ShowLines();
}

void DrawOrderDialog::MoveDown() {
  lines_.MoveDown();
  ShowLines();
}

void DrawOrderDialog::accept() {
  lines_.Ok(context_.model());
  context_.Redraw();
  QDialog::accept();
}

void DrawOrderDialog::reject() {
  context_.Redraw();
  QDialog::reject();
}

}  // namespace vorna

#include "ui/size_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/model_edits.h"
#include "ui/dialog_widgets.h"
#include "ui/file_dialogs.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

constexpr std::string_view kFileNameHeading = "[FILE NAME]\r\n";

// The report mixes the model's path (file-system bytes) with node names (CP932 bytes): each is
// decoded as what it is.
QString InformationText(const std::string& report, const std::string& file_name) {
  QString text;
  const std::string head = std::string(kFileNameHeading) + file_name;
  if (report.starts_with(head)) {
    text = QString::fromLatin1(kFileNameHeading.data(),
                               static_cast<qsizetype>(kFileNameHeading.size())) +
           PathText(file_name) + FromCp932(std::string_view(report).substr(head.size()));
  } else {
    text = FromCp932(report);
  }
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

SizeDialog::SizeDialog(const DialogContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      information_(new QPlainTextEdit),
      show_again_(new QPushButton("再表示")) {
  setWindowTitle("サイズ変更と移動");
  context_.StopPlayback();
  const Model& model = context_.model();

  information_->setReadOnly(true);
  information_->setLineWrapMode(QPlainTextEdit::NoWrap);
  information_->setMinimumSize(260, 220);

  const std::array<std::string, 6> proposed = ProposedSizeTexts(model);
  auto* values = new QGroupBox;
  auto* grid = new QGridLayout(values);
  const char* const axes[3] = {"x", "y", "z"};
  for (int axis = 0; axis < 3; ++axis) {
    grid->addWidget(new QLabel(axes[axis]), 0, 1 + axis, Qt::AlignHCenter);
  }
  grid->addWidget(new QLabel("拡大・縮小："), 1, 0);
  grid->addWidget(new QLabel("移動："), 2, 0);
  grid->addWidget(new QLabel("倍"), 1, 4);
  for (int i = 0; i < 6; ++i) {
    boxes_[i] = new QLineEdit(QString::fromStdString(proposed[i]));
    boxes_[i]->setMinimumWidth(90);
    grid->addWidget(boxes_[i], 1 + i / 3, 1 + i % 3);
    connect(boxes_[i], &QLineEdit::textChanged, this, &SizeDialog::Preview);
  }
  auto* show_again_row = new QHBoxLayout;
  show_again_row->addStretch(1);
  show_again_row->addWidget(show_again_);
  show_again_->setAutoDefault(false);
  grid->addLayout(show_again_row, 3, 0, 1, 5);

  connect(show_again_, &QPushButton::clicked, this, &SizeDialog::ShowAgain);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("ファイルの情報："));
  layout->addWidget(information_, 1);
  layout->addWidget(values);
  layout->addWidget(OkCancelButtons(this));

  ShowInformation(SizeAndPosition{});
  opened_ = std::make_unique<Model>(model);
}

SizeDialog::~SizeDialog() { PutBack(); }

SizeAndPosition SizeDialog::ReadBoxes() const {
  std::array<std::string, 6> texts;
  for (int i = 0; i < 6; ++i) texts[i] = boxes_[i]->text().toStdString();
  return ReadSizeTexts(texts);
}

void SizeDialog::ShowInformation(const SizeAndPosition& edit) {
  const Model& model = opened_ != nullptr ? *opened_ : context_.model();
  information_->setPlainText(
      InformationText(SizeDialogInformation(model, edit), model.model_file_name));
}

void SizeDialog::ShowAgain() { ShowInformation(ReadBoxes()); }

void SizeDialog::Preview() {
  if (opened_ == nullptr) return;
  const SizeAndPosition edit = ReadBoxes();
  Model& model = context_.model();
  model = *opened_;
  // The markers keep their size until OK: each fit multiplies them, a preview must not.
  ApplySizeAndPosition(model, edit.move, edit.scale, [](double) {});
  context_.Redraw();
}

void SizeDialog::PutBack() {
  if (opened_ == nullptr) return;
  context_.model() = std::move(*opened_);
  opened_.reset();
}

void SizeDialog::accept() {
  const SizeAndPosition edit = ReadBoxes();
  PutBack();
  Model& model = context_.model();
  RenderContext& render = context_.session->render();
  ApplySizeAndPosition(model, edit.move, edit.scale,
                       [&render](double model_size) { SetMarkerScale(render, model_size); });
  SetupView(render, model, context_.view());
  context_.RegenerateThumbnail();
  QDialog::accept();
}

void SizeDialog::reject() {
  PutBack();
  context_.Redraw();
  QDialog::reject();
}

}  // namespace vorna

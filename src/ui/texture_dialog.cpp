#include "ui/texture_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "editor/commands.h"
#include "io/number_text.h"
#include "model/part_range.h"
#include "ui/image_file_dialogs.h"
#include "ui/text_codec.h"

namespace vorna {
namespace {

constexpr int kEditWidth = 64;

// A row before the session has set its range and position.
TextureDialog::Row MakeRow() {
  return MakeSliderEditRow(180, TextureDialog::kEditLength, kEditWidth);
}

}  // namespace

TextureDialog::TextureDialog(const DialogContext& context, OffsetSliderScales& scales,
                             QWidget* parent)
    : QDialog(parent),
      context_(context),
      part_box_(new QComboBox),
      kind_box_(new QComboBox),
      tabs_(new QTabWidget),
      reset_(new QPushButton("ﾘｾｯﾄ")),
      menu_bar_(new QMenuBar(this)) {
  context_.StopPlayback();
  Model& model = context_.model();
  session_ =
      std::make_unique<TextureDialogSession>(model, context_.view(), context_.session->render(),
                                             *context_.host, scales, TextureDialogStartPart(model));

  for (int p = 0; p < UsablePartCount(model); ++p)
    part_box_->addItem(FromCp932(model.node_name[p]));
  part_box_->setCurrentIndex(session_->edit_part());
  part_box_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  tabs_->addTab(BuildTexturePage(), "ﾃｸｽﾁｬの設定");
  tabs_->addTab(BuildMaterialPage(), "ﾏﾃﾘｱﾙの設定");
  BuildMenus();

  auto* part_row = new QHBoxLayout;
  part_row->addWidget(new QLabel("パーツ："));
  part_row->addWidget(part_box_, 1);

  QDialogButtonBox* buttons = OkCancelButtons(this);
  buttons->addButton(reset_, QDialogButtonBox::ResetRole);
  reset_->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menu_bar_);
  layout->addLayout(part_row);
  layout->addWidget(tabs_, 1);
  layout->addWidget(buttons);

  connect(part_box_, &QComboBox::currentIndexChanged, this, &TextureDialog::OnPartChosen);
  connect(tabs_, &QTabWidget::currentChanged, this, &TextureDialog::OnPageChanged);
  connect(kind_box_, &QComboBox::currentIndexChanged, this, [this](int index) {
    session_->ChooseColourKind(static_cast<ColourKind>(index));
    RefreshMaterialRows();
  });
  connect(reset_, &QPushButton::clicked, this, [this] {
    session_->Reset();
    RefreshAll();
    Draw();
  });

  RefreshAll();
  Draw();
}

TextureDialog::~TextureDialog() {
  if (!closed_) session_->Cancel();
}

QAction* TextureDialog::action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QWidget* TextureDialog::BuildTexturePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  const char* groups[] = {"サイズの倍率", "座標"};
  for (int g = 0; g < 2; ++g) {
    auto* box = new QGroupBox(groups[g]);
    auto* grid = new QGridLayout(box);
    for (int r = 0; r < 2; ++r) {
      const int index = g * 2 + r;
      texture_rows_[index] = MakeRow();
      AddToGrid(grid, r, new QLabel(r == 0 ? "横：" : "縦："), texture_rows_[index]);
      ConnectTextureRow(static_cast<TextureRow>(index));
    }
    grid->setColumnStretch(1, 1);
    layout->addWidget(box);
  }
  layout->addStretch(1);
  return page;
}

QWidget* TextureDialog::BuildMaterialPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  kind_box_->addItems({"ﾃﾞｨﾌｭｰｽﾞ色", "ｽﾍﾟｷｭﾗ色", "ｴﾐｯｼｮﾝ色"});
  auto* kind_row = new QHBoxLayout;
  kind_row->addWidget(kind_box_);
  kind_row->addStretch(1);
  layout->addLayout(kind_row);
  auto* grid = new QGridLayout;
  const char* labels[] = {"透明：", "赤色：", "緑色：", "青色：", "強度："};
  for (int r = 0; r < 5; ++r) {
    material_rows_[r] = MakeRow();
    AddToGrid(grid, r, new QLabel(labels[r]), material_rows_[r]);
    ConnectMaterialRow(static_cast<MaterialRow>(r));
  }
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  layout->addStretch(1);
  return page;
}

void TextureDialog::BuildMenus() {
  const auto run = [this](int id) { RunMenu(id); };
  AddTableMenu(menu_bar_, kMenuTextureFile, this, run, actions_);
  AddTableMenu(menu_bar_, kMenuTextureEdit, this, run, actions_);
  AddTableMenu(menu_bar_, kMenuDialogView, this, run, actions_);

  const DirectionMenu directions =
      AddDirectionMenu(menu_bar_, this, [this](int id) { RunMenu(id); });
  for (size_t k = 0; k < kDirectionCommands.size(); ++k) {
    actions_[kDirectionCommands[k]] = directions.items[k];
  }
}

void TextureDialog::ConnectTextureRow(TextureRow which) {
  const Row& row = texture_rows_[static_cast<int>(which)];
  // The track bar and the up-down write the value their position stands for and show it.
  auto moved = [this, which](int position, bool from_slider) {
    const Row& r = texture_row(which);
    session_->SetTextureValue(which, session_->TextureValueAt(which, position));
    const SliderRow state = session_->TextureRowState(which);
    r.ShowPosition(state.position);
    r.edit->setText(QString::fromStdString(state.text));
    if (which == TextureRow::kScaleU || which == TextureRow::kScaleV) RefreshTextureRows();
    if (from_slider) {
      r.edit->setFocus();
      r.edit->selectAll();
    }
    Draw();
  };
  connect(row.slider, &QSlider::valueChanged, this,
          [moved](int position) { moved(position, true); });
  connect(row.spin, &QSpinBox::valueChanged, this,
          [moved](int position) { moved(position, false); });
  // A typed value is taken as it is; the track bar and up-down follow.
  connect(row.edit, &QLineEdit::textEdited, this, [this, which](const QString& text) {
    session_->SetTextureValue(which, ParseDecimal(text.toStdString()));
    const Row& r = texture_row(which);
    r.ShowPosition(session_->TextureRowState(which).position);
    if (which == TextureRow::kScaleU || which == TextureRow::kScaleV) {
      for (TextureRow offset : {TextureRow::kOffsetU, TextureRow::kOffsetV}) {
        ShowRow(texture_row(offset), session_->TextureRowState(offset));
      }
    }
    Draw();
  });
}

void TextureDialog::ConnectMaterialRow(MaterialRow which) {
  const Row& row = material_rows_[static_cast<int>(which)];
  auto moved = [this, which](int position) {
    session_->SetMaterialValue(which, session_->MaterialValueAt(which, position));
    ShowRow(material_row(which), session_->MaterialRowState(which));
    Draw();
  };
  connect(row.slider, &QSlider::valueChanged, this, moved);
  connect(row.spin, &QSpinBox::valueChanged, this, moved);
  connect(row.edit, &QLineEdit::textEdited, this, [this, which](const QString& text) {
    const std::string typed = text.toStdString();
    session_->SetMaterialValue(
        which, which == MaterialRow::kStrength ? ParseWholeNumber(typed) : ParseDecimal(typed));
    material_row(which).ShowPosition(session_->MaterialRowState(which).position);
    Draw();
  });
}

void TextureDialog::ShowRow(const Row& row, const SliderRow& state) {
  {
    // A new range can move the position: that is no change of the user's.
    const QSignalBlocker block_slider(row.slider);
    const QSignalBlocker block_spin(row.spin);
    row.slider->setRange(state.minimum, state.maximum);
    row.slider->setTickInterval(state.tick);
    row.slider->setPageStep(std::max(1, state.tick / 10));
    row.spin->setRange(state.minimum, state.maximum);
  }
  row.ShowPosition(state.position);
  // The text is the setting's own, also when it lies beyond the track bar's range.
  row.edit->setText(QString::fromStdString(state.text));
  row.SetEnabled(state.enabled);
}

void TextureDialog::RefreshTextureRows() {
  for (int r = 0; r < 4; ++r) {
    ShowRow(texture_rows_[r], session_->TextureRowState(static_cast<TextureRow>(r)));
  }
  const int part = session_->edit_part();
  const Model& model = context_.model();
  const QString name = part < UsablePartCount(model) ? FromCp932(model.node_name[part]) : QString();
  setWindowTitle(QStringLiteral("ﾃｸｽﾁｬの設定 - %1").arg(name));
}

void TextureDialog::RefreshMaterialRows() {
  for (int r = 0; r < 5; ++r) {
    ShowRow(material_rows_[r], session_->MaterialRowState(static_cast<MaterialRow>(r)));
  }
}

void TextureDialog::RefreshMenus() {
  const TextureMenuState& menu = session_->menu();
  const ViewState& view = context_.view();
  const bool texture_page = session_->page() == TextureDialogPage::kTexture;
  action(kCmdPlanarMapping + static_cast<int>(std::min<uint32_t>(menu.checked_kind, 2)))
      ->setChecked(true);
  for (int id : {kCmdOpenImage, kCmdSaveImage, kCmdPlanarMapping, kCmdSphericalMapping,
                 kCmdWrapMapping, kCmdDialogTranslucent}) {
    action(id)->setEnabled(texture_page);
  }
  action(kCmdApplyMapping)->setEnabled(texture_page && menu.apply_enabled);
  action(kCmdUnapplyMapping)->setEnabled(texture_page && menu.unapply_enabled);
  action(kCmdMapParts)->setEnabled(menu.parts_enabled);
  action(kCmdMapWhole)->setEnabled(menu.whole_enabled);
  action(kCmdCopyToAllParts)->setEnabled(menu.copy_enabled);
  action(kCmdDialogTranslucent)->setChecked(view.part_alpha == 128);
  action(view.fill_mode == kFillSolid       ? kCmdDialogFillSolid
         : view.fill_mode == kFillWireframe ? kCmdDialogFillWireframe
                                            : kCmdDialogFillPoints)
      ->setChecked(true);
  const int direction = session_->ViewDirection();
  if (direction >= 0) action(kCmdViewFront + direction)->setChecked(true);
}

void TextureDialog::RefreshAll() {
  RefreshTextureRows();
  RefreshMaterialRows();
  RefreshMenus();
}

void TextureDialog::RunMenu(int id) {
  if (id == kCmdOpenImage) {
    ChooseTexture();
    return;
  }
  if (id == kCmdSaveImage) {
    ExportImage();
    return;
  }
  if (id >= kCmdViewFront && id <= kCmdViewBottom) {
    session_->ChooseDirection(id - kCmdViewFront);
  } else if (id == kCmdDialogTranslucent) {
    session_->SetTranslucent(context_.view().part_alpha != 128);
  } else if (id == kCmdDialogFillSolid || id == kCmdDialogFillWireframe ||
             id == kCmdDialogFillPoints) {
    session_->SetFillMode(id == kCmdDialogFillSolid       ? kFillSolid
                          : id == kCmdDialogFillWireframe ? kFillWireframe
                                                          : kFillPoint);
  } else if (!session_->RunMappingCommand(id)) {
    return;
  }
  RefreshAll();
  Draw();
}

void TextureDialog::ChooseTexture() {
  // Any chosen image, the same name included, is loaded again and mapped as on a new choice.
  if (ChooseTextureImage(this, context_.model(), *context_.host, session_->edit_part())) {
    session_->TextureChosen();
  }
  RefreshAll();
  Draw();
}

void TextureDialog::ExportImage() {
  ExportViewImage(this, context_.model(), context_.session->render(), *context_.host);
}

void TextureDialog::OnPartChosen(int index) {
  session_->ChoosePart(index);
  context_.TreeChanged();
  RefreshAll();
  Draw();
}

void TextureDialog::OnPageChanged(int index) {
  session_->ShowPage(index == 1 ? TextureDialogPage::kMaterial : TextureDialogPage::kTexture);
  RefreshAll();
  Draw();
}

void TextureDialog::Draw() { context_.Redraw(); }

void TextureDialog::Close(bool accepted) {
  if (closed_) return;
  closed_ = true;
  if (accepted) {
    session_->Accept();
    // The thumbnail is made with the view the user had, not the dialog's.
    context_.RegenerateThumbnail();
  } else {
    session_->Cancel();
  }
  context_.MenusChanged();
  Draw();
}

void TextureDialog::accept() {
  Close(true);
  QDialog::accept();
}

void TextureDialog::reject() {
  Close(false);
  QDialog::reject();
}

}  // namespace vorna

// The texture and colour dialog ("ﾃｸｽﾁｬ･色の設定"): a Part's texture image and mapping on one page,
// its material on the other, with the dialog's own file, edit, view and direction menus. Every
// rule is the core's (editor/texture_dialog.h, editor/texture_mapping_menu.h): the widgets show
// the rows the session gives and hand each user change back to it, then draw the view.
#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <memory>

#include "editor/texture_dialog.h"
#include "ui/dialog_context.h"
#include "ui/dialog_widgets.h"

class QAction;
class QComboBox;
class QMenuBar;
class QPushButton;
class QTabWidget;

namespace vorna {

class TextureDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kEditLength = 32;

  using Row = SliderEditRow;

  // Stops playback and opens on the Part selected in the tree. `scales` are the window's, kept
  // from one dialog to the next.
  TextureDialog(const DialogContext& context, OffsetSliderScales& scales,
                QWidget* parent = nullptr);
  // A dialog that goes without OK or Cancel gives the Model and the view back as on Cancel.
  ~TextureDialog() override;

  void accept() override;
  void reject() override;

  // The "ﾌｧｲﾙ" menu's commands.
  void ChooseTexture();
  void ExportImage();

  // The controls, for the window's tests.
  const TextureDialogSession& session() const { return *session_; }
  QComboBox* kind_box() const { return kind_box_; }
  QTabWidget* tabs() const { return tabs_; }
  QPushButton* reset_button() const { return reset_; }
  QMenuBar* menu_bar() const { return menu_bar_; }
  const Row& texture_row(TextureRow row) const { return texture_rows_[static_cast<int>(row)]; }
  const Row& material_row(MaterialRow row) const { return material_rows_[static_cast<int>(row)]; }
  // The menu item with command id `id`, null for none.
  QAction* action(int id) const;

 private:
  QWidget* BuildTexturePage();
  QWidget* BuildMaterialPage();
  void BuildMenus();
  void ConnectTextureRow(TextureRow row);
  void ConnectMaterialRow(MaterialRow row);
  void ShowRow(const Row& row, const SliderRow& state);
  void RefreshTextureRows();
  void RefreshMaterialRows();
  void RefreshMenus();
  void RefreshAll();
  void RunMenu(int id);
  void OnPartChosen(int index);
  void OnPageChanged(int index);
  void Draw();
  void Close(bool accepted);

  DialogContext context_;
  std::unique_ptr<TextureDialogSession> session_;
  QComboBox* part_box_;
  QComboBox* kind_box_;
  QTabWidget* tabs_;
  QPushButton* reset_;
  QMenuBar* menu_bar_;
  std::array<Row, 4> texture_rows_;
  std::array<Row, 5> material_rows_;
  std::map<int, QAction*> actions_;
  bool closed_ = false;
};

}  // namespace vorna

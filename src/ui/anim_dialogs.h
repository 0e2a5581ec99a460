// The two anim dialogs: adding, editing, reordering and deleting Anims ("ｱﾆﾒｰｼｮﾝの追加と削除"),
// and choosing the Anim to play ("ｱﾆﾒｰｼｮﾝの選択"). The list operations and the read-back of the
// entries are the core's (animation/anim_list.h); the entries stay CP932 bytes and are converted
// only for display.
#pragma once

#include <QDialog>

#include "animation/anim_list.h"
#include "model/host.h"
#include "model/model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vorna {

class AnimDialog : public QDialog {
  Q_OBJECT

 public:
  // Clamps the Anim ranges and lists the Anims. The Anim table changes only on OK.
  AnimDialog(Model& model, Host& host, QWidget* parent = nullptr);

  void accept() override;

  // The controls, for the window's tests.
  QListWidget* list() const { return list_; }
  QComboBox* first_box() const { return first_; }
  QComboBox* last_box() const { return last_; }
  QLineEdit* name_box() const { return name_; }
  QCheckBox* loop_box() const { return loop_; }
  const EntryList& entries() const { return entries_; }

  void AddEntry();
  void EditEntry();
  void DeleteEntry();
  void MoveEntry(int step);

 private:
  std::string EntryFromControls() const;
  void ShowEntries();

  Model& model_;
  Host& host_;
  EntryList entries_;
  QListWidget* list_;
  QComboBox* first_;
  QComboBox* last_;
  QLineEdit* name_;
  QCheckBox* loop_;
};

class AnimChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  // Clamps the Anim ranges, lists the Anims and selects current_anim.
  AnimChoiceDialog(Model& model, QWidget* parent = nullptr);

  // Stores the chosen entry as current_anim (-1 without a choice).
  void accept() override;

 private:
  Model& model_;
  QComboBox* choice_;
};

}  // namespace vorna

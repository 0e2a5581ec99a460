// The unit copy and exchange dialog ("ﾕﾆｯﾄ値のｺﾋﾟｰ･交換") with its two helpers: adding listed Units
// ("ﾕﾆｯﾄの追加") and creating a new target Unit ("ﾕﾆｯﾄの新規作成"). Pairs, copies, mirrors,
// exchanges and the undo on Cancel are the core's (editor/unit_copy.h); the widgets only show the
// two name lists and pass the choices on.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <string>

#include "editor/unit_copy.h"
#include "ui/dialog_context.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;

namespace vorna {

// Every Unit by name in unit order, several at a time; OK appends the chosen ones to one list of
// the copy dialog unless they already stand in either list.
class UnitAddDialog : public QDialog {
  Q_OBJECT

 public:
  UnitAddDialog(const Model& model, Host& host, UnitCopySession& session, bool to_target,
                QWidget* parent = nullptr);

  // Adds the selected Units and closes with Accepted, also when some were refused (the message
  // has been shown).
  void accept() override;

  QListWidget* unit_list() const { return list_; }

 private:
  const Model& model_;
  Host& host_;
  UnitCopySession& session_;
  bool to_target_;
  QListWidget* list_;
  QPushButton* select_all_;
  QPushButton* clear_;
};

// The name of a new target Unit, proposed from the source list when it is the longer one.
class UnitCreateDialog : public QDialog {
  Q_OBJECT

 public:
  UnitCreateDialog(Model& model, Host& host, UnitCopySession& session, QWidget* parent = nullptr);

  // Creates the Unit and closes; a refused name leaves the dialog open after its message.
  void accept() override;

  QLineEdit* name_edit() const { return name_; }

 private:
  Model& model_;
  Host& host_;
  UnitCopySession& session_;
  QLineEdit* name_;
  // The proposal's stored bytes: taken unchanged when the box still shows it, so that a name
  // without a Unicode reading is compared as it is stored.
  std::string proposal_;
  QString proposal_text_;
};

class UnitCopyDialog : public QDialog {
  Q_OBJECT

 public:
  // Stops playback, backs up every Unit, turns the view to the front (opaque while open) and
  // refills the lists with the pairs of the last apply.
  UnitCopyDialog(const DialogContext& context, UnitCopyMemory& memory, QWidget* parent = nullptr);
  ~UnitCopyDialog() override;

  // Keeps the Units created and the values applied; the view returns to how it was.
  void accept() override;
  // Removes the Units created, restores every Unit's values and the view.
  void reject() override;

  // "適用": the chosen operation on every pair of list entries.
  void Apply();
  // The list buttons; `target` picks the list under "操作先".
  void MoveEntry(bool target, int step);
  void DeleteEntry(bool target);
  void AddUnits(bool target);
  void CreateUnit();
  // A direction item of the dialog's menu (kCmdViewFront .. kCmdViewBottom).
  void ChooseDirection(int id);

  const UnitCopySession& session() const { return session_; }
  QRadioButton* mirror_radio() const { return mirror_; }
  QRadioButton* exchange_radio() const { return exchange_; }
  QListWidget* source_list() const { return source_list_; }
  QListWidget* target_list() const { return target_list_; }
  QMenu* direction_menu() const { return direction_menu_; }
  QAction* direction_action(int id) const;

 protected:
  // Runs the add or create dialog; tests replace it to drive the dialog without a modal loop.
  virtual int RunSubDialog(QDialog& dialog);

 private:
  void SetMode(UnitCopyMode mode);
  void ShowLists();
  EntryList& Entries(bool target) { return target ? session_.target : session_.source; }

  DialogContext context_;
  UnitCopyMemory& memory_;
  UnitCopySession session_;
  bool finished_ = false;
  QRadioButton* copy_;
  QRadioButton* mirror_;
  QRadioButton* exchange_;
  QCheckBox* mirror_tilt_;
  QListWidget* source_list_;
  QListWidget* target_list_;
  QMenu* direction_menu_;
  std::array<QAction*, 6> directions_{};
};

}  // namespace vorna
